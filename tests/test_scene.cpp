// Scene nodes (attachment, world transforms, animation update), scenes,
// passes and techniques.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Animation.h"
#include "engine/Camera.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/UniformState.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const double kPi = 3.14159265358979323846;
const double kTolerance = 1e-5;

// Rotation by angle about a unit axis, as a quaternion.
Quat AxisAngle(double angle, double x, double y, double z) {
    double s = std::sin(angle / 2);
    return Quat(float(x * s), float(y * s), float(z * s), float(std::cos(angle / 2)));
}

// Reports its destruction, to tell which lists own their elements.
class TrackedNode : public SceneNode {
public:
    explicit TrackedNode(bool* destroyed) : destroyed(destroyed) {}
    ~TrackedNode() override { *destroyed = true; }
    bool* destroyed;
};

class TrackedPass : public Pass {
public:
    explicit TrackedPass(bool* destroyed) : destroyed(destroyed) {}
    ~TrackedPass() override { *destroyed = true; }
    bool* destroyed;
};

}  // namespace

// --- attachment -----------------------------------------------------------

TEST(SceneNodeAttach, ConstructedWithParentIsItsLastChildAndDirty) {
    SceneNode parent;
    SceneNode first(Vec3(0, 0, 0), Quat(0, 0, 0, 1), &parent);
    Mesh mesh;
    Camera camera;
    SceneNode node(Vec3(1, 2, 3), Quat(0, 0, 0, 1), &parent, &mesh, &camera);
    ASSERT_EQ(2u, parent.children.Size());
    EXPECT_EQ(&node, parent.children[1]);
    EXPECT_EQ(&parent, node.parent);
    EXPECT_TRUE(node.dirty);
    ASSERT_EQ(1u, node.meshes.Size());
    EXPECT_EQ(&mesh, node.meshes[0]);
    EXPECT_EQ(&camera, node.camera);
    EXPECT_EQ(Vec3(1, 2, 3), node.transform.translation);
    EXPECT_EQ(&node, node.geometryState.node);
}

TEST(SceneNodeAttach, SameChildTwiceIsListedTwice) {
    SceneNode parent, child;
    parent.Attach(&child);
    parent.Attach(&child);
    ASSERT_EQ(2u, parent.children.Size());
    EXPECT_EQ(&child, parent.children[0]);
    EXPECT_EQ(&child, parent.children[1]);
}

TEST(SceneNodeAttach, AttachingElsewhereLeavesTheFormerParentsList) {
    SceneNode first, second, child;
    first.Attach(&child);
    second.Attach(&child);
    EXPECT_EQ(1u, first.children.Size());
    EXPECT_EQ(1u, second.children.Size());
    EXPECT_EQ(&second, child.parent);
}

TEST(SceneNodeAttach, SetParentAttachesToTheNewParent) {
    SceneNode parent, child;
    child.dirty = false;
    child.SetParent(&parent);
    ASSERT_EQ(1u, parent.children.Size());
    EXPECT_EQ(&child, parent.children[0]);
    EXPECT_EQ(&parent, child.parent);
    EXPECT_TRUE(child.dirty);
    child.dirty = false;
    child.SetParent(nullptr);
    EXPECT_EQ(nullptr, child.parent);
    EXPECT_TRUE(child.dirty);
}

TEST(SceneNodeAttach, DetachMovesTheLastChildIntoTheSlot) {
    SceneNode parent, a, b, c;
    parent.Attach(&a);
    parent.Attach(&b);
    parent.Attach(&c);
    a.dirty = false;
    parent.Detach(&a);
    ASSERT_EQ(2u, parent.children.Size());
    EXPECT_EQ(&c, parent.children[0]);
    EXPECT_EQ(&b, parent.children[1]);
    EXPECT_EQ(nullptr, a.parent);
    EXPECT_FALSE(a.dirty);
}

