// The SDL 1.2 + EGL shell: start-up, the paced main loop, events, shutdown
// and frame capture (the offline side is in SDLAppOffline.cpp).
#include "app/SDLApp.h"

#include "app/HeadlessDisplay.h"

#include <GLES2/gl2.h>
#include <SDL/SDL_syswm.h>

#include <dlfcn.h>
#include <link.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
      frameLimit(0), framesDrawn(0), captureDir(nullptr), sdlStarted(false), captionShown(0),
      sampleTicks(), sampleFrames(), sampleNext(0), checkMode(false),
      headless(false), showProgress(false), discardFrames(false), audioPath(nullptr),
      frameFd(-1), exitStatus(0), progressTotal(0), progressStart(0), progressShown(0) {
    Platform::current = &platform;
}

SDLApp::~SDLApp() {
    // Run normally shuts down; this covers an Initialize without Run (tests, tools).
    if (app) Deinitialize();
    writer.Finish();
    if (frameFd >= 0) close(frameFd);
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
    if (!ReadOfflineOptions()) return false;
    // EGL needs an X11 window; without a display SDL would otherwise fall back
    // to a text-mode driver and draw into the terminal before failing.
    if (!headless) setenv("SDL_VIDEODRIVER", "x11", 0);
    // Headless: no video subsystem at all, so no window, events or caption.
    if (SDL_Init(SDL_INIT_TIMER | (headless ? 0 : SDL_INIT_VIDEO)) < 0) {
        SDL_Quit();
        // Nothing below may use a video subsystem that never started.
        return false;
    }
    sdlStarted = true;
    // After SDL_Init, which installs SDL's own handlers.
    InstallQuitSignals();
    if (!headless) SDL_ShowCursor(0);

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
    if (const char* archive = GetOption("--archive", true))
        if (strcmp(archive, "--archive") != 0) info.resourceLibrary = archive;
    // Offline sizes are refused before anything of that size is made.
    bool offline = captureDir || checkMode;
    if (offline && (!CheckOutputSize("--width") || !CheckOutputSize("--height"))) return false;

    if (headless) {
        if (!HeadlessDisplay::Open(width, height, info, &display, &eglSurface, &context))
            return false;
    } else if (!OpenWindow()) {
        return false;
    }

    engine.GetRenderer()->Init();
    if (captureDir && !OpenCapture()) return false;

    if (!UseContentFolders() && info.resourceLibrary)
        platform.LoadResourceLibrary(info.resourceLibrary);

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
    const char* limit = GetOption("--script-time-limit", true);
    if (limit && strcmp(limit, "--script-time-limit") != 0) {
        options.hasScriptTimeLimit = true;
        options.scriptTimeLimit = strtof(limit, nullptr);
    }
    options.offline = offline;
    options.check = checkMode;
    if (GetOption("--watch", false)) {
        if (offline)
            fprintf(stderr, "SDLApp::Initialize(): --watch needs a window; not watching offline\n");
        else
            options.watch = true;
    }
    app->OnRunOptions(options);
    if (app->OnInit(width, height)) {
        // After the application's own SetFPS, so --fps wins.
        app->OnSetFPS(fps);
        timeline = app->GetTimeline();
        // Kept as a copy: the URL lives in the application, which goes first.
        if (timeline.musicURL) musicURL = timeline.musicURL;
        timeline.musicURL = nullptr;
        return true;
    }
    Deinitialize();
    fprintf(stderr, "Can't initialize application\n");
    return false;
}

bool SDLApp::UseContentFolders() {
    bool any = false;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i] || strcmp(argv[i], "--content") != 0) continue;
        if (i + 1 >= argc || !argv[i + 1]) {
            fprintf(stderr, "SDLApp::Initialize(): --content needs a folder\n");
            break;
        }
        platform.AddContentFolder(argv[++i]);
        any = true;
    }
    if (any && GetOption("--archive", false))
        fprintf(stderr, "SDLApp::Initialize(): --content given, the archive is not opened\n");
    return any;
}

