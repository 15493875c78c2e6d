// libvomra_glcount.so, loaded with LD_PRELOAD into the player: counts every
// OpenGL ES call per frame (frames end at eglSwapBuffers) and how many of
// them were needed. A state-setting call is needed when it changes the
// state it sets (a shadow copy of the context is kept: program, per-program
// uniform values, texture units and bindings, texture parameters, switches,
// blend, clear values, viewport, buffers, vertex attributes); draws, clears
// and error queries always are; a location query is needed the first time
// for its program and name. Object creation and uploads, done at start-up,
// and the offline capture's read-back, which is the shell's, are not
// counted.
//
// VOMRA_GLCOUNT=FILE names the report: per frame and function, a line
// "FRAME FUNCTION CALLS REDUNDANT", written at exit.
#include <dlfcn.h>

#include <EGL/egl.h>
#include <GLES2/gl2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Count {
    unsigned long calls = 0, redundant = 0;
};

struct Attrib {
    bool enabled = false;
    GLuint buffer = 0;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLboolean normalized = GL_FALSE;
    GLsizei stride = 0;
    const void* pointer = nullptr;
    bool operator==(const Attrib& o) const {
        return buffer == o.buffer && size == o.size && type == o.type &&
               normalized == o.normalized && stride == o.stride && pointer == o.pointer;
    }
};

// The shadow context. GL's initial values where GL defines them.
struct Context {
    GLuint program = 0;
    unsigned int activeUnit = 0;
    std::map<std::pair<unsigned int, GLenum>, GLuint> textures;  // (unit, target)
    std::map<std::pair<GLuint, GLenum>, GLint> texParams;        // (texture, pname)
    std::map<std::pair<GLuint, GLint>, std::string> uniforms;    // (program, location)
    std::set<std::pair<GLuint, std::string>> queried;            // location queries
    std::map<GLenum, bool> caps{{GL_DITHER, true}};
    GLenum blendFunc[4] = {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
    GLenum blendEquation[2] = {GL_FUNC_ADD, GL_FUNC_ADD};
    GLfloat blendColor[4] = {0, 0, 0, 0};
    GLfloat clearColor[4] = {0, 0, 0, 0};
    GLfloat clearDepth = 1.0f;
    GLint clearStencil = 0;
    GLint viewport[4] = {-1, -1, -1, -1};  // the window's size, not known here
    GLuint framebuffer = 0, renderbuffer = 0;
    std::map<GLenum, GLuint> buffers;
    std::map<GLuint, Attrib> attribs;
};

Context ctx;
unsigned long frame = 0;
std::map<std::string, Count> counts;  // this frame's
std::vector<std::tuple<unsigned long, std::string, Count>> report;

void Note(const char* function, bool needed) {
    Count& c = counts[function];
    ++c.calls;
    if (!needed) ++c.redundant;
}

// Sets *current to value; true when that changed it.
template <class T>
bool Change(T* current, const T& value) {
    if (*current == value) return false;
    *current = value;
    return true;
}

bool ChangeArray(void* current, const void* value, size_t bytes) {
    if (memcmp(current, value, bytes) == 0) return false;
    memcpy(current, value, bytes);
    return true;
}

GLint TexParamDefault(GLenum pname) {
    switch (pname) {
    case GL_TEXTURE_MIN_FILTER: return GL_NEAREST_MIPMAP_LINEAR;
    case GL_TEXTURE_MAG_FILTER: return GL_LINEAR;
    default: return GL_REPEAT;  // wrap S and T
    }
}

bool SetUniform(GLint location, const void* data, size_t bytes) {
    if (location == -1) return false;
    std::string value(static_cast<const char*>(data), bytes);
    auto key = std::make_pair(ctx.program, location);
    auto it = ctx.uniforms.find(key);
    if (it != ctx.uniforms.end() && it->second == value) return false;
    ctx.uniforms[key] = value;
    return true;
}

void WriteReport() {
    const char* path = getenv("VOMRA_GLCOUNT");
    if (!path) return;
    FILE* f = fopen(path, "w");
    if (!f) return;
    for (const auto& entry : report)
        fprintf(f, "%lu %s %lu %lu\n", std::get<0>(entry), std::get<1>(entry).c_str(),
                std::get<2>(entry).calls, std::get<2>(entry).redundant);
    fclose(f);
}

struct AtExit {
    ~AtExit() { WriteReport(); }
} atExit;

template <class F>
F Real(const char* name) {
    void* p = dlsym(RTLD_NEXT, name);
    if (!p) {
        fprintf(stderr, "libvomra_glcount: no %s to forward to\n", name);
        abort();
    }
    return reinterpret_cast<F>(p);
}

}  // namespace

