// libvomra_swaptimes.so, loaded with LD_PRELOAD into the player: notes the
// monotonic time of every eglSwapBuffers call, the moment a frame is handed
// over, in the file VOMRA_SWAPTIMES names, one nanosecond count a line.
// Each line is written as it comes (a few microseconds a frame), so that a
// player ended by a signal leaves every time behind.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <EGL/egl.h>

#include <cstdio>
#include <cstdlib>

extern "C" EGLBoolean eglSwapBuffers(EGLDisplay display, EGLSurface surface) {
    using Swap = EGLBoolean (*)(EGLDisplay, EGLSurface);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "eglSwapBuffers"));
    static int out = [] {
        const char* path = getenv("VOMRA_SWAPTIMES");
        return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    }();
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (out >= 0) {
        char line[32];
        int n = snprintf(line, sizeof line, "%lld\n", now.tv_sec * 1000000000LL + now.tv_nsec);
        if (write(out, line, size_t(n)) != n) {
            close(out);
            out = -1;
        }
    }
    return real ? real(display, surface) : EGL_FALSE;
}
