// One-shot timer on SDL's timer thread; expiry is posted as SystemTimerExpired.
#pragma once

#include <SDL/SDL.h>

#include "app/Timer.h"

class SDLTimer : public Timer {
public:
    explicit SDLTimer(App* app);
    // Stops the last armed timer so its callback never sees a deleted object.
    ~SDLTimer() override;
    SDLTimer(const SDLTimer&) = delete;
    SDLTimer& operator=(const SDLTimer&) = delete;

    // Stops the timer armed by the last SetAfter only.
    void Stop() override;
    // Arms a new timer; one armed earlier keeps running and still fires once.
    void SetAfter(float milliseconds) override;

    SDL_TimerID id;  // of the last SetAfter; null when none is armed

private:
    static Uint32 Expired(Uint32 interval, void* param);
};
