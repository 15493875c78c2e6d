// The demo application: forwards the shell's lifecycle, keys and frames to the
// demo engine, which plays the timeline the start script builds.
#pragma once

#include "app/App.h"

class LuaScriptEngine;
class PackageCheck;

namespace Demo {
class Engine;
}

class DemoApp : public App {
public:
    // Neither singleton is owned; the demo engine learns this application.
    DemoApp(LuaScriptEngine* scriptEngine, Demo::Engine* engine);
    ~DemoApp() override;

    // Sizes the engine, sets the frame rate of the description record and runs
    // "resource://scripts/init.lua"; true whatever the script does.
    bool OnInit(unsigned int width, unsigned int height) override;
    void OnDeinit() override;
    void OnSetSize(unsigned int width, unsigned int height) override;
    void OnSetFPS(unsigned int fps) override;
    float OnStart() override;
    // Space pauses or resumes, '1' seeks to time 0.
    bool OnInputMessage(const InputMessage& msg) override;
    bool OnSystemMessage(SystemMessageCode code, SystemObject* object) override;
    bool OnRender() override;
    // --start becomes the engine's start time; --capture plays offline;
    // --check starts collecting problems before the start script runs.
    void OnRunOptions(const RunOptions& options) override;
    int OnCheck(const FrameDone& frameDone) override;
    Timeline GetTimeline() const override;

    LuaScriptEngine* scriptEngine;  // not owned
    Demo::Engine* engine;           // not owned
    RunOptions runOptions;          // from the shell, before OnInit
    PackageCheck* check;            // owned; --check only
};
