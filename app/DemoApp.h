// The demo application: forwards the shell's lifecycle, keys and frames to the
// demo engine, which plays the timeline the start script builds; and, for
// authors, reloads all of it when a file it read changes.
#pragma once

#include <string>
#include <vector>

#include "app/App.h"
#include "demo/ProgramKeeper.h"

class FileWatcher;
class LuaScriptEngine;
class PackageCheck;

namespace Demo {
class Engine;
}

class DemoApp : public App {
public:
    // Takes both engines over: they are deleted with the application, and
    // replaced by fresh ones on every reload. The demo engine learns this
    // application.
    DemoApp(LuaScriptEngine* scriptEngine, Demo::Engine* engine);
    ~DemoApp() override;
    DemoApp(const DemoApp&) = delete;
    DemoApp& operator=(const DemoApp&) = delete;

    // Sizes the engine, sets the frame rate of the description record and runs
    // "resource://scripts/init.lua"; true whatever the script does.
    bool OnInit(unsigned int width, unsigned int height) override;
    void OnDeinit() override;
    void OnSetSize(unsigned int width, unsigned int height) override;
    void OnSetFPS(unsigned int fps) override;
    float OnStart() override;
    // Space pauses or resumes, '1' and Home seek to time 0; once started,
    // Left / Right seek 1 s, Down / Up 10 s, ',' and '.' step a frame while
    // paused, and 'r' reloads.
    bool OnInputMessage(const InputMessage& msg) override;
    bool OnSystemMessage(SystemMessageCode code, SystemObject* object) override;
    // With --watch, a settled change to a file read reloads first, and the
    // end of the timeline holds there, paused, instead of ending the run.
    bool OnRender() override;
    // --start becomes the engine's start time; --capture plays offline;
    // --check starts collecting problems before the start script runs;
    // --watch watches the files the content is read from.
    void OnRunOptions(const RunOptions& options) override;
    int OnCheck(const FrameDone& frameDone) override;
    Timeline GetTimeline() const override;
    // "part 2/4 — 12.34 s" while watching or paused.
    bool GetStatus(std::string* status) const override;

    // Releases everything the start script built (script state, demo
    // objects, scenes, GPU objects), runs it again and seeks back to the time
    // it was at, paused if it was. The music is loaded again only when its
    // file is among `changed` (paths as read; "" for anything); otherwise it
    // is kept and seeked.
    void Reload(const std::vector<std::string>& changed);

    LuaScriptEngine* scriptEngine;  // owned
    Demo::Engine* engine;           // owned
    RunOptions runOptions;          // from the shell, before OnInit
    PackageCheck* check;            // owned; --check only
    FileWatcher* watcher;           // owned; --watch only
    Demo::ProgramKeeper keeper;     // last good programs, across reloads

private:
    // The part of OnInit a reload repeats.
    void RunStartScript();
    // After a start: the files read since the last start, the music and the
    // archive become the watched set.
    void WatchFilesRead();
    void HoldAtEnd();

    unsigned int width;
    unsigned int height;
    unsigned int fps;
    bool started;       // OnStart ran
    bool reloadWanted;  // the 'r' key, taken by the next frame
    std::string musicFile;  // the music's file as the player opens it; "" without
};
