// Scene manager traversal: queue contents for state inheritance and hidden
// subtrees, world propagation across passes, bad state types, and the
// allocation-free steady state of a frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

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
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "support/RecordingRenderer.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

// --- allocation counting ----------------------------------------------------
// Every heap allocation of this program goes through these replacements
// (operator new ends in malloc too); they count while counting is on. Under
// AddressSanitizer the sanitizer owns the allocator, so only the capacity
// checks below remain.
#if defined(__SANITIZE_ADDRESS__)
#define VOMRA_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOMRA_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef VOMRA_COUNT_ALLOCATIONS
#define VOMRA_COUNT_ALLOCATIONS 1
#endif

namespace {
bool g_counting = false;
unsigned long g_allocations = 0;
}  // namespace

#if VOMRA_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t n) {
    if (g_counting) ++g_allocations;
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
    if (g_counting) ++g_allocations;
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
    if (g_counting) ++g_allocations;
    return __libc_realloc(p, n);
}
}
#endif

namespace {

class SceneManagerTest : public ::testing::Test {
protected:
    SceneManagerTest() : pass(&root) {
        rec.SetName(&root, "R");
        rec.SetName(&first, "C1");
        rec.SetName(&second, "C2");
        rec.SetName(&b1, "B1");
        rec.SetName(&b2, "B2");
        rec.SetName(&pb, "PB");
        rec.SetName(&p0, "P0");
        rec.SetName(&p1, "P1");
    }
    std::string Out() { return rec.Describe(pass.queue); }
    bool StacksEmpty() const {
        for (const Vector<RenderState*>& stack : manager.stacks)
            if (stack.Size()) return false;
        return true;
    }

    RecordingRenderer rec;
    SceneManager manager;
    Mesh mesh;
    SceneNode root, first, second;
    BlendState b1, b2, pb;
    ProgramState p0, p1;
    Pass pass;
};

using SceneManagerQueue = SceneManagerTest;
using SceneManagerWorld = SceneManagerTest;
using SceneManagerBadInput = SceneManagerTest;

}  // namespace

TEST_F(SceneManagerQueue, InnerStateReplacesPendingOuterAndIsRestoredAfter) {
    root.Attach(&b1);
    root.Attach(&first);
    root.Attach(&second);
    first.Attach(&b2);
    first.Attach(&mesh);
    second.Attach(&mesh);
    manager.Update(&pass, 1);
    EXPECT_EQ("Blend(B2), Geometry(C1), Blend(B1), Geometry(C2)", Out());
    EXPECT_TRUE(StacksEmpty());
}

TEST_F(SceneManagerQueue, WithoutAnOuterStateTheInnerOneStaysInForce) {
    root.Attach(&first);
    root.Attach(&second);
    first.Attach(&b2);
    first.Attach(&mesh);
    second.Attach(&mesh);
    manager.Update(&pass, 1);
    EXPECT_EQ("Blend(B2), Geometry(C1), Geometry(C2)", Out());
}

TEST_F(SceneManagerQueue, RestoresRunInReverseOrderOfTheNodesStates) {
    root.Attach(&b1);
    root.Attach(&p0);
    root.Attach(&first);
    root.Attach(&second);
    first.Attach(&b2);
    first.Attach(&p1);
    first.Attach(&mesh);
    second.Attach(&mesh);
    manager.Update(&pass, 1);
    EXPECT_EQ("Blend(B2), Program(P1), Geometry(C1), Program(P0), Blend(B1), Geometry(C2)", Out());
}

TEST_F(SceneManagerQueue, PassStatesApplyToTheWholeScene) {
    pass.states.Add(&pb);
    root.Attach(&mesh);
    root.Attach(&first);
    first.Attach(&b1);
    first.Attach(&mesh);
    manager.Update(&pass, 1);
    EXPECT_EQ("Blend(PB), Geometry(R), Blend(B1), Geometry(C1)", Out());
    EXPECT_TRUE(StacksEmpty());
}

TEST_F(SceneManagerQueue, DepthFirstPreOrder) {
    SceneNode grandchild(Vec3(), Quat(), &first, &mesh);
    rec.SetName(&grandchild, "G");
    root.Attach(&mesh);
    root.Attach(&first);
    root.Attach(&second);
    first.Attach(&mesh);
    second.Attach(&mesh);
    manager.Update(&pass, 1);
    EXPECT_EQ("Geometry(R), Geometry(C1), Geometry(G), Geometry(C2)", Out());
}

