// Backend-neutral driver of a frame: renders the passes of the bound technique
// and applies their queued states by double dispatch into a backend.
#pragma once

#include "math/Mat4.h"

class Technique;
class Pass;
class FrameBuffer;
class BlendState;
class DepthTestState;
class GenericState;
class GeometryState;
class StencilTestState;
class TextureSamplerState;
class TextureState;
class ProgramState;
class UniformState;
class MaterialState;

class Renderer {
public:
    Renderer();
    virtual ~Renderer();

    virtual void Init() = 0;
    virtual void SetViewport(unsigned int x, unsigned int y, unsigned int width,
                             unsigned int height) = 0;
    virtual void SetDefaultRenderTarget(FrameBuffer* frameBuffer) = 0;
    virtual void AssignState(BlendState* state) = 0;
    virtual void AssignState(DepthTestState* state) = 0;
    virtual void AssignState(GenericState* state) = 0;
    virtual void AssignState(GeometryState* state) = 0;
    virtual void AssignState(StencilTestState* state) = 0;
    virtual void AssignState(TextureSamplerState* state) = 0;
    virtual void AssignState(TextureState* state) = 0;
    virtual void AssignState(ProgramState* state) = 0;
    virtual void AssignState(UniformState* state) = 0;
    virtual void AssignState(MaterialState* state) = 0;
    // Null means the default target.
    virtual void SetRenderTarget(FrameBuffer* frameBuffer) = 0;
    virtual void ClearBuffers(const Pass* pass) = 0;
    virtual void AssignProjectionMatrix(const Mat4& matrix) = 0;
    virtual void AssignViewMatrix(const Mat4& matrix) = 0;
    virtual void AssignPrevViewMatrix(const Mat4& matrix) = 0;

    // Lets go of everything of the content it holds on to (the technique,
    // the default target, states applied last), for content about to be
    // destroyed; nothing is drawn until a technique is bound again.
    virtual void Forget();

    void BindTechnique(Technique* technique);
    // Renders every enabled pass of the bound technique, in order.
    void Render();
    void RenderPass(Pass* pass);

    Technique* technique;  // not owned
};
