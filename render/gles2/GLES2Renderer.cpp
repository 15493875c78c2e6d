// OpenGL ES 2.0 implementation of the render states, the camera and viewport
// bookkeeping, and mesh drawing with per-batch bone matrices.
#include "render/gles2/GLES2Renderer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/AttributeArray.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Program.h"
#include "engine/SceneNode.h"
#include "engine/SceneSpatial.h"
#include "engine/Texture.h"
#include "engine/Uniform.h"
#include "engine/VertexBatch.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/GeometryState.h"
#include "render/MaterialState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"
#include "render/gles2/GLES2MeshInitializer.h"
#include "render/gles2/GLES2ProgramInitializer.h"
#include "render/gles2/GLES2TextureInitializer.h"

// Capabilities 2 and 3 switch nothing.
const GLenum GLES2Renderer::sc_es2gl[11] = {
    GL_BLEND,
    GL_CULL_FACE,
    0,
    0,
    GL_DEPTH_TEST,
    GL_DITHER,
    GL_POLYGON_OFFSET_FILL,
    GL_SAMPLE_ALPHA_TO_COVERAGE,
    GL_SAMPLE_COVERAGE,
    GL_SCISSOR_TEST,
    GL_STENCIL_TEST,
};

const GLenum GLES2Renderer::sc_bf2gl[15] = {
    GL_ZERO,
    GL_ONE,
    GL_SRC_COLOR,
    GL_ONE_MINUS_SRC_COLOR,
    GL_DST_COLOR,
    GL_ONE_MINUS_DST_COLOR,
    GL_SRC_ALPHA,
    GL_ONE_MINUS_SRC_ALPHA,
    GL_DST_ALPHA,
    GL_ONE_MINUS_DST_ALPHA,
    GL_CONSTANT_COLOR,
    GL_ONE_MINUS_CONSTANT_COLOR,
    GL_CONSTANT_ALPHA,
    GL_ONE_MINUS_CONSTANT_ALPHA,
    GL_SRC_ALPHA_SATURATE,
};

// Min and max have no OpenGL ES 2.0 equation: 0 makes GL report an error.
const GLenum GLES2Renderer::sc_be2gl[5] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT,
                                           GL_FUNC_REVERSE_SUBTRACT, 0, 0};

const GLenum GLES2Renderer::sc_nt2gl[7] = {GL_BYTE, GL_SHORT, GL_INT, GL_FLOAT, 0, GL_SHORT,
                                           GL_FIXED};

const GLenum GLES2Renderer::sc_nt2gl_unsigned[7] = {GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT,
                                                    GL_UNSIGNED_INT, 0, 0, 0, 0};

const GLenum GLES2Renderer::sc_primitiveTab[3] = {GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_POINTS};

const GLenum GLES2Renderer::sc_wrapTab[3] = {GL_REPEAT, 0, GL_CLAMP_TO_EDGE};

const GLenum GLES2Renderer::sc_filterTab[2] = {GL_NEAREST, GL_LINEAR};

const GLenum GLES2Renderer::sc_mipmapFilterTab[4] = {
    GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_NEAREST,
    GL_LINEAR_MIPMAP_LINEAR};

// Not an ES 2.0 enum; drivers without desktop point sizes refuse it.
static const GLenum kVertexProgramPointSize = 0x8642;

// Codes come from content: one past a table passes 0, like the tables' own
// gaps, instead of reading beyond it.
template <unsigned int N>
static GLenum Lookup(const GLenum (&table)[N], unsigned int code) {
    return code < N ? table[code] : 0;
}

static const void* AsPointer(GLenum code) { return reinterpret_cast<const void*>(uintptr_t(code)); }

static const char* ErrorName(GLenum error) {
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    default: return "Unknown error";
    }
}

// The texture's GL object, or null while it has none.
static GLES2TextureInitializer* TextureInitializer(Texture* texture) {
    if (!texture || !texture->initializer || !texture->initializer->initialized) return nullptr;
    return static_cast<GLES2TextureInitializer*>(texture->initializer);
}

// *made is set when the framebuffer had to be made here.
static GLuint FramebufferName(FrameBuffer* frameBuffer, bool* made) {
    // A target drawn before InitAll reached it gets its GL object now.
    if (!frameBuffer->initializer || !frameBuffer->initializer->initialized) {
        frameBuffer->Init();
        *made = true;
    }
    if (!frameBuffer->initializer || !frameBuffer->initializer->initialized) return 0;
    return static_cast<GLES2FrameBufferInitializer*>(frameBuffer->initializer)->framebufferName;
}

