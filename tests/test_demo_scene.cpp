// Demo scenes: the full-screen quad scene, node lookup, attribute element
// conversions, and normal smoothing checked against the plain quadratic
// procedure it must reproduce.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "demo/Effect.h"
#include "demo/Engine.h"
#include "demo/Node.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/Scene.h"
#include "engine/AttributeArray.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneManager.h"
#include "engine/SceneNode.h"
#include "render/GenericState.h"
#include "support/DemoTestEnv.h"
#include "support/RecordingRenderer.h"

using testsupport::DemoTestEnv;
using testsupport::StdoutOf;

namespace {

class DemoScene : public DemoTestEnv {};

// A mesh with a float position array and a normal array of the given type
// (3 components; integer normals are stored truncated).
Mesh* MakeMesh(const std::vector<Vec3>& positions, const std::vector<Vec3>& normals,
               NumericType normalType = NT_Float) {
    AttributeArray* arrays = new AttributeArray[2];
    arrays[0] = AttributeArray(AttributeArray::at_Location, NT_Float, 3, false);
    arrays[0].count = unsigned(positions.size());
    arrays[0].data = new unsigned char[positions.size() * 12];
    memcpy(arrays[0].data, positions.data(), positions.size() * 12);
    arrays[1] = AttributeArray(AttributeArray::at_Normal, normalType, 3, false);
    arrays[1].count = unsigned(normals.size());
    arrays[1].data = new unsigned char[size_t(arrays[1].count) * arrays[1].stride]();
    for (unsigned int i = 0; i < arrays[1].count; ++i)
        Demo::Scene::SetElement(&arrays[1], i, normals[i]);
    Mesh* mesh = new Mesh();
    mesh->SetVertexArrays(arrays, 2);
    return mesh;
}

std::vector<Vec3> NormalsOf(Mesh* mesh) {
    AttributeArray* normals = mesh->GetVertexArray(1);
    std::vector<Vec3> out;
    for (unsigned int i = 0; i < normals->count; ++i)
        out.push_back(Demo::Scene::GetElement(normals, i));
    return out;
}

// The 24 vertices of the cube [-1, 1]^3, four per face, flat normals.
void Cube(std::vector<Vec3>* positions, std::vector<Vec3>* normals) {
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2)
            for (int a = -1; a <= 1; a += 2)
                for (int b = -1; b <= 1; b += 2) {
                    Vec3 p, n(0, 0, 0);
                    p[axis] = float(sign);
                    p[(axis + 1) % 3] = float(a);
                    p[(axis + 2) % 3] = float(b);
                    n[axis] = float(sign);
                    positions->push_back(p);
                    normals->push_back(n);
                }
}

// ---- The procedure as written: quadratic grouping, clustering that
// recounts every disagreement after each drop.

std::vector<std::vector<unsigned int>> ReferenceGroups(const std::vector<Vec3>& p) {
    std::vector<unsigned int> remaining(p.size());
    for (unsigned int v = 0; v < p.size(); ++v) remaining[v] = v;
    std::vector<std::vector<unsigned int>> groups;
    size_t cursor = 0;
    while (cursor < remaining.size()) {
        unsigned int v = remaining[cursor];
        std::vector<unsigned int> group = {v};
        const Vec3 pv = p[v];
        cursor += 1;
        size_t j = cursor;
        while (j < remaining.size()) {
            const Vec3& q = p[remaining[j]];
            if (q.x == pv.x && q.y == pv.y && q.z == pv.z) {
                group.push_back(remaining[j]);
                remaining[j] = remaining.back();
                remaining.pop_back();
            } else {
                ++j;
            }
        }
        groups.push_back(group);
    }
    return groups;
}

void ReferenceCluster(const std::vector<unsigned int>& group, AttributeArray* normalArray,
                      float threshold) {
    std::vector<unsigned int> w = group;
    std::vector<Vec3> n;
    for (unsigned int v : group) n.push_back(Demo::Scene::GetElement(normalArray, v));
    std::vector<Vec3> wn = n;
    while (w.size() > 1) {
        std::vector<unsigned int> k;
        for (unsigned int i = 0; i < w.size(); ++i) k.push_back(i);
        for (;;) {
            std::vector<unsigned int> d(k.size(), 0);
            for (size_t i = 0; i < k.size(); ++i)
                for (size_t j = 0; j < k.size(); ++j)
                    if (i != j && wn[k[i]].Angle(wn[k[j]]) > threshold) d[i] += 1;
            size_t best = 0;
            for (size_t i = 1; i < k.size(); ++i)
                if (d[i] > d[best]) best = i;
            if (d[best] == 0) break;
            k[best] = k.back();
            k.pop_back();
            if (k.size() == 1) return;
        }
        Vec3 sum(0, 0, 0);
        for (unsigned int i : k) sum += wn[i];
        Vec3 mean = sum * (1.0f / float(k.size()));
        for (unsigned int i : k) Demo::Scene::SetElement(normalArray, w[i], mean);
        std::vector<unsigned int> restW;
        std::vector<Vec3> restN;
        for (unsigned int i = 0; i < w.size(); ++i)
            if (std::find(k.begin(), k.end(), i) == k.end()) {
                restW.push_back(w[i]);
                restN.push_back(wn[i]);
            }
        w.swap(restW);
        wn.swap(restN);
    }
}

