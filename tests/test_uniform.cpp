// Uniforms: value types and buffer ownership, transforms, binding to
// animations (accepted and refused) and the per-frame update.
#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "engine/Uniform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// An animation of n components, linear, constant mode, keys at 0 and 10
// running from (1, 2, ...) to (11, 12, ...).
std::unique_ptr<Animation> Ramp(unsigned int n) {
    std::unique_ptr<Animation> a(new Animation);
    a->sequence = new KeyframeSequence(n);
    a->sequence->duration = 10.0f;
    float from[8], to[8];
    for (unsigned int i = 0; i < n && i < 8; ++i) {
        from[i] = float(i + 1);
        to[i] = float(i + 11);
    }
    a->sequence->AddKey(0.0f, from);
    a->sequence->AddKey(10.0f, to);
    return a;
}

float* Floats(Uniform& u) { return static_cast<float*>(u.data); }
int* Ints(Uniform& u) { return static_cast<int*>(u.data); }

std::string BadProperty(int p) {
    return "Uniform::BindProperty(): property " + std::to_string(p) + " cannot be animated\n";
}
std::string BadWidth(unsigned int n) {
    return "Uniform::BindProperty(): animation has " + std::to_string(n) +
           " components, expecting 1 to 4\n";
}

}  // namespace

TEST(UniformValue, AFloatOnAFreshUniformIsOwnedAndThenOverwrittenInPlace) {
    Uniform u("Vomra_un_Time");
    EXPECT_TRUE(u.dataShared);
    u.SetValue(1.5f);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float));
    EXPECT_EQ(u.count, 1u);
    EXPECT_FALSE(u.dataShared);
    EXPECT_EQ(Floats(u)[0], 1.5f);
    void* block = u.data;
    u.SetValue(2.5f);
    EXPECT_EQ(u.data, block);
    EXPECT_EQ(Floats(u)[0], 2.5f);
}

TEST(UniformValue, AnIntReplacesAFloatBuffer) {
    Uniform u;
    u.SetValue(1.5f);
    u.SetValue(3);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Int));
    EXPECT_EQ(u.count, 1u);
    EXPECT_FALSE(u.dataShared);
    EXPECT_EQ(Ints(u)[0], 3);
    void* block = u.data;
    u.SetValue(4);
    EXPECT_EQ(u.data, block);
    EXPECT_EQ(Ints(u)[0], 4);
    u.SetValue(0.25f);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float));
    EXPECT_EQ(Floats(u)[0], 0.25f);
}

TEST(UniformValue, ASharedBufferIsUsedAsItIsAndNeverReleased) {
    // Stack storage: releasing it would crash.
    float vectors[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        Uniform u;
        u.SetValue(1.0f);
        u.SetValue(Uniform::ET_Vec4, 2, vectors, true);
        EXPECT_EQ(u.data, vectors);
        EXPECT_EQ(u.count, 2u);
        EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Vec4));
        EXPECT_TRUE(u.dataShared);
        u.SetValue(9.0f);  // a new buffer of its own replaces the shared one
        EXPECT_NE(u.data, vectors);
        u.SetValue(Uniform::ET_Vec4, 2, vectors, true);
    }
    EXPECT_EQ(vectors[7], 8.0f);
}

TEST(UniformValue, ScalarsAreWrittenThroughASharedBuffer) {
    float shared = 1.0f;
    int sharedInt = 5;
    {
        Uniform u;
        u.SetValue(Uniform::ET_Float, 1, &shared, true);
        u.SetValue(4.0f);
        EXPECT_EQ(u.data, &shared);
        Uniform v;
        v.SetValue(Uniform::ET_Int, 1, &sharedInt, true);
        v.SetValue(6);
        EXPECT_EQ(v.data, &sharedInt);
    }
    EXPECT_EQ(shared, 4.0f);
    EXPECT_EQ(sharedInt, 6);
}