// Binding slot of a texture target; -1 for targets not remembered.
static int TargetSlot(GLenum target) {
    return target == GL_TEXTURE_2D ? 0 : target == GL_TEXTURE_CUBE_MAP ? 1 : -1;
}

// Locations past this are sent every time rather than given a slot.
static const GLint kMaxCachedLocation = 4096;

GLES2Renderer::GLES2Renderer()
    : defaultFramebuffer(0), program(nullptr), maxTextureUnit(0), viewportWidth(0),
      viewportHeight(0), material(nullptr), maxVertexAttribs(8), programCache(nullptr) {
    ForgetContextState();
    ForgetPassState();
}

GLES2Renderer::~GLES2Renderer() {
    for (ProgramCache* cache : programCaches) delete cache;
}

void GLES2Renderer::ForgetContextState() {
    for (int& c : capabilities) c = -1;
    blendKnown = blendColorKnown = blendEquationKnown = false;
    clearColorKnown = clearDepthKnown = clearStencilKnown = false;
    activeUnit = -1;
    attribEnabled.assign(attribEnabled.size(), -1);
}

void GLES2Renderer::ForgetPassState() {
    usedProgram.known = arrayBuffer.known = framebuffer.known = false;
    for (auto& unit : textures) unit[0].known = unit[1].known = false;
    for (AttribPointer& a : attribPointers) a.known = false;
}

void GLES2Renderer::ForgetObjectState() { textureParams.clear(); }

void GLES2Renderer::UseProgram(GLuint name) {
    if (usedProgram.known && usedProgram.name == name) return;
    glUseProgram(name);
    usedProgram = {name, true};
}

void GLES2Renderer::ActiveTexture(unsigned int unit) {
    if (activeUnit == int(unit)) return;
    glActiveTexture(GL_TEXTURE0 + unit);
    activeUnit = int(unit);
}

void GLES2Renderer::BindArrayBuffer(GLuint buffer) {
    if (arrayBuffer.known && arrayBuffer.name == buffer) return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    arrayBuffer = {buffer, true};
}

void GLES2Renderer::Capability(GLenum cap, unsigned int code, bool enabled) {
    if (capabilities[code] == int(enabled)) return;
    if (enabled)
        glEnable(cap);
    else
        glDisable(cap);
    capabilities[code] = int(enabled);
}

void GLES2Renderer::TexParameter(GLuint texture, GLenum target, unsigned int which, GLenum pname,
                                 GLint value) {
    TextureParams* params = nullptr;
    for (TextureParams& p : textureParams)
        if (p.texture == texture) params = &p;
    if (!params) {
        textureParams.push_back({texture, {-1, -1, -1, -1}});
        params = &textureParams.back();
    }
    if (params->values[which] == value) return;
    glTexParameteri(target, pname, value);
    params->values[which] = value;
}

GLES2Renderer::ProgramCache* GLES2Renderer::CacheOf(GLES2ProgramInitializer* init) {
    for (ProgramCache* cache : programCaches) {
        if (cache->initializer != init) continue;
        // Another GL program behind the same initializer starts afresh.
        if (cache->name != init->programName) {
            cache->name = init->programName;
            cache->slots.clear();
            cache->values.clear();
            cache->locations.clear();
        }
        return cache;
    }
    ProgramCache* cache = new ProgramCache{init, init->programName, {}, {}, {}};
    programCaches.push_back(cache);
    return cache;
}

bool GLES2Renderer::UniformChanged(GLint location, const void* data, size_t bytes) {
    if (location < 0) return false;
    GLES2ProgramInitializer* init = GetProgramInitializer();
    ProgramCache* cache = programCache;
    if (!cache || !init || cache->initializer != init || cache->name != init->programName ||
        location >= kMaxCachedLocation)
        return true;
    if (size_t(location) >= cache->slots.size()) cache->slots.resize(size_t(location) + 1);
    UniformSlot& slot = cache->slots[size_t(location)];
    if (slot.known && slot.bytes == bytes &&
        memcmp(&cache->values[slot.offset], data, bytes) == 0)
        return false;
    if (!slot.known || slot.bytes < bytes) {
        slot.offset = unsigned(cache->values.size());
        cache->values.resize(cache->values.size() + bytes);
    }
    memcpy(&cache->values[slot.offset], data, bytes);
    slot.bytes = unsigned(bytes);
    slot.known = true;
    return true;
}

