// m3g-scene: the files it writes, read back by m3g-info and by the loader;
// its refusals.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Animation.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

struct Kind {
    const char* name;
    unsigned int objects;
    const char* census;  // as m3g-info --census prints it
};
const Kind kKinds[] = {
    {"cube", 13, "Header: 1\nAppearance: 1\nCamera: 1\nPolygonMode: 1\nTriangleStripArray: 1\n"
                 "Light: 1\nMaterial: 1\nMesh: 1\nVertexArray: 3\nVertexBuffer: 1\nWorld: 1\n"},
    {"knot", 19, "Header: 1\nAnimationController: 1\nAnimationTrack: 1\nAppearance: 1\n"
                 "Background: 1\nCamera: 1\nPolygonMode: 1\nGroup: 1\nTriangleStripArray: 1\n"
                 "Light: 2\nMaterial: 1\nMesh: 1\nKeyframeSequence: 1\nVertexArray: 3\n"
                 "VertexBuffer: 1\nWorld: 1\n"}};

CommandResult Tool(std::vector<std::string> args) {
    args.insert(args.begin(), BinaryPath("m3g-scene"));
    return testsupport::Run(args);
}

// Writes a kind and loads it, quietly; the caller deletes the scene.
Scene* WriteAndLoad(const TempDir& dir, const std::string& kind) {
    EXPECT_EQ(0, Tool({dir.File(kind), kind}).exitCode);
    std::string bytes = ReadFile(dir.File(kind));
    ROMSource source(reinterpret_cast<const unsigned char*>(bytes.data()), unsigned(bytes.size()),
                     false);
    CaptureFd out(1);
    Scene* scene = M3GLoader::Load(&source);
    EXPECT_EQ("", out.Stop());
    return scene;
}

}  // namespace

TEST(M3GSceneTool, EachKindHasItsCensusAndTheSameBytesEveryRun) {
    TempDir dir;
    for (const Kind& kind : kKinds) {
        CommandResult written = Tool({dir.File(kind.name), kind.name});
        std::string path = dir.File(kind.name), bytes = ReadFile(path);
        EXPECT_EQ(path + ": " + kind.name + ", " + std::to_string(kind.objects) + " objects, " +
                      std::to_string(bytes.size()) + " bytes\n", written.out);
        EXPECT_EQ("\xAB\x4A\x53\x52\x31\x38\x34\xBB\x0D\x0A\x1A\x0A", bytes.substr(0, 12));
        EXPECT_EQ(kind.census, testsupport::Run({BinaryPath("m3g-info"), "--census", path}).out);
        EXPECT_EQ(0, Tool({path + "2", kind.name}).exitCode);
        EXPECT_EQ(bytes, ReadFile(path + "2"));
    }
}

TEST(M3GSceneTool, RefusesBadArgumentsAndUnwritableOutput) {
    TempDir dir;
    const std::string usage = "usage: m3g-scene OUT.m3g [knot|cube]\n", lost = dir.File("no/a");
    CommandResult none = Tool({}), kind = Tool({dir.File("a"), "sphere"}), unwritable = Tool({lost});
    EXPECT_EQ(2, none.exitCode);
    EXPECT_EQ(usage, none.err);
    EXPECT_EQ(2, kind.exitCode);
    EXPECT_EQ("m3g-scene: unknown kind sphere\n" + usage, kind.err);
    EXPECT_FALSE(FileExists(dir.File("a")));
    EXPECT_EQ(1, unwritable.exitCode);
    EXPECT_EQ("m3g-scene: can't write " + lost + "\n", unwritable.err);
}

TEST(M3GSceneConversion, KnotIsALitSpinningSceneAndTheCubeStandsStill) {
    TempDir dir;
    Scene* knot = WriteAndLoad(dir, "knot");
    Vector<SceneObject*> found;
    knot->FindAll(SceneObject::SOT_Technique, &found);
    ASSERT_TRUE(found.Size() == 1 && static_cast<Technique*>(found[0])->passes.Size() == 1);
    Pass* pass = static_cast<Technique*>(found[0])->passes[0];
    auto* cameraNode = static_cast<SceneNode*>(knot->Find(10, SceneObject::SOT_SceneNode));
    ASSERT_TRUE(cameraNode && cameraNode->camera);
    EXPECT_EQ(cameraNode, pass->cameraNode);
    EXPECT_FLOAT_EQ(45.0f, cameraNode->camera->fov);
    auto* mesh = static_cast<Mesh*>(knot->Find(40, SceneObject::SOT_Resource));
    ASSERT_TRUE(mesh && mesh->GetNumVertexArrays() == 3 && mesh->GetNumTriangleArrays() == 1);
    // 192 segments by 16 sides, seams doubled; one strip per side.
    EXPECT_EQ(193u * 17u, mesh->GetVertexArray(0)->count);
    EXPECT_EQ(16u * 2u * 193u, mesh->GetTriangleArray(0)->count);
    // Slerp over a 4000 ms loop, two turns about a tilted axis: halfway between
    // keys the group has turned a further 90 degrees, across the wrap too.
    auto* group = static_cast<SceneNode*>(knot->Find(30, SceneObject::SOT_SceneNode));
    ASSERT_TRUE(group && group->bindings[Actor::P_Rotation]);
    Animation* spin = group->bindings[Actor::P_Rotation];
    const float axis[3] = {0.28f, 0.96f, 0.0f};
    for (float time : {500.0f, 1500.0f, 2500.0f, 3500.0f, 4500.0f}) {
        float half = float(M_PI) * time / 2000.0f, q[4];
        spin->GetChannelValues(time, q, 0, 3, 0);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(axis[c] * std::sin(half), q[c], 1e-4f) << time;
        EXPECT_NEAR(std::cos(half), q[3], 1e-4f) << time;
    }
    delete knot;

    Scene* cube = WriteAndLoad(dir, "cube");
    found.Clear();
    cube->FindAll(SceneObject::SOT_Animation, &found);
    EXPECT_EQ(0u, found.Size());
    mesh = static_cast<Mesh*>(cube->Find(40, SceneObject::SOT_Resource));
    EXPECT_TRUE(mesh && mesh->GetNumVertexArrays() == 3 && mesh->GetVertexArray(0)->count == 24);
    cameraNode = static_cast<SceneNode*>(cube->Find(10, SceneObject::SOT_SceneNode));
    EXPECT_TRUE(cameraNode && cameraNode->camera);
    delete cube;
}
