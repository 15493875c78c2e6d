// The SDL 1.2 + EGL shell: start-up, the paced main loop, events, shutdown
// and the offline frame capture.
#include "app/SDLApp.h"

#include <GLES2/gl2.h>
#include <SDL/SDL_syswm.h>
#include <png.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// The shell's own description, used until Initialize copies the application's.
static const App::Info kShellInfo("Vomra Default Application", false, 640, 480, 24, 8, 16, 0, 0,
                                  nullptr);

static App* CreateModuleApp() { return App::CreateApp(); }

// SIGINT / SIGTERM. SDL turns them into a quit event, which nobody reads while
// a start script runs or a frame hangs; so the first signal only asks the main
// loop to end, and a second one, or the first left untaken for 2 s, ends the
// process with the shell's status for that signal (130, 143).
static volatile sig_atomic_t quitSignal = 0;
static volatile sig_atomic_t signalCount = 0;
static struct sigaction savedInt, savedTerm, savedAlarm;
static bool signalsInstalled = false;

static void OnQuitSignal(int sig) {
    if (signalCount++ > 0) _exit(128 + sig);
    quitSignal = sig;
    alarm(2);
}

static void OnQuitTimeout(int) { _exit(128 + quitSignal); }

static void InstallQuitSignals() {
    if (signalsInstalled) return;
    quitSignal = 0;
    signalCount = 0;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnQuitSignal;
    sigaction(SIGINT, &action, &savedInt);
    sigaction(SIGTERM, &action, &savedTerm);
    action.sa_handler = OnQuitTimeout;
    sigaction(SIGALRM, &action, &savedAlarm);
    signalsInstalled = true;
}

static void RemoveQuitSignals() {
    if (!signalsInstalled) return;
    alarm(0);
    sigaction(SIGINT, &savedInt, nullptr);
    sigaction(SIGTERM, &savedTerm, nullptr);
    sigaction(SIGALRM, &savedAlarm, nullptr);
    signalsInstalled = false;
}

SDLApp::SDLApp(int argc, char** argv) : SDLApp(argc, argv, CreateModuleApp, App::GetInfo()) {}

SDLApp::SDLApp(int argc, char** argv, AppFactory factory, const App::Info& appInfo)
    : argc(argc), argv(argv), width(640), height(480), fps(60), fullscreen(true), app(nullptr),
      info(kShellInfo), lastFrameTick(0), paceStart(0), paceFrames(0), statsStart(0),
      statsFrames(0), running(false), surface(nullptr), display(EGL_NO_DISPLAY),
      eglSurface(EGL_NO_SURFACE), context(EGL_NO_CONTEXT), factory(factory), appInfo(appInfo),
      frameLimit(0), framesDrawn(0), captureDir(nullptr), sdlStarted(false) {
    Platform::current = &platform;
}

SDLApp::~SDLApp() {
    // Run normally shuts down; this covers an Initialize without Run (tests, tools).
    if (app) Deinitialize();
    ReleaseEGL();
    if (sdlStarted) SDL_Quit();
    RemoveQuitSignals();
    if (Platform::current == &platform) Platform::current = nullptr;
}

const char* SDLApp::GetOption(const char* name, bool hasValue) const {
    if (argc < 2) return nullptr;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && strcmp(argv[i], name) == 0) {
            // A value option given last takes its own text as the value.
            if (hasValue && i + 1 < argc) return argv[i + 1];
            return argv[i];
        }
    }
    return nullptr;
}

bool SDLApp::ParseUnsigned(const char* name, unsigned int* out) const {
    const char* value = GetOption(name, true);
    if (!value) return false;
    *out = (unsigned int)strtol(value, nullptr, 10);
    return true;
}

