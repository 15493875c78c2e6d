// Posting system messages through SDL's event queue.
#include "app/SystemEvent.h"

#include <SDL/SDL.h>

bool PushSystemEvent(App::SystemMessageCode code, SystemObject* object, App* app) {
    SDL_Event event;
    event.type = SDL_USEREVENT;
    event.user.type = SDL_USEREVENT;
    event.user.code = code;
    event.user.data1 = object;
    event.user.data2 = app;
    // SDL_PushEvent takes the queue's lock, so timer and audio threads may call it.
    return SDL_PushEvent(&event) == 0;
}
