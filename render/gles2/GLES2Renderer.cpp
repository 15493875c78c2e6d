// OpenGL ES 2.0 implementation of the render states, the camera and viewport
// bookkeeping, and mesh drawing with per-batch bone matrices.
#include "render/gles2/GLES2Renderer.h"

#include <cstdint>
#include <cstdio>

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

static GLuint FramebufferName(FrameBuffer* frameBuffer) {
    // A target drawn before InitAll reached it gets its GL object now.
    if (!frameBuffer->initializer || !frameBuffer->initializer->initialized) frameBuffer->Init();
    if (!frameBuffer->initializer || !frameBuffer->initializer->initialized) return 0;
    return static_cast<GLES2FrameBufferInitializer*>(frameBuffer->initializer)->framebufferName;
}

GLES2Renderer::GLES2Renderer()
    : defaultFramebuffer(0), program(nullptr), maxTextureUnit(0), viewportWidth(0),
      viewportHeight(0), material(nullptr), maxVertexAttribs(8) {}

void GLES2Renderer::Init() {
    defaultFramebuffer = 0;
    maxTextureUnit = 0;
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
}

void GLES2Renderer::Forget() {
    Renderer::Forget();
    defaultFramebuffer = 0;
    program = nullptr;
    material = nullptr;
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
}

void GLES2Renderer::SetDefaultRenderTarget(FrameBuffer* frameBuffer) {
    defaultFramebuffer = frameBuffer ? FramebufferName(frameBuffer) : 0;
}

void GLES2Renderer::SetRenderTarget(FrameBuffer* frameBuffer) {
    GLuint name = frameBuffer ? FramebufferName(frameBuffer) : defaultFramebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, name);
}

void GLES2Renderer::SetClearParams(const Pass* pass) {
    glClearColor(pass->clearColor.x, pass->clearColor.y, pass->clearColor.z, pass->clearColor.w);
    glClearDepthf(pass->clearDepth);
    glClearStencil(pass->clearStencil);
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
    glBlendFuncSeparate(Lookup(sc_bf2gl, s->srcRGB), Lookup(sc_bf2gl, s->dstRGB),
                        Lookup(sc_bf2gl, s->srcAlpha), Lookup(sc_bf2gl, s->dstAlpha));
    glBlendColor(s->color.x, s->color.y, s->color.z, s->color.w);
    glBlendEquationSeparate(Lookup(sc_be2gl, s->equationRGB), Lookup(sc_be2gl, s->equationAlpha));
}

void GLES2Renderer::AssignState(DepthTestState*) {}

void GLES2Renderer::AssignState(StencilTestState*) {}

void GLES2Renderer::AssignState(GenericState* s) {
    GLenum cap = Lookup(sc_es2gl, s->capability);
    if (cap == 0) return;
    if (s->enabled)
        glEnable(cap);
    else
        glDisable(cap);
}

void GLES2Renderer::AssignState(ProgramState* s) {
    program = s->program;
    GLES2ProgramInitializer* init = GetProgramInitializer();
    // A program that never linked must not leave the previous one drawing:
    // with no program in use, geometry states draw nothing.
    if (!init) {
        glUseProgram(0);
        return;
    }
    glUseProgram(init->programName);
    const GLint* loc = init->uniformLocations;
    typedef GLES2ProgramInitializer P;
    if (loc[P::UN_View] != -1) glUniformMatrix4fv(loc[P::UN_View], 1, GL_FALSE, view.m);
    if (loc[P::UN_Projection] != -1)
        glUniformMatrix4fv(loc[P::UN_Projection], 1, GL_FALSE, projection.m);
    if (loc[P::UN_ViewportSize] != -1) {
        GLint size[2] = {viewportWidth, viewportHeight};
        glUniform2iv(loc[P::UN_ViewportSize], 1, size);
    }
    if (loc[P::UN_PrevView] != -1) glUniformMatrix4fv(loc[P::UN_PrevView], 1, GL_FALSE, prevView.m);
    if (loc[P::UN_TextureMatrix0] != -1)
        glUniformMatrix4fv(loc[P::UN_TextureMatrix0], GLsizei(maxTextureUnit + 1), GL_FALSE,
                           textureMatrices[0].m);
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
    if (loc[P::UN_MaterialAmbient] != -1)
        glUniform4fv(loc[P::UN_MaterialAmbient], 1, material->ambient.Data());
    if (loc[P::UN_MaterialDiffuse] != -1)
        glUniform4fv(loc[P::UN_MaterialDiffuse], 1, material->diffuse.Data());
    if (loc[P::UN_MaterialSpecular] != -1)
        glUniform4fv(loc[P::UN_MaterialSpecular], 1, material->specular.Data());
    if (loc[P::UN_MaterialEmission] != -1)
        glUniform4fv(loc[P::UN_MaterialEmission], 1, material->emission.Data());
    if (loc[P::UN_MaterialBase] != -1)
        glUniform4fv(loc[P::UN_MaterialBase], 1, material->base.Data());
    if (loc[P::UN_MaterialShininess] != -1)
        glUniform1f(loc[P::UN_MaterialShininess], material->shininess);
}

