// The recording test application and the user-event pump.
#include "support/SystemMessages.h"

#include <SDL/SDL.h>

#include <cstdlib>

namespace testsupport {

int RecordingApp::Count(SystemMessageCode code) const {
    int n = 0;
    for (const Message& m : messages)
        if (m.code == code) ++n;
    return n;
}

bool InitSdlForTests(std::string* error) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) < 0) {
        if (error) *error = SDL_GetError();
        return false;
    }
    return true;
}

std::vector<UserEvent> PumpUserEvents(unsigned int milliseconds,
                                      const std::function<bool()>& done) {
    std::vector<UserEvent> seen;
    Uint32 start = SDL_GetTicks();
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type != SDL_USEREVENT) continue;
            seen.push_back({event.user.code, event.user.data1, event.user.data2});
            if (App* app = static_cast<App*>(event.user.data2))
                app->OnSystemMessage(App::SystemMessageCode(event.user.code),
                                     static_cast<SystemObject*>(event.user.data1));
        }
        if (done && done()) break;
        if (SDL_GetTicks() - start >= milliseconds) break;
        SDL_Delay(2);
    }
    return seen;
}

void DiscardUserEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
}

}  // namespace testsupport