void ReferenceSmooth(Mesh* mesh, float angle) {
    AttributeArray* positions = mesh->GetVertexArray(0);
    AttributeArray* normals = mesh->GetVertexArray(1);
    std::vector<Vec3> p;
    for (unsigned int v = 0; v < positions->count; ++v)
        p.push_back(Demo::Scene::GetElement(positions, v));
    for (const auto& group : ReferenceGroups(p))
        if (group.size() > 1) ReferenceCluster(group, normals, angle * 0.017453292f);
}

// Positions drawn from a small pool (so that many repeat), with both zeros
// and the odd NaN; normals near a few directions, so that groups split into
// several clusters.
void RandomMesh(std::mt19937* rng, unsigned int count, unsigned int pool,
                std::vector<Vec3>* positions, std::vector<Vec3>* normals) {
    std::uniform_real_distribution<float> coord(-4.0f, 4.0f);
    std::uniform_int_distribution<unsigned int> pick(0, pool - 1);
    std::vector<Vec3> spots;
    for (unsigned int i = 0; i < pool; ++i)
        spots.push_back(Vec3(std::floor(coord(*rng)), std::floor(coord(*rng)), 0.5f));
    spots[0] = Vec3(0.0f, 0.0f, 0.0f);
    const Vec3 directions[4] = {Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1), Vec3(-1, 0, 0)};
    std::uniform_real_distribution<float> jitter(-0.3f, 0.3f);
    std::uniform_int_distribution<int> way(0, 3);
    std::uniform_int_distribution<int> odd(0, 99);
    for (unsigned int v = 0; v < count; ++v) {
        Vec3 p = spots[pick(*rng)];
        int o = odd(*rng);
        if (o == 0) p = Vec3(-0.0f, 0.0f, -0.0f);
        if (o == 1) p.y = NAN;
        positions->push_back(p);
        Vec3 n = directions[way(*rng)] + Vec3(jitter(*rng), jitter(*rng), jitter(*rng));
        normals->push_back(n * 100.0f);
    }
}

std::vector<std::vector<unsigned int>> Split(const Vector<unsigned int>& members,
                                             const Vector<unsigned int>& ends) {
    std::vector<std::vector<unsigned int>> groups;
    unsigned int begin = 0;
    for (unsigned int end : ends) {
        groups.emplace_back(members.begin() + begin, members.begin() + end);
        begin = end;
    }
    return groups;
}

std::vector<unsigned char> Bytes(const AttributeArray* array) {
    return std::vector<unsigned char>(array->data, array->data + array->SizeBytes());
}

}  // namespace

// ---------------------------------------------------------------- full-screen scene

