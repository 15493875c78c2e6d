// Loading is bounded by the file: reused sequences, textures, images and
// arrays are shared rather than copied per use, what cannot be shared is
// charged against a budget, long strips and overlapping bone references stay
// fast, damaged sections keep their whole records, and running out of memory
// leaves an empty scene.
#include "demo/Engine.h"
#include "demo/Scene.h"
#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "engine/Mesh.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/SharedBytes.h"
#include "engine/SkinnedMesh.h"
#include "engine/Texture2D.h"
#include "engine/VertexBatch.h"
#include "io/ROMSource.h"
#include "m3g/Background.h"
#include "m3g/M3GLoader.h"
#include "render/TextureState.h"
#include "support/CountingNew.h"
#include "support/DemoTestEnv.h"
#include "support/M3GBuilder.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using File = std::vector<unsigned char>;

// A vertex array of `count` zero vertices (compressing to almost nothing).
Bytes Vertices(unsigned int type, unsigned int components, unsigned int count) {
    unsigned int size = type == 1 ? 1 : type == 2 ? 2 : 4;
    Bytes b;
    b.Object3D(0).U8(type).U8(components).U8(0).U16(count);
    b.data.resize(b.data.size() + size_t(count) * components * size, 0);
    return b;
}

// Positions, normals, colours and texture coordinates by object index (0 for none).
Bytes Buffer(uint32_t positions, uint32_t normals = 0, uint32_t colors = 0,
             uint32_t texcoords = 0) {
    Bytes b;
    b.Object3D(0).U8(255).U8(255).U8(255).U8(255).U32(positions);
    b.F32(0).F32(0).F32(0).F32(1).U32(normals).U32(colors);
    if (!texcoords) return b.U32(0);
    return b.U32(1).U32(texcoords).F32(0).F32(0).F32(0).F32(1);
}

// A mesh node with `count` submeshes drawing the same index buffer and appearance.
Bytes MeshRecord(uint32_t id, uint32_t buffer, unsigned int count, uint32_t strips,
                 uint32_t appearance) {
    Bytes b = Bytes().PlainNode(id).U32(buffer).U32(count);
    for (unsigned int i = 0; i < count; ++i) b.U32(strips).U32(appearance);
    return b;
}

Bytes Appearance(const std::vector<uint32_t>& textures) {
    return Bytes().Object3D(0).U8(0).U32(0).U32(0).U32(0).U32(0).Refs(textures);
}

Bytes TextureRecord(uint32_t id, uint32_t image) {
    return Bytes().Object3D(id).U8(0).U8(0).U32(image).U32(0).U8(0).U8(240).U8(240).U8(208).U8(210);
}

// An RGBA image of zero pixels, or of palette indices into one entry.
Bytes Image(unsigned int width, unsigned int height, bool palette = false) {
    Bytes b;
    b.Object3D(0).U8(100).U8(0).U32(width).U32(height);
    if (palette) b.U32(4).U8(1).U8(2).U8(3).U8(4);
    else b.U32(0);
    size_t pixels = size_t(width) * height * (palette ? 1 : 4);
    b.U32(uint32_t(pixels));
    b.data.resize(b.data.size() + pixels, 0);
    return b;
}

// A load through a loader of our own, with what it held at most, how long it
// took and what it printed.
struct Measured {
    explicit Measured(const File& file)
        : source(file.data(), unsigned(file.size()), false), loader(&source) {
        CaptureFd out(1);
        size_t base = Allocations::current;
        Allocations::peak = Allocations::current;
        auto start = std::chrono::steady_clock::now();
        loader.Load();
        scene = loader.CreateScene();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = Allocations::peak - base;
        printed = out.Stop();
        unsigned long long inflated = loader.inflatedBytes;
        input = file.size() > inflated ? file.size() : inflated;
    }
    ~Measured() { delete scene; }
    // The documented bound of what loading allocates.
    unsigned long long Bound() const {
        return M3GLoader::kLoadBytesPerInputByte * input + M3GLoader::kBaseBudget;
    }
    ROMSource source;
    M3GLoader loader;
    Scene* scene;
    std::string printed;
    double seconds;
    size_t peak;
    unsigned long long input;
};