// Forwards to the real function after noting the call.
#define FORWARD(name, needed, params, args)                        \
    extern "C" void name params {                                  \
        static auto real = Real<void(*) params>(#name);            \
        Note(#name, needed);                                       \
        real args;                                                 \
    }

#define FORWARD_RESULT(type, name, needed, params, args)            \
    extern "C" type name params {                                  \
        static auto real = Real<type(*) params>(#name);            \
        Note(#name, needed);                                       \
        return real args;                                          \
    }

extern "C" EGLBoolean eglSwapBuffers(EGLDisplay display, EGLSurface surface) {
    static auto real = Real<EGLBoolean (*)(EGLDisplay, EGLSurface)>("eglSwapBuffers");
    for (const auto& c : counts) report.emplace_back(frame, c.first, c.second);
    counts.clear();
    ++frame;
    return real(display, surface);
}

FORWARD(glUseProgram, Change(&ctx.program, program), (GLuint program), (program))
FORWARD(glActiveTexture, Change(&ctx.activeUnit, unsigned(texture - GL_TEXTURE0)),
        (GLenum texture), (texture))
FORWARD(glBindTexture, Change(&ctx.textures[std::make_pair(ctx.activeUnit, target)], texture),
        (GLenum target, GLuint texture), (target, texture))
FORWARD(glTexParameteri,
        ([&] {
            GLuint texture = ctx.textures[std::make_pair(ctx.activeUnit, target)];
            auto key = std::make_pair(texture, pname);
            if (!ctx.texParams.count(key)) ctx.texParams[key] = TexParamDefault(pname);
            return Change(&ctx.texParams[key], param);
        }()),
        (GLenum target, GLenum pname, GLint param), (target, pname, param))
FORWARD(glEnable, ([&] {
            auto it = ctx.caps.find(cap);
            bool was = it != ctx.caps.end() && it->second;
            ctx.caps[cap] = true;
            return !was;
        }()),
        (GLenum cap), (cap))
FORWARD(glDisable, ([&] {
            auto it = ctx.caps.find(cap);
            bool was = it != ctx.caps.end() && it->second;
            ctx.caps[cap] = false;
            return was;
        }()),
        (GLenum cap), (cap))
FORWARD(glBlendFuncSeparate,
        ([&] {
            GLenum v[4] = {srcRGB, dstRGB, srcAlpha, dstAlpha};
            return ChangeArray(ctx.blendFunc, v, sizeof v);
        }()),
        (GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha),
        (srcRGB, dstRGB, srcAlpha, dstAlpha))
FORWARD(glBlendEquationSeparate,
        ([&] {
            GLenum v[2] = {modeRGB, modeAlpha};
            return ChangeArray(ctx.blendEquation, v, sizeof v);
        }()),
        (GLenum modeRGB, GLenum modeAlpha), (modeRGB, modeAlpha))
FORWARD(glBlendColor,
        ([&] {
            GLfloat v[4] = {red, green, blue, alpha};
            return ChangeArray(ctx.blendColor, v, sizeof v);
        }()),
        (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha), (red, green, blue, alpha))
FORWARD(glClearColor,
        ([&] {
            GLfloat v[4] = {red, green, blue, alpha};
            return ChangeArray(ctx.clearColor, v, sizeof v);
        }()),
        (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha), (red, green, blue, alpha))
FORWARD(glClearDepthf, Change(&ctx.clearDepth, d), (GLfloat d), (d))
FORWARD(glClearStencil, Change(&ctx.clearStencil, s), (GLint s), (s))
FORWARD(glViewport,
        ([&] {
            GLint v[4] = {x, y, width, height};
            return ChangeArray(ctx.viewport, v, sizeof v);
        }()),
        (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))
FORWARD(glBindFramebuffer, Change(&ctx.framebuffer, framebuffer),
        (GLenum target, GLuint framebuffer), (target, framebuffer))
FORWARD(glBindRenderbuffer, Change(&ctx.renderbuffer, renderbuffer),
        (GLenum target, GLuint renderbuffer), (target, renderbuffer))
FORWARD(glBindBuffer, Change(&ctx.buffers[target], buffer), (GLenum target, GLuint buffer),
        (target, buffer))
FORWARD(glEnableVertexAttribArray, Change(&ctx.attribs[index].enabled, true), (GLuint index),
        (index))
FORWARD(glDisableVertexAttribArray, Change(&ctx.attribs[index].enabled, false), (GLuint index),
        (index))
FORWARD(glVertexAttribPointer,
        ([&] {
            Attrib a = ctx.attribs[index];
            Attrib b = a;
            b.buffer = ctx.buffers[GL_ARRAY_BUFFER];
            b.size = size;
            b.type = type;
            b.normalized = normalized;
            b.stride = stride;
            b.pointer = pointer;
            ctx.attribs[index] = b;
            return !(a == b);
        }()),
        (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
         const void* pointer),
        (index, size, type, normalized, stride, pointer))

#define UNIFORM_V(name, type, n)                                                        \
    FORWARD(name, SetUniform(location, value, sizeof(type) * n * size_t(count)),       \
            (GLint location, GLsizei count, const type* value), (location, count, value))
UNIFORM_V(glUniform1fv, GLfloat, 1)
UNIFORM_V(glUniform2fv, GLfloat, 2)
UNIFORM_V(glUniform3fv, GLfloat, 3)
UNIFORM_V(glUniform4fv, GLfloat, 4)
UNIFORM_V(glUniform1iv, GLint, 1)
UNIFORM_V(glUniform2iv, GLint, 2)
UNIFORM_V(glUniform3iv, GLint, 3)
UNIFORM_V(glUniform4iv, GLint, 4)

#define UNIFORM_MATRIX(name, n)                                                            \
    FORWARD(name, SetUniform(location, value, sizeof(GLfloat) * n * size_t(count)),       \
            (GLint location, GLsizei count, GLboolean transpose, const GLfloat* value),   \
            (location, count, transpose, value))
UNIFORM_MATRIX(glUniformMatrix2fv, 4)
UNIFORM_MATRIX(glUniformMatrix3fv, 9)
UNIFORM_MATRIX(glUniformMatrix4fv, 16)

FORWARD(glUniform1i, SetUniform(location, &x, sizeof x), (GLint location, GLint x), (location, x))
FORWARD(glUniform1f, SetUniform(location, &x, sizeof x), (GLint location, GLfloat x),
        (location, x))

// Location queries: their answers never change for a linked program.
FORWARD_RESULT(GLint, glGetUniformLocation,
               ctx.queried.insert(std::make_pair(program, std::string("u") + name)).second,
               (GLuint program, const GLchar* name), (program, name))
FORWARD_RESULT(GLint, glGetAttribLocation,
               ctx.queried.insert(std::make_pair(program, std::string("a") + name)).second,
               (GLuint program, const GLchar* name), (program, name))

// Always needed: drawing, clearing, uploads, object life and error queries.
FORWARD(glClear, true, (GLbitfield mask), (mask))
FORWARD(glDrawArrays, true, (GLenum mode, GLint first, GLsizei count), (mode, first, count))
FORWARD(glDrawElements, true, (GLenum mode, GLsizei count, GLenum type, const void* indices),
        (mode, count, type, indices))
FORWARD_RESULT(GLenum, glGetError, true, (void), ())