GLint GLES2Renderer::UniformLocation(GLES2ProgramInitializer* init, const char* name) {
    ProgramCache* cache = programCache;
    if (!cache || cache->initializer != init || cache->name != init->programName)
        return init->GetUniformLocation(name);
    for (const auto& entry : cache->locations)
        if (strcmp(entry.first.data(), name) == 0) return entry.second;
    GLint location = init->GetUniformLocation(name);
    cache->locations.emplace_back(std::vector<char>(name, name + strlen(name) + 1), location);
    return location;
}

void GLES2Renderer::Init() {
    defaultFramebuffer = 0;
    maxTextureUnit = 0;
    ForgetContextState();
    ForgetPassState();
    ForgetObjectState();
    glHint(GL_GENERATE_MIPMAP_HINT, GL_NICEST);
    glEnable(kVertexProgramPointSize);
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        printf("GL error: %s (%p)\n", ErrorName(error), AsPointer(error));
        // The first letter is lost to the form feed; kept as the system prints it.
        printf("\f" "rom glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);\n");
    }
    GLint attribs = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &attribs);
    maxVertexAttribs = attribs >= 8 ? unsigned(attribs) : 8;
    // Unknown until the first mesh has enabled or disabled each.
    attribEnabled.assign(maxVertexAttribs, -1);
    attribPointers.assign(maxVertexAttribs, AttribPointer{0, 0, 0, false});
}

void GLES2Renderer::Forget() {
    Renderer::Forget();
    defaultFramebuffer = 0;
    program = nullptr;
    material = nullptr;
    // The content's GL objects go next, and new ones may get their names (and
    // their initializers the same addresses): nothing known of them holds.
    for (ProgramCache* cache : programCaches) delete cache;
    programCaches.clear();
    programCache = nullptr;
    ForgetPassState();
    ForgetObjectState();
    // A program still in use outlives its deletion.
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

GLenum GLES2Renderer::CheckGLError() {
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) printf("GL error: %s (%p)\n", ErrorName(error), AsPointer(error));
    return error;
}

void GLES2Renderer::SetViewport(unsigned int x, unsigned int y, unsigned int width,
                                unsigned int height) {
    glViewport(GLint(x), GLint(y), GLsizei(width), GLsizei(height));
    viewportWidth = int(width);
    viewportHeight = int(height);
    // Targets are rebuilt for a new output size, their textures with them.
    ForgetObjectState();
}

void GLES2Renderer::SetDefaultRenderTarget(FrameBuffer* frameBuffer) {
    bool made = false;
    defaultFramebuffer = frameBuffer ? FramebufferName(frameBuffer, &made) : 0;
    if (made) {
        ForgetPassState();
        ForgetObjectState();
    }
}

void GLES2Renderer::SetRenderTarget(FrameBuffer* frameBuffer) {
    // A pass starts here: what initializers may have bound since is unknown.
    ForgetPassState();
    bool made = false;
    GLuint name = frameBuffer ? FramebufferName(frameBuffer, &made) : defaultFramebuffer;
    if (made) ForgetObjectState();
    glBindFramebuffer(GL_FRAMEBUFFER, name);
    framebuffer = {name, true};
}

void GLES2Renderer::SetClearParams(const Pass* pass) {
    const float color[4] = {pass->clearColor.x, pass->clearColor.y, pass->clearColor.z,
                            pass->clearColor.w};
    if (!clearColorKnown || memcmp(clearColor, color, sizeof color) != 0) {
        glClearColor(color[0], color[1], color[2], color[3]);
        memcpy(clearColor, color, sizeof color);
        clearColorKnown = true;
    }
    if (!clearDepthKnown || clearDepth != pass->clearDepth) {
        glClearDepthf(pass->clearDepth);
        clearDepth = pass->clearDepth;
        clearDepthKnown = true;
    }
    if (!clearStencilKnown || clearStencil != GLint(pass->clearStencil)) {
        glClearStencil(GLint(pass->clearStencil));
        clearStencil = GLint(pass->clearStencil);
        clearStencilKnown = true;
    }
}

void GLES2Renderer::ClearBuffers(const Pass* pass) {
    SetClearParams(pass);
    GLbitfield mask = 0;
    if (pass->clearColorEnabled) mask |= GL_COLOR_BUFFER_BIT;
    if (pass->clearDepthEnabled) mask |= GL_DEPTH_BUFFER_BIT;
    if (pass->clearStencilEnabled) mask |= GL_STENCIL_BUFFER_BIT;
    if (mask) glClear(mask);
}

void GLES2Renderer::AssignProjectionMatrix(const Mat4& matrix) { projection = matrix; }

void GLES2Renderer::AssignViewMatrix(const Mat4& matrix) { view = matrix; }

void GLES2Renderer::AssignPrevViewMatrix(const Mat4& matrix) { prevView = matrix; }