TEST_F(DemoScene, FullScreenSceneObjectsInOrder) {
    Demo::Scene* fs = Demo::Scene::CreateFS();
    EXPECT_EQ(engine->objects.Last(), fs);
    const Vector<SceneObject*>& objects = fs->scene->objects;
    ASSERT_EQ(objects.Size(), 8u);
    ::Pass* pass = dynamic_cast<::Pass*>(objects[0]);
    SceneNode* root = dynamic_cast<SceneNode*>(objects[1]);
    SceneNode* cameraNode = dynamic_cast<SceneNode*>(objects[2]);
    Camera* camera = dynamic_cast<Camera*>(objects[3]);
    SceneNode* meshNode = dynamic_cast<SceneNode*>(objects[4]);
    Mesh* mesh = dynamic_cast<Mesh*>(objects[5]);
    ASSERT_TRUE(pass && root && cameraNode && camera && meshNode && mesh);
    EXPECT_EQ(objects[6], fs->depthTest);
    EXPECT_EQ(objects[7], fs->cullFace);

    EXPECT_EQ(pass->scene, root);
    EXPECT_EQ(pass->cameraNode, cameraNode);
    EXPECT_EQ(pass->frameBuffer, nullptr);
    EXPECT_TRUE(pass->clearColorEnabled);
    EXPECT_EQ(pass->clearColor, Vec4::ZERO);
    EXPECT_TRUE(pass->clearDepthEnabled);
    EXPECT_EQ(pass->clearDepth, 1.0f);
    EXPECT_FALSE(pass->clearStencilEnabled);
    ASSERT_EQ(pass->states.Size(), 2u);
    EXPECT_EQ(pass->states[0], fs->depthTest);
    EXPECT_EQ(pass->states[1], fs->cullFace);

    ASSERT_EQ(root->children.Size(), 2u);
    EXPECT_EQ(root->children[0], cameraNode);
    EXPECT_EQ(root->children[1], meshNode);
    EXPECT_EQ(cameraNode->camera, camera);
    ASSERT_EQ(meshNode->meshes.Size(), 1u);
    EXPECT_EQ(meshNode->meshes[0], mesh);
    for (SceneNode* node : {root, cameraNode, meshNode}) {
        EXPECT_EQ(node->transform.translation, Vec3::ZERO);
        EXPECT_EQ(node->transform.rotationMatrix, Mat3::IDENTITY);
    }

    // The unit square fills the viewport: x, y in [0, 1] map onto [-1, 1].
    const Mat4& p = camera->projection;
    Vec4 corner = Vec4(1.0f, 1.0f, 0.0f, 1.0f) * p;
    Vec4 origin = Vec4(0.0f, 0.0f, 0.0f, 1.0f) * p;
    EXPECT_EQ(corner, Vec4(1.0f, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(origin, Vec4(-1.0f, -1.0f, 0.0f, 1.0f));

    EXPECT_FALSE(fs->adjustAspect);
    EXPECT_FALSE(fs->depthTest->enabled);
    EXPECT_FALSE(fs->cullFace->enabled);
    EXPECT_EQ(fs->depthTest->capability, unsigned(GenericState::GS_DepthTest));
    EXPECT_EQ(fs->cullFace->capability, unsigned(GenericState::GS_CullFace));
}

TEST_F(DemoScene, FullScreenQuadIsOneStripOfFourVertices) {
    Demo::Scene* fs = Demo::Scene::CreateFS();
    Mesh* mesh = static_cast<Mesh*>(static_cast<Resource*>(fs->scene->objects[5]));
    ASSERT_EQ(mesh->GetNumVertexArrays(), 1u);
    const AttributeArray* v = mesh->GetVertexArray(0);
    EXPECT_EQ(v->type, AttributeArray::at_Location);
    EXPECT_EQ(v->numericType, NT_Float);
    EXPECT_EQ(v->components, 2u);
    EXPECT_EQ(v->stride, 8u);
    ASSERT_EQ(v->count, 4u);
    const float square[8] = {0, 0, 0, 1, 1, 0, 1, 1};
    EXPECT_EQ(memcmp(v->data, square, sizeof(square)), 0);
    ASSERT_EQ(mesh->GetNumTriangleArrays(), 1u);
    const AttributeArray* t = mesh->GetTriangleArray(0);
    EXPECT_EQ(t->type, AttributeArray::at_StripLengths);
    EXPECT_EQ(t->numericType, NT_Int);
    EXPECT_EQ(t->components, 1u);
    EXPECT_EQ(t->stride, 4u);
    ASSERT_EQ(t->count, 1u);
    int32_t length;
    memcpy(&length, t->data, 4);
    EXPECT_EQ(length, 4);
    Vector<VertexBatch*>* batches = mesh->GetBatches();
    ASSERT_EQ(batches->Size(), 1u);
    const VertexBatch* batch = (*batches)[0];
    EXPECT_EQ(batch->primitive, unsigned(VertexBatch::PR_TriangleStrip));
    EXPECT_FALSE(batch->indexed);
    EXPECT_EQ(batch->firstVertex, 0u);
    EXPECT_EQ(batch->count, 4u);
    // Mesh and camera are resources with the manager.
    EXPECT_GE(gl.manager.resources.Find(mesh), 0);
}

TEST_F(DemoScene, FullScreenPassDrawsQuadWithDepthAndCullingOff) {
    platform.files["resource://v"] = "v";
    platform.files["resource://f"] = "f";
    Demo::Scene* fs = Demo::Scene::CreateFS();
    Demo::Effect* effect = Demo::Effect::New("resource://v", "resource://f");
    Demo::Pass* pass = Demo::Pass::New(fs, effect);
    Demo::Part* part = Demo::Part::New(1000.0f);
    part->AddPass(pass);
    testsupport::RecordingRenderer renderer;
    renderer.SetName(&pass->pass, "pass");
    renderer.SetName(effect->states[0], "program");
    renderer.SetName(effect->blendSwitch, "blendOff");
    renderer.SetName(effect->blend, "blend");
    renderer.SetName(fs->depthTest, "depthOff");
    renderer.SetName(fs->cullFace, "cullOff");
    renderer.SetName(&pass->timeState, "time");
    SceneNode* meshNode = static_cast<SceneNode*>(fs->scene->objects[4]);
    renderer.SetName(meshNode, "quad");
    part->Update(40.0f);
    SceneManager manager;
    manager.Update(&part->technique, 40.0f);
    renderer.BindTechnique(&part->technique);
    renderer.Render();
    // Target, camera, clears, then the pass's states in their order around
    // the one draw: the scene's switches, the effect's, the time last.
    EXPECT_EQ(renderer.Joined(),
              "SetRenderTarget(null), Projection, View, PrevView, Clear(pass), "
              "Generic(depthOff), Generic(cullOff), Program(program), Generic(blendOff), "
              "Blend(blend), Uniform(time), Geometry(quad)");
    ASSERT_EQ(renderer.projections.size(), 1u);
    EXPECT_EQ(renderer.projections[0], pass->pass.cameraNode->camera->projection);
}

// ---------------------------------------------------------------- scene handles

TEST_F(DemoScene, SceneAddsSwitchesToEveryPass) {
    ::Scene* s = new ::Scene();
    ::Pass* a = new ::Pass();
    ::Pass* b = new ::Pass();
    GenericState* own = new GenericState(GenericState::GS_Dither, true);
    a->states.Add(own);
    s->objects.Add(a);
    s->objects.Add(own);
    s->objects.Add(b);
    Demo::Scene* scene = Demo::Scene::New(s);
    EXPECT_TRUE(scene->adjustAspect);
    EXPECT_TRUE(scene->depthTest->enabled);
    EXPECT_TRUE(scene->cullFace->enabled);
    ASSERT_EQ(a->states.Size(), 3u);
    EXPECT_EQ(a->states[0], own);
    EXPECT_EQ(a->states[1], scene->depthTest);
    EXPECT_EQ(a->states[2], scene->cullFace);
    ASSERT_EQ(b->states.Size(), 2u);
    EXPECT_EQ(s->objects[3], scene->depthTest);
    EXPECT_EQ(s->objects[4], scene->cullFace);
    scene->SetDepthTestEnabled(false);
    scene->SetCullFaceEnabled(false);
    EXPECT_FALSE(static_cast<GenericState*>(b->states[0])->enabled);
    EXPECT_FALSE(static_cast<GenericState*>(b->states[1])->enabled);
}

TEST_F(DemoScene, NilSceneBecomesEmptyScene) {
    Demo::Scene* scene = nullptr;
    EXPECT_EQ(StdoutOf([&] { scene = Demo::Scene::New(nullptr); }),
              "Demo::Scene::Scene(): no scene, using an empty one\n");
    ASSERT_NE(scene->scene, nullptr);
    EXPECT_EQ(scene->scene->objects.Size(), 2u);
    EXPECT_EQ(StdoutOf([&] { EXPECT_EQ(scene->GetRoot(), nullptr); }),
              "Demo::Scene::GetRoot(): scene has no root\n");
    scene->SmoothAll(30.0f);
}

TEST_F(DemoScene, FindReturnsHandlesOnNodesOnly) {
    Demo::Scene* fs = Demo::Scene::CreateFS();
    fs->scene->objects[1]->id = 7;  // root
    fs->scene->objects[3]->id = 9;  // camera
    fs->scene->objects[4]->id = 9;  // mesh node, after the camera
    Demo::Node* root = fs->Find(7);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->node, static_cast<SceneNode*>(fs->scene->objects[1]));
    EXPECT_EQ(engine->objects.Last(), root);
    Demo::Node* none = root;
    EXPECT_EQ(StdoutOf([&] { none = fs->Find(9); }), "Scene::Find(9): object not found!\n");
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(StdoutOf([&] { none = fs->Find(99); }), "Scene::Find(99): object not found!\n");
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(StdoutOf([&] { fs->Smooth(99u, 30.0f); }), "");
}

TEST_F(DemoScene, GetRootIsRootOfFirstPass) {
    Demo::Scene* fs = Demo::Scene::CreateFS();
    Demo::Node* root = fs->GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->node, static_cast<::Pass*>(fs->scene->objects[0])->scene);
}

