// m3g-scene: the files it writes, read back by m3g-info and by the loader;
// its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "engine/Animation.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/Texture2D.h"
#include "engine/VertexBatch.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

struct Kind {
    const char* name;
    unsigned int objects;
};
// serpent2: 16 bones, a skeleton and a turning group, in the 2.0 layout.
const Kind kKinds[] = {{"cube", 13}, {"knot", 21}, {"serpent2", 77}};

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
        // Every object is one m3g-info can read.
        std::string census = testsupport::Run({BinaryPath("m3g-info"), "--census", path}).out;
        unsigned int counted = 0;
        for (size_t at = census.find(": "); at != std::string::npos; at = census.find(": ", at + 1))
            counted += unsigned(std::stoul(census.substr(at + 2)));
        EXPECT_EQ(counted, kind.objects) << census;
        EXPECT_EQ(0, Tool({path + "2", kind.name}).exitCode);
        EXPECT_EQ(bytes, ReadFile(path + "2"));
    }
}

TEST(M3GSceneTool, RefusesBadArgumentsAndUnwritableOutput) {
    TempDir dir;
    const std::string usage = "usage: m3g-scene OUT.m3g [knot|cube|serpent][2]\n", lost = dir.File("no/a");
    CommandResult none = Tool({}), kind = Tool({dir.File("a"), "sphere"}), unwritable = Tool({lost});
    CommandResult layout = Tool({dir.File("a"), "knot3"}), prefix = Tool({dir.File("a"), "kno"});
    EXPECT_EQ(2, none.exitCode);
    EXPECT_EQ(usage, none.err);
    EXPECT_EQ(2, kind.exitCode);
    EXPECT_EQ("m3g-scene: unknown kind sphere\n" + usage, kind.err);
    EXPECT_EQ("m3g-scene: unknown kind knot3\n" + usage, layout.err);
    EXPECT_EQ("m3g-scene: unknown kind kno\n" + usage, prefix.err);
    EXPECT_FALSE(FileExists(dir.File("a")));
    EXPECT_EQ(1, unwritable.exitCode);
    EXPECT_EQ("m3g-scene: can't write " + lost + "\n", unwritable.err);
}

namespace {

SkinnedMesh* FindSkin(Scene* scene) {
    Vector<SceneObject*> found;
    scene->FindAll(SceneObject::SOT_Resource, &found);
    for (SceneObject* object : found)
        if (static_cast<Resource*>(object)->GetType() == Resource::RT_SkinnedMesh)
            return static_cast<SkinnedMesh*>(object);
    return nullptr;
}

// Brings the bones to their pose at `time` (their own animations) and their
// world matrices up to date, parents first.
void Pose(SceneNode* node, float time) {
    node->Update(time);
    node->UpdateWorldTransform();
    for (SceneNode* child : node->children) Pose(child, time);
}

Vec3 Skin(const Mat4* matrices, const unsigned char* slots, const float* weights, Vec3 p) {
    Vec3 sum(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < 4; ++i) sum += (p * matrices[slots[i]]) * weights[i];
    return sum;
}

}  // namespace

// Each kind in the 2.0 layout loads into the scene of its 1.0 file, but for
// the colour-clear switch that 2.0 backgrounds lack (the cube has none).
TEST(M3GSceneConversion, BothLayoutsOfEveryKindLoadTheSameScene) {
    TempDir dir;
    for (std::string kind : {"cube", "knot", "serpent"}) {
        SCOPED_TRACE(kind);
        std::unique_ptr<Scene> one(WriteAndLoad(dir, kind)), two(WriteAndLoad(dir, kind + "2"));
        Vector<SceneObject*> a, b;
        one->FindAll(SceneObject::SOT_Pass, &a);
        two->FindAll(SceneObject::SOT_Pass, &b);
        ASSERT_TRUE(a.Size() == 1 && b.Size() == 1);
        EXPECT_TRUE(static_cast<Pass*>(a[0])->clearColorEnabled);
        EXPECT_EQ(static_cast<Pass*>(b[0])->clearColorEnabled, kind == "cube");
        static_cast<Pass*>(b[0])->clearColorEnabled = true;
        EXPECT_EQ(DescribeScene(one.get()), DescribeScene(two.get()));
    }
}

