// The SDL 1.2 + EGL shell: command line, window and OpenGL ES 2.0 context, the
// paced single-threaded main loop, events, and shutdown.
#pragma once

#include "app/App.h"
#include "app/SDLPlatform.h"
#include "render/gles2/GLES2Engine.h"

#include <EGL/egl.h>
#include <SDL/SDL.h>

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

    // Writes the pixels of the back buffer as an RGB PNG (rows top-down).
    bool CaptureFrame(const char* path);

private:
    bool ParseUnsigned(const char* name, unsigned int* out) const;
    bool InitEGL(NativeDisplayType nativeDisplay, NativeWindowType nativeWindow);
    void ReleaseEGL();
    void Shutdown();

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
};
