// Demo scenes: the full-screen quad scene, node lookup, attribute elements, and
// normal smoothing checked against the plain quadratic procedure it must reproduce.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "demo/Animation.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "render/GenericState.h"
#include "support/DemoTestEnv.h"
#include "support/SmoothReference.h"

using testsupport::Groups;
using testsupport::ReferenceCluster;
using testsupport::ReferenceGroups;
using testsupport::StdoutOf;
using testsupport::Vec;
using Vecs = std::vector<Vec3>;

namespace {

using DemoScene = testsupport::DemoTestEnv;

Vec3 Get(AttributeArray* a, unsigned int i) { return Demo::Scene::GetElement(a, i); }

// An array of `count` elements over a copy of the bytes.
AttributeArray Array(NumericType type, unsigned char components, unsigned int count,
                     const void* bytes) {
    AttributeArray array(AttributeArray::at_Normal, type, components, false);
    array.count = count;
    array.data = new unsigned char[array.SizeBytes()];
    memcpy(array.data, bytes, array.SizeBytes());
    return array;
}

std::vector<unsigned char> Bytes(const AttributeArray* a) {
    return std::vector<unsigned char>(a->data, a->data + a->SizeBytes());
}

// Float positions and 3-component normals of the given type (stored truncated).
Mesh* MakeMesh(const Vecs& positions, const Vecs& normals, NumericType type = NT_Float) {
    AttributeArray* arrays = new AttributeArray[2];
    arrays[0] = Array(NT_Float, 3, unsigned(positions.size()), positions.data());
    arrays[0].type = AttributeArray::at_Location;
    arrays[1] = Array(type, 3, unsigned(normals.size()), Vecs(normals.size()).data());
    for (unsigned int i = 0; i < arrays[1].count; ++i)
        Demo::Scene::SetElement(&arrays[1], i, normals[i]);
    Mesh* mesh = new Mesh();
    mesh->SetVertexArrays(arrays, 2);
    return mesh;
}

Vecs NormalsOf(Mesh* mesh) {
    Vecs out;
    for (unsigned int i = 0; i < mesh->GetVertexArray(1)->count; ++i)
        out.push_back(Get(mesh->GetVertexArray(1), i));
    return out;
}

// SmoothAll over a scene holding the mesh and a camera; gives the normals.
Vecs SmoothedAll(Mesh* mesh, float angle) {
    ::Scene* scene = new ::Scene();
    scene->objects.Add(new Camera());
    scene->objects.Add(mesh);
    Demo::Scene::New(scene)->SmoothAll(angle);
    return NormalsOf(mesh);
}

// Positions from a small pool (so many repeat), with zeros of both signs and
// the odd NaN; normals near four directions, so groups split into clusters.
void RandomMesh(std::mt19937* rng, unsigned int count, unsigned int pool, Vecs* p, Vecs* n) {
    std::uniform_real_distribution<float> jitter(-0.3f, 0.3f);
    Vecs spots(1, Vec3(0, 0, 0));
    while (spots.size() < pool)
        spots.push_back(Vec3(float((*rng)() % 8) - 4, float((*rng)() % 8) - 4, 0.5f));
    const Vec3 directions[4] = {Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1), Vec3(-1, 0, 0)};
    for (unsigned int v = 0; v < count; ++v) {
        const unsigned int odd = (*rng)() % 100;
        p->push_back(odd == 0 ? Vec3(-0.0f, 0.0f, -0.0f)
                              : odd == 1 ? Vec3(0, NAN, 0.5f) : spots[(*rng)() % pool]);
        const Vec3 wobble(jitter(*rng), jitter(*rng), jitter(*rng));
        n->push_back((directions[(*rng)() % 4] + wobble) * 100.0f);
    }
}

Groups Split(const Vector<unsigned int>& members, const Vector<unsigned int>& ends) {
    Groups groups;
    for (unsigned int g = 0; g < ends.Size(); ++g)
        groups.emplace_back(members.begin() + (g ? ends[g - 1] : 0), members.begin() + ends[g]);
    return groups;
}

}  // namespace

