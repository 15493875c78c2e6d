// Cost per node of one scene manager frame on a 10,000-node tree of four
// levels (1 + 9 + 90 + 9,900 nodes): static, with the root moving (every
// world transform recomputed), and with three animations bound to every node
// below the root. Each case has a yardstick: a hand-written loop over flat
// arrays doing the same matrix work, the same keyframe evaluation and the
// same inherit-and-deduplicate queue filling, for a tree it knows in advance.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/SceneManager.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "engine/Texture2D.h"
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"

namespace {

const int kLevel1 = 9;
const int kLevel2 = 10;   // per level-1 node
const int kLevel3 = 110;  // per level-2 node
const int kNodes = 1 + kLevel1 + kLevel1 * kLevel2 + kLevel1 * kLevel2 * kLevel3;
const float kFrameMs = 1000.0f / 60.0f;

Animation* MakeAnimation(unsigned int components, unsigned int interpolation, float phase) {
    KeyframeSequence* sequence = new KeyframeSequence(components);
    float values[4];
    for (int k = 0; k < 4; ++k) {
        for (unsigned int c = 0; c < components; ++c) values[c] = phase + float(k * 3 + c) * 0.1f;
        if (components == 4) {
            // A turn about Y in four steps, as unit quaternions.
            float angle = 0.4f * float(k) + phase;
            values[0] = 0.0f;
            values[1] = std::sin(angle);
            values[2] = 0.0f;
            values[3] = std::cos(angle);
        }
        sequence->AddKey(1000.0f * float(k), values);
    }
    sequence->duration = 4000.0f;
    Animation* animation = new Animation();
    animation->sequence = sequence;
    animation->interpolation = interpolation;
    animation->repeatMode = Animation::RM_LOOP;
    return animation;
}

// The scene of one benchmark: a tree with meshes on every node and states
// spread over the levels as effects and scene files place them.
struct BenchScene {
    explicit BenchScene(bool animated)
        : depth(4, true), cull(1, true), uniform("Vomra_un_Level"), uniformState(&uniform) {
        uniform.SetValue(0.5f);
        root.Attach(&program);
        root.Attach(&depth);
        root.Attach(&cull);
        for (int i = 0; i < 2; ++i) {
            textures[i].reset(new Texture2D());
            textureStates[i].reset(new TextureState(textures[i].get(), 0));
            samplerStates[i].reset(new TextureSamplerState(textures[i].get(), 0));
        }
        blends[1].srcRGB = BlendState::BF_SRC_ALPHA;
        for (int a = 0; a < kLevel1; ++a) {
            SceneNode* n1 = Add(&root, animated, a);
            n1->Attach(textureStates[a % 2].get());
            n1->Attach(samplerStates[a % 2].get());
            n1->Attach(&uniformState);
            for (int b = 0; b < kLevel2; ++b) {
                SceneNode* n2 = Add(n1, animated, b);
                n2->Attach(&blends[b % 2]);
                for (int c = 0; c < kLevel3; ++c) Add(n2, animated, c);
            }
        }
        pass.reset(new Pass(&root));
        technique.passes.Add(pass.get());
    }

    SceneNode* Add(SceneNode* parent, bool animated, int index) {
        nodes.emplace_back(
            new SceneNode(Vec3(float(index), 0.0f, 0.0f), Quat(0, 0, 0, 1), parent, &mesh));
        SceneNode* node = nodes.back().get();
        if (animated) {
            float phase = 0.01f * float(nodes.size() % 97);
            animations.emplace_back(MakeAnimation(3, Animation::IM_LINEAR, phase));
            node->BindProperty(Actor::P_Location, animations.back().get());
            animations.emplace_back(MakeAnimation(4, Animation::IM_SLERP, phase));
            node->BindProperty(Actor::P_Rotation, animations.back().get());
            animations.emplace_back(MakeAnimation(3, Animation::IM_SPLINE, 1.0f + phase));
            node->BindProperty(Actor::P_Scale, animations.back().get());
        }
        return node;
    }