TEST_F(SceneManagerQueue, HiddenChildIsCulledAndContributesNothing) {
    root.Attach(&first);
    root.Attach(&second);
    first.Attach(&b1);
    first.Attach(&mesh);
    second.Attach(&mesh);
    first.hidden = true;
    manager.Update(&pass, 1);
    EXPECT_EQ("Geometry(C2)", Out());
    EXPECT_TRUE(first.culled);
    EXPECT_FALSE(second.culled);
    EXPECT_FALSE(root.culled);
    // Its world matrix was not computed although it is dirty.
    first.transform.translation = Vec3(3, 0, 0);
    EXPECT_TRUE(first.dirty);
    manager.Update(&pass, 2);
    EXPECT_TRUE(first.dirty);
    EXPECT_EQ(Mat4::IDENTITY, first.world);
}

TEST_F(SceneManagerQueue, HiddenNodesChildrenKeepTheirCulledFlag) {
    SceneNode grandchild(Vec3(), Quat(), &first, &mesh);
    root.Attach(&first);
    first.hidden = true;
    grandchild.culled = false;
    manager.Update(&pass, 1);
    EXPECT_TRUE(first.culled);
    EXPECT_FALSE(grandchild.culled);
    first.hidden = false;
    manager.Update(&pass, 2);
    EXPECT_FALSE(first.culled);
}

TEST_F(SceneManagerQueue, NodeWithoutMeshesContributesStatesButNoGeometry) {
    root.Attach(&mesh);
    root.Attach(&first);
    first.Attach(&b1);
    first.Attach(&second);
    second.Attach(&mesh);
    manager.Update(&pass, 1);
    EXPECT_EQ("Geometry(R), Blend(B1), Geometry(C2)", Out());
    for (RenderState* s : pass.queue.states) EXPECT_NE(&first.geometryState, s);
}

TEST_F(SceneManagerQueue, HiddenRootGivesAnEmptyOutput) {
    pass.states.Add(&pb);
    root.Attach(&mesh);
    root.hidden = true;
    manager.Update(&pass, 1);
    EXPECT_EQ("", Out());
    EXPECT_TRUE(StacksEmpty());
    // Rendering such a pass only sets the target and matrices and clears.
    rec.SetName(&pass, "Pass");
    rec.RenderPass(&pass);
    EXPECT_EQ("SetRenderTarget(null), Projection, Clear(Pass)", rec.Joined());
}

TEST_F(SceneManagerQueue, PassWithoutSceneStillUpdatesItsStates) {
    auto value = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                               {{0, {0}}, {10, {10}}});
    float data = -1;
    Uniform uniform("level");
    uniform.SetValue(Uniform::ET_Float, 1, &data, true);
    uniform.bindings[Actor::P_Value] = value.get();
    UniformState state(&uniform);
    Pass empty;
    empty.states.Add(&state);
    manager.time = 42;
    manager.Update(&empty, 3);
    EXPECT_FLOAT_EQ(3.0f, data);
    EXPECT_EQ(0u, empty.queue.states.Size());
    EXPECT_EQ(42.0f, manager.time);
    EXPECT_EQ(&empty.queue, manager.queue);
}

TEST_F(SceneManagerQueue, EveryPassOfATechniqueIsUpdatedEnabledOrNot) {
    Pass other(&first);
    first.Attach(&mesh);
    root.Attach(&mesh);
    other.enabled = false;
    Technique technique;
    technique.passes.Add(&pass);
    technique.passes.Add(&other);
    manager.Update(&technique, 1);
    EXPECT_EQ("Geometry(R)", rec.Describe(pass.queue));
    EXPECT_EQ("Geometry(C1)", rec.Describe(other.queue));
    EXPECT_EQ(&other.queue, manager.queue);
}

TEST_F(SceneManagerQueue, SubtreeUpdateQueuesIntoTheCurrentQueue) {
    root.Attach(&b1);
    root.Attach(&mesh);
    root.Attach(&first);
    first.Attach(&mesh);
    first.Attach(&b2);
    manager.queue = &pass.queue;
    manager.Update(&root, 1, nullptr);
    EXPECT_EQ("Blend(B1), Geometry(R), Blend(B2), Geometry(C1)", Out());
    EXPECT_FALSE(root.dirty);
    EXPECT_FALSE(first.dirty);
    EXPECT_EQ(1.0f, manager.time);
    EXPECT_TRUE(StacksEmpty());
}

namespace {
// Hides itself when updated, as an animation-driven switch might.
class SelfHidingNode : public SceneNode {
public:
    void Update(float time) override {
        SceneNode::Update(time);
        hidden = true;
    }
};
}  // namespace

TEST_F(SceneManagerQueue, SubtreeThatHidesItselfDuringItsUpdateIsCulled) {
    SelfHidingNode node;
    node.Attach(&mesh);
    node.transform.translation = Vec3(1, 0, 0);
    manager.queue = &pass.queue;
    manager.Update(&node, 1, nullptr);
    EXPECT_TRUE(node.culled);
    EXPECT_EQ("", Out());
    EXPECT_EQ(1.0f, node.world.m[12]);  // the world transform was still updated
    node.culled = false;
    manager.Update(&node, 2, nullptr);
    EXPECT_FALSE(node.culled);  // already hidden: left alone
}

