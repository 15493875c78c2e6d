// An application that records the system messages it is sent, and an event
// pump that hands SDL user events to it the way the shell's loop does.
#pragma once

#include <functional>
#include <vector>

#include "app/App.h"

namespace testsupport {

class RecordingApp : public App {
public:
    struct Message {
        SystemMessageCode code;
        SystemObject* object;
        bool operator==(const Message& o) const { return code == o.code && object == o.object; }
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
    std::vector<Message> messages;
};

// SDL with the timer and the dummy video (it holds the event queue) and audio.
bool InitSdlForTests();
// Hands user events to the App in their data2 for `milliseconds` or until `done`.
void PumpUserEvents(unsigned int milliseconds, const std::function<bool()>& done = nullptr);
// Drops queued events: one left by an earlier case may name a dead App.
void DiscardUserEvents();

}  // namespace testsupport
