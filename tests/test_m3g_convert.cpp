// Scene files become engine scenes: nodes with ids, transforms and bound
// animations, meshes, appearances, textures, lights as uniforms, cameras, and
// a pass per World; a loaded scene drawn through a demo pass.
#include "demo/Effect.h"
#include "demo/Pass.h"
#include "engine/Animation.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/SceneManager.h"
#include "engine/SkinnedMesh.h"
#include "engine/Technique.h"
#include "engine/Texture2D.h"
#include "engine/Uniform.h"
#include "engine/VertexBatch.h"
#include "io/ROMSource.h"
#include "m3g/Image2D.h"
#include "m3g/M3GLoader.h"
#include "render/MaterialState.h"
#include "render/TextureSamplerState.h"
#include "render/UniformState.h"
#include "support/DemoTestEnv.h"
#include "support/M3GBuilder.h"
#include "support/RecordingRenderer.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using File = std::vector<unsigned char>;

std::vector<float> Floats(const AttributeArray* a) {
    const float* f = reinterpret_cast<const float*>(a->data);
    return std::vector<float>(f, f + a->count * a->components);
}

using Converted = ConvertedScene;

// A node without transforms, enabled and visible; 2.0 nodes end with values
// of their own.
Bytes Node(uint32_t id, const std::vector<uint32_t>& tracks = {}, bool v2 = false) {
    Bytes b(v2);
    b.Object3D(id, tracks).U8(0).U8(0).U8(1).U8(1).U8(255).U32(0).U8(0);
    return v2 ? b.U32(2).U32(77).U32(78) : b;
}

Bytes ImageData(unsigned int format, unsigned int w, unsigned int h,
                const std::vector<unsigned char>& palette,
                const std::vector<unsigned char>& pixels, bool v2 = false) {
    Bytes b(v2);
    b.Object3D(0).U8(format).U8(0).U32(w).U32(h).U32(uint32_t(palette.size())).Raw(palette);
    b.U32(uint32_t(pixels.size())).Raw(pixels);
    return v2 ? b.U8(1).U8(1).U8(3).U32(2).U8(1).U8(2) : b;  // one further level
}

// A component transform (degrees about an axis) and a general matrix listed
// row by row, its rows (1 0.5 0 5), (0 1 0 6), (0 0 1 7), (0 0 0 1).
Bytes& Transformed(Bytes& b, float x, float y, float z, float sx, float sy, float sz, float angle,
                   float ax, float ay, float az) {
    b.U8(1).F32(x).F32(y).F32(z).F32(sx).F32(sy).F32(sz).F32(angle).F32(ax).F32(ay).F32(az).U8(1);
    for (float v : {1.0f, 0.5f, 0.0f, 5.0f, 0.0f, 1.0f, 0.0f, 6.0f, 0.0f, 0.0f, 1.0f, 7.0f, 0.0f,
                    0.0f, 0.0f, 1.0f})
        b.F32(v);
    return b;
}
const RefMat4 kRowsMatrix = {{{1, 0.5, 0, 5}, {0, 1, 0, 6}, {0, 0, 1, 7}, {0, 0, 0, 1}}};

