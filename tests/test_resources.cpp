// Resources and their manager: registration, double dispatch into the manager,
// lazy initialisation, the active engine, and the plain resource classes.
#include "engine/Camera.h"
#include "engine/Engine.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/Texture2D.h"
#include "engine/TextureCube.h"
#include "engine/Uniform.h"
#include "support/RecordingResourceManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

RecordingInitializer* Recording(Resource* r) { return static_cast<RecordingInitializer*>(r->initializer); }

}  // namespace

TEST(ResourceRegistration, ResourcesRegisterInConstructionOrder) {
    RecordingEngine engine;
    Mesh mesh;
    Camera camera;
    Uniform uniform("u");
    ASSERT_EQ(engine.manager.resources.Size(), 3u);
    EXPECT_EQ(engine.manager.resources[0], &mesh);
    EXPECT_EQ(engine.manager.resources[1], &camera);
    EXPECT_EQ(engine.manager.resources[2], &uniform);
}

TEST(ResourceRegistration, RegisteringTwiceLeavesOneEntry) {
    RecordingEngine engine;
    Program program;
    engine.manager.Register(&program);
    engine.manager.Register(&program);
    ASSERT_EQ(engine.manager.resources.Size(), 1u);
    EXPECT_EQ(engine.manager.resources[0], &program);
}

TEST(ResourceRegistration, UnregisteringTheFirstMovesTheLastIntoItsPlace) {
    RecordingEngine engine;
    Program a, b, c;
    engine.manager.Unregister(&a);
    ASSERT_EQ(engine.manager.resources.Size(), 2u);
    EXPECT_EQ(engine.manager.resources[0], &c);
    EXPECT_EQ(engine.manager.resources[1], &b);
    // Registering again appends after the moved entries.
    engine.manager.Register(&a);
    ASSERT_EQ(engine.manager.resources.Size(), 3u);
    EXPECT_EQ(engine.manager.resources[2], &a);
}

TEST(ResourceRegistration, UnregisteringAnUnlistedResourceChangesNothing) {
    RecordingEngine engine;
    Program a, b;
    engine.manager.Unregister(&a);
    engine.manager.Unregister(&a);
    ASSERT_EQ(engine.manager.resources.Size(), 1u);
    EXPECT_EQ(engine.manager.resources[0], &b);
}

TEST(ResourceRegistration, DestroyedResourcesLeaveTheList) {
    RecordingEngine engine;
    Program keep;
    {
        Texture2D gone;
        Mesh alsoGone;
        EXPECT_EQ(engine.manager.resources.Size(), 3u);
    }
    ASSERT_EQ(engine.manager.resources.Size(), 1u);
    EXPECT_EQ(engine.manager.resources[0], &keep);
}

TEST(ResourceRegistration, WithoutAnEngineNothingIsListedOrInitialised) {
    ASSERT_EQ(Engine::activeEngine, nullptr);
    Mesh early;
    early.Init();
    EXPECT_EQ(early.initializer, nullptr);
    RecordingEngine engine;
    EXPECT_EQ(engine.manager.resources.Size(), 0u);
    // Once an engine exists, Init works although the mesh is not listed.
    early.Init();
    ASSERT_NE(early.initializer, nullptr);
    EXPECT_TRUE(early.initializer->initialized);
    EXPECT_EQ(engine.manager.resources.Size(), 0u);
}

TEST(ResourceEngine, TheLastEngineIsActiveAndGivesItUpWhenDestroyed) {
    EXPECT_EQ(Engine::activeEngine, nullptr);
    {
        RecordingEngine first;
        EXPECT_EQ(Engine::activeEngine, &first);
        {
            RecordingEngine second;
            EXPECT_EQ(Engine::activeEngine, &second);
            Program p;
            EXPECT_EQ(second.manager.resources.Size(), 1u);
            EXPECT_EQ(first.manager.resources.Size(), 0u);
        }
        // The second engine is gone; the first does not come back by itself.
        EXPECT_EQ(Engine::activeEngine, nullptr);
        Program orphan;  // must not reach the destroyed manager
        EXPECT_EQ(first.manager.resources.Size(), 0u);
    }
    EXPECT_EQ(Engine::activeEngine, nullptr);
}

TEST(ResourceEngine, DestroyingAnInactiveEngineKeepsTheActiveOne) {
    RecordingEngine* first = new RecordingEngine;
    RecordingEngine second;
    delete first;
    EXPECT_EQ(Engine::activeEngine, &second);
}

TEST(ResourceInit, EachClassDispatchesToItsOwnOverload) {
    RecordingEngine engine;
    Texture2D texture2D;
    TextureCube textureCube;
    Mesh mesh;
    Program program;
    FrameBuffer frameBuffer;
    RenderBuffer renderBuffer;
    Camera camera;
    Uniform uniform;
    engine.manager.InitAll();
    EXPECT_EQ(engine.manager.log, (Log{"Texture", "Texture", "Mesh", "Program", "FrameBuffer",
                                       "RenderBuffer", "Camera", "Uniform"}));
    EXPECT_EQ(texture2D.GetType(), 3u);
    EXPECT_EQ(textureCube.GetType(), 3u);
    EXPECT_EQ(mesh.GetType(), 1u);
    EXPECT_EQ(program.GetType(), 4u);
    EXPECT_EQ(frameBuffer.GetType(), 6u);
    EXPECT_EQ(renderBuffer.GetType(), 7u);
    EXPECT_EQ(camera.GetType(), 0u);
    EXPECT_EQ(uniform.GetType(), 5u);
    EXPECT_EQ(texture2D.GetTextureType(), 1u);
    EXPECT_EQ(textureCube.GetTextureType(), 3u);
    EXPECT_EQ(uniform.GetObjectType(), SceneObject::SOT_Resource);
    EXPECT_EQ(uniform.id, unsigned(SceneObject::kNoId));
    for (Resource* r : std::vector<Resource*>{&texture2D, &textureCube, &mesh, &program,
                                              &frameBuffer, &renderBuffer}) {
        ASSERT_NE(r->initializer, nullptr);
        EXPECT_EQ(r->initializer->resource, r);
        EXPECT_TRUE(r->initializer->initialized);
    }
}

