// A platform for demo-layer tests: URLs served from memory and a music player
// whose clock the test sets; it has no timers and no image decoder.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/Platform.h"

namespace testsupport {

// Platform::current while it lives (the previous one comes back afterwards).
class DemoPlatform : public Platform {
public:
    DemoPlatform() : previous(Platform::current) { Platform::current = this; }
    ~DemoPlatform() override {
        if (Platform::current == this) Platform::current = previous;
    }
    DemoPlatform(const DemoPlatform&) = delete;
    DemoPlatform& operator=(const DemoPlatform&) = delete;

    Timer* CreateTimer(App*) override { return nullptr; }
    // Its player logs "LoadStream(url)", "Play", "Play(offset)", "Stop" and
    // "Delete" into musicLog and reports musicTime as the track time.
    AudioPlayer* CreateAudioPlayer(App* app) override;
    // A memory source over a copy of files[url]; null for unknown URLs.
    DataSource* CreateDataSourceForURL(const char* url) override;
    ImageLoader* CreateImageLoader(App*) override { return nullptr; }

    std::map<std::string, std::string> files;
    std::vector<std::string> musicLog;
    float musicTime = 0.0f;
    bool musicLoads = true;  // what LoadStream returns

private:
    Platform* previous;
};

}  // namespace testsupport