TEST_F(SceneManagerWorld, PropagatesFromDirtyNodesDown) {
    root.Attach(&first);
    first.Attach(&second);
    root.transform.translation = Vec3(1, 0, 0);
    first.transform.translation = Vec3(0, 2, 0);
    second.transform.translation = Vec3(0, 0, 3);
    manager.Update(&pass, 1);
    EXPECT_EQ(1.0f, second.world.m[12]);
    EXPECT_EQ(2.0f, second.world.m[13]);
    EXPECT_EQ(3.0f, second.world.m[14]);
    // Only the middle node moves: its child follows, the root is untouched.
    first.transform.translation = Vec3(0, 5, 0);
    first.dirty = true;
    root.prevWorld.m[0] = 9;  // would be overwritten if the root were recomputed
    manager.Update(&pass, 2);
    EXPECT_EQ(5.0f, second.world.m[13]);
    EXPECT_EQ(2.0f, second.prevWorld.m[13]);
    EXPECT_EQ(9.0f, root.prevWorld.m[0]);
}

TEST_F(SceneManagerWorld, TwoPassesSharingASceneRecomputeOnlyInTheFirst) {
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                  {{0, {0, 0, 0}}, {10, {10, 0, 0}}});
    root.Attach(&first);
    first.Attach(&mesh);
    root.BindProperty(Actor::P_Location, location.get());
    Pass again(&root);
    Technique technique;
    technique.passes.Add(&pass);
    technique.passes.Add(&again);
    manager.Update(&technique, 2);
    EXPECT_EQ(2.0f, first.world.m[12]);
    manager.Update(&technique, 4);
    // A second recomputation would have moved the first result into prevWorld.
    EXPECT_EQ(4.0f, first.world.m[12]);
    EXPECT_EQ(2.0f, first.prevWorld.m[12]);
    EXPECT_FALSE(root.dirty);
    EXPECT_EQ("Geometry(C1)", rec.Describe(again.queue));
}

TEST_F(SceneManagerWorld, CameraNodeOutsideTheSceneIsNotPropagated) {
    SceneNode cameraNode(Vec3(0, 0, 5));
    pass.cameraNode = &cameraNode;
    manager.Update(&pass, 1);
    EXPECT_TRUE(cameraNode.dirty);
    EXPECT_EQ(Mat4::IDENTITY, cameraNode.world);
}

TEST_F(SceneManagerWorld, LookAtTurnsMinusZTowardsThePointAndSkipsHiddenNodes) {
    root.Attach(&first);
    root.Attach(&second);
    first.SetLookAt(true, nullptr, Vec3(5, 0, 0));
    second.SetLookAt(true, nullptr, Vec3(5, 0, 0));
    second.hidden = true;
    first.dirty = false;
    manager.PropagateLookAt(&root);
    // -Z of the node now maps onto +X: the third column is -(1, 0, 0).
    const Mat3& r = first.transform.rotationMatrix;
    EXPECT_NEAR(-1.0f, r.m[6], 1e-6);
    EXPECT_NEAR(0.0f, r.m[7], 1e-6);
    EXPECT_NEAR(0.0f, r.m[8], 1e-6);
    EXPECT_NEAR(0.0f, first.transform.rotation.x, 1e-6);
    EXPECT_NEAR(std::sin(-3.14159265358979 / 4), first.transform.rotation.y, 1e-6);
    EXPECT_FALSE(first.dirty);
    EXPECT_EQ(Mat3::IDENTITY, second.transform.rotationMatrix);
    EXPECT_EQ(Mat3::IDENTITY, root.transform.rotationMatrix);  // look-at is off there
}

TEST_F(SceneManagerBadInput, StatesOfTypesOutsideTheTableAreSkippedWithAMessage) {
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
    manager.Update(&pass, 1);
    EXPECT_EQ("SceneManager::AssignStates(): render state type 4294967295 out of range, ignored\n"
              "SceneManager::AssignStates(): render state type 4294967295 out of range, ignored\n",
              out.Stop());
    EXPECT_EQ("Blend(B1), Geometry(R)", Out());
    EXPECT_TRUE(StacksEmpty());
}

TEST_F(SceneManagerBadInput, NullPassesAndTechniquesAreIgnored) {
    Technique technique;
    technique.passes.Add(nullptr);
    technique.passes.Add(&pass);
    root.Attach(&mesh);
    manager.Update(static_cast<Technique*>(nullptr), 1);
    manager.Update(&technique, 1);
    EXPECT_EQ("Geometry(R)", Out());
}

// --- allocation-free frames ------------------------------------------------