#if defined(__SANITIZE_ADDRESS__)
const double kQuick = 5.0;  // seconds; the sanitizers slow every access
#else
const double kQuick = 1.0;
#endif
const unsigned int kUses = 10000;
const size_t kMB = 1 << 20;

std::string Refused(const Measured& m) {
    return "M3GLoader::CreateScene(): the scene needs more than " +
           std::to_string(M3GLoader::kBytesPerInputByte * m.input + M3GLoader::kBaseBudget) +
           " B, it is left empty\n";
}

// 100 uses of a shared array load quietly, within little memory; kUses uses
// of what each mesh still uploads on its own pass the budget, and the scene is
// refused. True when the scene is there to look at.
bool LoadedOrRefused(const Measured& m, unsigned int uses) {
    EXPECT_LT(m.peak, 64 * kMB);
    EXPECT_LT(m.seconds, kQuick);
    EXPECT_EQ(m.printed, uses == kUses ? Refused(m) : "");
    if (uses == kUses) {
        EXPECT_EQ(m.scene->objects.Size(), 0u);
    }
    return uses != kUses;
}

}  // namespace

// 4000 keys of four floats, animated by 10,000 tracks: one animation.
TEST(M3GBounds, SequenceSharedByItsTracks) {
    Bytes keys;
    keys.Object3D(0).U8(176).U8(193).U8(0).U32(4000).U32(0).U32(0).U32(4).U32(4000);
    for (uint32_t k = 0; k < 4000; ++k) keys.U32(k).F32(1).F32(2).F32(3).F32(float(k));
    std::vector<File> records = {Record(19, keys)};  // index 2
    std::vector<uint32_t> tracks;
    for (unsigned int i = 0; i < kUses; ++i) {
        records.push_back(Record(2, Bytes().Object3D(0).U32(2).U32(0).U32(275)));
        tracks.push_back(3 + i);
    }
    uint32_t group = uint32_t(records.size()) + 2;
    records.push_back(Record(9, Bytes().PlainNode(7, tracks).Refs({})));
    records.push_back(Record(22, World(1000, {group})));
    Measured m(SceneFile(records, 1));
    EXPECT_EQ(m.printed, "");
    std::vector<Animation*> animations = All<Animation>(m.scene);
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(animations[0]->sequence->keys.Size(), 4000u);
    EXPECT_EQ(m.scene->Find(7)->GetObjectType(), SceneObject::SOT_SceneNode);
    EXPECT_EQ(static_cast<SceneNode*>(m.scene->Find(7))->bindings[Actor::P_Location],
              animations[0]);
    EXPECT_LT(m.peak, 16 * kMB);  // a copy per track would take 2 GB
    EXPECT_LT(m.seconds, kQuick);
}

// One texture of a 256x256 image on 10,000 submeshes: one engine texture.
TEST(M3GBounds, TextureSharedByItsAppearances) {
    std::vector<File> records = {Record(10, Image(256, 256)), Record(17, TextureRecord(55, 2)),
                                 Record(3, Appearance({3})),
                                 Record(14, MeshRecord(8, 0, kUses, 0, 4)),
                                 Record(22, World(1000, {5}))};
    Measured m(SceneFile(records, 1));
    EXPECT_EQ(m.printed, "");
    std::vector<Texture2D*> textures = All<Texture2D>(m.scene);
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0]->id, 55u);
    EXPECT_EQ(textures[0]->width, 256u);
    std::vector<TextureState*> states = All<TextureState>(m.scene);  // with the samplers
    ASSERT_EQ(states.size(), 2 * kUses);
    for (TextureState* s : states) ASSERT_EQ(s->texture, textures[0]);
    EXPECT_LT(m.peak, 64 * kMB);  // a texture per use would take 2.6 GB
    EXPECT_LT(m.seconds, kQuick);
}

namespace {

// One square image, 10,000 texture records of it, each on an appearance of
// its own, and a mesh with a submesh for each.
File ImageOnTexturesScene(unsigned int size) {
    std::vector<File> records = {Record(10, Image(size, size))};
    for (unsigned int i = 0; i < kUses; ++i) records.push_back(Record(17, TextureRecord(i, 2)));
    for (unsigned int i = 0; i < kUses; ++i) records.push_back(Record(3, Appearance({3 + i})));
    Bytes mesh = Bytes().PlainNode(8);
    mesh.U32(0).U32(kUses);
    for (unsigned int i = 0; i < kUses; ++i) mesh.U32(0).U32(3 + kUses + i);
    records.push_back(Record(14, mesh));
    records.push_back(Record(22, World(1000, {uint32_t(records.size()) + 1})));
    return SceneFile(records, 1);
}

}  // namespace