// One World with a camera, a textured mesh animated by two tracks, two
// lights and a child of a type groups cannot hold; in either layout, the
// fields only 2.0 has given values of their own.
File SampleScene(unsigned int compression = 1, bool v2 = false) {
    Bytes positions(v2), texcoords(v2), buffer(v2), strips(v2), texture(v2), material(v2),
        appearance(v2), keys(v2), spot = Node(103, {}, v2), directional = Node(106, {}, v2),
        background(v2), camera = Node(101, {}, v2), mesh = Node(102, {11, 12}, v2);
    positions.Object3D(0).U8(1).U8(3).U8(0).U16(4).Raw({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    texcoords.Object3D(0).U8(3).U8(2).U8(0).U16(4);
    for (int i = 0; i < 8; ++i) texcoords.U32(65536);
    buffer.Object3D(0).U8(255).U8(255).U8(255).U8(255).U32(2).F32(1).F32(1).F32(1).F32(2);
    buffer.U32(0).U32(0).U32(1).U32(3).F32(1).F32(1).F32(1).F32(2);
    if (v2) buffer.U32(1).U32(2).U32(1).Text("Weight").U32(3).U8(1).U8(0).Raw(File(16, 4));
    strips.Object3D(0).U8(130).U32(5).U16(0).U16(1).U16(2).U16(3).U16(0).U32(2).U32(3).U32(2);
    Transformed(texture.Object3D(105), 0.5f, 0.25f, 0, 2, 3, 1, 90, 0, 0, 1).U32(6);
    if (v2) texture.U8(208).U8(210);
    texture.U8(0).U8(0).U8(0).U8(0).U8(0).U8(240).U8(241);
    if (!v2) texture.U8(208).U8(210);
    material.Object3D(0).Raw({255, 0, 0, 0, 255, 0, 255, 0, 0, 255, 51, 51, 51}).F32(8).U8(0);
    appearance.Object3D(104).U8(0).U32(0);
    if (v2) appearance.U32(1).U32(2);
    appearance.U32(0).U32(v2 ? 3 : 0).U32(8).U32(1).U32(7);
    keys.Object3D(0).U8(179).U8(193).U8(0).U32(100).U32(0).U32(1).U32(3).U32(2);
    if (v2) keys.U32(1);
    keys.U32(0).F32(0).F32(0).F32(0).U32(100).F32(1).F32(2).F32(3);
    mesh.U32(4).U32(1).U32(5).U32(9);
    camera.U8(50).F32(60).F32(1.5f).F32(1).F32(100);
    spot.F32(1).F32(0.5f).F32(0.25f).Raw({255, 128, 0}).U8(131).F32(1.5f).F32(45).F32(2);
    directional.F32(1).F32(0).F32(0).Raw({0, 0, 255}).U8(129).F32(1).F32(0).F32(0);
    background.Object3D(0).Raw({51, 102, 153, 255}).U32(0).U8(32).U8(32);
    background.U32(0).U32(0).U32(0).U32(0).U8(1);
    if (v2)
        background.U8(0).F32(1).U32(0).U32(5);  // no stencil clear, depth 1
    else
        background.U8(1);
    Bytes world = Node(100, {}, v2);
    world.Refs({14, 13, 15, 16, 2}).U32(14).U32(17);
    return SceneFile(
        {Record(20, positions), Record(20, texcoords), Record(21, buffer), Record(11, strips),
         Record(10, ImageData(99, 3, 2, {}, std::vector<unsigned char>(18, 7), v2)),
         Record(17, texture), Record(13, material), Record(3, appearance), Record(19, keys),
         Record(2, Bytes(v2).Object3D(0).U32(10).U32(0).U32(275)),
         Record(2, Bytes(v2).Object3D(0).U32(10).U32(0).U32(999)), Record(14, mesh),
         Record(5, camera), Record(12, spot), Record(12, directional), Record(4, background),
         Record(22, world)},
        compression, v2 ? 2 : 1);
}

}  // namespace

TEST(M3GConvert, WorldBecomesATechniqueWithOnePass) {
    Converted c(SampleScene());
    EXPECT_EQ(c.printed,
              "M3G::Node::CreateSceneNode(): unsupported property 999\n"
              "M3G::Group::Create(): unsupported object 2, type 20\n");
    std::vector<Technique*> techniques = All<Technique>(c.scene);
    ASSERT_EQ(techniques.size(), 1u);
    ASSERT_EQ(techniques[0]->passes.Size(), 1u);
    Pass* pass = techniques[0]->passes[0];
    SceneNode* world = NodeWithId(c.scene, 100);
    EXPECT_EQ(pass->scene, world);
    EXPECT_EQ(pass->cameraNode, NodeWithId(c.scene, 101));
    EXPECT_TRUE(pass->clearColorEnabled && pass->clearDepthEnabled && !pass->clearStencilEnabled);
    EXPECT_EQ(pass->clearColor, Vec4(0.2f, 0.4f, 0.6f, 1.0f));
    std::vector<unsigned int> children;
    for (SceneNode* child : world->children) children.push_back(child->id);
    EXPECT_EQ(children, (std::vector<unsigned int>{101, 102, 103, 106}));
    Camera* camera = pass->cameraNode->camera;
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->id, 101u);
    EXPECT_EQ(std::vector<float>({camera->fov, camera->aspect, camera->near, camera->far}),
              std::vector<float>({60, 1.5f, 1, 100}));
}

