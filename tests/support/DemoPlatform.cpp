// The in-memory platform of the demo-layer tests.
#include "support/DemoPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/Texture2D.h"
#include "io/ROMSource.h"

namespace testsupport {

FakeAudioPlayer::FakeAudioPlayer(DemoPlatform* platform, App* app)
    : AudioPlayer(app), platform(platform), volume(128) {}

FakeAudioPlayer::~FakeAudioPlayer() { platform->musicLog.push_back("Delete"); }

bool FakeAudioPlayer::LoadStream(const char* url) {
    platform->musicLog.push_back(std::string("LoadStream(") + url + ")");
    return platform->musicLoads;
}

void FakeAudioPlayer::Play() { platform->musicLog.push_back("Play"); }

void FakeAudioPlayer::Play(float offset) {
    char text[64];
    snprintf(text, sizeof text, "Play(%g)", offset);
    platform->musicLog.push_back(text);
}

void FakeAudioPlayer::Stop() { platform->musicLog.push_back("Stop"); }

void FakeAudioPlayer::SetVolume(int v) { volume = v; }

int FakeAudioPlayer::GetVolume() { return volume; }

float FakeAudioPlayer::GetTime() { return platform->musicTime; }

void FakeAudioPlayer::SetTime(float time) { platform->musicTime = time; }

FakeImageLoader::FakeImageLoader(DemoPlatform* platform, App* app)
    : ImageLoader(app), platform(platform) {}

Texture2D* FakeImageLoader::Load(const char* url) {
    auto it = platform->images.find(url);
    if (it == platform->images.end()) return nullptr;
    Texture2D* texture = new Texture2D();
    texture->width = it->second.width;
    texture->height = it->second.height;
    return texture;
}

DemoPlatform::DemoPlatform() : previous(Platform::current) { Platform::current = this; }

DemoPlatform::~DemoPlatform() {
    if (Platform::current == this) Platform::current = previous;
}

Timer* DemoPlatform::CreateTimer(App*) { return nullptr; }

AudioPlayer* DemoPlatform::CreateAudioPlayer(App* app) {
    ++playersMade;
    lastApp = app;
    return new FakeAudioPlayer(this, app);
}

DataSource* DemoPlatform::CreateDataSourceForURL(const char* url) {
    requestedUrls.push_back(url ? url : "(null)");
    if (!url) return nullptr;
    auto it = files.find(url);
    if (it == files.end()) return nullptr;
    const std::string& bytes = it->second;
    unsigned char* copy = static_cast<unsigned char*>(malloc(bytes.size() + 1));
    memcpy(copy, bytes.data(), bytes.size());
    return new ROMSource(copy, (unsigned int)bytes.size(), true);
}

ImageLoader* DemoPlatform::CreateImageLoader(App* app) {
    ++imageLoadersMade;
    lastApp = app;
    return new FakeImageLoader(this, app);
}

}  // namespace testsupport