bool SDLApp::Initialize() {
    // EGL needs an X11 window; without a display SDL would otherwise fall back
    // to a text-mode driver and draw into the terminal before failing.
    setenv("SDL_VIDEODRIVER", "x11", 0);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        SDL_Quit();
        // Nothing below may use a video subsystem that never started.
        return false;
    }
    sdlStarted = true;
    // After SDL_Init, which installs SDL's own handlers.
    InstallQuitSignals();
    SDL_ShowCursor(0);

    info = appInfo;
    width = info.width;
    height = info.height;
    fps = info.fps;
    fullscreen = info.fullscreen;

    ParseUnsigned("--fps", &fps);
    ParseUnsigned("--width", &width);
    ParseUnsigned("--height", &height);
    if (GetOption("--fullscreen", false))
        fullscreen = true;
    else if (GetOption("--window", false))
        fullscreen = false;
    ParseUnsigned("--frames", &frameLimit);
    captureDir = GetOption("--capture", true);
    if (captureDir && strcmp(captureDir, "--capture") == 0) captureDir = nullptr;
    // A missing folder is made; a failure shows when the first frame is written.
    if (captureDir) mkdir(captureDir, 0755);
    if (const char* archive = GetOption("--archive", true))
        if (strcmp(archive, "--archive") != 0) info.resourceLibrary = archive;

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, info.depthBits);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, info.colorBits / 3);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, info.colorBits / 3);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, info.colorBits / 3);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, info.alphaBits);

    // No SDL_OPENGL: the GL surface comes from EGL.
    surface = SDL_SetVideoMode(int(width), int(height), 0, fullscreen ? SDL_FULLSCREEN : 0);
    if (!surface) return false;

    SDL_SysWMinfo wm;
    memset(&wm, 0, sizeof wm);
    wm.version.major = 1;
    wm.version.minor = 2;
    wm.version.patch = 11;
    if (SDL_GetWMInfo(&wm) != 1 || wm.subsystem != SDL_SYSWM_X11) {
        fprintf(stderr, "SDL_GetWMInfo() failed\n");
        return false;
    }
    if (!InitEGL((NativeDisplayType)wm.info.x11.display, (NativeWindowType)wm.info.x11.window))
        return false;

    SDL_WM_SetCaption(info.name, info.name);
    SDL_EnableUNICODE(1);

    engine.GetRenderer()->Init();

    if (info.resourceLibrary) platform.LoadResourceLibrary(info.resourceLibrary);

    app = factory();
    if (!app) {
        fprintf(stderr, "Can't initialize application\n");
        return false;
    }
    // Before OnInit: the start script must already know it runs offline.
    App::RunOptions options;
    const char* start = GetOption("--start", true);
    if (start && strcmp(start, "--start") != 0) {
        options.hasStartTime = true;
        options.startTime = strtof(start, nullptr);
    }
    options.offline = captureDir != nullptr;
    app->OnRunOptions(options);
    if (app->OnInit(width, height)) {
        // After the application's own SetFPS, so --fps wins.
        app->OnSetFPS(fps);
        return true;
    }
    Deinitialize();
    fprintf(stderr, "Can't initialize application\n");
    return false;
}