TEST(SceneManagerAllocation, SteadyFramesAllocateNothing) {
    // A tree of three levels with meshes, states of several types, uniforms
    // and three animated properties per node.
    const int kFanOut = 6;
    Mesh mesh;
    Texture2D texture;
    BlendState blend;
    ProgramState program;
    GenericState depth(4, true);
    TextureState textureState(&texture, 0);
    TextureSamplerState samplerState(&texture, 0);
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_LOOP, 100,
                                  {{0, {0, 0, 0}}, {50, {1, 2, 3}}, {100, {0, 1, 0}}});
    auto rotation = MakeAnimation(4, Animation::IM_SLERP, Animation::RM_LOOP, 100,
                                  {{0, {0, 0, 0, 1}}, {50, {0, 0.7071f, 0, 0.7071f}}});
    auto scale = MakeAnimation(3, Animation::IM_SPLINE, Animation::RM_LOOP, 100,
                               {{0, {1, 1, 1}}, {30, {2, 2, 2}}, {60, {1, 3, 1}}});
    auto value = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_LOOP, 100,
                               {{0, {0}}, {100, {1}}});
    float uniformData = 0;
    Uniform uniform("level");
    uniform.SetValue(Uniform::ET_Float, 1, &uniformData, true);
    uniform.bindings[Actor::P_Value] = value.get();
    UniformState uniformState(&uniform);

    std::vector<std::unique_ptr<SceneNode>> nodes;
    SceneNode root;
    root.Attach(&program);
    root.Attach(&depth);
    for (int i = 0; i < kFanOut; ++i) {
        nodes.emplace_back(new SceneNode(Vec3(float(i), 0, 0), Quat(), &root, &mesh));
        SceneNode* child = nodes.back().get();
        child->Attach(&textureState);
        child->Attach(&samplerState);
        child->Attach(&uniformState);
        for (int j = 0; j < kFanOut; ++j) {
            nodes.emplace_back(new SceneNode(Vec3(0, float(j), 0), Quat(), child, &mesh));
            SceneNode* leaf = nodes.back().get();
            if (j % 2) leaf->Attach(&blend);
            leaf->BindProperty(Actor::P_Location, location.get());
            leaf->BindProperty(Actor::P_Rotation, rotation.get());
            leaf->BindProperty(Actor::P_Scale, scale.get());
        }
    }
    Pass pass(&root);
    pass.states.Add(&blend);
    Pass second(&root);
    Technique technique;
    technique.passes.Add(&pass);
    technique.passes.Add(&second);
    SceneManager manager;

    // The first frames grow the queues and stacks to their working size.
    manager.Update(&technique, 1);
    manager.Update(&technique, 2);
    unsigned int statesCap = pass.queue.states.Capacity();
    RenderState** statesData = pass.queue.states.Data();
    UniformState** uniformsData = pass.queue.uniforms.Data();
    RenderState::Type* typesData = pass.queue.pendingTypes.Data();
    std::vector<RenderState**> stackData;
    for (Vector<RenderState*>& stack : manager.stacks) stackData.push_back(stack.Data());

    g_allocations = 0;
    g_counting = true;
    for (int frame = 3; frame < 50; ++frame) manager.Update(&technique, float(frame) * 7.5f);
    g_counting = false;

#if VOMRA_COUNT_ALLOCATIONS
    EXPECT_EQ(0ul, g_allocations);
#endif
    EXPECT_EQ(statesCap, pass.queue.states.Capacity());
    EXPECT_EQ(statesData, pass.queue.states.Data());
    EXPECT_EQ(uniformsData, pass.queue.uniforms.Data());
    EXPECT_EQ(typesData, pass.queue.pendingTypes.Data());
    for (unsigned int t = 0; t < RenderState::RST_Count; ++t)
        EXPECT_EQ(stackData[t], manager.stacks[t].Data()) << "stack " << t;
    // The frames did real work: every node drawn, leaves animated.
    unsigned int geometry = 0;
    for (RenderState* s : pass.queue.states)
        if (s->GetRenderStateType() == RenderState::RST_Geometry) ++geometry;
    EXPECT_EQ(unsigned(kFanOut + kFanOut * kFanOut), geometry);
    EXPECT_NE(Vec3(0, 0, 0), nodes[1]->transform.translation);
}

TEST(SceneManagerAllocation, TheCounterSeesAllocations) {
    // Guards the test above against a hook that counts nothing.
    g_allocations = 0;
    g_counting = true;
    Vector<int>* grown = new Vector<int>(1, 1);
    for (int i = 0; i < 4; ++i) grown->Add(i);
    g_counting = false;
    delete grown;
#if VOMRA_COUNT_ALLOCATIONS
    EXPECT_GE(g_allocations, 4ul);
#else
    GTEST_SKIP() << "allocation counting is off under AddressSanitizer";
#endif
}