TEST(SceneNodeAttach, DetachingANonChildStillClearsItsParent) {
    SceneNode owner, stranger, child;
    owner.Attach(&child);
    child.dirty = false;
    stranger.Detach(&child);
    EXPECT_EQ(nullptr, child.parent);
    EXPECT_FALSE(child.dirty);
    ASSERT_EQ(1u, owner.children.Size());
    EXPECT_EQ(&child, owner.children[0]);
}

TEST(SceneNodeAttach, MeshesAndStatesDetachByMovingTheLast) {
    SceneNode node;
    Mesh m1, m2, m3, absent;
    BlendState s1, s2;
    node.Attach(&m1);
    node.Attach(&m2);
    node.Attach(&m3);
    node.Detach(&absent);
    EXPECT_EQ(3u, node.meshes.Size());
    node.Detach(&m1);
    ASSERT_EQ(2u, node.meshes.Size());
    EXPECT_EQ(&m3, node.meshes[0]);
    EXPECT_EQ(&m2, node.meshes[1]);
    node.Attach(&s1);
    node.Attach(&s2);
    node.Detach(&s1);
    ASSERT_EQ(1u, node.states.Size());
    EXPECT_EQ(&s2, node.states[0]);
}

TEST(SceneNodeAttach, ACycleIsRefused) {
    SceneNode a, b, c;
    a.Attach(&b);
    b.Attach(&c);
    CaptureFd out(1);
    c.Attach(&a);
    a.Attach(&a);
    b.Attach(static_cast<SceneNode*>(nullptr));
    EXPECT_EQ("SceneNode::Attach(): node would become its own descendant, ignored\n"
              "SceneNode::Attach(): node would become its own descendant, ignored\n"
              "SceneNode::Attach(): null child, ignored\n",
              out.Stop());
    EXPECT_EQ(0u, c.children.Size());
    EXPECT_EQ(1u, a.children.Size());
    EXPECT_EQ(1u, b.children.Size());
    EXPECT_EQ(nullptr, a.parent);
}

TEST(SceneNodeAttach, DestroyingANodeLeavesItsChildren) {
    bool childDestroyed = false;
    TrackedNode child(&childDestroyed);
    {
        SceneNode parent;
        parent.Attach(&child);
    }
    EXPECT_FALSE(childDestroyed);
}

// --- world transforms -------------------------------------------------------

class SceneSpatialWorld : public ::testing::Test {
protected:
    // Root: translated, turned about Z, uniformly scaled. Middle: translated,
    // turned about X. Leaf: translated, non-uniform scale.
    SceneSpatialWorld()
        : root(Vec3(1, 2, 3), AxisAngle(kPi / 2, 0, 0, 1)),
          middle(Vec3(0, 4, 0), AxisAngle(kPi / 3, 1, 0, 0), &root),
          leaf(Vec3(5, 0, -1), Quat(0, 0, 0, 1), &middle) {
        root.transform.scale = Vec3(2, 2, 2);
        leaf.transform.scale = Vec3(1, 2, 3);
    }

    void UpdateAll() {
        root.UpdateWorldTransform();
        middle.UpdateWorldTransform();
        leaf.UpdateWorldTransform();
    }

    RefMat4 RootRef(double tx) const {
        return RefMul(RefMul(RefTranslate(tx, 2, 3), RefRotate(kPi / 2, 0, 0, 1)),
                      RefScale(2, 2, 2));
    }
    RefMat4 MiddleRef(double tx) const {
        return RefMul(RootRef(tx), RefMul(RefTranslate(0, 4, 0), RefRotate(kPi / 3, 1, 0, 0)));
    }
    RefMat4 LeafRef(double tx) const {
        return RefMul(MiddleRef(tx), RefMul(RefTranslate(5, 0, -1), RefScale(1, 2, 3)));
    }

    SceneNode root, middle, leaf;
};