GLES2ProgramInitializer* GLES2Renderer::GetProgramInitializer() const {
    if (!program || !program->initializer || !program->initializer->initialized) return nullptr;
    return static_cast<GLES2ProgramInitializer*>(program->initializer);
}

void GLES2Renderer::AssignState(BlendState* s) {
    const GLenum func[4] = {Lookup(sc_bf2gl, s->srcRGB), Lookup(sc_bf2gl, s->dstRGB),
                            Lookup(sc_bf2gl, s->srcAlpha), Lookup(sc_bf2gl, s->dstAlpha)};
    if (!blendKnown || memcmp(blendFunc, func, sizeof func) != 0) {
        glBlendFuncSeparate(func[0], func[1], func[2], func[3]);
        memcpy(blendFunc, func, sizeof func);
        blendKnown = true;
    }
    const float color[4] = {s->color.x, s->color.y, s->color.z, s->color.w};
    if (!blendColorKnown || memcmp(blendColor, color, sizeof color) != 0) {
        glBlendColor(color[0], color[1], color[2], color[3]);
        memcpy(blendColor, color, sizeof color);
        blendColorKnown = true;
    }
    const GLenum equation[2] = {Lookup(sc_be2gl, s->equationRGB),
                                Lookup(sc_be2gl, s->equationAlpha)};
    // An equation GL refuses (0) is sent every time, so that it always reports it.
    if (!blendEquationKnown || memcmp(blendEquation, equation, sizeof equation) != 0 ||
        equation[0] == 0 || equation[1] == 0) {
        glBlendEquationSeparate(equation[0], equation[1]);
        memcpy(blendEquation, equation, sizeof equation);
        blendEquationKnown = equation[0] != 0 && equation[1] != 0;
    }
}

void GLES2Renderer::AssignState(DepthTestState*) {}

void GLES2Renderer::AssignState(StencilTestState*) {}

void GLES2Renderer::AssignState(GenericState* s) {
    GLenum cap = Lookup(sc_es2gl, s->capability);
    if (cap == 0) return;
    Capability(cap, s->capability, s->enabled);
}

void GLES2Renderer::AssignState(ProgramState* s) {
    program = s->program;
    GLES2ProgramInitializer* init = GetProgramInitializer();
    // A program that never linked must not leave the previous one drawing:
    // with no program in use, geometry states draw nothing.
    if (!init) {
        UseProgram(0);
        programCache = nullptr;
        return;
    }
    UseProgram(init->programName);
    programCache = CacheOf(init);
    const GLint* loc = init->uniformLocations;
    typedef GLES2ProgramInitializer P;
    if (UniformChanged(loc[P::UN_View], view.m, sizeof view.m))
        glUniformMatrix4fv(loc[P::UN_View], 1, GL_FALSE, view.m);
    if (UniformChanged(loc[P::UN_Projection], projection.m, sizeof projection.m))
        glUniformMatrix4fv(loc[P::UN_Projection], 1, GL_FALSE, projection.m);
    GLint size[2] = {viewportWidth, viewportHeight};
    if (UniformChanged(loc[P::UN_ViewportSize], size, sizeof size))
        glUniform2iv(loc[P::UN_ViewportSize], 1, size);
    if (UniformChanged(loc[P::UN_PrevView], prevView.m, sizeof prevView.m))
        glUniformMatrix4fv(loc[P::UN_PrevView], 1, GL_FALSE, prevView.m);
    if (loc[P::UN_TextureMatrix0] != -1) {
        // One upload for the whole array, remembered element by element, as
        // texture states upload them one at a time.
        bool changed = false;
        for (unsigned int k = 0; k <= maxTextureUnit; ++k) {
            GLint element = loc[P::UN_TextureMatrix0 + k];
            if (element != -1 && UniformChanged(element, textureMatrices[k].m, sizeof(Mat4::m)))
                changed = true;
        }
        if (changed)
            glUniformMatrix4fv(loc[P::UN_TextureMatrix0], GLsizei(maxTextureUnit + 1), GL_FALSE,
                               textureMatrices[0].m);
    }
    UpdateMaterialState();
}

void GLES2Renderer::AssignState(MaterialState* s) {
    material = s;
    if (program) UpdateMaterialState();
}

