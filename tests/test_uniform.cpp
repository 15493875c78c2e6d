// Uniforms: value types and buffer ownership, binding to animations (taken,
// ignored, or refused with a message) and the per-frame update.
#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "engine/Uniform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// n components, linear, constant mode: (1, 2, ...) at 0 to (11, 12, ...) at 10.
std::unique_ptr<Animation> Ramp(unsigned int n) {
    std::unique_ptr<Animation> a(new Animation);
    a->sequence = new KeyframeSequence(n);
    a->sequence->duration = 10.0f;
    float from[8] = {1, 2, 3, 4, 5, 6, 7, 8}, to[8] = {11, 12, 13, 14, 15, 16, 17, 18};
    a->sequence->AddKey(0.0f, from);
    a->sequence->AddKey(10.0f, to);
    return a;
}

float* Floats(Uniform& u) { return static_cast<float*>(u.data); }
int* Ints(Uniform& u) { return static_cast<int*>(u.data); }

}  // namespace

TEST(UniformValue, ScalarsAreReplacedByTypeAndOtherwiseWrittenInPlace) {
    Uniform u("Vomra_un_Time");
    u.SetValue(1.5f);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float));
    void* block = u.data;
    u.SetValue(2.5f);
    EXPECT_EQ(u.data, block);
    EXPECT_EQ(Floats(u)[0], 2.5f);
    u.SetValue(3);  // an int replaces the float buffer
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Int));
    EXPECT_EQ(Ints(u)[0], 3);
    u.SetValue(0.25f);
    EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float));
    EXPECT_EQ(Floats(u)[0], 0.25f);
}

TEST(UniformValue, SharedBuffersAreWrittenThroughAndNeverReleased) {
    // Stack storage: releasing it would crash.
    float shared = 1.0f;
    int sharedInt = 5;
    {
        Uniform u, v, w;
        u.SetValue(Uniform::ET_Float, 1, &shared, true);
        u.SetValue(4.0f);
        v.SetValue(Uniform::ET_Int, 1, &sharedInt, true);
        v.SetValue(6);
        // An empty shared scalar gets a buffer instead of a write through null.
        w.SetValue(Uniform::ET_Int, 0, static_cast<int*>(nullptr), true);
        w.SetValue(7);
        ASSERT_NE(w.data, nullptr);
        EXPECT_EQ(Ints(w)[0], 7);
        // Handing back its own block must not free it.
        float* block = new float[2]{3.0f, 4.0f};
        w.SetValue(Uniform::ET_Vec2, 1, block, false);
        w.SetValue(Uniform::ET_Vec2, 1, Floats(w), false);
        EXPECT_EQ(w.data, block);
    }
    EXPECT_EQ(shared, 4.0f);
    EXPECT_EQ(sharedInt, 6);
}

TEST(UniformBind, OneToFourComponentsMakeAFloatToVec4ThatFollowsTheAnimation) {
    for (unsigned int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        auto a = Ramp(n);
        Uniform u("offset");
        static_cast<Actor&>(u).BindProperty(Actor::P_Value, a.get());  // as scenes bind
        EXPECT_EQ(u.elementType, unsigned(Uniform::ET_Float) + n - 1);
        u.Update(5.0f);
        for (unsigned int i = 0; i < n; ++i) EXPECT_FLOAT_EQ(Floats(u)[i], float(i + 6));
        u.BindProperty(Actor::P_Value, nullptr);  // unbinds, keeps the value
        u.Update(10.0f);
        EXPECT_FLOAT_EQ(Floats(u)[0], 6.0f);
    }
}

TEST(UniformBind, RefusalsKeepBindingAndData) {
    auto good = Ramp(2), five = Ramp(5), none = Ramp(0);
    Animation noSequence;
    Uniform u;
    u.BindProperty(Actor::P_Value, good.get());
    void* block = u.data;
    testsupport::CaptureFd out(1);
    for (Animation* a : {five.get(), none.get(), &noSequence}) u.BindProperty(Actor::P_Value, a);
    // Other properties are ignored without a word.
    for (int p : {0, 3, 9}) u.BindProperty(Actor::Property(p), good.get());
    std::string width = "Uniform::BindProperty(): animation has %u components, expecting 1 to 4\n";
    auto with = [](std::string s, const char* n) { return s.replace(s.find('%'), 2, n); };
    EXPECT_EQ(out.Stop(), with(width, "5") + with(width, "0") + with(width, "0"));
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(u.bindings[p], p == Actor::P_Value ? good.get() : nullptr);
    EXPECT_EQ(u.data, block);
    u.Update(5.0f);
    EXPECT_FLOAT_EQ(Floats(u)[1], 7.0f);
}

TEST(UniformUpdate, IntsAreRoundedAndOnlyScalarsAndVectorsAreWritten) {
    auto a = Ramp(4);
    Uniform u;
    u.BindProperty(Actor::P_Value, a.get());
    int pair[2] = {0, 0};
    u.SetValue(Uniform::ET_IVec2, 1, pair, true);
    u.Update(2.6f);  // (3.6, 4.6): the value rounded, not its bits
    EXPECT_EQ(std::vector<int>(pair, pair + 2), (std::vector<int>{4, 5}));
    float matrix[16] = {7}, vec[4] = {-1, -1, -1, -1};
    u.SetValue(Uniform::ET_Mat4, 1, matrix, true);
    u.Update(5.0f);
    u.SetValue(Uniform::ET_Vec4, 0, vec, true);  // count 0: nothing to write into
    u.Update(5.0f);
    int node = 0;  // stands in for a spatial: its bytes are not values
    u.AttachWorldTransform(reinterpret_cast<SceneSpatial*>(&node));
    u.Update(5.0f);
    EXPECT_EQ(std::vector<float>(matrix, matrix + 2), (std::vector<float>{7, 0}));
    EXPECT_EQ(vec[0], -1.0f);
    EXPECT_EQ(node, 0);
}
