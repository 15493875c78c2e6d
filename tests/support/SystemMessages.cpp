// SDL set-up for tests and the user-event pump.
#include "support/SystemMessages.h"

#include <SDL/SDL.h>

#include <cstdlib>

namespace testsupport {

bool InitSdlForTests() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) == 0;
}

void PumpUserEvents(unsigned int milliseconds, const std::function<bool()>& done) {
    for (Uint32 start = SDL_GetTicks();; SDL_Delay(2)) {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (e.type == SDL_USEREVENT && e.user.data2)
                static_cast<App*>(e.user.data2)
                    ->OnSystemMessage(App::SystemMessageCode(e.user.code),
                                      static_cast<SystemObject*>(e.user.data1));
        if ((done && done()) || SDL_GetTicks() - start >= milliseconds) return;
    }
}

void DiscardUserEvents() {
    for (SDL_Event e; SDL_PollEvent(&e);) {
    }
}

}  // namespace testsupport
