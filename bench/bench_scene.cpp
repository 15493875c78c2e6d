// Cost per node of one scene manager frame on a 10,000-node tree of four
// levels (1 + 9 + 90 + 9,900 nodes): static, with the root moving (every
// world transform recomputed), and with three animations bound to every node
// below the root.
#include <benchmark/benchmark.h>

#include <cmath>
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

}  // namespace

BENCHMARK_MAIN();