// Sixteen bones along one strip per side of the body: each strip is cut into
// batches of at most eight bones, and every triangle a batch draws skins its
// corners exactly as the file's bone references say, in any pose; a corner
// carrying the bone slots of another batch would tear the body open.
TEST(M3GSceneConversion, SerpentSkinIsCutIntoBatchesOfEightBonesWithoutTears) {
    TempDir dir;
    Scene* serpent = WriteAndLoad(dir, "serpent2");
    SkinnedMesh* skin = FindSkin(serpent);
    ASSERT_TRUE(skin && skin->skeleton);
    auto* texture = static_cast<Texture2D*>(serpent->Find(53, SceneObject::SOT_Resource));
    ASSERT_TRUE(texture && texture->pixels);
    EXPECT_EQ(64u, texture->width);
    // The texture repeats 12 times along the body.
    EXPECT_FLOAT_EQ(12.0f, texture->textureMatrix.m[0]);
    EXPECT_FLOAT_EQ(1.0f, texture->textureMatrix.m[5]);

    std::set<unsigned int> allBones;
    unsigned int strips = skin->stripLengths->count;
    Vector<VertexBatch*>* batches = skin->GetBatches();
    EXPECT_EQ(12u, strips);
    EXPECT_GT(batches->Size(), 2 * strips);  // every strip is cut at least twice
    std::vector<unsigned int> stripStarts = {0};
    const uint32_t* lengths = reinterpret_cast<const uint32_t*>(skin->stripLengths->data);
    for (unsigned int i = 0; i < strips; ++i) stripStarts.push_back(stripStarts.back() + lengths[i]);
    for (VertexBatch* batch : *batches) {
        EXPECT_LE(batch->bones.Size(), 8u);
        // A batch cut from a strip starts an even number of elements into it,
        // or its triangles would face the other way.
        unsigned int start = 0;
        for (unsigned int s : stripStarts)
            if (s <= batch->firstIndex) start = s;
        EXPECT_EQ(0u, (batch->firstIndex - start) % 2);
        for (SceneNode* bone : batch->bones) allBones.insert(bone->id);
    }
    EXPECT_EQ(16u, allBones.size());
    EXPECT_EQ(100u, *allBones.begin());
    EXPECT_EQ(115u, *allBones.rbegin());

    const AttributeArray* positions = skin->GetVertexArray(0);
    const float* xyz = reinterpret_cast<const float*>(positions->data);
    // Bind matrices of the rest pose the file gives, before any animation.
    std::vector<Mat4> binds(skin->numReferences);
    for (unsigned int r = 0; r < skin->numReferences; ++r) {
        Mat3 unused;
        skin->CalculateBindingMatrix(skin->skeleton, skin->references[r].node, &binds[r], &unused);
    }
    for (float time : {0.0f, 700.0f, 1450.0f}) {
        Pose(skin->skeleton, time);
        // Each vertex skinned from the references themselves.
        std::vector<Vec3> expected(skin->numVertices, Vec3(0.0f, 0.0f, 0.0f));
        std::vector<float> total(skin->numVertices, 0.0f);
        for (unsigned int r = 0; r < skin->numReferences; ++r) {
            const TransformReference& ref = skin->references[r];
            Mat4 moved;
            Mat4::MatrixMultiplication(moved, ref.node->world, binds[r]);
            for (unsigned int v = ref.firstVertex; v < ref.firstVertex + ref.vertexCount; ++v) {
                expected[v] += (Vec3(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]) * moved) * float(ref.weight);
                total[v] += float(ref.weight);
            }
        }
        unsigned int drawn = 0;
        for (VertexBatch* batch : *batches) {
            Mat4 matrices[8];
            for (unsigned int k = 0; k < batch->bones.Size(); ++k)
                Mat4::MatrixMultiplication(matrices[k], batch->bones[k]->world, batch->boneMatrices[k]);
            for (unsigned int e = 0; e + 2 < batch->count; ++e) {
                unsigned int corner[3] = {skin->BatchElement(batch, e), skin->BatchElement(batch, e + 1),
                                          skin->BatchElement(batch, e + 2)};
                if (corner[0] == corner[1] || corner[1] == corner[2] || corner[0] == corner[2]) continue;
                ++drawn;
                for (unsigned int v : corner) {
                    const unsigned char* slots = skin->boneIndices.data + 4 * v;
                    const float* weights = reinterpret_cast<const float*>(skin->boneWeights.data + 16 * v);
                    for (int i = 0; i < 4; ++i) ASSERT_LT(slots[i], batch->bones.Size());
                    Vec3 got = Skin(matrices, slots, weights,
                                    Vec3(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]));
                    ASSERT_GT(total[v], 0.0f);
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(expected[v][c] / total[v], got[c], 1e-4f) << "vertex " << v << " at " << time;
                }
            }
        }
        // 79 bands of two triangles round 12 sides.
        EXPECT_GE(drawn, 79u * 2u * 12u);
    }
    delete serpent;
}