TEST_F(DemoScene, FullScreenSceneIsOneClearingPassOverAFourVertexStrip) {
    Demo::Scene* fs = Demo::Scene::CreateFS();
    const Vector<SceneObject*>& objects = fs->scene->objects;
    ASSERT_EQ(objects.Size(), 8u);
    ::Pass* pass = dynamic_cast<::Pass*>(objects[0]);
    Mesh* mesh = dynamic_cast<Mesh*>(objects[5]);
    ASSERT_TRUE(pass && pass->cameraNode && pass->cameraNode->camera && mesh);
    EXPECT_TRUE(pass->clearColorEnabled && pass->clearDepthEnabled && !pass->clearStencilEnabled);
    EXPECT_EQ(pass->clearColor, Vec4::ZERO);
    EXPECT_EQ(pass->clearDepth, 1.0f);
    EXPECT_EQ(Vec(pass->states), (std::vector<RenderState*>{fs->depthTest, fs->cullFace}));
    EXPECT_FALSE(fs->depthTest->enabled || fs->cullFace->enabled || fs->adjustAspect);
    // The unit square fills the viewport: x, y in [0, 1] map onto [-1, 1].
    const Mat4& projection = pass->cameraNode->camera->projection;
    EXPECT_EQ(Vec4(1.0f, 1.0f, 0.0f, 1.0f) * projection, Vec4(1.0f, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(Vec4(0.0f, 0.0f, 0.0f, 1.0f) * projection, Vec4(-1.0f, -1.0f, 0.0f, 1.0f));
    EXPECT_EQ(static_cast<SceneNode*>(objects[4])->meshes[0], mesh);
    const float square[8] = {0, 0, 0, 1, 1, 0, 1, 1};
    ASSERT_EQ(mesh->GetVertexArray(0)->SizeBytes(), sizeof(square));
    EXPECT_EQ(memcmp(mesh->GetVertexArray(0)->data, square, sizeof(square)), 0);
    ASSERT_EQ(mesh->GetBatches()->Size(), 1u);
    const VertexBatch* batch = (*mesh->GetBatches())[0];
    EXPECT_EQ(batch->primitive, unsigned(VertexBatch::PR_TriangleStrip));
    EXPECT_TRUE(!batch->indexed && batch->firstVertex == 0 && batch->count == 4);
}

TEST_F(DemoScene, FindAndGetRootGiveNodeHandlesOrReport) {
    Demo::Scene* fs = Demo::Scene::CreateFS();
    fs->scene->objects[1]->id = 7;  // root
    fs->scene->objects[3]->id = 9;  // camera, found before the mesh node
    fs->scene->objects[4]->id = 9;
    Demo::Node* root = fs->Find(7);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->node, static_cast<SceneNode*>(fs->scene->objects[1]));
    EXPECT_EQ(fs->GetRoot()->node, root->node);
    // A handle places, turns (in degrees) and scales its node, and binds each
    // animation to its own property.
    SceneNode* r = root->node;
    r->dirty = false;
    root->SetLocation(1, 2, 3);
    root->SetScale(4, 5, 6);
    root->SetRotation(90, 0, 0, 1);
    EXPECT_TRUE(r->dirty);
    EXPECT_EQ(Vecs({r->transform.translation, r->transform.scale}),
              Vecs({Vec3(1, 2, 3), Vec3(4, 5, 6)}));
    EXPECT_NEAR(r->transform.rotation.z, r->transform.rotation.w, 1e-6f);
    EXPECT_NEAR(r->transform.rotation.w, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(r->transform.rotationMatrix(1, 0), 1.0f, 1e-6f);  // x turns onto y
    using Anim = Demo::Animation;
    Anim* turn = Anim::New(Anim::IM_SLERP, Anim::RM_LOOP, 4);
    Anim* grow = Anim::New(Anim::IM_LINEAR, Anim::RM_LOOP, 3);
    Anim* move = Anim::New(Anim::IM_STEP, Anim::RM_LOOP, 3);
    root->BindRotation(turn);
    root->BindScale(grow);
    root->BindLocation(move);
    EXPECT_EQ(std::vector<Animation*>(r->bindings, r->bindings + 3),
              (std::vector<Animation*>{&turn->animation, &grow->animation, &move->animation}));
    EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(fs->Find(9), nullptr); }),
              "Scene::Find(9): object not found!\n");
    EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(fs->Find(99), nullptr); }),
              "Scene::Find(99): object not found!\n");
    // Smoothing by id reaches the quad under the root, which has no normals.
    char text[96];
    snprintf(text, sizeof(text), "Warning: mesh %p doesn't have AT_LOCATION and AT_NORMAL\n",
             static_cast<void*>(fs->scene->objects[5]));
    EXPECT_EQ(StdoutOf([&] { fs->Smooth(7u, 30.0f); }), text);
    Demo::Scene* empty = nullptr;
    EXPECT_EQ(StdoutOf([&] { empty = Demo::Scene::New(nullptr); }),
              "Demo::Scene::Scene(): no scene, using an empty one\n");
    EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(empty->GetRoot(), nullptr); }),
              "Demo::Scene::GetRoot(): scene has no root\n");
    empty->SmoothAll(30.0f);
}

