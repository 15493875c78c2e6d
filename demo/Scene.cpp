// Demo scenes: depth-test and culling switches, node lookup, the full-screen
// quad scene and the smoothing of normals at shared positions.
#include "demo/Scene.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "demo/Engine.h"
#include "demo/Node.h"
#include "engine/AttributeArray.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "math/Quat.h"
#include "math/Vec4.h"
#include "render/GenericState.h"

namespace Demo {

namespace {

// Clustering needs the pairwise angles of a group's normals; groups beyond
// this size occur only in degenerate files and would take minutes.
const unsigned int kMaxSmoothGroup = 1024;

// Where element i's first components lie, when the array can be read there:
// a known numeric type (8/16/32-bit signed, float) and the whole element
// inside the data.
bool Locate(const AttributeArray* array, unsigned int i, unsigned int* n, unsigned int* size,
            size_t* offset) {
    if (!array || !array->data || array->numericType > NT_Float || i >= array->count) return false;
    *n = array->components < 3 ? array->components : 3;
    *size = numericTypeSizeBytes[array->numericType];
    *offset = size_t(i) * array->components * *size;
    return *offset + size_t(*n) * *size <= size_t(array->count) * array->stride;
}

// Truncation toward zero; NaN and values outside the 32-bit range (a plain
// cast of those is undefined) give the bits of -2^31, as the CPU's own
// conversion does.
uint32_t TruncateToInt32Bits(float v) {
    if (!(v > -2147483904.0f && v < 2147483648.0f)) return 0x80000000u;
    return uint32_t(int32_t(v));
}

// Equality of positions as floats: +0 and -0 are one key; NaN never gets here.
struct PositionKey {
    uint32_t x, y, z;
    unsigned int vertex;
};

uint32_t KeyBits(float v) {
    if (v == 0.0f) return 0;
    uint32_t bits;
    memcpy(&bits, &v, 4);
    return bits;
}

bool HasNaN(const Vec3& p) { return p.x != p.x || p.y != p.y || p.z != p.z; }

}  // namespace

Scene::Scene(::Scene* scene_)
    : scene(scene_), adjustAspect(true), depthTest(nullptr), cullFace(nullptr) {
    if (!scene) {
        printf("Demo::Scene::Scene(): no scene, using an empty one\n");
        scene = new ::Scene();
    }
    depthTest = new GenericState(GenericState::GS_DepthTest, true);
    scene->objects.Add(depthTest);
    cullFace = new GenericState(GenericState::GS_CullFace, true);
    scene->objects.Add(cullFace);
    Vector<SceneObject*> passes;
    scene->FindAll(SceneObject::SOT_Pass, &passes);
    for (SceneObject* object : passes) {
        ::Pass* pass = static_cast<::Pass*>(object);
        pass->states.Add(depthTest);
        pass->states.Add(cullFace);
    }
}

Scene::~Scene() { delete scene; }

// A quad scene's meshes, nodes and states come to about 5 KB in all.
unsigned long long Scene::HeldBytes() const { return scene->convertedBytes + 8192; }

Scene* Scene::New(::Scene* scene) {
    Scene* demoScene = new Scene(scene);
    Engine::GetEngine()->Register(demoScene);
    return demoScene;
}

Scene* Scene::CreateFS() {
    // Two triangles as one strip over the unit square.
    static const float fboMeshVertices[8] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};

    ::Scene* fs = new ::Scene();
    ::Pass* pass = new ::Pass(nullptr, nullptr, nullptr, true, Vec4::ZERO, true, 1.0f, false, 0);
    fs->objects.Add(pass);

    SceneNode* root = new SceneNode(Vec3::ZERO, Quat::ZERO, nullptr, nullptr, nullptr);
    fs->objects.Add(root);
    pass->scene = root;

    SceneNode* cameraNode = new SceneNode(Vec3::ZERO, Quat::ZERO, nullptr, nullptr, nullptr);
    fs->objects.Add(cameraNode);
    root->Attach(cameraNode);
    pass->cameraNode = cameraNode;

    Camera* camera = new Camera();
    fs->objects.Add(camera);
    cameraNode->Attach(camera);
    camera->projection.LoadIdentity();
    camera->projection.LoadOrtho(0.0f, 1.0f, 0.0f, 1.0f, -1.0f, 1.0f);

    SceneNode* meshNode = new SceneNode(Vec3::ZERO, Quat::ZERO, nullptr, nullptr, nullptr);
    fs->objects.Add(meshNode);
    root->Attach(meshNode);