TEST(M3GConvert, MeshUnderItsAppearanceNode) {
    Converted c(SampleScene());
    SceneNode* node = NodeWithId(c.scene, 102);
    ASSERT_EQ(node->children.Size(), 1u);
    SceneNode* look = node->children[0];
    EXPECT_EQ(look->id, 104u);
    ASSERT_EQ(look->meshes.Size(), 1u);
    Mesh* mesh = look->meshes[0];
    EXPECT_EQ(mesh->id, 102u);
    ASSERT_EQ(mesh->GetNumVertexArrays(), 2u);
    EXPECT_EQ(mesh->GetVertexArray(0)->type, AttributeArray::at_Location);
    EXPECT_EQ(Floats(mesh->GetVertexArray(0)),
              (std::vector<float>{1, 1, 1, 3, 1, 1, 1, 3, 1, 3, 3, 1}));
    EXPECT_EQ(mesh->GetVertexArray(1)->type, AttributeArray::at_TexCoord);
    EXPECT_EQ(Floats(mesh->GetVertexArray(1)), std::vector<float>(8, 3.0f));  // 1.0 x 2 + 1
    std::vector<std::vector<unsigned>> batches;
    for (VertexBatch* b : mesh->batches) batches.push_back({b->indexed, b->firstIndex, b->count});
    EXPECT_EQ(batches, (std::vector<std::vector<unsigned>>{{1, 0, 3}, {1, 3, 2}}));

    ASSERT_EQ(look->states.Size(), 3u);
    auto* material = dynamic_cast<MaterialState*>(look->states[0]);
    auto* texture = dynamic_cast<TextureState*>(look->states[1]);
    auto* sampler = dynamic_cast<TextureSamplerState*>(look->states[2]);
    ASSERT_TRUE(material && texture && sampler);
    EXPECT_EQ(material->ambient, Vec4(1, 0, 0, 0));
    EXPECT_EQ(material->diffuse, Vec4(0, 1, 0, 1));
    EXPECT_EQ(material->base, material->diffuse);
    EXPECT_EQ(material->emission, Vec4(0, 0, 1, 0));
    EXPECT_EQ(material->specular, Vec4(0.2f, 0.2f, 0.2f, 0));
    EXPECT_EQ(material->shininess, 8.0f);
    EXPECT_EQ(texture->texture->id, 105u);
    EXPECT_EQ(sampler->texture, texture->texture);
    EXPECT_EQ(std::vector<unsigned>({sampler->wrapS, sampler->wrapT, sampler->magFilter,
                                     sampler->minFilter, sampler->mipmapFilter}),
              std::vector<unsigned>({2, 0, 0, 0, 1}));
}

TEST(M3GConvert, TracksBindToTheNode) {
    Converted c(SampleScene());
    SceneNode* node = NodeWithId(c.scene, 102);
    Animation* location = node->bindings[Actor::P_Location];
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(node->bindings[Actor::P_Rotation], nullptr);
    EXPECT_EQ(location->interpolation, unsigned(Animation::IM_SQUAD));
    EXPECT_EQ(location->repeatMode, unsigned(Animation::RM_LOOP));
    float at50[3] = {0, 0, 0};
    location->interpolation = Animation::IM_LINEAR;
    location->GetChannelValues(50, at50, 0, 2, 0);
    EXPECT_EQ(std::vector<float>(at50, at50 + 3), (std::vector<float>{0.5f, 1.0f, 1.5f}));
    EXPECT_EQ(All<Animation>(c.scene).size(), 1u);
}