// 10,000 textures of one 64x64 image: their pixels are one block.
TEST(M3GBounds, ImageSharedByItsTextures) {
    Measured m(ImageOnTexturesScene(64));
    EXPECT_EQ(m.printed, "");
    std::vector<Texture2D*> all = All<Texture2D>(m.scene);
    ASSERT_EQ(all.size(), kUses);
    std::set<unsigned char*> blocks;
    for (Texture2D* t : all) {
        blocks.insert(t->pixels);
        EXPECT_TRUE(t->sharedPixels);
    }
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(SharedBytes::References(*blocks.begin()), kUses + 1);  // and the record's
    EXPECT_LT(m.peak, 48 * kMB);  // a copy per texture would take 160 MB
    EXPECT_LT(m.seconds, kQuick);
}

// The same with a 512x512 image: each texture keeps a copy on the GPU, so
// 10,000 of them pass the budget and the scene is refused.
TEST(M3GBounds, TexturesPastTheBudgetAreRefused) {
    Measured m(ImageOnTexturesScene(512));
    EXPECT_EQ(m.printed, Refused(m));
    EXPECT_EQ(m.scene->objects.Size(), 0u);
    EXPECT_LT(m.peak, 64 * kMB);
    EXPECT_LE(m.peak, m.Bound());
}

// 65,535 positions, colours and texture coordinates drawn by 100 submeshes:
// one block of each. Every mesh still uploads its own GPU buffers, so 10,000
// submeshes (15 GB on the GPU) pass the budget and the scene is refused.
TEST(M3GBounds, VertexArraysSharedByTheirMeshes) {
    for (unsigned int uses : {100u, kUses}) {
        SCOPED_TRACE(uses);
        std::vector<File> records = {Record(20, Vertices(2, 3, 65535)),
                                     Record(20, Vertices(1, 4, 65535)),
                                     Record(20, Vertices(2, 2, 65535)), Record(21, Buffer(2, 0, 3, 4)),
                                     Record(14, MeshRecord(8, 5, uses, 0, 0)),
                                     Record(22, World(1000, {6}))};
        Measured m(SceneFile(records, 1));  // a copy per mesh would take 150 MB or 15 GB
        if (!LoadedOrRefused(m, uses)) continue;
        std::vector<Mesh*> meshes = All<Mesh>(m.scene);
        ASSERT_EQ(meshes.size(), uses);
        for (unsigned int a = 0; a < 3; ++a) {
            std::set<unsigned char*> blocks;
            for (Mesh* mesh : meshes) {
                ASSERT_EQ(mesh->numVertexArrays, 3u);
                EXPECT_TRUE(mesh->vertexArrays[a].sharedData);
                EXPECT_EQ(mesh->vertexArrays[a].count, 65535u);
                blocks.insert(mesh->vertexArrays[a].data);
            }
            EXPECT_EQ(blocks.size(), 1u) << "array " << a;
        }
    }
}

// Normals are smoothed mesh by mesh, so each mesh gets a copy: 10,000 copies
// of 65,535 normals pass the budget, and the scene is refused.
TEST(M3GBounds, NormalCopiesPastTheBudgetAreRefused) {
    std::vector<File> records = {Record(20, Vertices(1, 3, 65535)), Record(21, Buffer(0, 2)),
                                 Record(14, MeshRecord(8, 3, kUses, 0, 0)),
                                 Record(22, World(1000, {4}))};
    Measured m(SceneFile(records, 1));
    EXPECT_EQ(m.printed, Refused(m));
    EXPECT_EQ(m.scene->objects.Size(), 0u);
    EXPECT_LE(m.peak, m.Bound());
    EXPECT_LT(m.seconds, kQuick * 2);
}

