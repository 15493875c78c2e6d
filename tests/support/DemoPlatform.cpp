// The in-memory platform of the demo-layer tests.
#include "support/DemoPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/AudioPlayer.h"
#include "io/ROMSource.h"

namespace testsupport {
namespace {

struct FakeAudioPlayer : AudioPlayer {
    FakeAudioPlayer(DemoPlatform* platform, App* app) : AudioPlayer(app), platform(platform) {}
    ~FakeAudioPlayer() override { platform->musicLog.push_back("Delete"); }
    bool LoadStream(const char* url) override {
        platform->musicLog.push_back(std::string("LoadStream(") + url + ")");
        return platform->musicLoads;
    }
    void Play() override { platform->musicLog.push_back("Play"); }
    void Play(float offset) override {
        char text[64];
        snprintf(text, sizeof text, "Play(%g)", offset);
        platform->musicLog.push_back(text);
    }
    void Stop() override { platform->musicLog.push_back("Stop"); }
    void SetVolume(int) override {}
    int GetVolume() override { return 128; }
    float GetTime() override { return platform->musicTime; }
    void SetTime(float time) override { platform->musicTime = time; }
    DemoPlatform* platform;
};

}  // namespace

AudioPlayer* DemoPlatform::CreateAudioPlayer(App* app) { return new FakeAudioPlayer(this, app); }

DataSource* DemoPlatform::CreateDataSourceForURL(const char* url) {
    auto it = url ? files.find(url) : files.end();
    if (it == files.end()) return nullptr;
    const std::string& bytes = it->second;
    unsigned char* copy = static_cast<unsigned char*>(malloc(bytes.size() + 1));
    memcpy(copy, bytes.data(), bytes.size());
    return new ROMSource(copy, (unsigned int)bytes.size(), true);
}

}  // namespace testsupport