void GLES2Renderer::AssignState(TextureState* s) {
    // Units past 7 have no sampler and no texture matrix slot.
    if (!s->texture || s->unit >= kTextureUnits) return;
    glActiveTexture(GL_TEXTURE0 + s->unit);
    GLES2TextureInitializer* init = TextureInitializer(s->texture);
    if (init)
        glBindTexture(init->target, init->textureName);
    else
        glBindTexture(Lookup(GLES2TextureInitializer::tt2gl, s->texture->GetTextureType()), 0);
    textureMatrices[s->unit] = s->texture->textureMatrix;
    if (s->unit > maxTextureUnit) maxTextureUnit = s->unit;
    GLES2ProgramInitializer* programInit = GetProgramInitializer();
    if (programInit) {
        GLint location =
            programInit->uniformLocations[GLES2ProgramInitializer::UN_TextureMatrix0 + s->unit];
        if (location != -1)
            glUniformMatrix4fv(location, 1, GL_FALSE, textureMatrices[s->unit].m);
    }
}

void GLES2Renderer::AssignState(TextureSamplerState* s) {
    if (!s->texture || s->unit >= kTextureUnits) return;
    GLES2TextureInitializer* init = TextureInitializer(s->texture);
    if (!init) return;
    glActiveTexture(GL_TEXTURE0 + s->unit);
    GLenum target = init->target;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GLint(Lookup(sc_wrapTab, s->wrapS)));
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GLint(Lookup(sc_wrapTab, s->wrapT)));
    GLenum minFilter = s->texture->mipmapped
                           ? Lookup(sc_mipmapFilterTab, s->minFilter * 2 + s->mipmapFilter)
                           : Lookup(sc_filterTab, s->minFilter);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GLint(Lookup(sc_filterTab, s->magFilter)));
}

void GLES2Renderer::AssignState(UniformState* s) {
    Uniform* uniform = s->uniform;
    GLES2ProgramInitializer* init = GetProgramInitializer();
    if (!uniform || !init || !uniform->data || uniform->count == 0) return;
    GLint location = init->GetUniformLocation(uniform->name);
    if (location == -1) return;
    GLsizei count = GLsizei(uniform->count);
    const GLint* ints = static_cast<const GLint*>(uniform->data);
    const GLfloat* floats = static_cast<const GLfloat*>(uniform->data);
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
    if (loc[P::UN_Model] != -1) glUniformMatrix4fv(loc[P::UN_Model], 1, GL_FALSE, node->world.m);
    if (loc[P::UN_ModelIT] != -1)
        glUniformMatrix3fv(loc[P::UN_ModelIT], 1, GL_FALSE, node->normalMatrix.m);
    if (loc[P::UN_PrevModel] != -1)
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
    if (!mesh->initializer || !mesh->initializer->initialized) mesh->Init();
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
        glBindBuffer(GL_ARRAY_BUFFER, init->vertexBuffers[i]);
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, GLint(array->components), type, GL_FALSE, 0, nullptr);
        anyEnabled = true;
    }
    if (!anyEnabled) vertexLimit = 0;

    Vector<VertexBatch*>* batches = mesh->GetBatches();
    GLuint boundIndexBuffer = 0;
    bool skipped = false;
    for (unsigned int b = 0; b < batches->Size(); ++b) {
        VertexBatch* batch = (*batches)[b];
        unsigned int numBones = batch->bones.Size();

        if (loc[P::UN_BoneCount] != -1)
            glUniform1i(loc[P::UN_BoneCount], numBones == 0 ? 0 : GLint(batch->maxInfluences));
        if (numBones > P::kMaxBones) numBones = P::kMaxBones;
        for (unsigned int i = 0; i < numBones; ++i) {
            SceneNode* bone = batch->bones[i];
            if (!bone) continue;
            if (batch->boneMatrices && loc[P::UN_BoneModel0 + i] != -1) {
                Mat4 m;
                Mat4::MatrixMultiplication(m, bone->world, batch->boneMatrices[i]);
                glUniformMatrix4fv(loc[P::UN_BoneModel0 + i], 1, GL_FALSE, m.m);
            }
            if (batch->boneNormalMatrices && loc[P::UN_BoneModelIT0 + i] != -1) {
                Mat3 n;
                Mat3::MatrixMultiplication(n, bone->normalMatrix, batch->boneNormalMatrices[i]);
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
    for (unsigned int l = 0; l < last; ++l) glDisableVertexAttribArray(l);
}