// ---------------------------------------------------------------- element conversions

TEST_F(DemoScene, GetElementConvertsEachNumericType) {
    AttributeArray bytes(AttributeArray::at_Normal, NT_Byte, 3, false);
    const int8_t b[6] = {1, 2, 3, -5, 7, 127};
    bytes.count = 2;
    bytes.data = new unsigned char[6];
    memcpy(bytes.data, b, 6);
    EXPECT_EQ(Demo::Scene::GetElement(&bytes, 1), Vec3(-5, 7, 127));

    AttributeArray shorts(AttributeArray::at_Custom0, NT_Short, 4, false);
    const int16_t s[8] = {1, 2, 3, 4, -30000, 300, 5, 6};
    shorts.count = 2;
    shorts.data = new unsigned char[16];
    memcpy(shorts.data, s, 16);
    EXPECT_EQ(Demo::Scene::GetElement(&shorts, 1), Vec3(-30000, 300, 5));

    AttributeArray ints(AttributeArray::at_Custom1, NT_Int, 3, false);
    const int32_t i[3] = {-100000, 16777217, 0};
    ints.count = 1;
    ints.data = new unsigned char[12];
    memcpy(ints.data, i, 12);
    EXPECT_EQ(Demo::Scene::GetElement(&ints, 0), Vec3(-100000.0f, 16777216.0f, 0.0f));

    AttributeArray floats(AttributeArray::at_TexCoord, NT_Float, 2, false);
    const float f[4] = {0.25f, -0.5f, 1.5f, 2.5f};
    floats.count = 2;
    floats.data = new unsigned char[16];
    memcpy(floats.data, f, 16);
    EXPECT_EQ(Demo::Scene::GetElement(&floats, 1), Vec3(1.5f, 2.5f, 0.0f));

    AttributeArray doubles(AttributeArray::at_Custom2, NT_Double, 3, false);
    doubles.count = 1;
    doubles.data = new unsigned char[24];
    const double d[3] = {1, 2, 3};
    memcpy(doubles.data, d, 24);
    EXPECT_EQ(Demo::Scene::GetElement(&doubles, 0), Vec3(0, 0, 0));
}

