// Scene nodes: world, normal and previous-world matrices against double-precision
// references, animation of the subtree; the pass enable switch. Refused
// attachments, cycles in large graphs and deep chains: test_graph_bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Animation.h"
#include "engine/Pass.h"
#include "engine/SceneNode.h"
#include "engine/Uniform.h"
#include "render/UniformState.h"
#include "support/SceneTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const double kPi = 3.14159265358979323846;
const double kTolerance = 1e-5;

Quat AxisAngle(double angle, double x, double y, double z) {
    double s = std::sin(angle / 2);
    return Quat(float(x * s), float(y * s), float(z * s), float(std::cos(angle / 2)));
}

}  // namespace

TEST(SceneSpatialWorld, ThreeLevelsAgainstIndependentMatrices) {
    // Root translated, turned about Z, scaled by 2; middle translated and
    // turned about X; leaf translated with a non-uniform scale.
    SceneNode root(Vec3(1, 2, 3), AxisAngle(kPi / 2, 0, 0, 1));
    SceneNode middle(Vec3(0, 4, 0), AxisAngle(kPi / 3, 1, 0, 0), &root);
    SceneNode leaf(Vec3(5, 0, -1), Quat(0, 0, 0, 1), &middle);
    root.transform.scale = Vec3(2, 2, 2);
    leaf.transform.scale = Vec3(1, 2, 3);
    auto refs = [](double tx, RefMat4 out[3]) {
        out[0] = RefMul(RefMul(RefTranslate(tx, 2, 3), RefRotate(kPi / 2, 0, 0, 1)),
                        RefScale(2, 2, 2));
        out[1] = RefMul(out[0], RefMul(RefTranslate(0, 4, 0), RefRotate(kPi / 3, 1, 0, 0)));
        out[2] = RefMul(out[1], RefMul(RefTranslate(5, 0, -1), RefScale(1, 2, 3)));
    };
    SceneNode* nodes[] = {&root, &middle, &leaf};
    RefMat4 before[3], after[3];
    refs(1, before);
    refs(7, after);
    for (SceneNode* node : nodes) node->UpdateWorldTransform();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(MaxDiff(nodes[i]->world, before[i]), kTolerance);
        EXPECT_LT(InverseTransposeError(nodes[i]->normalMatrix, before[i]), kTolerance);
        EXPECT_EQ(nodes[i]->world, nodes[i]->prevWorld);  // no apparent motion at first
        EXPECT_FALSE(nodes[i]->dirty);
    }
    root.transform.translation.x = 7;
    for (SceneNode* node : nodes) node->UpdateWorldTransform();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(MaxDiff(nodes[i]->world, after[i]), kTolerance);
        EXPECT_LT(MaxDiff(nodes[i]->prevWorld, before[i]), kTolerance);
    }
}

TEST(SceneNodeUpdate, ReachesHiddenChildrenStatesAndRotation) {
    float c = float(std::cos(kPi / 4)), s = float(std::sin(kPi / 4));
    auto rotation = MakeAnimation(4, Animation::IM_SLERP, Animation::RM_CONSTANT, 10,
                                  {{0, {0, 0, 0, 1}}, {10, {0, s, 0, c}}});
    auto value = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                               {{0, {0}}, {10, {100}}});
    SceneNode root;
    SceneNode child(Vec3(), Quat(0, 0, 0, 1), &root);
    SceneNode grandchild(Vec3(), Quat(0, 0, 0, 1), &child);
    child.hidden = true;
    grandchild.BindProperty(Actor::P_Rotation, rotation.get());
    Uniform uniform("amount");
    uniform.BindProperty(Actor::P_Value, value.get());
    UniformState state(&uniform);
    child.Attach(&state);
    root.Update(5);
    // Halfway along a quarter turn about Y; a rotation is its own inverse transpose.
    EXPECT_LT(InverseTransposeError(grandchild.transform.rotationMatrix,
                                    RefRotate(kPi / 4, 0, 1, 0)),
              kTolerance);
    ASSERT_NE(nullptr, uniform.data);
    EXPECT_FLOAT_EQ(50.0f, static_cast<float*>(uniform.data)[0]);
}

TEST(PassUpdate, EnableThresholdIsHalfAroundZero) {
    const struct {
        float value;
        bool enabled;
    } rows[] = {{0.49f, false}, {0.5f, true}, {-0.51f, true}, {-0.5f, false}, {1.0f, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        auto animation = MakeAnimation(1, Animation::IM_LINEAR, Animation::RM_CONSTANT, 10,
                                       {{0, {row.value}}, {10, {row.value}}});
        Pass pass;
        pass.enabled = !row.enabled;
        pass.BindProperty(Actor::P_Enable, animation.get());
        pass.Update(5);
        EXPECT_EQ(row.enabled, pass.enabled);
    }
}
