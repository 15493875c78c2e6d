// An application that records the system messages it is sent, and an event
// pump that delivers SDL user events to it the way the shell's loop does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/App.h"

namespace testsupport {

class RecordingApp : public App {
public:
    struct Message {
        SystemMessageCode code;
        SystemObject* object;
    };

    bool OnInit(unsigned int, unsigned int) override { return true; }
    void OnDeinit() override {}
    void OnSetSize(unsigned int, unsigned int) override {}
    void OnSetFPS(unsigned int) override {}
    bool OnRender() override { return false; }
    bool OnSystemMessage(SystemMessageCode code, SystemObject* object) override {
        messages.push_back({code, object});
        return false;
    }
    // Messages with the given code.
    int Count(SystemMessageCode code) const;

    std::vector<Message> messages;
};

// An SDL_USEREVENT as it came out of the queue.
struct UserEvent {
    int code;
    void* data1;
    void* data2;
};

// SDL with its dummy video driver (the event queue lives with video), the
// timer subsystem and the dummy audio driver, so no display or sound card is
// needed. Returns false (with SDL's error in `error`) when SDL_Init failed.
bool InitSdlForTests(std::string* error);

// Polls SDL events for at most `milliseconds`, or until `done` returns true
// after a poll round; each user event is handed to the App in its data2 as
// the shell does. Returns every user event seen, in order.
std::vector<UserEvent> PumpUserEvents(unsigned int milliseconds,
                                      const std::function<bool()>& done = nullptr);

// Empties the queue without delivering anything: events left by an earlier
// case may name an application that no longer exists.
void DiscardUserEvents();

}  // namespace testsupport
