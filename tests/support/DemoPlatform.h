// A platform for demo-layer tests: URLs served from memory, a music player
// whose clock the test sets, and an image loader that makes blank textures.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/AudioPlayer.h"
#include "app/ImageLoader.h"
#include "app/Platform.h"

namespace testsupport {

class DemoPlatform;

// Logs "LoadStream(url)", "Play", "Play(offset)", "Stop" and "Delete" into
// its platform's musicLog; GetTime reports the platform's musicTime.
class FakeAudioPlayer : public AudioPlayer {
public:
    FakeAudioPlayer(DemoPlatform* platform, App* app);
    ~FakeAudioPlayer() override;

    bool LoadStream(const char* url) override;
    void Play() override;
    void Play(float offset) override;
    void Stop() override;
    void SetVolume(int volume) override;
    int GetVolume() override;
    float GetTime() override;
    void SetTime(float time) override;

private:
    DemoPlatform* platform;
    int volume;
};

// Known URLs give a texture of the listed size; others fail (null).
class FakeImageLoader : public ImageLoader {
public:
    FakeImageLoader(DemoPlatform* platform, App* app);
    Texture2D* Load(const char* url) override;

private:
    DemoPlatform* platform;
};

// Becomes Platform::current on construction and restores the previous one on
// destruction.
class DemoPlatform : public Platform {
public:
    DemoPlatform();
    ~DemoPlatform() override;
    DemoPlatform(const DemoPlatform&) = delete;
    DemoPlatform& operator=(const DemoPlatform&) = delete;

    Timer* CreateTimer(App* app) override;
    AudioPlayer* CreateAudioPlayer(App* app) override;
    // A memory source over a copy of files[url]; null for unknown URLs.
    DataSource* CreateDataSourceForURL(const char* url) override;
    ImageLoader* CreateImageLoader(App* app) override;

    std::map<std::string, std::string> files;
    struct Size {
        unsigned int width;
        unsigned int height;
    };
    std::map<std::string, Size> images;
    std::vector<std::string> requestedUrls;  // every CreateDataSourceForURL call
    std::vector<std::string> musicLog;
    float musicTime = 0.0f;   // what every player's GetTime reports
    bool musicLoads = true;   // what LoadStream returns
    int playersMade = 0;
    int imageLoadersMade = 0;
    App* lastApp = nullptr;   // the app handed to the last Create* call

private:
    Platform* previous;
};

}  // namespace testsupport