void GLES2Renderer::UpdateMaterialState() {
    GLES2ProgramInitializer* init = GetProgramInitializer();
    // Before the first material the program keeps what it had.
    if (!init || !material) return;
    const GLint* loc = init->uniformLocations;
    typedef GLES2ProgramInitializer P;
    const struct {
        unsigned int uniform;
        const float* value;
    } colours[] = {{P::UN_MaterialAmbient, material->ambient.Data()},
                   {P::UN_MaterialDiffuse, material->diffuse.Data()},
                   {P::UN_MaterialSpecular, material->specular.Data()},
                   {P::UN_MaterialEmission, material->emission.Data()},
                   {P::UN_MaterialBase, material->base.Data()}};
    for (const auto& c : colours)
        if (UniformChanged(loc[c.uniform], c.value, 4 * sizeof(float)))
            glUniform4fv(loc[c.uniform], 1, c.value);
    if (UniformChanged(loc[P::UN_MaterialShininess], &material->shininess, sizeof(float)))
        glUniform1f(loc[P::UN_MaterialShininess], material->shininess);
}

void GLES2Renderer::AssignState(TextureState* s) {
    // Units past 7 have no sampler and no texture matrix slot.
    if (!s->texture || s->unit >= kTextureUnits) return;
    GLES2TextureInitializer* init = TextureInitializer(s->texture);
    GLenum target = init ? init->target
                         : Lookup(GLES2TextureInitializer::tt2gl, s->texture->GetTextureType());
    GLuint name = init ? init->textureName : 0;
    int slot = TargetSlot(target);
    if (slot < 0 || !textures[s->unit][slot].known || textures[s->unit][slot].name != name) {
        ActiveTexture(s->unit);
        glBindTexture(target, name);
        if (slot >= 0) textures[s->unit][slot] = {name, true};
    }
    textureMatrices[s->unit] = s->texture->textureMatrix;
    if (s->unit > maxTextureUnit) maxTextureUnit = s->unit;
    GLES2ProgramInitializer* programInit = GetProgramInitializer();
    if (programInit) {
        GLint location =
            programInit->uniformLocations[GLES2ProgramInitializer::UN_TextureMatrix0 + s->unit];
        if (UniformChanged(location, textureMatrices[s->unit].m, sizeof(Mat4::m)))
            glUniformMatrix4fv(location, 1, GL_FALSE, textureMatrices[s->unit].m);
    }
}

void GLES2Renderer::AssignState(TextureSamplerState* s) {
    if (!s->texture || s->unit >= kTextureUnits) return;
    GLES2TextureInitializer* init = TextureInitializer(s->texture);
    if (!init) return;
    GLenum target = init->target;
    GLenum minFilter = s->texture->mipmapped
                           ? Lookup(sc_mipmapFilterTab, s->minFilter * 2 + s->mipmapFilter)
                           : Lookup(sc_filterTab, s->minFilter);
    const GLenum pnames[4] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MIN_FILTER,
                              GL_TEXTURE_MAG_FILTER};
    const GLint values[4] = {GLint(Lookup(sc_wrapTab, s->wrapS)),
                             GLint(Lookup(sc_wrapTab, s->wrapT)), GLint(minFilter),
                             GLint(Lookup(sc_filterTab, s->magFilter))};
    // The parameters go to whatever texture the unit holds; they are
    // remembered for it only when that is known.
    int slot = TargetSlot(target);
    const Binding* bound = slot >= 0 ? &textures[s->unit][slot] : nullptr;
    if (bound && bound->known) {
        for (const TextureParams& p : textureParams)
            if (p.texture == bound->name && memcmp(p.values, values, sizeof values) == 0) return;
        ActiveTexture(s->unit);
        for (unsigned int k = 0; k < 4; ++k)
            TexParameter(bound->name, target, k, pnames[k], values[k]);
        return;
    }
    ActiveTexture(s->unit);
    for (int k = 0; k < 4; ++k) glTexParameteri(target, pnames[k], values[k]);
}

