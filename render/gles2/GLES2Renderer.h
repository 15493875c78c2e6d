// The OpenGL ES 2.0 renderer: applies render states with GL calls, keeps the
// matrices the fixed uniforms need, and draws meshes batch by batch.
#pragma once

#include <GLES2/gl2.h>

#include <vector>

#include "math/Mat4.h"
#include "render/Renderer.h"

class Mesh;
class SceneNode;
class Program;
class GLES2ProgramInitializer;

class GLES2Renderer : public Renderer {
public:
    static const unsigned int kTextureUnits = 8;

    GLES2Renderer();
    ~GLES2Renderer() override;
    GLES2Renderer(const GLES2Renderer&) = delete;
    GLES2Renderer& operator=(const GLES2Renderer&) = delete;

    void Init() override;
    void SetViewport(unsigned int x, unsigned int y, unsigned int width,
                     unsigned int height) override;
    // A framebuffer that has no GL object yet is initialised first.
    void SetDefaultRenderTarget(FrameBuffer* frameBuffer) override;
    void AssignState(BlendState* state) override;
    void AssignState(DepthTestState* state) override;
    void AssignState(GenericState* state) override;
    void AssignState(GeometryState* state) override;
    void AssignState(StencilTestState* state) override;
    void AssignState(TextureSamplerState* state) override;
    void AssignState(TextureState* state) override;
    void AssignState(ProgramState* state) override;
    void AssignState(UniformState* state) override;
    void AssignState(MaterialState* state) override;
    void SetRenderTarget(FrameBuffer* frameBuffer) override;
    void ClearBuffers(const Pass* pass) override;
    void AssignProjectionMatrix(const Mat4& matrix) override;
    void AssignViewMatrix(const Mat4& matrix) override;
    void AssignPrevViewMatrix(const Mat4& matrix) override;
    // Also the program, the material, and all it remembers of the content's GL objects.
    void Forget() override;

    // Sets the clear colour, depth and stencil values; clears nothing.
    void SetClearParams(const Pass* pass);
    // Prints the pending GL error, if any; returns its code (0 when none).
    GLenum CheckGLError();
    void UpdateMaterialState();
    // Draws every batch of the mesh whose ranges stay inside its buffers.
    void DrawMesh(Mesh* mesh, SceneNode* node);

    // The bound program's initializer when it is linked and usable, else null.
    GLES2ProgramInitializer* GetProgramInitializer() const;

    // GL values by engine code; 0 where OpenGL ES 2.0 has none.
    static const GLenum sc_es2gl[11];           // GenericState::capability
    static const GLenum sc_bf2gl[15];           // blend factor
    static const GLenum sc_be2gl[5];            // blend equation
    static const GLenum sc_nt2gl[7];            // NumericType, vertex data
    static const GLenum sc_nt2gl_unsigned[7];   // NumericType, indices and colours
    static const GLenum sc_primitiveTab[3];     // VertexBatch::primitive
    static const GLenum sc_wrapTab[3];          // wrap code
    static const GLenum sc_filterTab[2];        // filter code
    static const GLenum sc_mipmapFilterTab[4];  // minFilter * 2 + mipmapFilter

    GLuint defaultFramebuffer;  // drawn into by passes without a framebuffer
    Mat4 projection;
    Mat4 view;
    Mat4 prevView;
    Program* program;  // bound by the last ProgramState; not owned
    Mat4 textureMatrices[kTextureUnits];
    unsigned int maxTextureUnit;  // highest unit bound so far; only grows
    int viewportWidth;
    int viewportHeight;
    MaterialState* material;  // last assigned; not owned
    // Attribute locations at and above this are never fed.
    unsigned int maxVertexAttribs;

private:
    // A call whose state is already in force is not made again. What is
    // remembered, and for how long, follows who else sets that state:
    // - switches, blend, clear values, the active texture unit and enabled
    //   attribute arrays are set by nothing but this renderer: for the
    //   context's life (from Init; unknown before it);
    // - the program in use and the texture, buffer, framebuffer and attribute
    //   bindings are also set by the resource initializers, which run
    //   between frames: for one pass;
    // - each program's uniform values and locations (set nowhere else once
    //   it is linked, and a program is linked once) and texture parameters
    //   (set elsewhere only when a texture is made, before the first frame or
    //   when targets are rebuilt for a new viewport): from frame to frame.
    // Objects made while drawing (a mesh or target reached before InitAll)
    // forget all but the first kind.
    struct UniformSlot {
        unsigned int offset, bytes;  // in the program's value block
        bool known;
    };
    struct ProgramCache {
        const GLES2ProgramInitializer* initializer;
        GLuint name;
        std::vector<UniformSlot> slots;  // by location
        std::vector<unsigned char> values;
        std::vector<std::pair<std::vector<char>, GLint>> locations;  // by name
    };
    struct TextureParams {
        GLuint texture;
        GLint values[4];  // wrap S, wrap T, min filter, mag filter; -1 unknown
    };
    struct Binding {
        GLuint name;
        bool known;
    };

    void ForgetContextState();
    void ForgetPassState();
    void ForgetObjectState();
    void UseProgram(GLuint name);
    void ActiveTexture(unsigned int unit);
    void BindArrayBuffer(GLuint buffer);
    void Capability(GLenum cap, unsigned int code, bool enabled);
    void TexParameter(GLuint texture, GLenum target, unsigned int which, GLenum pname,
                      GLint value);
    // True, after noting the value, when it differs from what the bound
    // program's uniform at `location` holds (or that is not known).
    bool UniformChanged(GLint location, const void* data, size_t bytes);
    GLint UniformLocation(GLES2ProgramInitializer* init, const char* name);
    ProgramCache* CacheOf(GLES2ProgramInitializer* init);

    // Context state; -1 / false where unknown.
    int capabilities[11];
    bool blendKnown, blendColorKnown, blendEquationKnown;
    GLenum blendFunc[4], blendEquation[2];
    float blendColor[4];
    bool clearColorKnown, clearDepthKnown, clearStencilKnown;
    float clearColor[4], clearDepth;
    GLint clearStencil;
    int activeUnit;
    std::vector<signed char> attribEnabled;  // by location: 1, 0, -1
    // Pass state.
    Binding usedProgram, arrayBuffer, framebuffer;
    Binding textures[kTextureUnits][2];  // 2D, cube map
    struct AttribPointer {
        GLuint buffer;
        GLint components;
        GLenum type;
        bool known;
    };
    std::vector<AttribPointer> attribPointers;
    // Frame-to-frame state.
    std::vector<ProgramCache*> programCaches;  // owned
    ProgramCache* programCache;  // of the program in use, or null
    std::vector<TextureParams> textureParams;
};