TEST_F(DemoScene, SetElementTruncatesAndKeepsLowBits) {
    AttributeArray bytes(AttributeArray::at_Normal, NT_Byte, 3, false);
    bytes.count = 1;
    bytes.data = new unsigned char[3]();
    Demo::Scene::SetElement(&bytes, 0, Vec3(300.7f, -1.9f, 63.5f));
    EXPECT_EQ(bytes.data[0], 300 & 0xFF);
    EXPECT_EQ(int8_t(bytes.data[1]), -1);
    EXPECT_EQ(bytes.data[2], 63);

    AttributeArray shorts(AttributeArray::at_Normal, NT_Short, 3, false);
    shorts.count = 1;
    shorts.data = new unsigned char[6]();
    Demo::Scene::SetElement(&shorts, 0, Vec3(70000.0f, -2.5f, NAN));
    int16_t s[3];
    memcpy(s, shorts.data, 6);
    EXPECT_EQ(uint16_t(s[0]), 70000 & 0xFFFF);
    EXPECT_EQ(s[1], -2);
    EXPECT_EQ(s[2], 0);  // the low bits of -2^31

    AttributeArray ints(AttributeArray::at_Normal, NT_Int, 3, false);
    ints.count = 1;
    ints.data = new unsigned char[12]();
    Demo::Scene::SetElement(&ints, 0, Vec3(-7.99f, 1e20f, 2147483520.0f));
    int32_t i[3];
    memcpy(i, ints.data, 12);
    EXPECT_EQ(i[0], -7);
    EXPECT_EQ(i[1], INT32_MIN);
    EXPECT_EQ(i[2], 2147483520);

    AttributeArray floats(AttributeArray::at_Normal, NT_Float, 2, false);
    floats.count = 1;
    floats.data = new unsigned char[8]();
    Demo::Scene::SetElement(&floats, 0, Vec3(0.1f, -0.2f, 9.0f));
    float f[2];
    memcpy(f, floats.data, 8);
    EXPECT_EQ(f[0], 0.1f);
    EXPECT_EQ(f[1], -0.2f);
}

TEST_F(DemoScene, ElementsOutsideTheArrayAreNeitherReadNorWritten) {
    AttributeArray floats(AttributeArray::at_Normal, NT_Float, 3, false);
    floats.count = 2;
    floats.data = new unsigned char[24];
    memset(floats.data, 0x11, 24);
    EXPECT_EQ(Demo::Scene::GetElement(&floats, 2), Vec3(0, 0, 0));
    Demo::Scene::SetElement(&floats, 2, Vec3(1, 2, 3));
    Demo::Scene::SetElement(&floats, 0xFFFFFFFFu, Vec3(1, 2, 3));
    EXPECT_EQ(Bytes(&floats), std::vector<unsigned char>(24, 0x11));
    // A stride too small for the components cannot hold the last element.
    floats.stride = 8;
    EXPECT_EQ(Demo::Scene::GetElement(&floats, 1), Vec3(0, 0, 0));
    AttributeArray empty(AttributeArray::at_Normal, NT_Float, 3, false);
    empty.count = 5;
    EXPECT_EQ(Demo::Scene::GetElement(&empty, 0), Vec3(0, 0, 0));
    Demo::Scene::SetElement(&empty, 0, Vec3(1, 2, 3));
    EXPECT_EQ(Demo::Scene::GetElement(nullptr, 0), Vec3(0, 0, 0));
}