// Ten uniforms per light on the World's node, in name order: the first light
// converted is the spot light.
TEST(M3GConvert, LightsBecomeUniformsOnTheRoot) {
    Converted c(SampleScene());
    SceneNode* world = NodeWithId(c.scene, 100);
    std::vector<Uniform*> u;
    std::vector<std::string> names, expected;
    std::vector<unsigned> types;
    for (RenderState* s : world->states) {
        u.push_back(static_cast<UniformState*>(s)->uniform);
        names.push_back(u.back()->name);
        types.push_back(u.back()->elementType);
    }
    for (const char* light : {"[0]", "[1]"})
        for (const char* kind : {"WorldTransform", "LocalTransform", "Type", "Color",
                                 "AttenuationConstant", "AttenuationLinear", "AttenuationQuadratic",
                                 "Intensity", "SpotAngle", "SpotExpotent"})
            expected.push_back(std::string("Vomra_un_Light") + kind + light);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(types, (std::vector<unsigned>{12, 13, 1, 7, 5, 5, 5, 5, 5, 5,
                                            12, 13, 1, 7, 5, 5, 5, 5, 5, 5}));
    ASSERT_EQ(u.size(), 20u);
    SceneSpatial* spot = NodeWithId(c.scene, 103);
    EXPECT_TRUE(u[0]->data == spot && u[1]->data == spot);
    EXPECT_EQ(*static_cast<int*>(u[2]->data), 3);
    EXPECT_EQ(*static_cast<int*>(u[12]->data), 1);
    const float* rgb = static_cast<const float*>(u[3]->data);
    EXPECT_EQ(std::vector<float>(rgb, rgb + 3), (std::vector<float>{1.0f, 128 / 255.0f, 0.0f}));
    std::vector<float> values;
    for (int k = 4; k < 10; ++k) values.push_back(*static_cast<float*>(u[k]->data));
    EXPECT_EQ(values, (std::vector<float>{1, 0.5f, 0.25f, 1.5f, 45, 2}));
}

// Files give rotations in degrees and matrices row by row; the engine keeps
// matrices column by column.
TEST(M3GConvert, TransformsAndGenericProjectionTurnRowsIntoColumns) {
    Bytes group, camera = Node(8);
    Transformed(group.Object3D(7), 1, 2, 3, 2, 2, 2, 90, 0, 0, 1);
    group.U8(1).U8(1).U8(255).U32(0).U8(0).U32(0);  // node fields, no children
    camera.U8(48);
    for (int i = 0; i < 16; ++i) camera.F32(float(i));
    Converted c(
        SceneFile({Record(9, group), Record(5, camera), Record(22, Node(0).Refs({2, 3}).U32(3).U32(0))}));
    const Transform& t = NodeWithId(c.scene, 7)->transform;
    EXPECT_NEAR(t.rotation.z, std::sqrt(0.5), 1e-6);  // a quarter turn
    EXPECT_NEAR(t.rotation.w, std::sqrt(0.5), 1e-6);
    EXPECT_EQ(MaxDiff(t.matrix, kRowsMatrix), 0.0);
    EXPECT_LT(MaxDiff(t.CalculateComposite(),
                      RefMul(RefMul(RefMul(RefTranslate(1, 2, 3), RefRotate(M_PI / 2, 0, 0, 1)),
                                    RefScale(2, 2, 2)),
                             kRowsMatrix)),
              1e-5);
    Camera* generic = NodeWithId(c.scene, 8)->camera;
    ASSERT_NE(generic, nullptr);
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            EXPECT_EQ(generic->projection.m[4 * col + row], float(4 * row + col));
    // A texture's transform becomes its texture matrix.
    Converted sample(SampleScene());
    std::vector<Texture2D*> textures = All<Texture2D>(sample.scene);
    ASSERT_EQ(textures.size(), 1u);
    RefMat4 turned = RefMul(RefTranslate(0.5, 0.25, 0), RefRotate(M_PI / 2, 0, 0, 1));
    RefMat4 texture = RefMul(RefMul(turned, RefScale(2, 3, 1)), kRowsMatrix);
    EXPECT_LT(MaxDiff(textures[0]->textureMatrix, texture), 1e-5);
}

