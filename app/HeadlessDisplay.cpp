// EGL's surfaceless platform for offline rendering without an X server.
#include "app/HeadlessDisplay.h"

#include <EGL/eglext.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

bool HeadlessDisplay::IsXDisplayUsable() {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* x = XOpenDisplay(name);
    if (!x) return false;
    XCloseDisplay(x);
    return true;
}

bool HeadlessDisplay::ChooseConfig(EGLDisplay display, const App::Info& info, EGLConfig* config) {
    const EGLint channel = info.colorBits / 3;
    // As the window asks, with a pbuffer in place of the window; the channel
    // sizes are judged below, since EGL would rank 10-bit channels first.
    std::vector<EGLint> attributes = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                      EGL_OPENGL_ES2_BIT, EGL_RED_SIZE, channel,
                                      EGL_GREEN_SIZE, channel, EGL_BLUE_SIZE, channel,
                                      EGL_DEPTH_SIZE, EGLint(info.depthBits)};
    std::vector<EGLint> multisampled = attributes;
    multisampled.insert(multisampled.end(),
                        {EGL_SAMPLE_BUFFERS, 1, EGL_SAMPLES, EGLint(info.samples)});
    multisampled.push_back(EGL_NONE);
    attributes.push_back(EGL_NONE);

    for (int round = info.samples != 0 ? 0 : 1; round < 2; ++round) {
        const EGLint* list = round == 0 ? multisampled.data() : attributes.data();
        EGLint count = 0;
        if (!eglChooseConfig(display, list, nullptr, 0, &count) || count <= 0) {
            if (round == 0)
                fprintf(stderr, "Warning: no EGL config with %d samples, multisampling is off\n",
                        int(info.samples));
            continue;
        }
        std::vector<EGLConfig> configs(static_cast<size_t>(count));
        if (!eglChooseConfig(display, list, configs.data(), count, &count)) continue;
        for (EGLint i = 0; i < count; ++i) {
            EGLint r = 0, g = 0, b = 0;
            eglGetConfigAttrib(display, configs[size_t(i)], EGL_RED_SIZE, &r);
            eglGetConfigAttrib(display, configs[size_t(i)], EGL_GREEN_SIZE, &g);
            eglGetConfigAttrib(display, configs[size_t(i)], EGL_BLUE_SIZE, &b);
            if (r == channel && g == channel && b == channel) {
                *config = configs[size_t(i)];
                return true;
            }
        }
    }
    return false;
}

bool HeadlessDisplay::Open(unsigned int width, unsigned int height, const App::Info& info,
                           EGLDisplay* display, EGLSurface* surface, EGLContext* context) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        fprintf(stderr, "HeadlessDisplay::Open(): EGL has no eglGetPlatformDisplayEXT\n");
        return false;
    }
    *display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (*display == EGL_NO_DISPLAY || !eglInitialize(*display, &major, &minor)) {
        *display = EGL_NO_DISPLAY;
        fprintf(stderr, "eglInitialize() failed\n");
        return false;
    }
    printf("EGL %d.%d initialized\n", major, minor);
    fflush(stdout);

    EGLConfig config = nullptr;
    if (!ChooseConfig(*display, info, &config)) {
        fprintf(stderr, "eglChooseConfig() failed\n");
        return false;
    }
    EGLint maxWidth = 0, maxHeight = 0;
    eglGetConfigAttrib(*display, config, EGL_MAX_PBUFFER_WIDTH, &maxWidth);
    eglGetConfigAttrib(*display, config, EGL_MAX_PBUFFER_HEIGHT, &maxHeight);
    if (width > unsigned(maxWidth) || height > unsigned(maxHeight)) {
        fprintf(stderr, "HeadlessDisplay::Open(): %ux%u is larger than the largest offscreen "
                        "surface, %dx%d\n",
                width, height, int(maxWidth), int(maxHeight));
        return false;
    }

    eglGetError();
    const EGLint size[] = {EGL_WIDTH, EGLint(width), EGL_HEIGHT, EGLint(height), EGL_NONE};
    *surface = eglCreatePbufferSurface(*display, config, size);
    if (eglGetError() != EGL_SUCCESS || *surface == EGL_NO_SURFACE) {
        *surface = EGL_NO_SURFACE;
        fprintf(stderr, "eglCreatePbufferSurface() failed\n");
        return false;
    }
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    *context = eglCreateContext(*display, config, EGL_NO_CONTEXT, contextAttributes);
    if (eglGetError() != EGL_SUCCESS || *context == EGL_NO_CONTEXT) {
        *context = EGL_NO_CONTEXT;
        fprintf(stderr, "eglCreateContext() failed\n");
        return false;
    }
    eglMakeCurrent(*display, *surface, *surface, *context);
    if (eglGetError() != EGL_SUCCESS) {
        fprintf(stderr, "eglMakeCurrent() failed\n");
        return false;
    }
    return true;
}