// ---------------------------------------------------------------- smoothing

TEST_F(DemoScene, CubeCornersStayFlatAtThirtyDegrees) {
    std::vector<Vec3> p, n;
    Cube(&p, &n);
    ::Scene* s = new ::Scene();
    Mesh* mesh = MakeMesh(p, n);
    s->objects.Add(mesh);
    Demo::Scene* scene = Demo::Scene::New(s);
    scene->SmoothAll(30.0f);
    EXPECT_EQ(NormalsOf(mesh), n);
}

TEST_F(DemoScene, CubeCornersShareMeanAtHundredDegrees) {
    std::vector<Vec3> p, n;
    Cube(&p, &n);
    ::Scene* s = new ::Scene();
    Mesh* mesh = MakeMesh(p, n);
    s->objects.Add(mesh);
    Demo::Scene* scene = Demo::Scene::New(s);
    scene->SmoothAll(100.0f);
    std::vector<Vec3> smoothed = NormalsOf(mesh);
    const float third = 1.0f / 3.0f;
    for (size_t v = 0; v < p.size(); ++v)
        EXPECT_EQ(smoothed[v], Vec3(p[v].x * third, p[v].y * third, p[v].z * third)) << v;
}

TEST_F(DemoScene, ByteNormalsAreTruncatedMeans) {
    Mesh* mesh = MakeMesh({Vec3(1, 2, 3), Vec3(1, 2, 3)}, {Vec3(127, 0, 0), Vec3(0, 127, 0)},
                          NT_Byte);
    ::Scene* s = new ::Scene();
    s->objects.Add(mesh);
    Demo::Scene::New(s)->SmoothAll(100.0f);
    EXPECT_EQ(NormalsOf(mesh), (std::vector<Vec3>{Vec3(63, 63, 0), Vec3(63, 63, 0)}));
}

TEST_F(DemoScene, OneGroupSplitsIntoTwoClusters) {
    const Vec3 a(1, 0, 0), a2(0.8f, 0.6f, 0), b(0, 0, 1), b2(0, 0.6f, 0.8f);
    const Vec3 spot(5, 5, 5);
    Mesh* mesh = MakeMesh({spot, spot, spot, spot, Vec3(9, 9, 9)}, {a, a2, b, b2, a2});
    ::Scene* s = new ::Scene();
    s->objects.Add(mesh);
    Demo::Scene::New(s)->SmoothAll(40.0f);
    std::vector<Vec3> out = NormalsOf(mesh);
    for (int v : {0, 1}) {
        EXPECT_FLOAT_EQ(out[v].x, 0.9f);
        EXPECT_FLOAT_EQ(out[v].y, 0.3f);
        EXPECT_EQ(out[v].z, 0.0f);
    }
    for (int v : {2, 3}) {
        EXPECT_EQ(out[v].x, 0.0f);
        EXPECT_FLOAT_EQ(out[v].y, 0.3f);
        EXPECT_FLOAT_EQ(out[v].z, 0.9f);
    }
    // Alone at its position: unchanged.
    EXPECT_EQ(out[4], a2);
}

TEST_F(DemoScene, OddOneOutKeepsItsNormal) {
    const Vec3 spot(0, 1, 0);
    // Two agree, the third is far from both: the pair is smoothed, and the
    // group ends when only the third is left.
    Mesh* mesh = MakeMesh({spot, spot, spot}, {Vec3(0, 0, -1), Vec3(1, 0, 0), Vec3(0.8f, 0.6f, 0)});
    ::Scene* s = new ::Scene();
    s->objects.Add(mesh);
    Demo::Scene::New(s)->SmoothAll(45.0f);
    std::vector<Vec3> out = NormalsOf(mesh);
    EXPECT_EQ(out[0], Vec3(0, 0, -1));
    EXPECT_FLOAT_EQ(out[1].x, 0.9f);
    EXPECT_FLOAT_EQ(out[2].y, 0.3f);
}

TEST_F(DemoScene, MeshWithoutNormalsIsReported) {
    AttributeArray* arrays = new AttributeArray[1];
    arrays[0] = AttributeArray(AttributeArray::at_Location, NT_Float, 3, false);
    Mesh* mesh = new Mesh();
    mesh->SetVertexArrays(arrays, 1);
    ::Scene* s = new ::Scene();
    s->objects.Add(mesh);
    Demo::Scene* scene = Demo::Scene::New(s);
    char expected[128];
    snprintf(expected, sizeof(expected),
             "Warning: mesh %p doesn't have AT_LOCATION and AT_NORMAL\n",
             static_cast<void*>(mesh));
    EXPECT_EQ(StdoutOf([&] { scene->SmoothAll(30.0f); }), expected);
}