TEST_F(SceneSpatialWorld, ThreeLevelsCompose) {
    UpdateAll();
    EXPECT_LT(MaxDiff(root.world, RootRef(1)), kTolerance);
    EXPECT_LT(MaxDiff(middle.world, MiddleRef(1)), kTolerance);
    EXPECT_LT(MaxDiff(leaf.world, LeafRef(1)), kTolerance);
    EXPECT_LT(MaxDiff(leaf.normalMatrix, RefNormalMatrix(LeafRef(1))), kTolerance);
    EXPECT_LT(MaxDiff(middle.normalMatrix, RefNormalMatrix(MiddleRef(1))), kTolerance);
    EXPECT_FALSE(leaf.dirty);
}

TEST_F(SceneSpatialWorld, FirstUpdateHasNoApparentMotion) {
    UpdateAll();
    EXPECT_EQ(leaf.world, leaf.prevWorld);
    EXPECT_EQ(root.world, root.prevWorld);
}

TEST_F(SceneSpatialWorld, SecondUpdateKeepsTheFirstResultAsPrevious) {
    UpdateAll();
    root.transform.translation.x = 7;
    UpdateAll();
    EXPECT_LT(MaxDiff(leaf.prevWorld, LeafRef(1)), kTolerance);
    EXPECT_LT(MaxDiff(leaf.world, LeafRef(7)), kTolerance);
    EXPECT_LT(MaxDiff(middle.prevWorld, MiddleRef(1)), kTolerance);
}

TEST_F(SceneSpatialWorld, UniformScaleOfTwoHalvesTheNormalMatrix) {
    root.UpdateWorldTransform();
    RefMat4 rotation = RefRotate(kPi / 2, 0, 0, 1);
    std::vector<double> expected(9);
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) expected[3 * col + row] = 0.5 * rotation.m[4 * col + row];
    EXPECT_LT(MaxDiff(root.normalMatrix, expected), kTolerance);
}

// --- animation update -------------------------------------------------------

TEST(SceneNodeUpdate, EvaluatesAtMostOncePerDistinctTime) {
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                  {{0, {0, 0, 0}}, {10, {10, 20, 30}}});
    SceneNode node;
    node.BindProperty(Actor::P_Location, location.get());
    node.dirty = false;
    node.Update(5);
    EXPECT_EQ(Vec3(5, 10, 15), node.transform.translation);
    EXPECT_TRUE(node.dirty);
    node.transform.translation = Vec3(99, 0, 0);
    node.dirty = false;
    node.Update(5);
    EXPECT_EQ(Vec3(99, 0, 0), node.transform.translation);
    EXPECT_FALSE(node.dirty);
    node.Update(6);
    EXPECT_EQ(Vec3(6, 12, 18), node.transform.translation);
}

TEST(SceneNodeUpdate, TimeZeroBeforeAnyUpdateDoesNothing) {
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                  {{0, {4, 4, 4}}, {10, {10, 20, 30}}});
    SceneNode node(Vec3(1, 1, 1));
    node.BindProperty(Actor::P_Location, location.get());
    node.Update(0);
    EXPECT_EQ(Vec3(1, 1, 1), node.transform.translation);
}

TEST(SceneNodeUpdate, RotationRebuildsItsMatrixAndScaleFollowsASpline) {
    auto rotation = MakeAnimation(4, Animation::IM_SLERP, Animation::RM_CONSTANT, 10,
                                  {{0, {0, 0, 0, 1}},
                                   {10, {0, float(std::sin(kPi / 4)), 0, float(std::cos(kPi / 4))}}});
    auto scale = MakeAnimation(3, Animation::IM_SPLINE, Animation::RM_CONSTANT, 10,
                               {{0, {1, 1, 1}}, {10, {3, 5, 7}}});
    SceneNode node;
    node.BindProperty(Actor::P_Rotation, rotation.get());
    node.BindProperty(Actor::P_Scale, scale.get());
    node.Update(5);
    // Halfway along a quarter turn about Y; the end tangents of a constant
    // spline are zero, so halfway is the mean.
    RefMat4 expected = RefRotate(kPi / 4, 0, 1, 0);
    std::vector<double> upper(9);
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) upper[3 * col + row] = expected.m[4 * col + row];
    EXPECT_LT(MaxDiff(node.transform.rotationMatrix, upper), kTolerance);
    EXPECT_NEAR(std::sin(kPi / 8), node.transform.rotation.y, kTolerance);
    EXPECT_NEAR(2.0, node.transform.scale.x, kTolerance);
    EXPECT_NEAR(3.0, node.transform.scale.y, kTolerance);
    EXPECT_NEAR(4.0, node.transform.scale.z, kTolerance);
}