TEST(ResourceInit, KindsWithoutAGpuSideStayWithoutInitializer) {
    RecordingEngine engine;
    Camera camera;
    Uniform uniform;
    camera.Init();
    uniform.Init();
    camera.Init();
    EXPECT_EQ(camera.initializer, nullptr);
    EXPECT_EQ(uniform.initializer, nullptr);
    // Asked again each time, since nothing was stored.
    EXPECT_EQ(engine.manager.log, (Log{"Camera", "Uniform", "Camera"}));
}

TEST(ResourceInit, InitTwiceCreatesTheInitializerOnce) {
    RecordingEngine engine;
    Mesh mesh;
    mesh.Init();
    ResourceInitializer* first = mesh.initializer;
    mesh.Init();
    EXPECT_EQ(mesh.initializer, first);
    EXPECT_EQ(engine.manager.log, (Log{"Mesh"}));
    EXPECT_EQ(Recording(&mesh)->initCount, 1);
}

TEST(ResourceInit, AFailedInitIsRetriedByTheNextInit) {
    RecordingEngine engine;
    Program program;
    program.Init();
    Recording(&program)->failInit = true;
    program.initializer->Deinit();
    program.Init();
    EXPECT_FALSE(program.initializer->initialized);
    Recording(&program)->failInit = false;
    program.Init();
    EXPECT_TRUE(program.initializer->initialized);
    EXPECT_EQ(Recording(&program)->initCount, 3);
    EXPECT_EQ(engine.manager.log, (Log{"Program"}));
}

TEST(ResourceInit, InitAllFollowsTheListOrderAfterRemovals) {
    RecordingEngine engine;
    Program p;
    Mesh* m = new Mesh;
    Texture2D t;
    RenderBuffer r;
    delete m;  // the renderbuffer moves into the mesh's slot
    engine.manager.InitAll();
    EXPECT_EQ(engine.manager.log, (Log{"Program", "RenderBuffer", "Texture"}));
}

TEST(ResourceInit, DestructionDeletesTheInitializerWithoutDeinit) {
    RecordingEngine engine;
    RecordingInitializer::Tracker tracker;
    {
        Texture2D texture;
        texture.Init();
        Recording(&texture)->tracker = &tracker;
    }
    EXPECT_TRUE(tracker.deleted);
    EXPECT_EQ(tracker.deinitsAtDeletion, 0);
}

TEST(ResourceInit, DeinitThenInitRebuilds) {
    RecordingEngine engine;
    RenderBuffer depth;
    depth.Init();
    depth.initializer->Deinit();
    EXPECT_FALSE(depth.initializer->initialized);
    depth.Init();
    EXPECT_TRUE(depth.initializer->initialized);
    EXPECT_EQ(Recording(&depth)->initCount, 2);
    EXPECT_EQ(Recording(&depth)->deinitCount, 1);
}

TEST(CameraProjection, DefaultsAndParameterChanges) {
    Camera camera;
    EXPECT_EQ(camera.fov, 45.0f);
    EXPECT_EQ(camera.aspect, 1.3333334f);
    EXPECT_EQ(camera.near, 0.1f);
    EXPECT_EQ(camera.far, 100.0f);
    Mat4 expected;
    expected.LoadPerspective(45.0f, 1.3333334f, 0.1f, 100.0f);
    EXPECT_TRUE(camera.projection == expected);
    camera.SetParams(60.0f, 2.0f, 1.0f, 50.0f);
    expected.LoadPerspective(60.0f, 2.0f, 1.0f, 50.0f);
    EXPECT_TRUE(camera.projection == expected);
    Camera built(60.0f, 2.0f, 1.0f, 50.0f);
    EXPECT_TRUE(built.projection == expected);
    EXPECT_EQ(built.far, 50.0f);
}

TEST(RenderTargets, FrameBufferSlotsAndTargetKinds) {
    FrameBuffer fb;
    RenderBuffer depth;
    Texture2D color;
    for (RenderTarget* t : fb.attachments) EXPECT_EQ(t, nullptr);
    fb.Attach(FrameBuffer::A_Depth, &depth);
    fb.Attach(FrameBuffer::A_Color0, &color);
    EXPECT_EQ(fb.attachments[8], &depth);
    EXPECT_EQ(fb.attachments[0], &color);
    fb.Attach(FrameBuffer::A_Color0, &depth);
    EXPECT_EQ(fb.attachments[0], &depth);
    for (unsigned int i = 1; i < 8; ++i) EXPECT_EQ(fb.attachments[i], nullptr);
    EXPECT_EQ(fb.attachments[9], nullptr);
    // Through the interface pointer, as the framebuffer initializer sees them.
    RenderTarget* asTarget = &color;
    EXPECT_EQ(asTarget->GetRenderTargetType(), 0u);
    asTarget = &depth;
    EXPECT_EQ(asTarget->GetRenderTargetType(), 1u);
}
