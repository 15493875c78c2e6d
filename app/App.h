// The abstract application driven by the shell, its description record and the
// messages the shell hands it.
#pragma once

#include <functional>
#include <string>

class SystemObject;

struct InputMessage {
    enum Type {
        IM_ArrowUp = 1,
        IM_ArrowDown = 2,
        IM_ArrowLeft = 3,
        IM_ArrowRight = 4,
        IM_Key = 5,
        IM_Home = 6,
    };
    int type;
    // Low 8 bits of the key's Unicode translation; 0 for keys without one.
    unsigned char key;
};

class App {
public:
    struct Info {
        Info(const char* name, bool fullscreen, unsigned int width, unsigned int height,
             unsigned char colorBits, unsigned char alphaBits, unsigned char depthBits,
             unsigned char samples, unsigned char fps, const char* resourceLibrary)
            : name(name), fullscreen(fullscreen), width(width), height(height),
              colorBits(colorBits), alphaBits(alphaBits), depthBits(depthBits),
              samples(samples), fps(fps), resourceLibrary(resourceLibrary) {}

        const char* name;          // window caption
        bool fullscreen;
        unsigned int width;        // pixels
        unsigned int height;
        unsigned char colorBits;   // total; each of red, green, blue gets colorBits / 3
        unsigned char alphaBits;
        unsigned char depthBits;
        unsigned char samples;     // 0: no multisampling
        unsigned char fps;         // 0: unpaced
        const char* resourceLibrary;  // archive opened at start; null: none
    };

    enum SystemMessageCode {
        SystemQuit = 1,
        SystemTimerExpired = 2,
        SystemMusicLoaded = 3,
        SystemMusicFinished = 4,
    };

    // Command-line settings beyond the window options (authors' and testing
    // options), handed over by the shell just before OnInit.
    struct RunOptions {
        RunOptions()
            : hasStartTime(false), startTime(0.0f), offline(false), check(false), watch(false),
              hasScriptTimeLimit(false), scriptTimeLimit(0.0f) {}
        bool hasStartTime;
        float startTime;  // --start, milliseconds
        bool offline;     // --capture: the clock steps 1000/fps ms per frame, no music clock
        bool check;       // --check: problems are collected from the start script on
        bool watch;       // --watch: files read are watched, a change reloads the content
        bool hasScriptTimeLimit;
        float scriptTimeLimit;  // --script-time-limit, seconds; 0: none
    };

    // Called by OnCheck after each frame it draws on the screen, with a name for it.
    typedef std::function<void(const char* name)> FrameDone;

    App() : frames(0) {}
    virtual ~App() {}
    virtual bool OnInit(unsigned int width, unsigned int height) = 0;
    virtual void OnDeinit() = 0;
    virtual void OnSetSize(unsigned int width, unsigned int height) = 0;
    virtual void OnSetFPS(unsigned int fps) = 0;
    virtual float OnStart() { return 0.0f; }
    virtual bool OnInputMessage(const InputMessage&) { return false; }
    virtual bool OnSystemMessage(SystemMessageCode, SystemObject*) { return false; }
    // true: the application wants to stop.
    virtual bool OnRender() = 0;
    virtual void OnRunOptions(const RunOptions&) {}
    // --check, instead of OnStart and the frames: loads and draws everything
    // once, prints every problem found and returns their number; -1 when the
    // application has nothing to check.
    virtual int OnCheck(const FrameDone&) { return -1; }
    // What an offline capture needs to know of the content once OnInit ran:
    // its music and the stretch of time its frames cover.
    struct Timeline {
        Timeline() : musicURL(nullptr), startTime(0.0f), length(0.0f) {}
        const char* musicURL;  // asked for by the content; null: none
        float startTime;       // ms at which the first frame plays
        float length;          // ms played from startTime; 0: unknown
    };
    virtual Timeline GetTimeline() const { return Timeline(); }
    // What the window caption shows after the application's name while it
    // returns true ("part 2/4 — 12.34 s"); false: the name alone.
    virtual bool GetStatus(std::string*) const { return false; }

    // Counts only frames for which OnRender returned false, so OnStart (called
    // while the count is 0) runs exactly once before the first counted frame.
    bool Render() {
        bool stop = OnRender();
        if (!stop) ++frames;
        return stop;
    }
    unsigned int GetFrameCount() const { return frames; }

    // Supplied by the application module.
    static const Info& GetInfo();
    static App* CreateApp();

private:
    unsigned int frames;
};