TEST_F(DemoScene, NilNodeAndMeshAreReported) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    EXPECT_EQ(StdoutOf([&] { scene->Smooth(static_cast<Demo::Node*>(nullptr), 30.0f); }),
              "Demo::Scene::Smooth(): no node\n");
    EXPECT_EQ(StdoutOf([&] { scene->Smooth(static_cast<SceneNode*>(nullptr), 30.0f); }),
              "Demo::Scene::Smooth(): no node\n");
    EXPECT_EQ(StdoutOf([&] { scene->Smooth(static_cast<Mesh*>(nullptr), 30.0f); }),
              "Demo::Scene::Smooth(): no mesh\n");
}

TEST_F(DemoScene, ShortNormalArraySmoothsOnlyWhatExists) {
    const Vec3 spot(1, 1, 1);
    Mesh* mesh = MakeMesh({spot, spot, spot}, {Vec3(1, 0, 0), Vec3(0, 1, 0)});
    char expected[160];
    snprintf(expected, sizeof(expected),
             "Demo::Scene::Smooth(): mesh %p has 3 positions but 2 normals, smoothing 2\n",
             static_cast<void*>(mesh));
    Demo::Scene* scene = Demo::Scene::CreateFS();
    EXPECT_EQ(StdoutOf([&] { scene->Smooth(mesh, 100.0f); }), expected);
    EXPECT_EQ(NormalsOf(mesh), (std::vector<Vec3>{Vec3(0.5f, 0.5f, 0), Vec3(0.5f, 0.5f, 0)}));
    delete mesh;
}

TEST_F(DemoScene, HugeGroupIsReportedAndLeftAlone) {
    std::vector<Vec3> p(1025, Vec3(2, 2, 2)), n;
    for (unsigned int v = 0; v < p.size(); ++v) n.push_back(Vec3(1, float(v % 3), 0));
    Mesh* mesh = MakeMesh(p, n);
    Demo::Scene* scene = Demo::Scene::CreateFS();
    EXPECT_EQ(StdoutOf([&] { scene->Smooth(mesh, 100.0f); }),
              "Demo::Scene::Smooth(): 1025 vertices share one position, more than 1024: left "
              "unsmoothed\n");
    EXPECT_EQ(NormalsOf(mesh), n);
    delete mesh;
}

TEST_F(DemoScene, NodeSmoothingReachesChildrenAndSkipsOtherIds) {
    const Vec3 spot(1, 0, 0);
    ::Scene* s = new ::Scene();
    SceneNode* top = new SceneNode();
    SceneNode* child = new SceneNode();
    top->Attach(child);
    Mesh* own = MakeMesh({spot, spot}, {Vec3(1, 0, 0), Vec3(0, 1, 0)});
    Mesh* below = MakeMesh({spot, spot}, {Vec3(0, 0, 1), Vec3(0, 1, 0)});
    Mesh* elsewhere = MakeMesh({spot, spot}, {Vec3(1, 0, 0), Vec3(0, 0, 1)});
    top->Attach(own);
    child->Attach(below);
    top->id = 3;
    elsewhere->id = 4;
    for (SceneObject* o : std::vector<SceneObject*>{top, child, own, below, elsewhere})
        s->objects.Add(o);
    Demo::Scene* scene = Demo::Scene::New(s);
    Demo::Node handle(child);
    scene->Smooth(&handle, 100.0f);
    EXPECT_EQ(NormalsOf(below)[1], Vec3(0, 0.5f, 0.5f));
    EXPECT_EQ(NormalsOf(own)[0], Vec3(1, 0, 0));
    scene->Smooth(4u, 100.0f);  // a mesh, not a node: nothing
    EXPECT_EQ(NormalsOf(elsewhere)[0], Vec3(1, 0, 0));
    scene->Smooth(3u, 100.0f);
    EXPECT_EQ(NormalsOf(own)[0], Vec3(0.5f, 0.5f, 0));
    EXPECT_EQ(NormalsOf(elsewhere)[1], Vec3(0, 0, 1));
}

TEST_F(DemoScene, SmoothAllTakesPlainMeshesOnly) {
    const Vec3 spot(0, 0, 0);
    ::Scene* s = new ::Scene();
    Mesh* mesh = MakeMesh({spot, spot}, {Vec3(1, 0, 0), Vec3(0, 1, 0)});
    s->objects.Add(new Camera());
    s->objects.Add(mesh);
    Demo::Scene::New(s)->SmoothAll(100.0f);
    EXPECT_EQ(NormalsOf(mesh)[1], Vec3(0.5f, 0.5f, 0));
}

// ---------------------------------------------------------------- grouping order