TEST(SceneNodeUpdate, AnimationWithoutKeysKeepsTheValueButMarksDirty) {
    auto empty = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, {});
    SceneNode node(Vec3(1, 2, 3));
    node.BindProperty(Actor::P_Location, empty.get());
    node.dirty = false;
    node.Update(4);
    EXPECT_EQ(Vec3(1, 2, 3), node.transform.translation);
    EXPECT_TRUE(node.dirty);
}

TEST(SceneNodeUpdate, ReachesHiddenChildrenAndStates) {
    auto location = MakeAnimation(3, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                  {{0, {0, 0, 0}}, {10, {10, 0, 0}}});
    auto value = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                               {{0, {0}}, {10, {100}}});
    SceneNode root;
    SceneNode child(Vec3(0, 0, 0), Quat(0, 0, 0, 1), &root);
    SceneNode grandchild(Vec3(0, 0, 0), Quat(0, 0, 0, 1), &child);
    child.hidden = true;
    grandchild.BindProperty(Actor::P_Location, location.get());
    Uniform uniform("amount");
    uniform.BindProperty(Actor::P_Value, value.get());
    UniformState state(&uniform);
    child.Attach(&state);
    root.Update(2.5f);
    EXPECT_EQ(Vec3(2.5f, 0, 0), grandchild.transform.translation);
    ASSERT_NE(nullptr, uniform.data);
    EXPECT_FLOAT_EQ(25.0f, static_cast<float*>(uniform.data)[0]);
    EXPECT_EQ(2.5f, child.lastUpdateTime);
}

// --- scenes -----------------------------------------------------------------

TEST(SceneFind, ByIdAndType) {
    Scene scene;
    SceneNode* node = new SceneNode();
    Camera* camera = new Camera();
    Camera* other = new Camera();
    node->id = 7;
    camera->id = 7;
    other->id = 8;
    scene.objects.Add(node);
    scene.objects.Add(camera);
    scene.objects.Add(other);
    EXPECT_EQ(node, scene.Find(7));
    EXPECT_EQ(camera, scene.Find(7, SceneObject::SOT_Resource));
    EXPECT_EQ(node, scene.Find(7, SceneObject::SOT_SceneNode));
    EXPECT_EQ(nullptr, scene.Find(8, SceneObject::SOT_SceneNode));
    EXPECT_EQ(nullptr, scene.Find(9));
}

TEST(SceneFind, FindAllAppendsInListOrder) {
    Scene scene;
    SceneNode* a = new SceneNode();
    Camera* camera = new Camera();
    SceneNode* b = new SceneNode();
    scene.objects.Add(a);
    scene.objects.Add(camera);
    scene.objects.Add(b);
    SceneNode sentinel;
    Vector<SceneObject*> out;
    out.Add(&sentinel);
    scene.FindAll(SceneObject::SOT_SceneNode, &out);
    ASSERT_EQ(3u, out.Size());
    EXPECT_EQ(&sentinel, out[0]);
    EXPECT_EQ(a, out[1]);
    EXPECT_EQ(b, out[2]);
}

TEST(SceneFind, FindAllOnAnEmptySceneLeavesTheOutputAlone) {
    Scene scene;
    SceneNode sentinel;
    Vector<SceneObject*> out;
    out.Add(&sentinel);
    scene.FindAll(SceneObject::SOT_Pass, &out);
    ASSERT_EQ(1u, out.Size());
    EXPECT_EQ(&sentinel, out[0]);
}