TEST(UniformValue, AnEmptyScalarGetsABufferInsteadOfAWriteThroughNull) {
    Uniform u;
    u.SetValue(Uniform::ET_Int, 0, static_cast<int*>(nullptr), true);
    u.SetValue(7);
    ASSERT_NE(u.data, nullptr);
    EXPECT_EQ(u.count, 1u);
    EXPECT_EQ(Ints(u)[0], 7);
    Uniform f;
    f.SetValue(Uniform::ET_Float, 0, static_cast<float*>(nullptr), true);
    f.SetValue(7.5f);
    ASSERT_NE(f.data, nullptr);
    EXPECT_EQ(Floats(f)[0], 7.5f);
}

TEST(UniformValue, HandingBackItsOwnBlockKeepsIt) {
    Uniform u;
    float* block = new float[2]{3.0f, 4.0f};
    u.SetValue(Uniform::ET_Vec2, 1, block, false);
    u.SetValue(Uniform::ET_Vec2, 1, static_cast<float*>(u.data), false);
    EXPECT_EQ(u.data, block);
    EXPECT_EQ(Floats(u)[1], 4.0f);
}

TEST(UniformTransform, AttachingATransformDropsOwnedDataAndSharesTheNode) {
    int node = 0;  // stands in for a spatial; the uniform never reads it here
    SceneSpatial* spatial = reinterpret_cast<SceneSpatial*>(&node);
    Uniform u;
    u.SetValue(2.0f);
    u.AttachWorldTransform(spatial);
    EXPECT_EQ(u.data, spatial);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_WorldTransform));
    EXPECT_EQ(u.count, 1u);
    EXPECT_TRUE(u.dataShared);
    u.AttachLocalTransform(spatial);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_LocalTransform));
    EXPECT_TRUE(u.dataShared);
}

TEST(UniformBind, AThreeComponentAnimationMakesAVec3ThatFollowsIt) {
    auto a = Ramp(3);
    Uniform u("offset");
    Actor* actor = &u;  // through the mix-in, as scene conversion binds
    actor->BindProperty(Actor::P_Value, a.get());
    EXPECT_EQ(u.bindings[Actor::P_Value], a.get());
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Vec3));
    EXPECT_EQ(u.count, 1u);
    EXPECT_FALSE(u.dataShared);
    u.Update(5.0f);
    EXPECT_FLOAT_EQ(Floats(u)[0], 6.0f);
    EXPECT_FLOAT_EQ(Floats(u)[1], 7.0f);
    EXPECT_FLOAT_EQ(Floats(u)[2], 8.0f);
    u.Update(10.0f);
    EXPECT_FLOAT_EQ(Floats(u)[2], 13.0f);
}

TEST(UniformBind, ComponentCountsOneToFourGiveFloatToVec4) {
    for (unsigned int n = 1; n <= 4; ++n) {
        auto a = Ramp(n);
        Uniform u;
        u.BindProperty(Actor::P_Value, a.get());
        EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float) + n - 1);
        u.Update(2.5f);
        EXPECT_FLOAT_EQ(Floats(u)[n - 1], float(n) + 2.5f);
    }
}

TEST(UniformBind, TooWideOrEmptyAnimationsAreRefused) {
    auto five = Ramp(5);
    auto none = Ramp(0);
    Animation noSequence;
    Uniform u;
    u.SetValue(1.5f);
    void* block = u.data;
    testsupport::CaptureFd out(1);
    u.BindProperty(Actor::P_Value, five.get());
    u.BindProperty(Actor::P_Value, none.get());
    u.BindProperty(Actor::P_Value, &noSequence);
    EXPECT_EQ(out.Stop(), BadWidth(5) + BadWidth(0) + BadWidth(0));
    EXPECT_EQ(u.bindings[Actor::P_Value], nullptr);
    EXPECT_EQ(u.data, block);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float));
    EXPECT_EQ(Floats(u)[0], 1.5f);
    u.Update(5.0f);
    EXPECT_EQ(Floats(u)[0], 1.5f);
}

