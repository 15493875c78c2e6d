// The generic frame driver: which passes are drawn, and the order in which the
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
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/ProgramState.h"
#include "render/UniformState.h"
#include "support/RecordingRenderer.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

class RendererRender : public ::testing::Test {
protected:
    RendererRender() {
        technique.passes.Add(nullptr);  // skipped by update and render alike
        for (int i = 0; i < 3; ++i) {
            nodes[i].Attach(&mesh);
            passes[i].scene = &nodes[i];
            rec.SetName(&nodes[i], std::string(1, char('A' + i)));
            rec.SetName(&passes[i], std::string("Pass") + char('A' + i));
            technique.passes.Add(&passes[i]);
        }
    }

    RecordingRenderer rec;
    SceneManager manager;
    Mesh mesh;
    SceneNode nodes[3];
    Pass passes[3];
    Technique technique;
};

}  // namespace

TEST_F(RendererRender, PassDisabledByItsAnimationIsSkipped) {
    CaptureFd out(1);
    rec.Render();
    EXPECT_EQ("Renderer::Render(): no technique bound\n", out.Stop());
    EXPECT_TRUE(rec.log.empty());
    auto off = MakeAnimation(1, Animation::IM_STEP, Animation::RM_CONSTANT, 10,
                             {{0, {1}}, {5, {0}}});
    passes[1].BindProperty(Actor::P_Enable, off.get());
    rec.BindTechnique(&technique);
    manager.Update(&technique, 7);
    rec.Render();
    EXPECT_EQ("SetRenderTarget(null), Projection, Clear(PassA), Geometry(A), "
              "SetRenderTarget(null), Projection, Clear(PassC), Geometry(C)",
              rec.Joined());
}

TEST_F(RendererRender, TargetCameraClearThenTheQueueInOrder) {
    const double kPi = 3.14159265358979323846;
    FrameBuffer fb;
    BlendState blend;
    ProgramState program;
    Uniform uniform("amount");
    UniformState uniformState(&uniform);
    Camera camera(60, 2, 1, 50);
    SceneNode withCamera(Vec3(), Quat(), nullptr, nullptr, &camera);
    // Moved and turned, without a camera: an identity projection, yet a view.
    SceneNode bare(Vec3(1, 2, 3), Quat(0, float(std::sin(kPi / 6)), 0, float(std::cos(kPi / 6))));
    bare.UpdateWorldTransform();
    bare.transform.translation = Vec3(4, 5, 6);
    bare.UpdateWorldTransform();
    const void* objects[] = {&fb, &blend, &program, &uniformState};
    const char* names[] = {"fb", "Bl", "Pr", "Un"};
    for (int i = 0; i < 4; ++i) rec.SetName(objects[i], names[i]);
    passes[0].frameBuffer = &fb;
    passes[0].cameraNode = &withCamera;
    passes[0].states.Add(&uniformState);
    passes[0].states.Add(&program);
    nodes[0].Attach(&blend);
    passes[1].cameraNode = &bare;
    manager.Update(&technique, 1);
    rec.BindTechnique(&technique);
    rec.Render();
    EXPECT_EQ("SetRenderTarget(fb), Projection, View, PrevView, Clear(PassA), Program(Pr), "
              "Blend(Bl), Uniform(Un), Geometry(A), "
              "SetRenderTarget(null), Projection, View, PrevView, Clear(PassB), Geometry(B), "
              "SetRenderTarget(null), Projection, Clear(PassC), Geometry(C)",
              rec.Joined());
    ASSERT_EQ(3u, rec.projections.size());
    EXPECT_EQ(camera.projection, rec.projections[0]);
    EXPECT_EQ(Mat4::IDENTITY, rec.projections[1]);
    ASSERT_EQ(2u, rec.views.size());
    // The inverse of translate(t) x rotate(a, Y) is rotate(-a, Y) x translate(-t).
    RefMat4 turnBack = RefRotate(-kPi / 3, 0, 1, 0);
    EXPECT_LT(MaxDiff(rec.views[1], RefMul(turnBack, RefTranslate(-4, -5, -6))), 1e-5);
    EXPECT_LT(MaxDiff(rec.prevViews[1], RefMul(turnBack, RefTranslate(-1, -2, -3))), 1e-5);
}