TEST(SceneFind, DestroyingTheSceneDeletesItsObjects) {
    bool first = false, second = false;
    {
        Scene scene;
        scene.objects.Add(new TrackedNode(&first));
        scene.objects.Add(new TrackedNode(&second));
    }
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
}

// --- passes and techniques -------------------------------------------------

class PassEnable : public ::testing::TestWithParam<std::pair<float, bool>> {};

TEST_P(PassEnable, ThresholdIsHalfAroundZero) {
    float v = GetParam().first;
    auto animation = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                   {{0, {v}}, {10, {v}}});
    Pass pass;
    pass.enabled = !GetParam().second;
    pass.BindProperty(Actor::P_Enable, animation.get());
    pass.Update(5);
    EXPECT_EQ(GetParam().second, pass.enabled) << "value " << v;
}

INSTANTIATE_TEST_SUITE_P(Values, PassEnable,
                         ::testing::Values(std::make_pair(0.49f, false), std::make_pair(0.5f, true),
                                           std::make_pair(-0.51f, true),
                                           std::make_pair(-0.5f, false), std::make_pair(0.0f, false),
                                           std::make_pair(1.0f, true)));

TEST(PassUpdate, WithoutABindingEnabledStays) {
    Pass pass;
    pass.enabled = false;
    pass.Update(5);
    EXPECT_FALSE(pass.enabled);
}

TEST(PassUpdate, AnAnimationWithoutKeysReadsAsZeroAndDisables) {
    auto empty = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, {});
    Pass pass;
    pass.BindProperty(Actor::P_Enable, empty.get());
    pass.Update(5);
    EXPECT_FALSE(pass.enabled);
}

TEST(PassAssign, AppendsStatesAndCopiesTheRest) {
    SceneNode scene, cameraNode;
    BlendState own, s1, s2;
    Pass source(&scene, &cameraNode, nullptr, true, Vec4(1, 2, 3, 4), true, 0.25f, true, 9);
    source.states.Add(&s1);
    source.states.Add(&s2);
    source.enabled = true;
    auto animation = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, {});
    source.BindProperty(Actor::P_Enable, animation.get());
    Pass target;
    target.states.Add(&own);
    target.enabled = false;
    target = source;
    ASSERT_EQ(3u, target.states.Size());
    EXPECT_EQ(&own, target.states[0]);
    EXPECT_EQ(&s1, target.states[1]);
    EXPECT_EQ(&s2, target.states[2]);
    EXPECT_EQ(&scene, target.scene);
    EXPECT_EQ(&cameraNode, target.cameraNode);
    EXPECT_TRUE(target.clearColorEnabled);
    EXPECT_EQ(Vec4(1, 2, 3, 4), target.clearColor);
    EXPECT_TRUE(target.clearDepthEnabled);
    EXPECT_EQ(0.25f, target.clearDepth);
    EXPECT_TRUE(target.clearStencilEnabled);
    EXPECT_EQ(9, target.clearStencil);
    EXPECT_FALSE(target.enabled);
    EXPECT_EQ(nullptr, target.bindings[Actor::P_Enable]);
}

TEST(PassAssign, SelfAssignmentLeavesTheStates) {
    BlendState s1;
    Pass pass;
    pass.states.Add(&s1);
    Pass& same = pass;
    pass = same;
    EXPECT_EQ(1u, pass.states.Size());
}

TEST(TechniqueLifetime, DestroyingATechniqueLeavesItsPasses) {
    bool destroyed = false;
    TrackedPass pass(&destroyed);
    {
        Technique technique;
        technique.passes.Add(&pass);
        EXPECT_EQ(SceneObject::SOT_Technique, technique.GetObjectType());
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(SceneObject::SOT_Pass, pass.GetObjectType());
}