    Mesh mesh;
    ProgramState program;
    GenericState depth, cull;
    std::unique_ptr<Texture2D> textures[2];
    std::unique_ptr<TextureState> textureStates[2];
    std::unique_ptr<TextureSamplerState> samplerStates[2];
    BlendState blends[2];
    Uniform uniform;
    UniformState uniformState;
    SceneNode root;
    std::vector<std::unique_ptr<SceneNode>> nodes;
    std::vector<std::unique_ptr<Animation>> animations;
    std::unique_ptr<Pass> pass;
    Technique technique;
};

// dirtyRoot: the root moves every frame, so every world transform is
// recomputed even without animations.
void RunFrames(benchmark::State& state, bool animated, bool dirtyRoot) {
    BenchScene scene(animated);
    SceneManager manager;
    float time = kFrameMs;
    manager.Update(&scene.technique, time);  // grows the queue to its working size
    for (auto _ : state) {
        time += kFrameMs;
        if (dirtyRoot) {
            scene.root.transform.translation.x = time * 1e-3f;
            scene.root.dirty = true;
        }
        manager.Update(&scene.technique, time);
        benchmark::DoNotOptimize(scene.pass->queue.states.Data());
    }
    state.counters["nodes"] = kNodes;
    state.counters["queued"] = scene.pass->queue.states.Size();
    // Seconds per node, shown with an SI prefix (n = nanoseconds).
    state.counters["per_node"] = benchmark::Counter(
        double(kNodes), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SceneManagerUpdate_Static(benchmark::State& state) { RunFrames(state, false, false); }
void BM_SceneManagerUpdate_MovingRoot(benchmark::State& state) { RunFrames(state, false, true); }
void BM_SceneManagerUpdate_Animated(benchmark::State& state) { RunFrames(state, true, false); }

BENCHMARK(BM_SceneManagerUpdate_Static)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SceneManagerUpdate_MovingRoot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SceneManagerUpdate_Animated)->Unit(benchmark::kMicrosecond);

// The yardstick. Nodes sit in depth-first order (a parent before its
// children) in structure-of-arrays form; keys are the same four per
// animation at 0, 1000, 2000 and 3000 ms over a 4000 ms loop. The queue part
// inherits each state type from the parent, emits what differs from the last
// emitted state of that type, then the node's uniform and its geometry.
enum FlatState { FS_Program, FS_Depth, FS_Cull, FS_Texture, FS_Sampler, FS_Blend, FS_Count };

struct FlatScene {
    explicit FlatScene(bool animated_) : animated(animated_) {
        parent.push_back(-1);
        ownUniform.push_back(0);
        std::vector<int> rootStates = {1, 1, 1, 0, 0, 0};
        own.insert(own.end(), rootStates.begin(), rootStates.end());
        translation.insert(translation.end(), {0.0f, 0.0f, 0.0f});
        quat.insert(quat.end(), {0.0f, 0.0f, 0.0f, 1.0f});
        scale.insert(scale.end(), {1.0f, 1.0f, 1.0f});
        AddKeys(0.0f);  // the root is not animated; its keys keep the arrays aligned
        int count = 1;
        for (int a = 0; a < kLevel1; ++a) {
            int n1 = Add(0, a, &count);
            own[n1 * FS_Count + FS_Texture] = 1 + a % 2;
            own[n1 * FS_Count + FS_Sampler] = 1 + a % 2;
            ownUniform[n1] = 1;
            for (int b = 0; b < kLevel2; ++b) {
                int n2 = Add(n1, b, &count);
                own[n2 * FS_Count + FS_Blend] = 1 + b % 2;
                for (int c = 0; c < kLevel3; ++c) Add(n2, c, &count);
            }
        }
        size_t n = parent.size();
        rotation.assign(n * 9, 0.0f);
        for (size_t i = 0; i < n; ++i) {
            Mat3 r;
            const float* q = &quat[i * 4];
            r.LoadFromQuaternion(Quat(q[0], q[1], q[2], q[3]));
            std::copy(r.m, r.m + 9, &rotation[i * 9]);
        }
        world.assign(n * 16, 0.0f);
        prevWorld.assign(n * 16, 0.0f);
        normal.assign(n * 9, 0.0f);
        dirty.assign(n, 1);
        effective.assign(n * FS_Count, 0);
        queue.reserve(n * 4);
    }

    int Add(int parentIndex, int index, int* count) {
        int i = (*count)++;
        parent.push_back(parentIndex);
        ownUniform.push_back(0);
        own.insert(own.end(), FS_Count, 0);
        translation.insert(translation.end(), {float(index), 0.0f, 0.0f});
        quat.insert(quat.end(), {0.0f, 0.0f, 0.0f, 1.0f});
        scale.insert(scale.end(), {1.0f, 1.0f, 1.0f});
        // The same phase as BenchScene::Add gives node i (the size of its list then).
        AddKeys(0.01f * float(i % 97));
        return i;
    }

    // Values as MakeAnimation writes them.
    void AddKeys(float phase) {
        for (int k = 0; k < 4; ++k) {
            for (int c = 0; c < 3; ++c) locationKeys.push_back(phase + float(k * 3 + c) * 0.1f);
            float angle = 0.4f * float(k) + phase;
            rotationKeys.insert(rotationKeys.end(), {0.0f, std::sin(angle), 0.0f, std::cos(angle)});
            for (int c = 0; c < 3; ++c) scaleKeys.push_back(1.0f + phase + float(k * 3 + c) * 0.1f);
        }
    }

    bool animated;
    std::vector<int> parent;
    std::vector<float> translation, quat, scale, rotation;  // 3, 4, 3, 9 per node
    std::vector<float> locationKeys, rotationKeys, scaleKeys;  // 4 keys of 3, 4, 3
    std::vector<float> world, prevWorld, normal;  // 16, 16, 9 per node
    std::vector<unsigned char> dirty;
    std::vector<int> own, effective;  // FS_Count per node; 0 = none
    std::vector<unsigned char> ownUniform;
    std::vector<int> queue;  // emitted entries: state codes, then -1 - node for geometry
};

const float kKeyTimes[4] = {0.0f, 1000.0f, 2000.0f, 3000.0f};
const float kLoop = 4000.0f;

float TimeDiff(float a, float b) { return a <= b ? b - a : b + (kLoop - a); }

// Segment of the looped time: key k, the next key, its length and the position in it.
void Segment(float time, int* k, int* k1, float* d, float* s) {
    float t = std::fmod(time, kLoop);
    if (t < 0.0f) t += kLoop;
    if (t >= kLoop) t = 0.0f;
    int i = 0;
    while (i + 1 < 4 && !(kKeyTimes[i + 1] > t)) ++i;
    *k = i;
    *k1 = (i + 1) % 4;
    *d = TimeDiff(kKeyTimes[i], kKeyTimes[*k1]);
    *s = *d == 0.0f ? 0.0f : TimeDiff(kKeyTimes[i], t) / *d;
}

Quat Inverse(const Quat& q) {
    float lengthSquared = q.LengthSquared();
    if (lengthSquared == 0.0f) return Quat::ZERO;
    return q.Conjugate() / lengthSquared;
}

// Each of the three animations maps the time and finds its segment itself,
// as separate animations do.
void EvaluateKeys(FlatScene* f, int i, float time) {
    int k, k1;
    float d, s;
    // Slerp on the rotation: q0 * exp(s * log(q0^-1 * q1)).
    Segment(time, &k, &k1, &d, &s);
    const float* r0 = &f->rotationKeys[size_t(i) * 16 + size_t(k) * 4];
    const float* r1 = &f->rotationKeys[size_t(i) * 16 + size_t(k1) * 4];
    Quat q0(r0[0], r0[1], r0[2], r0[3]), q1(r1[0], r1[1], r1[2], r1[3]);
    Quat q = q0 * ((Inverse(q0) * q1).Log() * s).Exp();
    float* quat = &f->quat[size_t(i) * 4];
    quat[0] = q.x;
    quat[1] = q.y;
    quat[2] = q.z;
    quat[3] = q.w;
    Mat3 r;
    r.LoadFromQuaternion(q);
    std::copy(r.m, r.m + 9, &f->rotation[size_t(i) * 9]);
    // Linear on the location.
    Segment(time, &k, &k1, &d, &s);
    const float* l0 = &f->locationKeys[size_t(i) * 12 + size_t(k) * 3];
    const float* l1 = &f->locationKeys[size_t(i) * 12 + size_t(k1) * 3];
    for (int c = 0; c < 3; ++c) f->translation[size_t(i) * 3 + c] = l0[c] + (l1[c] - l0[c]) * s;
    // Hermite spline on the scale, tangents from the neighbouring keys.
    Segment(time, &k, &k1, &d, &s);
    int km = (k + 3) % 4, k2 = (k + 2) % 4;
    float f0 = 2.0f * d / TimeDiff(kKeyTimes[km], kKeyTimes[k1]);
    float f1 = 2.0f * d / TimeDiff(kKeyTimes[k], kKeyTimes[k2]);
    const float* keys = &f->scaleKeys[size_t(i) * 12];
    float S[4] = {s * s * s, s * s, s, 1.0f};
    static const float H[4][4] = {
        {2.0f, -2.0f, 1.0f, 1.0f}, {-3.0f, 3.0f, -2.0f, -1.0f}, {0.0f, 0.0f, 1.0f, 0.0f},
        {1.0f, 0.0f, 0.0f, 0.0f}};
    for (int c = 0; c < 3; ++c) {
        float vm = keys[km * 3 + c], v0 = keys[k * 3 + c], v1 = keys[k1 * 3 + c],
              v2 = keys[k2 * 3 + c];
        float G[4] = {v0, v1, 0.5f * (v1 - vm) * f0, 0.5f * (v2 - v0) * f1};
        float value = 0.0f;
        for (int row = 0; row < 4; ++row)
            value += S[row] * (H[row][0] * G[0] + H[row][1] * G[1] + H[row][2] * G[2] +
                               H[row][3] * G[3]);
        f->scale[size_t(i) * 3 + c] = value;
    }
}

// world = parent world x T x R x S; the normal matrix is the inverse
// transpose of its upper 3x3; the old world is kept as the previous one.
void ComputeWorld(FlatScene* f, int i) {
    float* world = &f->world[size_t(i) * 16];
    std::copy(world, world + 16, &f->prevWorld[size_t(i) * 16]);
    const float* r = &f->rotation[size_t(i) * 9];
    const float* sc = &f->scale[size_t(i) * 3];
    const float* t = &f->translation[size_t(i) * 3];
    Mat4 local;
    for (int row = 0; row < 3; ++row) {
        local.m[row] = r[row] * sc[0];
        local.m[4 + row] = r[3 + row] * sc[1];
        local.m[8 + row] = r[6 + row] * sc[2];
        local.m[12 + row] = t[row];
    }
    local.m[3] = local.m[7] = local.m[11] = 0.0f;
    local.m[15] = 1.0f;
    Mat4 w;
    if (f->parent[size_t(i)] >= 0) {
        Mat4 parentWorld;
        std::copy(&f->world[size_t(f->parent[size_t(i)]) * 16],
                  &f->world[size_t(f->parent[size_t(i)]) * 16] + 16, parentWorld.m);
        Mat4::MatrixMultiplication(w, parentWorld, local);
    } else {
        w = local;
    }
    std::copy(w.m, w.m + 16, world);
    Mat3 n = w.GetRotation();
    n.LoadInverse();
    n.LoadTranspose();
    std::copy(n.m, n.m + 9, &f->normal[size_t(i) * 9]);
    f->dirty[size_t(i)] = 0;
}

// One frame: animate, recompute what is dirty (and everything below it),
// fill the queue.
void FlatFrame(FlatScene* f, float time) {
    const int n = int(f->parent.size());
    int applied[FS_Count];
    for (int& a : applied) a = 0;
    f->queue.clear();
    for (int i = 0; i < n; ++i) {
        int p = f->parent[size_t(i)];
        if (f->animated && i > 0) EvaluateKeys(f, i, time);
        if (f->animated && i > 0) f->dirty[size_t(i)] = 1;
        if (p >= 0 && f->dirty[size_t(p)] == 2) f->dirty[size_t(i)] = 1;
        if (f->dirty[size_t(i)]) {
            ComputeWorld(f, i);
            f->dirty[size_t(i)] = 2;  // forces the children this frame
        }
        for (int type = 0; type < FS_Count; ++type) {
            int own = f->own[size_t(i) * FS_Count + type];
            int state = own ? own : (p >= 0 ? f->effective[size_t(p) * FS_Count + type] : 0);
            f->effective[size_t(i) * FS_Count + type] = state;
            if (state != applied[type]) {
                f->queue.push_back(type * 16 + state);
                applied[type] = state;
            }
        }
        if (f->ownUniform[size_t(i)]) f->queue.push_back(FS_Count * 16);
        if (i > 0) f->queue.push_back(-1 - i);
    }
    // The forcing marks last one frame.
    for (int i = 0; i < n; ++i)
        if (f->dirty[size_t(i)] == 2) f->dirty[size_t(i)] = 0;
}

// The loop must compute what the scene manager computes: world matrices of
// one frame at time t, compared node by node.
bool SameWorlds(bool animated, bool dirtyRoot) {
    BenchScene scene(animated);
    SceneManager manager;
    FlatScene flat(animated);
    float t = 3.0f * kFrameMs;
    if (dirtyRoot) {
        scene.root.transform.translation.x = t * 1e-3f;
        flat.translation[0] = t * 1e-3f;
    }
    manager.Update(&scene.technique, t);
    FlatFrame(&flat, t);
    for (int i = 0; i < kNodes; ++i) {
        const SceneNode* node = i == 0 ? &scene.root : scene.nodes[size_t(i) - 1].get();
        for (int e = 0; e < 16; ++e) {
            float a = node->world.m[e], b = flat.world[size_t(i) * 16 + e];
            if (std::fabs(a - b) > 1e-4f * (1.0f + std::fabs(a))) {
                fprintf(stderr, "node %d element %d: %g vs %g\n", i, e, a, b);
                return false;
            }
        }
    }
    return true;
}

void RunFlatFrames(benchmark::State& state, bool animated, bool dirtyRoot) {
    if (!SameWorlds(animated, dirtyRoot)) {
        state.SkipWithError("the loop's world matrices differ from the scene manager's");
        return;
    }
    FlatScene flat(animated);
    float time = kFrameMs;
    FlatFrame(&flat, time);
    for (auto _ : state) {
        time += kFrameMs;
        if (dirtyRoot) {
            flat.translation[0] = time * 1e-3f;
            flat.dirty[0] = 1;
        }
        FlatFrame(&flat, time);
        benchmark::DoNotOptimize(flat.queue.data());
        benchmark::ClobberMemory();
    }
    state.counters["nodes"] = kNodes;
    state.counters["queued"] = double(flat.queue.size());
    state.counters["per_node"] =
        benchmark::Counter(double(kNodes), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
}

void BM_FlatLoop_Static(benchmark::State& state) { RunFlatFrames(state, false, false); }
void BM_FlatLoop_MovingRoot(benchmark::State& state) { RunFlatFrames(state, false, true); }
void BM_FlatLoop_Animated(benchmark::State& state) { RunFlatFrames(state, true, false); }

BENCHMARK(BM_FlatLoop_Static)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatLoop_MovingRoot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatLoop_Animated)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
