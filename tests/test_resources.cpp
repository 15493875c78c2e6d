// Resources and their manager: registration without an engine, double
// dispatch into the manager, lazy initialisation, and which engine is active.
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

using Log = std::vector<std::string>;
using List = std::vector<Resource*>;

static List Listed(const RecordingEngine& engine) {
    return List(engine.manager.resources.begin(), engine.manager.resources.end());
}

TEST(ResourceRegistration, MadeWithoutAnEngineIsNeitherListedNorInitialised) {
    ASSERT_EQ(Engine::activeEngine, nullptr);
    Mesh early;
    early.Init();
    EXPECT_EQ(early.initializer, nullptr);
    RecordingEngine engine;
    early.Init();  // works once an engine exists, although the mesh is not listed
    EXPECT_EQ(engine.manager.sequence, (Log{"Mesh", "Init Mesh"}));
    EXPECT_EQ(Listed(engine), List{});
}

TEST(ResourceEngine, TheLastMadeIsActiveUntilItIsDestroyed) {
    RecordingEngine* first = new RecordingEngine;
    {
        RecordingEngine second;
        Program p;
        EXPECT_EQ(Listed(second), (List{&p}));
    }
    // The first does not come back by itself, and nothing reaches the dead one.
    EXPECT_EQ(Engine::activeEngine, nullptr);
    Program orphan;
    EXPECT_EQ(Listed(*first), List{});
    RecordingEngine third;
    delete first;  // an inactive engine leaves the active one alone
    EXPECT_EQ(Engine::activeEngine, &third);
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
    EXPECT_EQ(engine.manager.sequence,
              (Log{"Texture", "Init Texture", "Texture", "Init Texture", "Mesh", "Init Mesh",
                   "Program", "Init Program", "FrameBuffer", "Init FrameBuffer", "RenderBuffer",
                   "Init RenderBuffer", "Camera", "Uniform"}));
    // Kinds without a GPU side store nothing, so they are asked again each time.
    camera.Init();
    EXPECT_EQ(camera.initializer, nullptr);
    EXPECT_EQ(uniform.initializer, nullptr);
    EXPECT_EQ(engine.manager.sequence.back(), "Camera");
}

TEST(ResourceInit, InitTwiceCreatesTheInitializerOnceAndRetriesAFailure) {
    RecordingEngine engine;
    int live = RecordingInitializer::live;
    {
        Mesh mesh;
        mesh.Init();
        mesh.Init();
        auto* initializer = static_cast<RecordingInitializer*>(mesh.initializer);
        initializer->failInit = true;
        initializer->Deinit();
        mesh.Init();  // fails
        initializer->failInit = false;
        mesh.Init();
        mesh.Init();
    }
    // Destruction deletes the initializer without a Deinit.
    EXPECT_EQ(RecordingInitializer::live, live);
    EXPECT_EQ(engine.manager.sequence,
              (Log{"Mesh", "Init Mesh", "Deinit Mesh", "Init Mesh", "Init Mesh"}));
}
