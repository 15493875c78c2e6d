// An OpenGL ES 2 context without any window system: EGL on Mesa's surfaceless
// platform, with a pbuffer of the output size as the screen, for offline
// rendering where no X server can be reached.
#pragma once

#include <EGL/egl.h>

#include "app/App.h"

class HeadlessDisplay {
public:
    // True when DISPLAY names an X server that accepts a connection.
    static bool IsXDisplayUsable();

    // Fills the three handles and makes the context current; false with a
    // message on stderr. The handles made before a failure are filled too, so
    // the caller releases them as it releases the window's.
    static bool Open(unsigned int width, unsigned int height, const App::Info& info,
                     EGLDisplay* display, EGLSurface* surface, EGLContext* context);

private:
    // The config the window path would get for an X visual of colorBits:
    // exactly colorBits / 3 per channel, otherwise EGL's own order (smallest
    // alpha, depth and stencil first), so both paths draw the same frames.
    static bool ChooseConfig(EGLDisplay display, const App::Info& info, EGLConfig* config);
};