    AttributeArray* vertices = new AttributeArray[1];
    vertices[0] = AttributeArray(AttributeArray::at_Location, NT_Float, 2, false);
    vertices[0].stride = 8;
    vertices[0].count = 4;
    vertices[0].data = new unsigned char[sizeof(fboMeshVertices)];
    memcpy(vertices[0].data, fboMeshVertices, sizeof(fboMeshVertices));

    AttributeArray* strips = new AttributeArray[1];
    strips[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
    strips[0].stride = 4;
    strips[0].count = 1;
    strips[0].data = new unsigned char[4];
    int32_t length = 4;
    memcpy(strips[0].data, &length, 4);

    Mesh* mesh = new Mesh();
    fs->objects.Add(mesh);
    mesh->SetVertexArrays(vertices, 1);
    mesh->firstVertex = 0;
    mesh->SetTriangleArrays(strips, 1);
    mesh->UpdateBatches();
    meshNode->Attach(mesh);

    Scene* demoScene = new Scene(fs);
    // An orthographic unit square must not be turned into a perspective.
    demoScene->adjustAspect = false;
    demoScene->depthTest->enabled = false;
    demoScene->cullFace->enabled = false;
    Engine::GetEngine()->Register(demoScene);
    return demoScene;
}

void Scene::SetDepthTestEnabled(bool on) { depthTest->enabled = on; }

void Scene::SetCullFaceEnabled(bool on) { cullFace->enabled = on; }

Node* Scene::Find(unsigned int id) {
    SceneObject* object = scene->Find(id);
    if (object && object->GetObjectType() == SceneObject::SOT_SceneNode)
        return Node::New(static_cast<SceneNode*>(object));
    printf("Scene::Find(%u): object not found!\n", id);
    return nullptr;
}

Node* Scene::GetRoot() {
    Vector<SceneObject*> passes;
    scene->FindAll(SceneObject::SOT_Pass, &passes);
    if (passes.Size() == 0 || !static_cast<::Pass*>(passes[0])->scene) {
        printf("Demo::Scene::GetRoot(): scene has no root\n");
        return nullptr;
    }
    return Node::New(static_cast<::Pass*>(passes[0])->scene);
}

Vec3 Scene::GetElement(AttributeArray* array, unsigned int i) {
    Vec3 result(0.0f, 0.0f, 0.0f);
    unsigned int n, size;
    size_t offset;
    if (!Locate(array, i, &n, &size, &offset)) return result;
    const unsigned char* p = array->data + offset;
    for (unsigned int c = 0; c < n; ++c, p += size) {
        switch (array->numericType) {
            case NT_Byte:
                result[int(c)] = float(int8_t(*p));
                break;
            case NT_Short: {
                int16_t v;
                memcpy(&v, p, 2);
                result[int(c)] = float(v);
                break;
            }
            case NT_Int: {
                int32_t v;
                memcpy(&v, p, 4);
                result[int(c)] = float(v);
                break;
            }
            default: {
                float v;
                memcpy(&v, p, 4);
                result[int(c)] = v;
                break;
            }
        }
    }
    return result;
}

void Scene::SetElement(AttributeArray* array, unsigned int i, Vec3 value) {
    unsigned int n, size;
    size_t offset;
    if (!Locate(array, i, &n, &size, &offset)) return;
    unsigned char* p = array->data + offset;
    for (unsigned int c = 0; c < n; ++c, p += size) {
        float v = value[int(c)];
        if (array->numericType == NT_Float) {
            memcpy(p, &v, 4);
            continue;
        }
        // No clamping or scaling: the low bits of the truncated value.
        uint32_t bits = TruncateToInt32Bits(v);
        if (size == 1) {
            *p = uint8_t(bits);
        } else if (size == 2) {
            uint16_t low = uint16_t(bits);
            memcpy(p, &low, 2);
        } else {
            memcpy(p, &bits, 4);
        }
    }
}

// The plain scan, for reference: take remaining[cursor] as the leader, then
// sweep slots j = cursor.. ; a match joins the group and the last remaining
// vertex moves into its slot, which is examined again. Each sweep walks the
// whole rest, so the scan is quadratic. The moves it makes are reproduced
// here exactly, touching only the matches and the vertices moved into
// their slots: the matches of a leader are visited in ascending slot order
// (each slot is examined after all smaller ones), and a slot emptied by a
// match takes the last vertex, which is itself a match exactly when it sits
// at the highest slot still unvisited among the matches.
void Scene::GroupEqualPositions(const Vec3* positions, unsigned int count,
                                Vector<unsigned int>* members, Vector<unsigned int>* groupEnds) {
    members->Clear();
    groupEnds->Clear();
    if (count == 0) return;

    // Classes of equal positions; a NaN coordinate makes a class of one.
    std::vector<PositionKey> keys;
    keys.reserve(count);
    for (unsigned int v = 0; v < count; ++v) {
        if (HasNaN(positions[v])) continue;
        keys.push_back({KeyBits(positions[v].x), KeyBits(positions[v].y), KeyBits(positions[v].z), v});
    }
    std::sort(keys.begin(), keys.end(), [](const PositionKey& a, const PositionKey& b) {
        if (a.x != b.x) return a.x < b.x;
        if (a.y != b.y) return a.y < b.y;
        if (a.z != b.z) return a.z < b.z;
        return a.vertex < b.vertex;
    });
    const unsigned int kNoClass = 0xFFFFFFFFu;
    std::vector<unsigned int> classOf(count, kNoClass);
    std::vector<unsigned int> classStart;    // into classMembers
    std::vector<unsigned int> classMembers;  // vertices, class after class
    classMembers.reserve(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        if (k == 0 || keys[k].x != keys[k - 1].x || keys[k].y != keys[k - 1].y ||
            keys[k].z != keys[k - 1].z)
            classStart.push_back(unsigned(classMembers.size()));
        classOf[keys[k].vertex] = unsigned(classStart.size() - 1);
        classMembers.push_back(keys[k].vertex);
    }
    classStart.push_back(unsigned(classMembers.size()));

    std::vector<unsigned int> remaining(count);
    std::vector<unsigned int> slotOf(count);
    for (unsigned int v = 0; v < count; ++v) remaining[v] = slotOf[v] = v;
    unsigned int length = count;
    std::vector<unsigned int> slots;

    members->Reserve(count);
    for (unsigned int cursor = 0; cursor < length;) {
        unsigned int leader = remaining[cursor];
        ++cursor;
        members->Add(leader);
        unsigned int c = classOf[leader];
        slots.clear();
        if (c != kNoClass)
            for (unsigned int k = classStart[c]; k < classStart[c + 1]; ++k)
                if (classMembers[k] != leader) slots.push_back(slotOf[classMembers[k]]);
        std::sort(slots.begin(), slots.end());
        // slots[lo..hi] are the matches not yet taken, all below length.
        size_t lo = 0, hi = slots.size();
        while (lo < hi) {
            unsigned int j = slots[lo++];
            members->Add(remaining[j]);
            for (;;) {
                unsigned int last = length - 1;
                --length;
                if (last == j) break;
                if (lo < hi && slots[hi - 1] == last) {
                    // The last vertex is a match too: it is taken in slot j.
                    members->Add(remaining[last]);
                    --hi;
                    continue;
                }
                remaining[j] = remaining[last];
                slotOf[remaining[j]] = j;
                break;
            }
        }
        groupEnds->Add(members->Size());
    }
}

void Scene::ClusterGroup(const unsigned int* group, unsigned int size, const Vec3* normals,
                         float threshold, AttributeArray* normalArray) {
    if (size < 2) return;
    // Vec3::Angle is symmetric, so each pair is measured once. far[a * size
    // + b]: the normals of group members a and b are more than threshold
    // apart (a NaN angle is not).
    std::vector<unsigned char> far(size_t(size) * size, 0);
    for (unsigned int a = 0; a < size; ++a)
        for (unsigned int b = a + 1; b < size; ++b)
            if (normals[group[a]].Angle(normals[group[b]]) > threshold)
                far[size_t(a) * size + b] = far[size_t(b) * size + a] = 1;

    std::vector<unsigned int> w(size);  // W, as positions in the group
    for (unsigned int a = 0; a < size; ++a) w[a] = a;
    std::vector<unsigned int> k;
    std::vector<unsigned int> d(size);
    std::vector<unsigned char> inK(size);
    while (w.size() > 1) {
        k = w;
        for (unsigned int a : k) {
            unsigned int n = 0;
            for (unsigned int b : k) n += far[size_t(a) * size + b];
            d[a] = n;
        }
        // Drop the member that disagrees with the most others (the first in
        // K's order on ties) until all remaining agree.
        for (;;) {
            unsigned int best = 0;
            for (unsigned int i = 1; i < k.size(); ++i)
                if (d[k[i]] > d[k[best]]) best = i;
            if (d[k[best]] == 0) break;
            unsigned int dropped = k[best];
            k[best] = k.back();
            k.pop_back();
            if (k.size() == 1) return;
            for (unsigned int b : k) d[b] -= far[size_t(dropped) * size + b];
        }
        Vec3 sum(0.0f, 0.0f, 0.0f);
        for (unsigned int a : k) sum += normals[group[a]];
        Vec3 mean = sum * (1.0f / float(k.size()));
        for (unsigned int a : k) SetElement(normalArray, group[a], mean);
        for (unsigned int a = 0; a < size; ++a) inK[a] = 0;
        for (unsigned int a : k) inK[a] = 1;
        std::vector<unsigned int> rest;
        for (unsigned int a : w)
            if (!inK[a]) rest.push_back(a);
        w.swap(rest);
    }
}

void Scene::Smooth(Mesh* mesh, float angle) {
    if (!mesh) {
        printf("Demo::Scene::Smooth(): no mesh\n");
        return;
    }
    float threshold = angle * 0.017453292f;
    AttributeArray* positionArray = nullptr;
    AttributeArray* normalArray = nullptr;
    for (unsigned int i = 0; i < mesh->GetNumVertexArrays(); ++i) {
        AttributeArray* array = mesh->GetVertexArray(i);
        if (!positionArray && array->type == AttributeArray::at_Location) positionArray = array;
        if (!normalArray && array->type == AttributeArray::at_Normal) normalArray = array;
    }
    if (!positionArray || !normalArray) {
        printf("Warning: mesh %p doesn't have AT_LOCATION and AT_NORMAL\n",
               static_cast<void*>(mesh));
        return;
    }
    unsigned int count = positionArray->count;
    // Normals past the end of a shorter normal array do not exist to smooth.
    if (normalArray->count < count) {
        printf("Demo::Scene::Smooth(): mesh %p has %u positions but %u normals, smoothing %u\n",
               static_cast<void*>(mesh), count, normalArray->count, normalArray->count);
        count = normalArray->count;
    }
    std::vector<Vec3> positions(count), normals(count);
    for (unsigned int v = 0; v < count; ++v) {
        positions[v] = GetElement(positionArray, v);
        normals[v] = GetElement(normalArray, v);
    }
    Vector<unsigned int> members;
    Vector<unsigned int> groupEnds;
    GroupEqualPositions(positions.data(), count, &members, &groupEnds);
    unsigned int begin = 0;
    for (unsigned int end : groupEnds) {
        unsigned int size = end - begin;
        if (size > kMaxSmoothGroup)
            printf("Demo::Scene::Smooth(): %u vertices share one position, more than %u: left "
                   "unsmoothed\n",
                   size, kMaxSmoothGroup);
        else
            ClusterGroup(members.Data() + begin, size, normals.data(), threshold, normalArray);
        begin = end;
    }
}

void Scene::SmoothAll(float angle) {
    for (unsigned int i = 0; i < scene->objects.Size(); ++i) {
        SceneObject* object = scene->objects[i];
        if (!object || object->GetObjectType() != SceneObject::SOT_Resource) continue;
        Resource* resource = static_cast<Resource*>(object);
        if (resource->GetType() != Resource::RT_Mesh) continue;
        Mesh* mesh = dynamic_cast<Mesh*>(resource);
        if (mesh) Smooth(mesh, angle);
    }
}

void Scene::Smooth(SceneNode* node, float angle) {
    if (!node) {
        printf("Demo::Scene::Smooth(): no node\n");
        return;
    }
    // A mesh reached along several paths is smoothed once per path, as a
    // recursive walk would; the walk's budget bounds how often.
    auto smoothMeshes = [this, angle](SceneNode* reached) {
        for (unsigned int i = 0; i < reached->meshes.Size(); ++i)
            Smooth(reached->meshes[i], angle);
    };
    smoothMeshes(node);
    Vector<WalkFrame> stack(16, 16);
    bool complete = SceneNode::Walk(
        &stack, node, false,
        [&smoothMeshes](SceneNode* child, bool, bool*) {
            smoothMeshes(child);
            return true;
        },
        [](SceneNode*) {});
    if (!complete)
        printf("Demo::Scene::Smooth(): more than %u paths through the scene graph, the rest is "
               "left unsmoothed\n",
               SceneNode::VisitBudget());
}

void Scene::Smooth(Node* node, float angle) {
    if (!node) {
        printf("Demo::Scene::Smooth(): no node\n");
        return;
    }
    Smooth(node->node, angle);
}

void Scene::Smooth(unsigned int id, float angle) {
    SceneObject* object = scene->Find(id);
    if (object && object->GetObjectType() == SceneObject::SOT_SceneNode)
        Smooth(static_cast<SceneNode*>(object), angle);
}

}  // namespace Demo