bool SDLApp::InitEGL(NativeDisplayType nativeDisplay, NativeWindowType nativeWindow) {
    display = eglGetDisplay(nativeDisplay);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        fprintf(stderr, "eglInitialize() failed\n");
        return false;
    }
    printf("EGL %d.%d initialized\n", major, minor);
    fflush(stdout);

    // Without EGL_RENDERABLE_TYPE the driver may hand out an ES 1.x config on
    // which no shader can be created.
    EGLint multisampled[] = {EGL_SURFACE_TYPE,  EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                             EGL_SAMPLE_BUFFERS, 1,
                             EGL_SAMPLES,       EGLint(info.samples),
                             EGL_NONE};
    EGLint plain[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                      EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    bool chosen = false;
    if (info.samples != 0) {
        chosen = eglChooseConfig(display, multisampled, &config, 1, &count) && count == 1;
        if (!chosen)
            fprintf(stderr, "Warning: no EGL config with %d samples, multisampling is off\n",
                    int(info.samples));
    }
    if (!chosen) chosen = eglChooseConfig(display, plain, &config, 1, &count) && count == 1;
    if (!chosen) {
        fprintf(stderr, "eglChooseConfig() failed\n");
        return false;
    }

    eglGetError();  // each step is judged by the error it leaves, not an older one
    eglSurface = eglCreateWindowSurface(display, config, nativeWindow, nullptr);
    if (eglGetError() != EGL_SUCCESS || eglSurface == EGL_NO_SURFACE) {
        fprintf(stderr, "eglCreateWindowSurface() failed\n");
        return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (eglGetError() != EGL_SUCCESS || context == EGL_NO_CONTEXT) {
        fprintf(stderr, "eglCreateContext() failed\n");
        return false;
    }
    eglMakeCurrent(display, eglSurface, eglSurface, context);
    if (eglGetError() != EGL_SUCCESS) {
        fprintf(stderr, "eglMakeCurrent() failed\n");
        return false;
    }
    return true;
}

void SDLApp::ReleaseEGL() {
    if (display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    if (eglSurface != EGL_NO_SURFACE) eglDestroySurface(display, eglSurface);
    eglTerminate(display);
    display = EGL_NO_DISPLAY;
    context = EGL_NO_CONTEXT;
    eglSurface = EGL_NO_SURFACE;
}

int SDLApp::Run() {
    if (!Initialize()) {
        fprintf(stderr, "App init failed: %s\n", SDL_GetError());
        exit(1);
    }
    Uint32 t0 = SDL_GetTicks();
    running = true;
    paceStart = statsStart = t0;
    paceFrames = statsFrames = 0;

    while (running) {
        if (quitSignal) {
            // Taken in time: the ordinary shutdown follows.
            alarm(0);
            break;
        }
        SDL_Event event;
        while (running && SDL_PollEvent(&event)) HandleEvent(&event);
        if (!running) break;
        Uint32 now = SDL_GetTicks();
        lastFrameTick = now;
        Update(now);
        Draw();
    }
    Shutdown();
    return 0;
}

void SDLApp::Shutdown() {
    if (app) {
        app->OnSystemMessage(App::SystemQuit, nullptr);
        Deinitialize();
    }
    ReleaseEGL();
    SDL_Quit();
    sdlStarted = false;
    RemoveQuitSignals();
}

void SDLApp::HandleEvent(SDL_Event* event) {
    switch (event->type) {
    case SDL_QUIT:
        running = false;
        break;
    case SDL_KEYDOWN: {
        if (event->key.keysym.sym == SDLK_ESCAPE) {
            running = false;
            break;
        }
        InputMessage msg;
        msg.type = InputMessage::IM_Key;
        msg.key = (unsigned char)(event->key.keysym.unicode & 0xFF);
        switch (event->key.keysym.sym) {
        case SDLK_UP: msg.type = InputMessage::IM_ArrowUp; break;
        case SDLK_DOWN: msg.type = InputMessage::IM_ArrowDown; break;
        case SDLK_LEFT: msg.type = InputMessage::IM_ArrowLeft; break;
        case SDLK_RIGHT: msg.type = InputMessage::IM_ArrowRight; break;
        default: break;
        }
        if (app) app->OnInputMessage(msg);
        break;
    }
    case SDL_VIDEORESIZE:
        fprintf(stderr, "SDL_VIDEORESIZE\n");
        break;
    case SDL_USEREVENT: {
        App* target = static_cast<App*>(event->user.data2);
        if (target)
            target->OnSystemMessage(App::SystemMessageCode(event->user.code),
                                    static_cast<SystemObject*>(event->user.data1));
        break;
    }
    default:
        break;
    }
}

void SDLApp::Update(unsigned int now) {
    ++paceFrames;
    ++statsFrames;
    // Offline capture renders as fast as it can: its clock is the frame count.
    if (fps != 0 && !captureDir) {
        double delay = double(paceFrames) * (1000.0 / fps) - double(Uint32(now - paceStart));
        if (delay > 0) SDL_Delay(Uint32(delay));
        if (Uint32(now - paceStart) > 1000) {
            paceStart = now;
            paceFrames = 1;
        }
    }
    if (Uint32(now - statsStart) > 5000) {
        fprintf(stderr, "%.2f fps\n", statsFrames * 1000.0 / double(Uint32(now - statsStart)));
        statsStart = now;
        statsFrames = 0;
    }
}

bool SDLApp::Draw() {
    if (app->GetFrameCount() == 0) app->OnStart();
    running = !app->Render();
    if (captureDir) {
        char path[4096];
        snprintf(path, sizeof path, "%s/frame-%06u.png", captureDir, framesDrawn);
        if (!CaptureFrame(path)) {
            fprintf(stderr, "Can't write %s\n", path);
            running = false;
        }
    }
    eglSwapBuffers(display, eglSurface);
    ++framesDrawn;
    if (frameLimit != 0 && framesDrawn >= frameLimit) running = false;
    return true;
}

void SDLApp::Deinitialize() {
    app->OnDeinit();
    delete app;
    app = nullptr;
}

void SDLApp::Terminate() {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_QUIT;
    if (SDL_PushEvent(&event) < 0) {
        fprintf(stderr, "SDL_QUIT event can't be pushed: %s\n", SDL_GetError());
        exit(1);
    }
}

void SDLApp::ToggleFullscreen() {
    if (!SDL_WM_ToggleFullScreen(SDL_GetVideoSurface()))
        fprintf(stderr, "Unable to toggle fullscreen: %s\n", SDL_GetError());
}

bool SDLApp::CaptureFrame(const char* path) {
    std::vector<unsigned char> rgba(size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());

    FILE* file = fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop pngInfo = png ? png_create_info_struct(png) : nullptr;
    if (!png || !pngInfo || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &pngInfo);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, pngInfo, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, pngInfo);
    std::vector<unsigned char> row(size_t(width) * 3);
    // GL rows run bottom-up; PNG rows top-down.
    for (unsigned int y = 0; y < height; ++y) {
        const unsigned char* src = &rgba[size_t(height - 1 - y) * width * 4];
        for (unsigned int x = 0; x < width; ++x) {
            row[x * 3 + 0] = src[x * 4 + 0];
            row[x * 3 + 1] = src[x * 4 + 1];
            row[x * 3 + 2] = src[x * 4 + 2];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &pngInfo);
    return fclose(file) == 0;
}
