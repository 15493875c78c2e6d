// The music player over SDL_mixer: one streamed track and a millisecond clock
// kept from SDL_GetTicks, anchored whenever playback starts or seeks.
#pragma once

#include <SDL/SDL_mixer.h>

#include "app/AudioPlayer.h"

class SDLAudioPlayer : public AudioPlayer {
public:
    explicit SDLAudioPlayer(App* app);
    ~SDLAudioPlayer() override;
    SDLAudioPlayer(const SDLAudioPlayer&) = delete;
    SDLAudioPlayer& operator=(const SDLAudioPlayer&) = delete;

    // Only "file://" URLs; false when the device or the track cannot be
    // opened, so the caller falls back to its own clock.
    bool LoadStream(const char* url) override;
    void Play() override;
    void Play(float offset) override;
    void Stop() override;
    void SetVolume(int volume) override;
    int GetVolume() override;
    float GetTime() override;
    void SetTime(float time) override;

    // Opens the device (once) and loads the track at path: 0, or 255 when the
    // audio subsystem fails, 2 when the device or the track cannot be opened.
    int Init(const char* path);
    // Wall-clock milliseconds.
    float GetAbsTime();
    void CleanUp();

    // SDL_mixer's hook carries no user pointer, so one player owns it.
    static SDLAudioPlayer* player_this;
    static void MusicFinished();

    float playTick;   // SDL_GetTicks when playback last started
    float startTick;  // the tick of track time 0
    // Between Play and Stop; the clock runs on wall time while this holds,
    // also past the end of a track shorter than the demo.
    bool playing;
    bool audioOpen;
    Mix_Music* music;
    int volume;

private:
    void ReleaseMusic();
};