bool SDLApp::OpenWindow() {
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
    return true;
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
    // which no shader can be created; without EGL_DEPTH_SIZE one with no depth
    // buffer, so scenes drawn to the screen ignore the depth test.
    EGLint multisampled[] = {EGL_SURFACE_TYPE,  EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                             EGL_DEPTH_SIZE,    EGLint(info.depthBits),
                             EGL_SAMPLE_BUFFERS, 1,
                             EGL_SAMPLES,       EGLint(info.samples),
                             EGL_NONE};
    EGLint plain[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                      EGL_DEPTH_SIZE,   EGLint(info.depthBits), EGL_NONE};
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

#if defined(__SANITIZE_ADDRESS__)
static int KeepLoaded(struct dl_phdr_info* object, size_t, void*) {
    if (object->dlpi_name && object->dlpi_name[0])
        dlopen(object->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}
#endif

void SDLApp::ReleaseEGL() {
    if (display == EGL_NO_DISPLAY) return;
#if defined(__SANITIZE_ADDRESS__)
    // The leak check runs at exit, after eglTerminate has unloaded the GL
    // driver: what the driver still held would count as lost, in code no
    // longer there to be named. Sanitizer builds keep every library loaded.
    dl_iterate_phdr(KeepLoaded, nullptr);
#endif
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
    if (checkMode) {
        int status = RunCheck();
        Shutdown();
        return exitStatus ? exitStatus : status;
    }
    Uint32 t0 = SDL_GetTicks();
    running = true;
    paceStart = statsStart = t0;
    paceFrames = statsFrames = 0;
    captionShown = t0;
    for (unsigned int i = 0; i < kRateSamples; ++i) {
        sampleTicks[i] = t0;
        sampleFrames[i] = framesDrawn;
    }

    while (running) {
        if (quitSignal) {
            // Taken in time: the ordinary shutdown follows. A capture cut
            // short is not a finished one.
            alarm(0);
            if (captureDir) exitStatus = 128 + quitSignal;
            break;
        }
        SDL_Event event;
        while (running && SDL_PollEvent(&event)) HandleEvent(&event);
        if (!running) break;
        Uint32 now = SDL_GetTicks();
        lastFrameTick = now;
        Update(now);
        Draw();
        UpdateCaption(SDL_GetTicks());
    }
    Shutdown();
    return exitStatus;
}

void SDLApp::Shutdown() {
    if (captureDir && !FinishCapture() && exitStatus == 0) exitStatus = 1;
    if (app) {
        app->OnSystemMessage(App::SystemQuit, nullptr);
        Deinitialize();
    }
    ReleaseEGL();
    SDL_Quit();
    sdlStarted = false;
    RemoveQuitSignals();
}

// SDL sets the UTF-8 title (_NET_WM_NAME, what window managers show) only
// when the C library's locale can convert it, which the C locale cannot do
// for a dash; the property is set here directly as well.
static void SetCaption(const char* title, const char* iconName) {
    SDL_WM_SetCaption(title, iconName);
    SDL_SysWMinfo wm;
    memset(&wm, 0, sizeof wm);
    SDL_VERSION(&wm.version);
    if (SDL_GetWMInfo(&wm) != 1 || wm.subsystem != SDL_SYSWM_X11) return;
    Display* x = wm.info.x11.display;
    wm.info.x11.lock_func();
    Atom name = XInternAtom(x, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
    XChangeProperty(x, wm.info.x11.wmwindow, name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), int(strlen(title)));
    XFlush(x);
    wm.info.x11.unlock_func();
}

void SDLApp::UpdateCaption(Uint32 now) {
    if (headless || !app) return;
    // Four times a second: readable, and the window manager is not flooded.
    if (Uint32(now - captionShown) < 250) return;
    captionShown = now;
    unsigned int oldest = sampleNext;  // the sample about a second old
    double seconds = Uint32(now - sampleTicks[oldest]) / 1000.0;
    double rate = seconds > 0 ? (framesDrawn - sampleFrames[oldest]) / seconds : 0.0;
    sampleTicks[sampleNext] = now;
    sampleFrames[sampleNext] = framesDrawn;
    sampleNext = (sampleNext + 1) % kRateSamples;

    std::string status;
    if (app->GetStatus(&status)) {
        char text[48];
        snprintf(text, sizeof text, " \xE2\x80\x94 %.1f fps", rate);
        std::string wanted = std::string(info.name) + " \xE2\x80\x94 " + status + text;
        if (wanted != caption) SetCaption(wanted.c_str(), info.name);
        caption = wanted;
    } else if (!caption.empty()) {
        SetCaption(info.name, info.name);
        caption.clear();
    }
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
        case SDLK_HOME: msg.type = InputMessage::IM_Home; break;
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
    // Only frames the application drew: the one that ends it draws nothing.
    if (captureDir && running) {
        QueueFrame(nullptr);
        // Shutdown reports why; the frames after a failed one are not wanted.
        if (writer.HasFailed()) running = false;
    }
    eglSwapBuffers(display, eglSurface);
    ++framesDrawn;
    if (showProgress && captureDir) ShowProgress(false);
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