TEST(SceneElements, ConvertWithTruncatedLowBitsAndStayInsideTheArray) {
    const int8_t b[3] = {-5, 7, 127};
    const int16_t s[4] = {-30000, 300, 5, 6};
    const int32_t i[2] = {16777217, -100000};
    AttributeArray bytes = Array(NT_Byte, 3, 1, b), shorts = Array(NT_Short, 4, 1, s),
                   ints = Array(NT_Int, 2, 1, i);
    EXPECT_EQ(Vecs({Get(&bytes, 0), Get(&shorts, 0), Get(&ints, 0)}),
              Vecs({Vec3(-5, 7, 127), Vec3(-30000, 300, 5), Vec3(16777216, -100000, 0)}));
    // Writes truncate toward zero and keep the low bits (of -2^31 when out of range).
    Demo::Scene::SetElement(&bytes, 0, Vec3(300.7f, -1.9f, 63.5f));
    Demo::Scene::SetElement(&shorts, 0, Vec3(70000.0f, 1e20f, NAN));
    Demo::Scene::SetElement(&ints, 0, Vec3(-7.99f, 1e20f, 5));
    const int8_t b2[3] = {int8_t(300 & 0xFF), -1, 63};
    const int16_t s2[4] = {int16_t(70000 & 0xFFFF), 0, 0, 6};
    const int32_t i2[2] = {-7, INT32_MIN};
    EXPECT_EQ(memcmp(bytes.data, b2, 3) | memcmp(shorts.data, s2, 8), 0);
    EXPECT_EQ(memcmp(ints.data, i2, 8), 0);
    // Two floats: no third component, nothing past the last element.
    const float f[4] = {0.25f, -0.5f, 1.5f, 2.5f}, f2[4] = {0.1f, -0.2f, 1.5f, 2.5f};
    AttributeArray floats = Array(NT_Float, 2, 2, f);
    for (unsigned int at : {0u, 2u, 0xFFFFFFFFu})
        Demo::Scene::SetElement(&floats, at, Vec3(0.1f, -0.2f, 9));
    EXPECT_EQ(memcmp(floats.data, f2, 16), 0);
    EXPECT_EQ(Vecs({Get(&floats, 1), Get(&floats, 2)}), Vecs({Vec3(1.5f, 2.5f, 0), Vec3(0, 0, 0)}));
    floats.stride = 4;  // too small for the components: the last element would overrun
    AttributeArray empty(AttributeArray::at_Normal, NT_Float, 3, false);
    empty.count = 5;
    Demo::Scene::SetElement(&empty, 0, Vec3(1, 2, 3));
    EXPECT_EQ(Vecs({Get(&floats, 1), Get(&empty, 0), Get(nullptr, 0)}), Vecs(3, Vec3(0, 0, 0)));
}

TEST_F(DemoScene, NormalsWithinTheAngleAtOnePositionShareTheirMean) {
    Vecs p, n;
    for (int k = 0; k < 24; ++k) {  // six faces, four corners each
        const int axis = k / 8;
        Vec3 v, normal(0, 0, 0);
        v[axis] = normal[axis] = float(k / 4 % 2 * 2 - 1);
        v[(axis + 1) % 3] = float(k / 2 % 2 * 2 - 1);
        v[(axis + 2) % 3] = float(k % 2 * 2 - 1);
        p.push_back(v);
        n.push_back(normal);
    }
    EXPECT_EQ(SmoothedAll(MakeMesh(p, n), 30.0f), n);
    Vecs smoothed = SmoothedAll(MakeMesh(p, n), 100.0f);
    for (size_t v = 0; v < p.size(); ++v) EXPECT_EQ(smoothed[v], p[v] * (1.0f / 3.0f)) << v;
    // Byte normals get truncated means; two clusters at one position; a lone vertex.
    const Vec3 at(1, 2, 3);
    EXPECT_EQ(SmoothedAll(MakeMesh({at, at}, {Vec3(127, 0, 0), Vec3(0, 127, 0)}, NT_Byte), 100),
              Vecs(2, Vec3(63, 63, 0)));
    const Vec3 a(1, 0, 0), a2(0.8f, 0.6f, 0), b(0, 0, 1), b2(0, 0.6f, 0.8f);
    Vecs out = SmoothedAll(MakeMesh({at, at, at, at, Vec3(9, 9, 9)}, {a, b, a2, b2, a2}), 40);
    const Vec3 meanA(0.9f, 0.3f, 0), meanB(0, 0.3f, 0.9f);
    for (int v = 0; v < 4; ++v)
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(out[v][c], (v % 2 ? meanB : meanA)[c]) << v;
    EXPECT_EQ(out[4], a2);
}

