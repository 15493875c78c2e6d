// Scene manager traversal: queue output for state inheritance and hidden
// subtrees, world propagation across passes, bad state types, and frames
// that allocate nothing once warm.
#include <gtest/gtest.h>

#include "engine/Animation.h"
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
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "support/RecordingRenderer.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

static bool g_counting = false;
static unsigned long g_allocations = 0;

// Every heap allocation (operator new included) ends here while counting is on.
// AddressSanitizer owns the allocator: there only the capacity check remains.
#ifndef __SANITIZE_ADDRESS__
#define VOMRA_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* malloc(size_t n) {
    g_allocations += g_counting;
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
    g_allocations += g_counting;
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
    g_allocations += g_counting;
    return __libc_realloc(p, n);
}
}
#endif

namespace {

class SceneManagerQueue : public ::testing::Test {
protected:
    SceneManagerQueue() : pass(&root) {
        const void* objects[] = {&root, &first, &second, &b1, &b2, &pb, &p0, &p1};
        const char* names[] = {"R", "C1", "C2", "B1", "B2", "PB", "P0", "P1"};
        for (int i = 0; i < 8; ++i) rec.SetName(objects[i], names[i]);
        root.Attach(&first);
    }
    // Root with rootStates over C1 (firstStates, drawn) and C2 (drawn).
    void Build(std::initializer_list<RenderState*> rootStates,
               std::initializer_list<RenderState*> firstStates) {
        for (RenderState* s : rootStates) root.Attach(s);
        for (RenderState* s : firstStates) first.Attach(s);
        root.Attach(&second);
        first.Attach(&mesh);
        second.Attach(&mesh);
    }
    // The queue output of one update; every state stack must be balanced after it.
    std::string Run(float time = 1) {
        manager.Update(&pass, time);
        for (const Vector<RenderState*>& stack : manager.stacks) EXPECT_EQ(0u, stack.Size());
        return rec.Describe(pass.queue);
    }

    RecordingRenderer rec;
    SceneManager manager;
    Mesh mesh;
    SceneNode root, first, second;
    BlendState b1, b2, pb;
    ProgramState p0, p1;
    Pass pass;
};

using SceneManagerWorld = SceneManagerQueue;

}  // namespace

TEST_F(SceneManagerQueue, InnerStateReplacesPendingOuterAndIsRestoredAfter) {
    Build({&b1}, {&b2});
    EXPECT_EQ("Blend(B2), Geometry(C1), Blend(B1), Geometry(C2)", Run());
}

TEST_F(SceneManagerQueue, WithoutAnOuterStateTheInnerOneStaysInForce) {
    Build({}, {&b2});
    EXPECT_EQ("Blend(B2), Geometry(C1), Geometry(C2)", Run());
}

TEST_F(SceneManagerQueue, NodeWithoutMeshesContributesStatesButNoGeometry) {
    root.Attach(&mesh);
    first.Attach(&b1);
    first.Attach(&second);
    second.Attach(&mesh);
    EXPECT_EQ("Geometry(R), Blend(B1), Geometry(C2)", Run());
}

TEST_F(SceneManagerQueue, ASharedNodeIsQueuedOncePerPathWithItsStatesRestoredEachTime) {
    Build({&b1}, {&b2});
    second.Attach(&first);
    EXPECT_EQ("Blend(B2), Geometry(C1), Blend(B1), Geometry(C2), Blend(B2), Geometry(C1)", Run());
}

TEST_F(SceneManagerQueue, HiddenChildIsCulledAndNotRecomputed) {
    Build({}, {&b1});
    first.hidden = true;
    EXPECT_EQ("Geometry(C2)", Run());
    EXPECT_TRUE(first.culled);
    EXPECT_FALSE(second.culled);
    // Only dirty nodes are recomputed: not the hidden one, not the root.
    first.transform.translation = Vec3(3, 0, 0);
    second.transform.translation = Vec3(0, 7, 0);
    first.dirty = second.dirty = true;
    root.prevWorld.m[0] = 9;
    Run(2);
    EXPECT_EQ(Mat4::IDENTITY, first.world);
    EXPECT_EQ(7.0f, second.world.m[13]);
    EXPECT_EQ(9.0f, root.prevWorld.m[0]);
    first.hidden = false;
    EXPECT_EQ("Blend(B1), Geometry(C1), Geometry(C2)", Run(3));
    EXPECT_FALSE(first.culled);
    EXPECT_EQ(3.0f, first.world.m[12]);
}

