// The SDL 1.2 + EGL shell: command line, window and OpenGL ES 2.0 context, the
// paced single-threaded main loop, events, and shutdown.
#pragma once

#include "app/App.h"
#include "app/FrameWriter.h"
#include "app/SDLPlatform.h"
#include "render/gles2/GLES2Engine.h"

#include <EGL/egl.h>
#include <SDL/SDL.h>

#include <string>

class SDLApp {
public:
    typedef App* (*AppFactory)();

    SDLApp(int argc, char** argv);
    // For applications other than the one the application module supplies
    // (tests, tools): its factory and its description record.
    SDLApp(int argc, char** argv, AppFactory factory, const App::Info& info);
    ~SDLApp();

    const char* GetOption(const char* name, bool hasValue) const;
    bool Initialize();
    int Run();
    void HandleEvent(SDL_Event* event);
    void Update(unsigned int now);
    bool Draw();
    void Deinitialize();
    void Terminate();
    void ToggleFullscreen();

    App* GetApp() const { return app; }
    GLES2Engine* GetEngine() { return &engine; }
    const App::Info& GetInfo() const { return info; }
    unsigned int GetWidth() const { return width; }
    unsigned int GetHeight() const { return height; }
    unsigned int GetFPS() const { return fps; }
    bool IsFullscreen() const { return fullscreen; }
    bool IsRunning() const { return running; }

    // Drawing without a window (--headless, or offline without an X display).
    bool IsHeadless() const { return headless; }

private:
    bool ParseUnsigned(const char* name, unsigned int* out) const;
    // The SDL window and EGL on it (everything but --headless).
    bool OpenWindow();
    bool InitEGL(NativeDisplayType nativeDisplay, NativeWindowType nativeWindow);
    void ReleaseEGL();
    void Shutdown();
    // --content folders (all of them, in order) replace the archive.
    bool UseContentFolders();
    // The status the application reports, a few times a second.
    void UpdateCaption(Uint32 now);

    int argc;
    char** argv;
    unsigned int width;
    unsigned int height;
    unsigned int fps;
    bool fullscreen;
    App* app;  // owned
    App::Info info;
    SDLPlatform platform;
    Uint32 lastFrameTick;
    Uint32 paceStart;
    Uint32 paceFrames;
    Uint32 statsStart;
    Uint32 statsFrames;
    bool running;
    SDL_Surface* surface;
    GLES2Engine engine;
    EGLDisplay display;
    EGLSurface eglSurface;
    EGLContext context;

    // Where the application and its description come from.
    AppFactory factory;
    App::Info appInfo;

    // Options for authors and testing, on top of the window options.
    unsigned int frameLimit;      // --frames: 0 = no limit
    unsigned int framesDrawn;
    const char* captureDir;       // --capture: null = off
    bool sdlStarted;              // SDL_Init succeeded and SDL_Quit is still due

    // The caption's status: when it was shown, what it says, and frames
    // drawn at the last few updates, for the rate delivered over about a second.
    static const unsigned int kRateSamples = 4;
    Uint32 captionShown;
    std::string caption;          // "" while the caption is the name alone
    Uint32 sampleTicks[kRateSamples];
    unsigned int sampleFrames[kRateSamples];
    unsigned int sampleNext;

    // Offline rendering: --capture, --check, the headless context, the music
    // written beside the frames.
    bool ReadOfflineOptions();
    bool CheckOutputSize(const char* option) const;
    bool OpenCapture();
    void QueueFrame(const char* name);
    void ShowProgress(bool last);
    int RunCheck();
    bool FinishCapture();
    bool WriteAudio();

    bool checkMode;               // --check
    bool headless;                // no window: EGL's surfaceless platform
    bool showProgress;            // --progress
    bool discardFrames;           // --no-write: frames read back, not written
    const char* audioPath;        // --audio, else DIR/audio.wav; null: none
    int frameFd;                  // --capture -: the frame stream (the original stdout)
    int exitStatus;
    unsigned int progressTotal;   // frames expected; 0: unknown
    Uint32 progressStart;
    Uint32 progressShown;
    App::Timeline timeline;       // the content's, read after OnInit
    std::string musicURL;         // copied: the application goes before the audio is written
    FrameWriter writer;
};