TEST(UniformBind, PropertiesOtherThanTheValueAreRefused) {
    auto a = Ramp(4);
    Uniform u;
    u.SetValue(1.5f);
    testsupport::CaptureFd out(1);
    u.BindProperty(Actor::P_Rotation, a.get());
    u.BindProperty(Actor::P_Enable, a.get());
    u.BindProperty(Actor::Property(9), a.get());
    EXPECT_EQ(out.Stop(), BadProperty(0) + BadProperty(3) + BadProperty(9));
    for (Animation* b : u.bindings) EXPECT_EQ(b, nullptr);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float));
}

TEST(UniformBind, ARefusedAnimationKeepsAnEarlierBinding) {
    auto good = Ramp(2);
    auto bad = Ramp(6);
    Uniform u;
    u.BindProperty(Actor::P_Value, good.get());
    testsupport::CaptureFd out(1);
    u.BindProperty(Actor::P_Value, bad.get());
    EXPECT_EQ(out.Stop(), BadWidth(6));
    EXPECT_EQ(u.bindings[Actor::P_Value], good.get());
    u.Update(5.0f);
    EXPECT_FLOAT_EQ(Floats(u)[1], 7.0f);
}

TEST(UniformBind, ANullAnimationUnbindsAndKeepsTheValue) {
    auto a = Ramp(1);
    Uniform u;
    u.BindProperty(Actor::P_Value, a.get());
    u.Update(5.0f);
    u.BindProperty(Actor::P_Value, nullptr);
    EXPECT_EQ(u.bindings[Actor::P_Value], nullptr);
    u.Update(10.0f);
    EXPECT_FLOAT_EQ(Floats(u)[0], 6.0f);
}

TEST(UniformUpdate, IntegerDataGetsTheValueRoundedNotItsBits) {
    auto a = Ramp(2);
    Uniform u;
    u.BindProperty(Actor::P_Value, a.get());
    int pair[2] = {0, 0};
    u.SetValue(Uniform::ET_IVec2, 1, pair, true);
    u.Update(2.6f);  // (3.6, 4.6)
    EXPECT_EQ(pair[0], 4);
    EXPECT_EQ(pair[1], 5);
}

TEST(UniformUpdate, MatricesTransformsAndEmptyDataAreLeftAlone) {
    auto a = Ramp(4);
    Uniform u;
    u.BindProperty(Actor::P_Value, a.get());
    float matrix[16];
    for (int i = 0; i < 16; ++i) matrix[i] = float(i);
    u.SetValue(Uniform::ET_Mat4, 1, matrix, true);
    u.Update(5.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix[i], float(i));
    float vec[4] = {-1, -1, -1, -1};
    u.SetValue(Uniform::ET_Vec4, 0, vec, true);  // count 0: nothing to write into
    u.Update(5.0f);
    EXPECT_EQ(vec[0], -1.0f);
    int node = 0;
    u.AttachWorldTransform(reinterpret_cast<SceneSpatial*>(&node));
    u.Update(5.0f);
    EXPECT_EQ(node, 0);
}

TEST(UniformUpdate, AnAnimationWithoutKeysKeepsTheValue) {
    std::unique_ptr<Animation> a(new Animation);
    a->sequence = new KeyframeSequence(2);
    Uniform u;
    u.BindProperty(Actor::P_Value, a.get());
    Floats(u)[0] = 3.0f;
    u.Update(5.0f);
    EXPECT_EQ(Floats(u)[0], 3.0f);
    EXPECT_EQ(Floats(u)[1], 0.0f);
}

TEST(UniformUpdate, ANarrowerAnimationFillsOnlyItsComponents) {
    auto a = Ramp(1);
    Uniform u;
    u.BindProperty(Actor::P_Value, a.get());
    float vec[3] = {-1, -1, -1};
    u.SetValue(Uniform::ET_Vec3, 1, vec, true);
    u.Update(5.0f);
    EXPECT_FLOAT_EQ(vec[0], 6.0f);
    EXPECT_EQ(vec[1], -1.0f);
    EXPECT_EQ(vec[2], -1.0f);
}