// 100,000 indices in one strip, drawn by 100 submeshes: one block. 10,000 of
// them would upload 2 GB of index buffers and draw a billion triangles a
// frame: the scene is refused.
TEST(M3GBounds, StripArraySharedByItsMeshes) {
    Bytes strips;
    strips.Object3D(0).U8(130).U32(100000);
    strips.data.resize(strips.data.size() + 200000, 0);
    strips.U32(1).U32(100000);
    for (unsigned int uses : {100u, kUses}) {
        SCOPED_TRACE(uses);
        std::vector<File> records = {Record(20, Vertices(1, 3, 3)), Record(21, Buffer(2)),
                                     Record(11, strips), Record(14, MeshRecord(8, 3, uses, 4, 0)),
                                     Record(22, World(1000, {5}))};
        Measured m(SceneFile(records, 1));
        if (!LoadedOrRefused(m, uses)) continue;
        std::vector<Mesh*> meshes = All<Mesh>(m.scene);
        ASSERT_EQ(meshes.size(), uses);
        std::set<unsigned char*> blocks;
        for (Mesh* mesh : meshes) {
            ASSERT_EQ(mesh->numTriangleArrays, 1u);
            EXPECT_EQ(mesh->triangleArrays[0].count, 100000u);
            blocks.insert(mesh->triangleArrays[0].data);
            blocks.insert(mesh->stripLengths->data);
            ASSERT_EQ(mesh->batches.Size(), 1u);
            EXPECT_EQ(mesh->batches[0]->count, 100000u);
        }
        EXPECT_EQ(blocks.size(), 2u);  // the indices and the lengths
    }
}

// 50,000 identical bone references over 65,535 vertices compress to a few
// kilobytes; batching them once took many seconds.
TEST(M3GBounds, IdenticalBoneReferencesBatchQuickly) {
    Bytes strips;
    strips.Object3D(0).U8(0).U32(0).U32(1).U32(65535);
    Bytes skinned = Bytes().PlainNode(9);
    skinned.U32(3).U32(1).U32(4).U32(0).U32(6).U32(50000);
    for (int r = 0; r < 50000; ++r) skinned.U32(5).U32(0).U32(65535).U32(1);
    std::vector<File> records = {Record(20, Vertices(1, 3, 65535)), Record(21, Buffer(2)),
                                 Record(11, strips), Record(9, Group(5, {})),
                                 Record(9, Group(6, {5})), Record(16, skinned),
                                 Record(22, World(1000, {7}))};
    File file = SceneFile(records, 1);
    EXPECT_LT(file.size(), 8192u);
    Measured m(file);
    EXPECT_EQ(m.printed, "");
    std::vector<SkinnedMesh*> meshes = All<SkinnedMesh>(m.scene);
    ASSERT_EQ(meshes.size(), 1u);
    ASSERT_EQ(meshes[0]->batches.Size(), 1u);
    EXPECT_EQ(meshes[0]->batches[0]->count, 65535u);
    const float* w = reinterpret_cast<const float*>(meshes[0]->boneWeights.data);
    EXPECT_EQ(w[65534 * 4], 1.0f);
    EXPECT_LT(m.seconds, kQuick);
}

// An implicit strip claiming 0xFFFFFFF0 vertices is cut to the 100 the
// arrays hold, for plain and skinned meshes alike.
TEST(M3GBounds, ImplicitStripLengthsClampedToTheVertices) {
    Bytes strips;
    strips.Object3D(0).U8(0).U32(0).U32(2).U32(0xFFFFFFF0u).U32(5);
    Bytes skinned = Bytes().PlainNode(9);
    skinned.U32(3).U32(1).U32(4).U32(0).U32(6).U32(1).U32(5).U32(0).U32(100).U32(1);
    std::vector<File> records = {Record(20, Vertices(1, 3, 100)), Record(21, Buffer(2)),
                                 Record(11, strips), Record(9, Group(5, {})),
                                 Record(9, Group(6, {5})), Record(16, skinned),
                                 Record(14, MeshRecord(10, 3, 1, 4, 0)),
                                 Record(22, World(1000, {7, 8}))};
    Measured m(SceneFile(records, 1));
    std::string clamped = "M3G::Mesh::CreateArrays(): strips from vertex 0 run past the 100 "
                          "vertices, clamped\n";
    EXPECT_EQ(m.printed, clamped + clamped);
    std::vector<Mesh*> meshes = All<Mesh>(m.scene);
    ASSERT_EQ(meshes.size(), 2u);
    for (Mesh* mesh : meshes) {
        ASSERT_EQ(mesh->batches.Size(), 2u);
        EXPECT_EQ(mesh->batches[0]->count, 100u);
        EXPECT_EQ(mesh->batches[1]->count, 0u);
    }
    EXPECT_LT(m.seconds, kQuick);
}