void GLES2Renderer::AssignState(UniformState* s) {
    Uniform* uniform = s->uniform;
    GLES2ProgramInitializer* init = GetProgramInitializer();
    if (!uniform || !init || !uniform->data || uniform->count == 0) return;
    GLint location = UniformLocation(init, uniform->name);
    if (location == -1) return;
    GLsizei count = GLsizei(uniform->count);
    const GLint* ints = static_cast<const GLint*>(uniform->data);
    const GLfloat* floats = static_cast<const GLfloat*>(uniform->data);
    // Single values are compared with what the program holds. An array
    // (count > 1) is always sent, and what is remembered of the program is
    // forgotten: it also sets elements that have locations of their own.
    size_t bytes = 0;
    const void* value = uniform->data;
    switch (uniform->elementType) {
    case Uniform::ET_Int: case Uniform::ET_Float: bytes = 4; break;
    case Uniform::ET_IVec2: case Uniform::ET_Vec2: bytes = 8; break;
    case Uniform::ET_IVec3: case Uniform::ET_Vec3: bytes = 12; break;
    case Uniform::ET_IVec4: case Uniform::ET_Vec4: case Uniform::ET_Mat2: bytes = 16; break;
    case Uniform::ET_Mat3: bytes = 36; break;
    case Uniform::ET_Mat4: bytes = 64; break;
    case Uniform::ET_WorldTransform:
        value = static_cast<const SceneSpatial*>(uniform->data)->world.m;
        bytes = 64;
        count = 1;
        break;
    default: return;  // none, local transform and unknown types upload nothing
    }
    if (count == 1) {
        if (!UniformChanged(location, value, bytes)) return;
    } else if (programCache) {
        programCache->slots.assign(programCache->slots.size(), UniformSlot{0, 0, false});
        programCache->values.clear();
    }
    switch (uniform->elementType) {
    case Uniform::ET_Int: glUniform1iv(location, count, ints); break;
    case Uniform::ET_IVec2: glUniform2iv(location, count, ints); break;
    case Uniform::ET_IVec3: glUniform3iv(location, count, ints); break;
    case Uniform::ET_IVec4: glUniform4iv(location, count, ints); break;
    case Uniform::ET_Float: glUniform1fv(location, count, floats); break;
    case Uniform::ET_Vec2: glUniform2fv(location, count, floats); break;
    case Uniform::ET_Vec3: glUniform3fv(location, count, floats); break;
    case Uniform::ET_Vec4: glUniform4fv(location, count, floats); break;
    case Uniform::ET_Mat2: glUniformMatrix2fv(location, count, GL_FALSE, floats); break;
    case Uniform::ET_Mat3: glUniformMatrix3fv(location, count, GL_FALSE, floats); break;
    case Uniform::ET_Mat4: glUniformMatrix4fv(location, count, GL_FALSE, floats); break;
    case Uniform::ET_WorldTransform:
        glUniformMatrix4fv(location, 1, GL_FALSE,
                           static_cast<const SceneSpatial*>(uniform->data)->world.m);
        break;
    default:  // none, local transform and unknown types upload nothing
        break;
    }
}

void GLES2Renderer::AssignState(GeometryState* s) {
    GLES2ProgramInitializer* init = GetProgramInitializer();
    SceneNode* node = s->node;
    if (!init || !node) return;
    const GLint* loc = init->uniformLocations;
    typedef GLES2ProgramInitializer P;
    if (UniformChanged(loc[P::UN_Model], node->world.m, sizeof node->world.m))
        glUniformMatrix4fv(loc[P::UN_Model], 1, GL_FALSE, node->world.m);
    if (UniformChanged(loc[P::UN_ModelIT], node->normalMatrix.m, sizeof node->normalMatrix.m))
        glUniformMatrix3fv(loc[P::UN_ModelIT], 1, GL_FALSE, node->normalMatrix.m);
    if (UniformChanged(loc[P::UN_PrevModel], node->prevWorld.m, sizeof node->prevWorld.m))
        glUniformMatrix4fv(loc[P::UN_PrevModel], 1, GL_FALSE, node->prevWorld.m);
    for (unsigned int i = 0; i < node->meshes.Size(); ++i)
        if (node->meshes[i]) DrawMesh(node->meshes[i], node);
}

// Vertex attribute location of the first array of each kind; -1 for kinds
// that have none (tangents, weights, custom arrays are not fed).
static int FixedLocation(unsigned int type) {
    switch (type) {
    case AttributeArray::at_Location: return 0;
    case AttributeArray::at_Normal: return 1;
    case AttributeArray::at_TexCoord: return 2;
    case AttributeArray::at_Color: return 3;
    case AttributeArray::at_BoneIndex: return 4;
    case AttributeArray::at_BoneWeight: return 5;
    default: return -1;
    }
}

// Reads index k of a little-endian index array of 1, 2 or 4 bytes per index.
static unsigned int ReadIndex(const unsigned char* data, unsigned int indexSize, unsigned int k) {
    const unsigned char* p = data + size_t(k) * indexSize;
    if (indexSize == 1) return p[0];
    if (indexSize == 2) return unsigned(p[0]) | unsigned(p[1]) << 8;
    return unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2]) << 16 | unsigned(p[3]) << 24;
}

// OpenGL ES 2.0 takes no 32-bit integer attributes; a refused pointer would
// leave the location reading whatever buffer it pointed at before.
static bool IsAttributeType(GLenum type) {
    switch (type) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE:
    case GL_SHORT:
    case GL_UNSIGNED_SHORT:
    case GL_FLOAT:
    case GL_FIXED:
        return true;
    default:
        return false;
    }
}