TEST(SmoothGrouping, EverySmallSequenceMatchesTheScan) {
    const Vec3 spots[3] = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)};
    Vector<unsigned int> members, ends;
    for (unsigned int length = 0; length <= 8; ++length) {
        unsigned int combos = 1;
        for (unsigned int i = 0; i < length; ++i) combos *= 3;
        for (unsigned int code = 0; code < combos; ++code) {
            std::vector<Vec3> p;
            for (unsigned int i = 0, c = code; i < length; ++i, c /= 3) p.push_back(spots[c % 3]);
            Demo::Scene::GroupEqualPositions(p.data(), length, &members, &ends);
            ASSERT_EQ(Split(members, ends), ReferenceGroups(p)) << "length " << length << " code "
                                                                << code;
        }
    }
}

TEST(SmoothGrouping, RandomMeshesMatchTheScan) {
    std::mt19937 rng(1234);
    Vector<unsigned int> members, ends;
    for (unsigned int round = 0; round < 40; ++round) {
        std::vector<Vec3> p, n;
        unsigned int count = 50 + round * 60;
        RandomMesh(&rng, count, 3 + round * 2, &p, &n);
        Demo::Scene::GroupEqualPositions(p.data(), count, &members, &ends);
        ASSERT_EQ(Split(members, ends), ReferenceGroups(p)) << "round " << round;
    }
}

TEST(SmoothGrouping, ZerosOfEitherSignMatchAndNaNMatchesNothing) {
    std::vector<Vec3> p = {Vec3(0.0f, 1, 2), Vec3(NAN, 1, 2), Vec3(-0.0f, 1, 2), Vec3(NAN, 1, 2)};
    Vector<unsigned int> members, ends;
    Demo::Scene::GroupEqualPositions(p.data(), 4, &members, &ends);
    std::vector<std::vector<unsigned int>> expected = {{0, 2}, {1}, {3}};
    EXPECT_EQ(Split(members, ends), expected);
}

TEST_F(DemoScene, SmoothingMatchesTheProcedureOnRandomMeshes) {
    std::mt19937 rng(99);
    for (unsigned int round = 0; round < 30; ++round) {
        std::vector<Vec3> p, n;
        unsigned int count = 40 + round * 50;
        RandomMesh(&rng, count, 2 + 2 * round, &p, &n);
        NumericType type = round % 3 == 0 ? NT_Byte : (round % 3 == 1 ? NT_Short : NT_Float);
        if (type == NT_Byte)
            for (Vec3& v : n) v = v * 1.2f;
        Mesh* fast = MakeMesh(p, n, type);
        Mesh* reference = MakeMesh(p, n, type);
        Mesh* original = MakeMesh(p, n, type);
        float angle = 20.0f + float(round % 5) * 25.0f;
        Demo::Scene* scene = Demo::Scene::CreateFS();
        scene->Smooth(fast, angle);
        ReferenceSmooth(reference, angle);
        EXPECT_EQ(Bytes(fast->GetVertexArray(1)), Bytes(reference->GetVertexArray(1)))
            << "round " << round;
        EXPECT_NE(Bytes(fast->GetVertexArray(1)), Bytes(original->GetVertexArray(1)))
            << "round " << round << " smoothed nothing";
        delete original;
        delete fast;
        delete reference;
    }
}

TEST_F(DemoScene, TwoHundredThousandVerticesShareTheirMeans) {
    // 50,000 positions with four vertices each, in scrambled order; the four
    // normals lie within 30 degrees of each other, so each position's
    // vertices end up with the same mean.
    const unsigned int spots = 50000, count = spots * 4;
    std::mt19937 rng(7);
    std::vector<unsigned int> order(count);
    for (unsigned int v = 0; v < count; ++v) order[v] = v;
    std::shuffle(order.begin(), order.end(), rng);
    std::uniform_real_distribution<float> tilt(-0.1f, 0.1f);
    std::vector<Vec3> p(count), n(count), expected(spots, Vec3(0, 0, 0));
    for (unsigned int k = 0; k < count; ++k) {
        unsigned int spot = k / 4;
        unsigned int v = order[k];
        p[v] = Vec3(float(spot % 400), float(spot / 400), 1.0f);
        n[v] = Vec3(tilt(rng), tilt(rng), 1.0f);
        expected[spot] += n[v] * 0.25f;
    }
    Mesh* mesh = MakeMesh(p, n);
    Demo::Scene* scene = Demo::Scene::CreateFS();
    scene->Smooth(mesh, 30.0f);
    std::vector<Vec3> out = NormalsOf(mesh);
    for (unsigned int k = 0; k < count; ++k) {
        const Vec3& want = expected[k / 4];
        const Vec3& got = out[order[k]];
        ASSERT_NEAR(got.x, want.x, 1e-6f) << k;
        ASSERT_NEAR(got.y, want.y, 1e-6f) << k;
        ASSERT_NEAR(got.z, want.z, 1e-6f) << k;
    }
    delete mesh;
}