TEST_F(DemoScene, SmoothReportsShortOversizedAndNilInput) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Mesh* cut = MakeMesh(Vecs(3, Vec3(1, 1, 1)), {Vec3(1, 0, 0), Vec3(0, 1, 0)});
    Vecs p(1025, Vec3(2, 2, 2)), n;
    for (unsigned int v = 0; v < p.size(); ++v) n.push_back(Vec3(1, float(v % 3), 0));
    Mesh* huge = MakeMesh(p, n);
    char shortened[128];
    snprintf(shortened, sizeof(shortened),
             "Demo::Scene::Smooth(): mesh %p has 3 positions but 2 normals, smoothing 2\n",
             static_cast<void*>(cut));
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { scene->Smooth(cut, 100.0f); }, shortened},
        {[&] { scene->Smooth(huge, 100.0f); },
         "Demo::Scene::Smooth(): 1025 vertices share one position, more than 1024: left "
         "unsmoothed\n"},
        {[&] { scene->Smooth(static_cast<Demo::Node*>(nullptr), 30.0f); },
         "Demo::Scene::Smooth(): no node\n"},
        {[&] { scene->Smooth(static_cast<SceneNode*>(nullptr), 30.0f); },
         "Demo::Scene::Smooth(): no node\n"},
        {[&] { scene->Smooth(static_cast<Mesh*>(nullptr), 30.0f); },
         "Demo::Scene::Smooth(): no mesh\n"},
        {[&] { scene->Smooth(99u, 30.0f); }, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(StdoutOf(c.first), c.second);
    EXPECT_EQ(NormalsOf(cut), Vecs(2, Vec3(0.5f, 0.5f, 0)));
    EXPECT_EQ(NormalsOf(huge), n);
    delete cut;
    delete huge;
}

TEST(SmoothGrouping, EverySmallSequenceAndSignedZerosAndNaNMatchTheScan) {
    const Vec3 spots[3] = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)};
    Vector<unsigned int> members, ends;
    for (unsigned int length = 0, combos = 1; length <= 8; ++length, combos *= 3)
        for (unsigned int code = 0; code < combos; ++code) {
            Vecs p;
            for (unsigned int i = 0, c = code; i < length; ++i, c /= 3) p.push_back(spots[c % 3]);
            Demo::Scene::GroupEqualPositions(p.data(), length, &members, &ends);
            ASSERT_EQ(Split(members, ends), ReferenceGroups(p)) << length << " " << code;
        }
    Vecs p = {Vec3(0.0f, 1, 2), Vec3(NAN, 1, 2), Vec3(-0.0f, 1, 2), Vec3(NAN, 1, 2)};
    Demo::Scene::GroupEqualPositions(p.data(), 4, &members, &ends);
    EXPECT_EQ(Split(members, ends), (Groups{{0, 2}, {1}, {3}}));
}

TEST_F(DemoScene, SmoothingMatchesTheProcedureOnRandomMeshes) {
    std::mt19937 rng(99);
    const NumericType types[3] = {NT_Byte, NT_Short, NT_Float};
    for (unsigned int round = 0; round < 30; ++round) {
        Vecs p, n;
        RandomMesh(&rng, 40 + round * 50, 2 + 2 * round, &p, &n);
        if (round % 3 == 0)
            for (Vec3& v : n) v = v * 1.2f;
        Mesh* fast = MakeMesh(p, n, types[round % 3]);
        Mesh* reference = MakeMesh(p, n, types[round % 3]);
        const std::vector<unsigned char> original = Bytes(fast->GetVertexArray(1));
        const float angle = 20.0f + float(round % 5) * 25.0f;
        Demo::Scene::CreateFS()->Smooth(fast, angle);
        for (const auto& group : ReferenceGroups(p))
            if (group.size() > 1)
                ReferenceCluster(group, reference->GetVertexArray(1), angle * 0.017453292f);
        EXPECT_EQ(Bytes(fast->GetVertexArray(1)), Bytes(reference->GetVertexArray(1))) << round;
        EXPECT_NE(Bytes(fast->GetVertexArray(1)), original) << round << " smoothed nothing";
        delete fast;
        delete reference;
    }
}