// The 2.0 fields the conversion does not use change nothing; only the
// colour-clear switch, which 2.0 backgrounds lack, differs.
TEST(M3GConvert, BothLayoutsGiveTheSameScene) {
    Converted one(SampleScene(1, false)), two(SampleScene(0, true));
    EXPECT_EQ(one.printed, two.printed);
    std::vector<Pass*> a = All<Pass>(one.scene), b = All<Pass>(two.scene);
    ASSERT_TRUE(a.size() == 1 && b.size() == 1);
    EXPECT_TRUE(a[0]->clearColorEnabled);
    EXPECT_FALSE(b[0]->clearColorEnabled);
    b[0]->clearColorEnabled = true;
    EXPECT_EQ(DescribeScene(one.scene), DescribeScene(two.scene));
    EXPECT_GT(one.scene->objects.Size(), 40u);
}

TEST(M3GConvert, SkinnedMeshFollowsItsSkeleton) {
    Bytes positions, buffer, strips, skinned;
    positions.Object3D(0).U8(1).U8(3).U8(0).U16(3).Raw({0, 0, 0, 1, 0, 0, 0, 1, 0});
    buffer.Object3D(0).U32(0).U32(2).F32(0).F32(0).F32(0).F32(1).U32(0).U32(0);
    buffer.U32(1).U32(10).F32(0).F32(0).F32(0).F32(1);  // texture coordinates of 5 components
    strips.Object3D(0).U8(0).U32(0).U32(1).U32(3);  // implicit: one strip from vertex 0
    skinned = Node(52);
    // One reference to the bone, one to a vertex array (no node, left out).
    skinned.U32(3).U32(1).U32(4).U32(5).U32(7).U32(2).U32(6).U32(0).U32(2).U32(3);
    skinned.U32(2).U32(0).U32(3).U32(1);
    Converted c(SceneFile({Record(20, positions), Record(21, buffer), Record(11, strips),
                           Record(3, Bytes().Object3D(7).U8(0).U32(0).U32(0).U32(0).U32(0).U32(0)),
                           Record(9, Group(50, {})), Record(9, Group(51, {6})), Record(16, skinned),
                           Record(22, World(53, {8})),
                           Record(20, Bytes().Object3D(0).U8(1).U8(5).U8(0).U16(0))}));
    EXPECT_EQ(c.printed,
              "M3G::Mesh::CreateArrays(): vertex array 10 has 5 components, not converted\n");
    SceneNode* node = NodeWithId(c.scene, 52);
    ASSERT_EQ(node->children.Size(), 2u);
    EXPECT_EQ(node->children[0], NodeWithId(c.scene, 51));
    EXPECT_EQ(node->children[1]->id, 7u);
    ASSERT_EQ(node->children[1]->meshes.Size(), 1u);
    auto* mesh = dynamic_cast<SkinnedMesh*>(node->children[1]->meshes[0]);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->id, SceneObject::kNoId);
    EXPECT_EQ(mesh->GetNumVertexArrays(), 3u);
    EXPECT_EQ(mesh->skeleton, NodeWithId(c.scene, 51));
    ASSERT_EQ(mesh->numReferences, 1u);
    EXPECT_EQ(mesh->references[0].node, NodeWithId(c.scene, 50));
    ASSERT_EQ(mesh->batches.Size(), 1u);
    VertexBatch* batch = mesh->batches[0];
    EXPECT_TRUE(!batch->indexed && batch->firstVertex == 0 && batch->count == 3);
    ASSERT_EQ(batch->bones.Size(), 1u);
    const float* weights = reinterpret_cast<const float*>(mesh->boneWeights.data);
    EXPECT_EQ(std::vector<float>({weights[0], weights[4], weights[8]}),
              std::vector<float>({1.0f, 1.0f, 0.0f}));
    EXPECT_EQ(All<Pass>(c.scene)[0]->cameraNode, nullptr);
}