TEST_F(SceneManagerQueue, HiddenRootGivesAnEmptyOutput) {
    pass.states.Add(&pb);
    root.Attach(&mesh);
    root.hidden = true;
    EXPECT_EQ("", Run());
}

TEST_F(SceneManagerQueue, StatesOfTypesOutsideTheTableAreSkippedWithAMessage) {
    Texture2D flat;
    TextureState badUnit(&flat, 0);
    badUnit.unit = 8;
    GenericState badCapability(0, true);
    badCapability.capability = 40;
    pass.states.Add(&badUnit);
    root.Attach(&badCapability);
    root.Attach(&b1);
    root.Attach(&mesh);
    CaptureFd out(1);
    EXPECT_EQ("Blend(B1), Geometry(R)", Run());
    EXPECT_EQ("SceneManager::AssignStates(): render state type 4294967295 out of range, ignored\n"
              "SceneManager::AssignStates(): render state type 4294967295 out of range, ignored\n",
              out.Stop());
}

TEST_F(SceneManagerWorld, TwoPassesSharingASceneRecomputeOnlyInTheFirst) {
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                  {{0, {0, 0, 0}}, {10, {10, 0, 0}}});
    first.Attach(&mesh);
    root.BindProperty(Actor::P_Location, location.get());
    Pass again(&root);
    again.enabled = false;  // disabled passes are updated too
    Technique technique;
    technique.passes.Add(&pass);
    technique.passes.Add(&again);
    manager.Update(&technique, 2);
    manager.Update(&technique, 4);
    // A second recomputation would have moved the first result into prevWorld.
    EXPECT_EQ(4.0f, first.world.m[12]);
    EXPECT_EQ(2.0f, first.prevWorld.m[12]);
    EXPECT_EQ("Geometry(C1)", rec.Describe(again.queue));
}

TEST_F(SceneManagerWorld, SteadyFramesAllocateNothing) {
    // Two passes; inherited states of several types, an animated pass uniform,
    // and nodes animated through every interpolation a node uses.
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_LOOP, 100,
                                  {{0, {0, 0, 0}}, {50, {1, 2, 3}}, {100, {0, 1, 0}}});
    auto rotation = MakeAnimation(4, Animation::IM_SLERP, Animation::RM_LOOP, 100,
                                  {{0, {0, 0, 0, 1}}, {50, {0, 0.7071f, 0, 0.7071f}}});
    auto scale = MakeAnimation(3, Animation::IM_SPLINE, Animation::RM_LOOP, 100,
                               {{0, {1, 1, 1}}, {30, {2, 2, 2}}, {60, {1, 3, 1}}});
    auto value = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_LOOP, 100,
                               {{0, {0}}, {100, {100}}});
    Uniform uniform("level");
    uniform.BindProperty(Actor::P_Value, value.get());
    UniformState state(&uniform);
    Texture2D texture;
    TextureState textureState(&texture, 1);
    rec.SetName(&state, "U");
    rec.SetName(&textureState, "T");
    pass.states.Add(&state);
    Build({&b1, &p0, &textureState}, {&b2, &p1});
    for (SceneNode* node : {&first, &second}) {
        node->BindProperty(Actor::P_Location, location.get());
        node->BindProperty(Actor::P_Rotation, rotation.get());
        node->BindProperty(Actor::P_Scale, scale.get());
    }
    Pass again(&root);
    Technique technique;
    technique.passes.Add(&pass);
    technique.passes.Add(&again);
    manager.Update(&technique, 1);  // grows the queues and stacks to their working size
    RenderState** statesData = pass.queue.states.Data();
    g_allocations = 0;
    g_counting = true;
    for (int frame = 2; frame < 50; ++frame) manager.Update(&technique, frame * 7.5f);
    g_counting = false;
    EXPECT_EQ(statesData, pass.queue.states.Data());
    // The frames did real work.
    EXPECT_EQ("Blend(B2), Program(P1), Texture(T), Uniform(U), Geometry(C1), Program(P0), "
              "Blend(B1), Uniform(U), Geometry(C2)",
              rec.Describe(pass.queue));
    EXPECT_FLOAT_EQ(67.5f, static_cast<float*>(uniform.data)[0]);
    EXPECT_NE(Vec3(0, 0, 0), second.transform.translation);
#ifdef VOMRA_COUNT_ALLOCATIONS
    EXPECT_EQ(0ul, g_allocations);
    g_counting = true;  // and the hook does see allocations
    Vector<int> grown(1, 1);
    for (int i = 0; i < 4; ++i) grown.Add(i);
    g_counting = false;
    EXPECT_GE(g_allocations, 4ul);
#endif
}
