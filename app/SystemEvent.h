// Posting a system message from any thread: the main loop turns the
// SDL_USEREVENT into App::OnSystemMessage on the main thread.
#pragma once

#include "app/App.h"

class SystemObject;

// code, data1 = the sending object, data2 = the application to notify.
// False when SDL's event queue refused the event (full or not running).
bool PushSystemEvent(App::SystemMessageCode code, SystemObject* object, App* app);