namespace {

// Materials with colours of their own, so that deflate cannot fold them.
std::vector<File> Materials(unsigned int n) {
    std::mt19937 rng(3);
    std::vector<File> records;
    for (unsigned int i = 0; i < n; ++i) {
        Bytes b;
        b.Object3D(i);
        for (int k = 0; k < 13; ++k) b.U8(rng() & 0xFF);
        records.push_back(Record(13, b.F32(1).U8(0)));
    }
    return records;
}

// A zlib section whose compressed bytes are cut to `keep` and whose
// uncompressed length claims `extra` more than the records hold.
File CutSection(const std::vector<File>& records, size_t keep, unsigned int extra) {
    File whole = Section(records, 1);
    uint32_t uncompressed = uint32_t(whole[5] | whole[6] << 8 | whole[7] << 16 | whole[8] << 24);
    File stream(whole.begin() + 9, whole.end() - 4);
    if (keep < stream.size()) stream.resize(keep);
    Bytes s;
    s.U8(1).U32(uint32_t(stream.size() + 13)).U32(uncompressed + extra).Raw(stream).U32(0);
    return s.data;
}

std::vector<int> Types(M3GLoader& loader) {
    std::vector<int> types;
    for (M3G::Object* o : loader.objects) types.push_back(o ? int(o->GetType()) : -1);
    return types;
}


}  // namespace

// A stream that ends before the length its section claims gives only what
// it inflated: no zero tail read as a thousand header records, so a later
// 2.0 record keeps the 2.0 layout.
TEST(M3GBounds, EarlyStreamEndReadsNoZeroTail) {
    Measured m(M3GFile({Section({Record(0, HeaderData(2))}), CutSection(Materials(2), ~size_t(0), 5000),
                        Section({Record(4, Background(true))})}));
    EXPECT_EQ(Types(m.loader), (std::vector<int>{0, 13, 13, 4}));
    EXPECT_EQ(m.loader.version, 1u);
    auto* background =
        static_cast<M3G::Background*>(m.loader.GetObject(4, M3G::Object::T_Background));
    ASSERT_NE(background, nullptr);
    EXPECT_TRUE(background->stencilClearEnabled);
    EXPECT_EQ(background->depthClearValue, 0.5f);
    EXPECT_EQ(background->stencilClearValue, 0x1FFu);
    unsigned int inflated = unsigned(Materials(2)[0].size() * 2);
    EXPECT_EQ(m.printed, "M3GLoader::DecompressSection(): stream ends after " +
                             std::to_string(inflated) + " of " + std::to_string(inflated + 5000) +
                             " B\n");
}

// A stream cut in the middle keeps the records it inflated whole.
TEST(M3GBounds, CutStreamKeepsItsWholeRecords) {
    std::vector<File> materials = Materials(40);
    File whole = Section(materials, 1);
    File file = M3GFile({Section({Record(0, HeaderData(1))}),
                         CutSection(materials, (whole.size() - 13) / 2, 0)});
    Measured m(file);
    std::vector<int> types = Types(m.loader);
    ASSERT_GT(types.size(), 5u);
    EXPECT_LT(types.size(), 41u);
    EXPECT_EQ(std::count(types.begin(), types.end(), 13), int(types.size()) - 1);
    EXPECT_EQ(m.printed.rfind("M3GLoader::DecompressSection(): stream ends after ", 0), 0u)
        << m.printed;
    EXPECT_NE(m.printed.find("runs past its section"), std::string::npos) << m.printed;
}

// A zlib section claiming more bytes than the file has left still gives
// its records.
TEST(M3GBounds, SectionPastTheFileKeepsItsRecords) {
    File section = Section(Materials(3), 1);
    uint32_t total = uint32_t(section.size()) + 100;
    for (int k = 0; k < 4; ++k) section[1 + k] = (total >> (8 * k)) & 0xFF;
    Measured m(M3GFile({section}));
    EXPECT_EQ(Types(m.loader), (std::vector<int>{13, 13, 13}));
    EXPECT_EQ(m.printed, "M3GLoader::Load(): section at 12 claims " + std::to_string(total) +
                             " B, " + std::to_string(total - 100) + " B left\n");
}

