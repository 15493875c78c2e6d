// The OpenGL ES 2.0 renderer: applies render states with GL calls, keeps the
// matrices the fixed uniforms need, and draws meshes batch by batch.
#pragma once

#include <GLES2/gl2.h>

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
    // Also the program and material, and the GL bindings to the content's objects.
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
};
