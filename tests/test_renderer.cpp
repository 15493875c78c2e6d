// The generic frame driver: which passes are drawn, in which order the
// target, camera matrices, clears and queued states reach the backend.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Animation.h"
#include "engine/Camera.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/SceneManager.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "engine/Texture2D.h"
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/MaterialState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "support/RecordingRenderer.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const double kPi = 3.14159265358979323846;

class RendererTest : public ::testing::Test {
protected:
    RendererTest() : a(&nodeA), b(&nodeB), c(&nodeC) {
        nodeA.Attach(&mesh);
        nodeB.Attach(&mesh);
        nodeC.Attach(&mesh);
        rec.SetName(&nodeA, "A");
        rec.SetName(&nodeB, "B");
        rec.SetName(&nodeC, "C");
        rec.SetName(&a, "PassA");
        rec.SetName(&b, "PassB");
        rec.SetName(&c, "PassC");
        rec.SetName(&fb, "fb");
        technique.passes.Add(&a);
        technique.passes.Add(&b);
        technique.passes.Add(&c);
    }

    RecordingRenderer rec;
    SceneManager manager;
    Mesh mesh;
    FrameBuffer fb;
    SceneNode nodeA, nodeB, nodeC;
    Pass a, b, c;
    Technique technique;
};

using RendererRender = RendererTest;
using RendererRenderPass = RendererTest;

}  // namespace

TEST_F(RendererRender, DrawsEveryEnabledPassInOrder) {
    manager.Update(&technique, 1);
    rec.BindTechnique(&technique);
    rec.Render();
    EXPECT_EQ("SetRenderTarget(null), Projection, Clear(PassA), Geometry(A), "
              "SetRenderTarget(null), Projection, Clear(PassB), Geometry(B), "
              "SetRenderTarget(null), Projection, Clear(PassC), Geometry(C)",
              rec.Joined());
}

TEST_F(RendererRender, PassDisabledByItsAnimationIsSkipped) {
    auto off = MakeAnimation(1, Animation::IM_STEP, Animation::RM_CONSTANT, 10,
                             {{0, {1}}, {5, {0}}});
    b.BindProperty(Actor::P_Enable, off.get());
    rec.BindTechnique(&technique);
    manager.Update(&technique, 2);
    rec.Render();
    EXPECT_EQ(12u, rec.log.size());
    rec.ClearLog();
    manager.Update(&technique, 7);
    EXPECT_FALSE(b.enabled);
    rec.Render();
    EXPECT_EQ("SetRenderTarget(null), Projection, Clear(PassA), Geometry(A), "
              "SetRenderTarget(null), Projection, Clear(PassC), Geometry(C)",
              rec.Joined());
}

TEST_F(RendererRender, WithoutATechniqueNothingIsDrawn) {
    CaptureFd out(1);
    rec.Render();
    EXPECT_EQ("Renderer::Render(): no technique bound\n", out.Stop());
    EXPECT_TRUE(rec.log.empty());
}

TEST_F(RendererRender, BindingAnotherTechniqueReplacesTheFirst) {
    Technique other;
    other.passes.Add(nullptr);
    other.passes.Add(&c);
    manager.Update(&technique, 1);
    rec.BindTechnique(&technique);
    rec.BindTechnique(&other);
    EXPECT_EQ(&other, rec.technique);
    rec.Render();
    EXPECT_EQ("SetRenderTarget(null), Projection, Clear(PassC), Geometry(C)", rec.Joined());
}

