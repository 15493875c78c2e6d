// The music interface; the track time it reports is the demo's clock.
#pragma once

#include "app/SystemObject.h"

class AudioPlayer : public SystemObject {
public:
    explicit AudioPlayer(App* app) : SystemObject(app) {}
    int GetType() const override { return ST_AudioPlayer; }
    virtual bool LoadStream(const char* url) = 0;
    virtual void Play() = 0;
    virtual void Play(float offset) = 0;  // milliseconds
    virtual void Stop() = 0;
    virtual void SetVolume(int volume) = 0;
    virtual int GetVolume() = 0;
    virtual float GetTime() = 0;          // milliseconds
    virtual void SetTime(float time) = 0; // milliseconds
};
