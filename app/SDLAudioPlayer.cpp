// Streaming one music track through SDL_mixer; the track time is wall time
// since the anchor tick, not the decoder's position.
#include "app/SDLAudioPlayer.h"

#include <SDL/SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/SDLPlatform.h"
#include "app/SystemEvent.h"

SDLAudioPlayer* SDLAudioPlayer::player_this = nullptr;

SDLAudioPlayer::SDLAudioPlayer(App* app)
    : AudioPlayer(app), playTick(0.0f), startTick(0.0f), playing(false), audioOpen(false),
      music(nullptr), volume(0) {}

SDLAudioPlayer::~SDLAudioPlayer() { CleanUp(); }

bool SDLAudioPlayer::LoadStream(const char* url) {
    if (!url || strncmp(url, "file://", 7) != 0) return false;
    // A track beside the archive plays whatever the current folder.
    SDLPlatform* platform = dynamic_cast<SDLPlatform*>(Platform::current);
    if (!platform) {
        char* path = SDLPlatform::Urldecode(url + 7);
        int status = Init(path);
        delete[] path;
        return status == 0;
    }
    std::string path = platform->FileOfURL(url);
    platform->NoteFileRead(path);
    return Init(path.c_str()) == 0;
}

void SDLAudioPlayer::ReleaseMusic() {
    playing = false;
    if (!music) return;
    if (Mix_PlayingMusic()) Mix_HaltMusic();
    Mix_FreeMusic(music);
    music = nullptr;
}

int SDLAudioPlayer::Init(const char* path) {
    volume = MIX_MAX_VOLUME;
    // A second track replaces the first on the device that is already open.
    ReleaseMusic();
    if (!audioOpen) {
        if (SDL_Init(SDL_INIT_AUDIO) < 0) {
            fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
            return 255;
        }
        if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096) < 0) {
            fprintf(stderr, "Couldn't open audio: %s\n", SDL_GetError());
            return 2;
        }
        int frequency, channels;
        Uint16 format;
        Mix_QuerySpec(&frequency, &format, &channels);
        audioOpen = true;
    }
    Mix_VolumeMusic(volume);
    // The decoder would block on a FIFO and never end on a device.
    struct stat info;
    if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
        fprintf(stderr, "Couldn't load %s: not a regular file\n", path);
        return 2;
    }
    music = Mix_LoadMUS(path);
    if (!music) {
        fprintf(stderr, "Couldn't load %s: %s\n", path, SDL_GetError());
        return 2;
    }
    player_this = this;
    Mix_HookMusicFinished(MusicFinished);
    PushSystemEvent(App::SystemMusicLoaded, this, app);
    playTick = startTick = float(SDL_GetTicks());
    return 0;
}

void SDLAudioPlayer::Play() {
    if (!music) return;
    playTick = startTick = float(SDL_GetTicks());
    playing = true;
    Mix_PlayMusic(music, 0);
}

void SDLAudioPlayer::Play(float offset) {
    if (!music) return;
    playTick = float(SDL_GetTicks());
    playing = true;
    Mix_PlayMusic(music, 0);
    SetTime(offset);
}

void SDLAudioPlayer::SetTime(float time) {
    startTick = float(SDL_GetTicks());
    Mix_RewindMusic();
    startTick -= time;
    // The clock has moved even when the decoder could not follow.
    if (Mix_SetMusicPosition(time / 1000.0) == -1)
        printf("Mix_SetMusicPosition: %s\n", SDL_GetError());
}

float SDLAudioPlayer::GetTime() {
    // A finished track keeps the clock going, or the demo would stop on its
    // last frame for ever.
    if (playing) return float(SDL_GetTicks()) - startTick;
    // Frozen at the offset of the last start.
    return playTick - startTick;
}

float SDLAudioPlayer::GetAbsTime() { return float(SDL_GetTicks()); }

void SDLAudioPlayer::Stop() {
    playing = false;
    Mix_HaltMusic();
}

void SDLAudioPlayer::SetVolume(int v) {
    volume = v;
    Mix_VolumeMusic(v);
}

int SDLAudioPlayer::GetVolume() { return volume; }

// Runs on SDL_mixer's audio thread: it only posts an event.
void SDLAudioPlayer::MusicFinished() {
    SDLAudioPlayer* player = player_this;
    if (player) PushSystemEvent(App::SystemMusicFinished, player, player->app);
}

void SDLAudioPlayer::CleanUp() {
    ReleaseMusic();
    if (audioOpen) {
        Mix_CloseAudio();
        audioOpen = false;
    }
    // The hook belongs to the player that loaded last; another player's
    // clean-up must not silence it.
    if (player_this == this) {
        Mix_HookMusicFinished(nullptr);
        player_this = nullptr;
    }
}