// A chain of groups far deeper than any scene: conversion stops nesting at
// its limit instead of running out of stack.
TEST(M3GConvert, DeepNestingStopsAtTheLimit) {
    const unsigned int kGroups = 100000;
    std::vector<File> records;
    for (unsigned int k = 1; k <= kGroups; ++k) {
        Bytes group = Node(k);  // object index k + 1, its child k + 2
        if (k < kGroups)
            group.U32(1).U32(k + 2);
        else
            group.U32(0);
        records.push_back(Record(9, group));
    }
    records.push_back(Record(22, World(0, {2})));
    Converted c(SceneFile(records));
    EXPECT_EQ(c.printed,
              "M3G::Node::CreateSceneNode(): nodes nested deeper than 1000, object 1000 keeps no "
              "children\n");
    EXPECT_EQ(All<SceneNode>(c.scene).size(), 1001u);
    SceneNode* last = NodeWithId(c.scene, 1000);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->children.Size(), 0u);
    EXPECT_EQ(last->parent, NodeWithId(c.scene, 999));
}

TEST(M3GConvert, NoWorldMeansAnEmptyScene) {
    Bytes light = Node(1).F32(1).F32(0).F32(0).Raw({1, 2, 3}).U8(130).F32(1).F32(0).F32(0);
    Converted c(SceneFile({Record(12, light)}));
    EXPECT_EQ(c.scene->objects.Size(), 0u);
}

// Rows are padded to 4 bytes for GL; palette indices outside the palette
// and pixel data shorter than the image give zeros or nothing, never a read
// past the record's arrays.
TEST(M3GConvert, ImagePixels) {
    using Px = std::vector<unsigned char>;
    struct Case {
        const char* name;
        Bytes data;
        Px pixels;
        std::string printed;
    } cases[] = {
        {"palette",
         ImageData(99, 4, 1, {1, 2, 3, 4, 5, 6}, {0, 1, 1, 0}),
         {1, 2, 3, 4, 5, 6, 4, 5, 6, 1, 2, 3},
         ""},
        {"index past the palette",
         ImageData(99, 4, 1, {1, 2, 3}, {0, 9, 0, 0}),
         {1, 2, 3, 0, 0, 0, 1, 2, 3, 1, 2, 3},
         ""},
        {"luminance rows padded",
         ImageData(97, 3, 2, {}, {1, 2, 3, 4, 5, 6}),
         {1, 2, 3, 0, 4, 5, 6, 0},
         ""},
        {"RGB rows padded",
         ImageData(99, 1, 2, {}, {1, 2, 3, 4, 5, 6}),
         {1, 2, 3, 0, 4, 5, 6, 0},
         ""},
        {"short pixel data",
         ImageData(100, 2, 2, {}, {1, 2, 3, 4}),
         {},
         "M3G::Image2D::CreateTexture(): 2x2 image needs 16 B, holds 4, no pixels\n"},
        {"unknown format",
         ImageData(101, 1, 1, {}, {1, 2, 3, 4}),
         {},
         "M3G::Image2D::CreateTexture(): unsupported format 101, no pixels\n"},
    };
    for (Case& k : cases) {
        Converted c(SceneFile({Record(10, k.data)}));
        auto* image = static_cast<M3G::Image2D*>(c.loader.GetObject(2, M3G::Object::T_Image2D));
        ASSERT_NE(image, nullptr) << k.name;
        CaptureFd out(1);
        ::Texture2D* texture = image->CreateTexture();
        EXPECT_EQ(out.Stop(), k.printed) << k.name;
        size_t size = k.pixels.size();
        EXPECT_EQ(texture->pixels ? Px(texture->pixels, texture->pixels + size) : Px(), k.pixels)
            << k.name;
        EXPECT_EQ(c.scene->objects.Size(), 1u) << k.name;
    }
}