namespace {

// A 2048x2048 palette image on a mesh: 4 MB of indices that convert to
// 16 MB of pixels.
File LargeImageScene() {
    return SceneFile({Record(10, Image(2048, 2048, true)), Record(17, TextureRecord(1, 2)),
                      Record(3, Appearance({3})), Record(14, MeshRecord(8, 0, 1, 0, 4)),
                      Record(22, World(1000, {5}))}, 1);
}

struct FailLargeRequests {
    explicit FailLargeRequests(size_t above) { Allocations::failAbove = above; }
    ~FailLargeRequests() { Allocations::failAbove = ~size_t(0); }
};

// A platform whose files cannot be read for want of memory.
struct StarvedPlatform : DemoPlatform {
    DataSource* CreateDataSourceForURL(const char*) override { throw std::bad_alloc(); }
};

}  // namespace

TEST(M3GBounds, OutOfMemoryLeavesAnEmptyScene) {
    File file = LargeImageScene();
    {
        ROMSource source(file.data(), unsigned(file.size()), false);
        Scene* scene = M3GLoader::Load(&source);
        unsigned int pixels = 0;
        for (SceneObject* o : scene->objects)
            if (auto* t = dynamic_cast<Texture2D*>(o)) pixels += t->pixels != nullptr;
        EXPECT_EQ(pixels, 1u);
        delete scene;
    }
    ROMSource source(file.data(), unsigned(file.size()), false);
    CaptureFd out(1);
    Scene* scene;
    {
        FailLargeRequests fail(8 * kMB);
        scene = M3GLoader::Load(&source);
    }
    EXPECT_EQ(out.Stop(), "M3GLoader::Load(): out of memory, the scene is empty\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->objects.Size(), 0u);
    delete scene;
}

class M3GBoundsDemo : public DemoTestEnv {};

TEST_F(M3GBoundsDemo, LoadSceneOutOfMemoryGivesAnEmptyScene) {
    File file = LargeImageScene();
    platform.files["resource://large.m3g"] = std::string(file.begin(), file.end());
    Demo::Scene* scene = nullptr;
    std::string printed = StdoutOf([&] {
        FailLargeRequests fail(8 * kMB);
        scene = engine->LoadScene("resource://large.m3g");
    });
    EXPECT_EQ(printed, "M3GLoader::Load(): out of memory, the scene is empty\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(All<SceneNode>(scene->scene).size(), 0u);  // the demo adds states of its own
    StarvedPlatform starved;
    printed = StdoutOf([&] { scene = engine->LoadScene("resource://large.m3g"); });
    EXPECT_EQ(printed,
              "Demo::Engine::LoadScene(): out of memory reading resource://large.m3g, the scene "
              "is empty\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(All<SceneNode>(scene->scene).size(), 0u);  // the demo adds states of its own
}

// Objects made once per record (the node a record becomes, a light's ten
// uniforms) cost a bounded multiple of the record, even of a record cut to
// nothing: 40,000 of them stay within the documented bound.
TEST(M3GBounds, ObjectsPerRecordStayWithinTheBound) {
    Bytes light = Bytes().PlainNode(0);
    light.F32(1).F32(0).F32(0).Raw({255, 255, 255}).U8(130).F32(1).F32(0).F32(0);
    struct Case {
        const char* what;
        unsigned int type;
        Bytes data;
    } cases[] = {
        {"lights", 12, light}, {"empty lights", 12, Bytes()}, {"empty groups", 9, Bytes()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<File> records;
        std::vector<uint32_t> children;
        for (unsigned int i = 0; i < 40000; ++i) {
            records.push_back(Record(c.type, c.data));
            children.push_back(2 + i);
        }
        records.push_back(Record(22, World(1000, children)));
        Measured m(SceneFile(records));
        EXPECT_EQ(m.printed, "");
        EXPECT_LE(m.peak, m.Bound());
        // Nothing charged: the records' share alone, without the base.
        if (c.type == 9) {
            EXPECT_LE(m.peak, (M3GLoader::kLoadBytesPerInputByte - M3GLoader::kBytesPerInputByte) *
                                  m.input);
        }
    }
}
