// SDL timers posting their expiry into the event queue.
#include "app/SDLTimer.h"

#include <cstdio>

#include "app/SystemEvent.h"

SDLTimer::SDLTimer(App* app) : Timer(app), id(nullptr) {}

SDLTimer::~SDLTimer() { Stop(); }

void SDLTimer::Stop() {
    if (id) SDL_RemoveTimer(id);
    id = nullptr;
}

void SDLTimer::SetAfter(float milliseconds) {
    // Truncated toward zero. Negative, NaN and out-of-range values are clamped
    // (converting them to an unsigned integer is undefined), and the least is
    // 1 ms: SDL never cancels a 0 ms timer, whatever its callback returns.
    Uint32 ms = 1;
    if (milliseconds >= 4294967295.0f)
        ms = 0xFFFFFFFFu;
    else if (milliseconds >= 1.0f)
        ms = Uint32(milliseconds);
    id = SDL_AddTimer(ms, Expired, this);
    if (!id) fprintf(stderr, "Can't add timer: %s\n", SDL_GetError());
}

// Runs on SDL's timer thread. Returning 0 makes SDL drop exactly the timer that
// fired. Removing it by the stored id instead would miss it when it fires before
// SDL_AddTimer has returned, and would remove the wrong one after a second
// SetAfter, leaving the first to fire forever; the id is not touched here.
Uint32 SDLTimer::Expired(Uint32, void* param) {
    SDLTimer* timer = static_cast<SDLTimer*>(param);
    PushSystemEvent(App::SystemTimerExpired, timer, timer->app);
    return 0;
}