// Every prefix and single-byte change of the sample in both layouts (plain
// sections, so that the records themselves are hit) converts without a crash;
// the sanitizer build checks the reads.
TEST(M3GConvert, DamagedSampleNeverCrashes) {
    CaptureFd quiet(1);
    for (bool v2 : {false, true}) {
        File file = SampleScene(0, v2);
        for (size_t i = 0; i < file.size(); ++i) {
            File cut(file.begin(), file.begin() + i);
            Converted a(cut);
            ASSERT_LE(All<Technique>(a.scene).size(), 1u) << "cut at " << i;
            for (unsigned char mask : {0xFF, 0x80, 0x01}) {
                File flipped = file;
                flipped[i] ^= mask;
                Converted b(flipped);
                ASSERT_LE(All<Technique>(b.scene).size(), 1u) << "byte " << i << " of " << v2;
            }
        }
    }
    quiet.Stop();
}

class M3GConvertFixture : public DemoTestEnv {
protected:
    std::string CubePath() { return FixturesDir() + "/m3g/cube.m3g"; }
};

TEST_F(M3GConvertFixture, LoadedSceneDrawsThroughADemoPass) {
    ASSERT_TRUE(FileExists(CubePath())) << "missing fixture " << CubePath();
    File cube = ReadBytes(CubePath());
    platform.files["resource://cube.m3g"] = std::string(cube.begin(), cube.end());
    platform.files["resource://v"] = "void main() { gl_Position = vec4(0.0); }";
    platform.files["resource://f"] = "void main() { gl_FragColor = vec4(1.0); }";
    Demo::Scene* scene = engine->LoadScene("resource://cube.m3g");
    Demo::Effect* effect = Demo::Effect::New("resource://v", "resource://f");
    Demo::Pass* pass = Demo::Pass::New(scene, effect);
    RecordingRenderer rec;
    rec.SetName(&pass->pass, "Pass");
    rec.SetName(&pass->timeState, "Time");
    for (RenderState* s : effect->states) rec.SetName(s, "Effect");
    for (MaterialState* m : All<MaterialState>(scene->scene)) rec.SetName(m, "Material");
    std::vector<UniformState*> lights = All<UniformState>(scene->scene);
    ASSERT_EQ(lights.size(), 10u);  // the cube's one light
    for (UniformState* u : lights) rec.SetName(u, "Light");
    rec.SetName(scene->depthTest, "DepthTest");
    rec.SetName(scene->cullFace, "CullFace");
    for (Mesh* m : All<Mesh>(scene->scene)) rec.SetName(m, "Mesh");
    for (SceneNode* n : All<SceneNode>(scene->scene))
        if (n->meshes.Size()) rec.SetName(n, "MeshNode");
    Technique technique;
    technique.passes.Add(&pass->pass);
    SceneManager manager;
    manager.Update(&technique, 0);
    rec.BindTechnique(&technique);
    rec.Render();
    std::string expected =
        "SetRenderTarget(null), Projection, View, PrevView, Clear(Pass), "
        "Generic(DepthTest), Generic(CullFace), Program(Effect), "
        "Generic(Effect), Blend(Effect), Material(Material), Uniform(Time), ";
    for (size_t i = 0; i < lights.size(); ++i) expected += "Uniform(Light), ";
    EXPECT_EQ(rec.Joined(), expected + "Geometry(MeshNode)");
    EXPECT_EQ(rec.projections[0], pass->pass.cameraNode->camera->projection);
}