TEST_F(RendererRenderPass, TargetCameraClearThenQueueInOrder) {
    Texture2D texture;
    BlendState blend;
    GenericState blending(0, true);
    ProgramState program;
    MaterialState material;
    TextureState textureState(&texture, 2);
    TextureSamplerState samplerState(&texture, 2);
    Uniform uniform("amount");
    UniformState uniformState(&uniform);
    rec.SetName(&blend, "Bl");
    rec.SetName(&blending, "On");
    rec.SetName(&program, "Pr");
    rec.SetName(&material, "Ma");
    rec.SetName(&textureState, "Tx");
    rec.SetName(&samplerState, "Sa");
    rec.SetName(&uniformState, "Un");
    Camera camera;
    SceneNode cameraNode(Vec3(0, 0, 4), Quat(), nullptr, nullptr, &camera);
    a.frameBuffer = &fb;
    a.cameraNode = &cameraNode;
    a.states.Add(&program);
    a.states.Add(&uniformState);
    nodeA.Attach(&blend);
    nodeA.Attach(&blending);
    nodeA.Attach(&material);
    nodeA.Attach(&textureState);
    nodeA.Attach(&samplerState);
    manager.Update(&a, 1);
    rec.RenderPass(&a);
    EXPECT_EQ("SetRenderTarget(fb), Projection, View, PrevView, Clear(PassA), Program(Pr), "
              "Blend(Bl), Generic(On), Material(Ma), Texture(Tx), TextureSampler(Sa), "
              "Uniform(Un), Geometry(A)",
              rec.Joined());
    ASSERT_EQ(1u, rec.projections.size());
    EXPECT_EQ(camera.projection, rec.projections[0]);
}

TEST_F(RendererRenderPass, ViewIsTheInverseOfTheCameraNodesWorld) {
    Camera camera;
    SceneNode cameraNode(Vec3(1, 2, 3), Quat(0, float(std::sin(kPi / 6)), 0,
                                              float(std::cos(kPi / 6))),
                         nullptr, nullptr, &camera);
    cameraNode.UpdateWorldTransform();
    cameraNode.transform.translation = Vec3(4, 5, 6);
    cameraNode.UpdateWorldTransform();
    a.cameraNode = &cameraNode;
    rec.RenderPass(&a);
    RefMat4 rotation = RefRotate(kPi / 3, 0, 1, 0);
    RefMat4 view = RefInverseAffine(RefMul(RefTranslate(4, 5, 6), rotation));
    RefMat4 prevView = RefInverseAffine(RefMul(RefTranslate(1, 2, 3), rotation));
    ASSERT_EQ(1u, rec.views.size());
    ASSERT_EQ(1u, rec.prevViews.size());
    EXPECT_LT(MaxDiff(rec.views[0], view), 1e-5);
    EXPECT_LT(MaxDiff(rec.prevViews[0], prevView), 1e-5);
}

TEST_F(RendererRenderPass, CameraNodeWithoutCameraGivesIdentityProjectionButAView) {
    SceneNode cameraNode(Vec3(0, 0, 5));
    cameraNode.UpdateWorldTransform();
    a.cameraNode = &cameraNode;
    rec.RenderPass(&a);
    EXPECT_EQ("SetRenderTarget(null), Projection, View, PrevView, Clear(PassA)", rec.Joined());
    ASSERT_EQ(1u, rec.projections.size());
    EXPECT_EQ(Mat4::IDENTITY, rec.projections[0]);
    ASSERT_EQ(1u, rec.views.size());
    EXPECT_LT(MaxDiff(rec.views[0], RefTranslate(0, 0, -5)), 1e-6);
}

TEST_F(RendererRenderPass, WithoutACameraNodeTheViewIsLeftAlone) {
    Camera camera;
    camera.SetParams(60, 2, 1, 50);
    SceneNode cameraNode(Vec3(0, 0, 5), Quat(), nullptr, nullptr, &camera);
    cameraNode.UpdateWorldTransform();
    a.cameraNode = &cameraNode;
    rec.RenderPass(&a);
    rec.RenderPass(&b);
    EXPECT_EQ("SetRenderTarget(null), Projection, View, PrevView, Clear(PassA), "
              "SetRenderTarget(null), Projection, Clear(PassB)",
              rec.Joined());
    ASSERT_EQ(2u, rec.projections.size());
    EXPECT_EQ(camera.projection, rec.projections[0]);
    EXPECT_EQ(Mat4::IDENTITY, rec.projections[1]);
    EXPECT_EQ(1u, rec.views.size());
}

TEST_F(RendererRenderPass, NullPassDoesNothing) {
    rec.RenderPass(nullptr);
    EXPECT_TRUE(rec.log.empty());
}