// Bones come from the batches; the node's own matrices are uploaded by the
// geometry state.
void GLES2Renderer::DrawMesh(Mesh* mesh, SceneNode*) {
    if (!mesh->initializer || !mesh->initializer->initialized) {
        mesh->Init();
        ForgetPassState();
        ForgetObjectState();
    }
    if (!mesh->initializer || !mesh->initializer->initialized) return;
    GLES2MeshInitializer* init = static_cast<GLES2MeshInitializer*>(mesh->initializer);
    GLES2ProgramInitializer* programInit = GetProgramInitializer();
    if (!programInit) return;
    const GLint* loc = programInit->uniformLocations;
    typedef GLES2ProgramInitializer P;

    // Vertex arrays. Only buffers that hold data for every vertex GL may read
    // are enabled; `vertexLimit` is the vertex count all enabled arrays share.
    unsigned int used[AttributeArray::kTypeCount] = {};
    unsigned int nextGeneric = 6;
    unsigned int numArrays = mesh->GetNumVertexArrays();
    // Arrays added after the upload have no buffer.
    if (numArrays > init->numVertexBuffers) numArrays = init->numVertexBuffers;
    unsigned int vertexLimit = UINT32_MAX;
    bool anyEnabled = false;
    for (unsigned int i = 0; i < numArrays; ++i) {
        AttributeArray* array = mesh->GetVertexArray(i);
        int fixed = FixedLocation(array->type);
        if (fixed < 0) continue;
        unsigned int location;
        if (used[array->type]++ == 0)
            location = unsigned(fixed);
        else
            location = nextGeneric++;
        if (location >= maxVertexAttribs) continue;
        GLenum type = Lookup(sc_nt2gl, array->numericType);
        // Colours are unsigned, not normalised.
        if (array->type == AttributeArray::at_Color) {
            if (type == GL_BYTE) type = GL_UNSIGNED_BYTE;
            else if (type == GL_SHORT) type = GL_UNSIGNED_SHORT;
            else if (type == GL_INT) type = GL_UNSIGNED_INT;
        }
        unsigned int elementSize =
            AttributeArray::ElementSize(array->components, array->numericType);
        if (!IsAttributeType(type) || array->components < 1 || array->components > 4 ||
            elementSize == 0 || init->vertexBufferSizes[i] == 0)
            continue;
        size_t vertices = init->vertexBufferSizes[i] / elementSize;
        if (vertices < vertexLimit) vertexLimit = unsigned(vertices);
        GLuint buffer = init->vertexBuffers[i];
        AttribPointer* pointer =
            location < attribPointers.size() ? &attribPointers[location] : nullptr;
        if (!pointer || !pointer->known || pointer->buffer != buffer ||
            pointer->components != GLint(array->components) || pointer->type != type) {
            BindArrayBuffer(buffer);
            glVertexAttribPointer(location, GLint(array->components), type, GL_FALSE, 0, nullptr);
            if (pointer) *pointer = {buffer, GLint(array->components), type, true};
        }
        if (location >= attribEnabled.size() || attribEnabled[location] != 1) {
            glEnableVertexAttribArray(location);
            if (location < attribEnabled.size()) attribEnabled[location] = 1;
        }
        anyEnabled = true;
    }
    if (!anyEnabled) vertexLimit = 0;

    Vector<VertexBatch*>* batches = mesh->GetBatches();
    GLuint boundIndexBuffer = 0;
    bool skipped = false;
    for (unsigned int b = 0; b < batches->Size(); ++b) {
        VertexBatch* batch = (*batches)[b];
        unsigned int numBones = batch->bones.Size();

        GLint boneCount = numBones == 0 ? 0 : GLint(batch->maxInfluences);
        if (UniformChanged(loc[P::UN_BoneCount], &boneCount, sizeof boneCount))
            glUniform1i(loc[P::UN_BoneCount], boneCount);
        if (numBones > P::kMaxBones) numBones = P::kMaxBones;
        for (unsigned int i = 0; i < numBones; ++i) {
            SceneNode* bone = batch->bones[i];
            if (!bone) continue;
            if (batch->boneMatrices && loc[P::UN_BoneModel0 + i] != -1) {
                Mat4 m;
                Mat4::MatrixMultiplication(m, bone->world, batch->boneMatrices[i]);
                if (UniformChanged(loc[P::UN_BoneModel0 + i], m.m, sizeof m.m))
                    glUniformMatrix4fv(loc[P::UN_BoneModel0 + i], 1, GL_FALSE, m.m);
            }
            if (batch->boneNormalMatrices && loc[P::UN_BoneModelIT0 + i] != -1) {
                Mat3 n;
                Mat3::MatrixMultiplication(n, bone->normalMatrix, batch->boneNormalMatrices[i]);
                if (UniformChanged(loc[P::UN_BoneModelIT0 + i], n.m, sizeof n.m))
                    glUniformMatrix3fv(loc[P::UN_BoneModelIT0 + i], 1, GL_FALSE, n.m);
            }
        }

        GLenum mode = Lookup(sc_primitiveTab, batch->primitive);
        if (batch->primitive >= 3) {
            if (!init->batchesReported)
                printf("GLES2Renderer::DrawMesh(): batch %u of mesh %p has unknown primitive %u, "
                       "skipped\n", b, static_cast<void*>(mesh), batch->primitive);
            skipped = true;
            continue;
        }

        if (!batch->indexed) {
            if (batch->count > vertexLimit || batch->firstVertex > vertexLimit - batch->count) {
                if (!init->batchesReported)
                    printf("GLES2Renderer::DrawMesh(): batch %u of mesh %p draws %u vertices "
                           "from %u of %u, skipped\n", b, static_cast<void*>(mesh), batch->count,
                           batch->firstVertex, vertexLimit);
                skipped = true;
                continue;
            }
            glDrawArrays(mode, GLint(batch->firstVertex), GLsizei(batch->count));
            continue;
        }

        unsigned int j = batch->triangleArray;
        const GLES2MeshInitializer::IndexInfo* info =
            j < init->numIndexBuffers ? &init->indexInfos[j] : nullptr;
        GLenum indexType = info ? Lookup(sc_nt2gl_unsigned, info->numericType) : 0;
        if (!info || init->indexBuffers[j] == 0 || info->count == 0 || indexType == 0 ||
            j >= mesh->GetNumTriangleArrays()) {
            if (!init->batchesReported)
                printf("GLES2Renderer::DrawMesh(): batch %u of mesh %p has no usable index "
                       "array %u, skipped\n", b, static_cast<void*>(mesh), j);
            skipped = true;
            continue;
        }
        if (batch->count > info->count || batch->firstIndex > info->count - batch->count) {
            if (!init->batchesReported)
                printf("GLES2Renderer::DrawMesh(): batch %u of mesh %p reads %u indices from %u "
                       "of %u, skipped\n", b, static_cast<void*>(mesh), batch->count,
                       batch->firstIndex, info->count);
            skipped = true;
            continue;
        }
        unsigned int indexSize = numericTypeSizeBytes[info->numericType];
        // Only content with a bad index anywhere in the array pays for a scan.
        if (info->maxIndex >= vertexLimit) {
            const AttributeArray* array = mesh->GetTriangleArray(j);
            // Without the data the buffer came from, the array's worst index stands.
            bool found = true;
            unsigned int bad = info->maxIndex;
            if (array->data && array->numericType == NumericType(info->numericType) &&
                size_t(array->count) * array->stride >= size_t(info->count) * indexSize) {
                found = false;
                for (unsigned int k = 0; k < batch->count; ++k) {
                    unsigned int index = ReadIndex(array->data, indexSize, batch->firstIndex + k);
                    if (index >= vertexLimit) {
                        found = true;
                        bad = index;
                        break;
                    }
                }
            }
            if (found) {
                if (!init->batchesReported)
                    printf("GLES2Renderer::DrawMesh(): batch %u of mesh %p uses vertex %u of %u, "
                           "skipped\n", b, static_cast<void*>(mesh), bad, vertexLimit);
                skipped = true;
                continue;
            }
        }
        if (init->indexBuffers[j] != boundIndexBuffer) {
            boundIndexBuffer = init->indexBuffers[j];
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, boundIndexBuffer);
        }
        glDrawElements(mode, GLsizei(batch->count), indexType,
                       reinterpret_cast<const void*>(uintptr_t(batch->firstIndex) * indexSize));
    }
    // Each faulty batch is reported on the first frame only.
    if (skipped) init->batchesReported = true;

    unsigned int last = nextGeneric > mesh->GetNumVertexArrays() ? nextGeneric
                                                                 : mesh->GetNumVertexArrays();
    if (last > maxVertexAttribs) last = maxVertexAttribs;
    // Nothing is left enabled for whatever draws next; arrays known to be
    // off are not switched off again.
    for (unsigned int l = 0; l < last; ++l) {
        if (l < attribEnabled.size() && attribEnabled[l] == 0) continue;
        glDisableVertexAttribArray(l);
        if (l < attribEnabled.size()) attribEnabled[l] = 0;
    }
}
