// Render state types, double dispatch and the state-sorting render queue.
#include <gtest/gtest.h>

#include <string>

#include "engine/SceneNode.h"
#include "engine/Texture2D.h"
#include "engine/TextureCube.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/GeometryState.h"
#include "render/MaterialState.h"
#include "render/ProgramState.h"
#include "render/RenderQueue.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "support/RecordingRenderer.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::RecordingRenderer;

namespace {

// A state reporting whatever type it is told, to feed the queue bad types.
class FixedTypeState : public RenderState {
public:
    explicit FixedTypeState(unsigned int type) : type(type) {}
    void AssignToRenderer(Renderer*) override {}
    Type GetRenderStateBaseType() const override { return Type(type); }
    Type GetRenderStateType() const override { return Type(type); }
    unsigned int type;
};

// A texture whose type the renderer would not recognise.
class UnknownTexture : public Texture {
public:
    unsigned int GetTextureType() const override { return TT_Unknown; }
    ResourceInitializer* CreateInitializer(ResourceManager*) override { return nullptr; }
};

class RenderQueueTest : public ::testing::Test {
protected:
    RenderQueueTest() : g1node(), g2node(), g1(&g1node), g2(&g2node) {
        rec.SetName(&a, "A");
        rec.SetName(&b, "B");
        rec.SetName(&p1, "P1");
        rec.SetName(&p2, "P2");
        rec.SetName(&u1, "U1");
        rec.SetName(&u2, "U2");
        rec.SetName(&g1node, "G1");
        rec.SetName(&g2node, "G2");
    }
    std::string Out() { return rec.Describe(queue); }

    RecordingRenderer rec;
    RenderQueue queue;
    BlendState a, b;
    ProgramState p1, p2;
    UniformState u1, u2;
    SceneNode g1node, g2node;
    GeometryState g1, g2;
};

// Groups of behaviour sharing the same fixture.
using RenderQueueFlush = RenderQueueTest;
using RenderQueueClear = RenderQueueTest;
using RenderQueueBadInput = RenderQueueTest;

}  // namespace

TEST(RenderStateType, ClassesReportTheirTabledTypes) {
    BlendState blend;
    UniformState uniform;
    ProgramState program;
    MaterialState material;
    GeometryState geometry;
    EXPECT_EQ(0u, blend.GetRenderStateType());
    EXPECT_EQ(1u, uniform.GetRenderStateType());
    EXPECT_EQ(2u, program.GetRenderStateType());
    EXPECT_EQ(3u, material.GetRenderStateType());
    EXPECT_EQ(16u, geometry.GetRenderStateType());
    EXPECT_EQ(16u, geometry.GetRenderStateBaseType());
    EXPECT_EQ(SceneObject::SOT_RenderState, blend.GetObjectType());
    EXPECT_EQ(0xFFFFFFFFu, geometry.id);
}

TEST(RenderStateType, GenericStateTypeFollowsCapability) {
    for (unsigned int c = 0; c <= 10; ++c) {
        GenericState state(c, true);
        EXPECT_EQ(5u + c, state.GetRenderStateType()) << "capability " << c;
        EXPECT_EQ(5u, state.GetRenderStateBaseType());
    }
}

TEST(RenderStateType, TextureTypesFollowTextureAndUnit) {
    Texture2D flat;
    TextureCube cube;
    for (unsigned int unit = 0; unit < 8; ++unit) {
        TextureState t2(&flat, unit), tc(&cube, unit);
        TextureSamplerState s2(&flat, unit), sc(&cube, unit);
        EXPECT_EQ(50u + 1 + 4 * unit, t2.GetRenderStateType());
        EXPECT_EQ(50u + 3 + 4 * unit, tc.GetRenderStateType());
        EXPECT_EQ(18u + 1 + 4 * unit, s2.GetRenderStateType());
        EXPECT_EQ(18u + 3 + 4 * unit, sc.GetRenderStateType());
        EXPECT_EQ(50u, t2.GetRenderStateBaseType());
        EXPECT_EQ(18u, s2.GetRenderStateBaseType());
    }
    // The last unit of a cube map is the last type of each range.
    EXPECT_EQ(81u, TextureState(&cube, 7).GetRenderStateType());
    EXPECT_EQ(49u, TextureSamplerState(&cube, 7).GetRenderStateType());
}

TEST(RenderStateDispatch, EachClassReachesItsOwnRendererOverload) {
    Texture2D flat;
    BlendState blend;
    GenericState generic(4, true);
    SceneNode node;
    TextureState texture(&flat, 0);
    TextureSamplerState sampler(&flat, 0);
    ProgramState program;
    UniformState uniform;
    MaterialState material;
    RecordingRenderer rec;
    rec.SetName(&node, "N");
    blend.id = 10;
    generic.id = 11;
    texture.id = 12;
    sampler.id = 13;
    program.id = 14;
    uniform.id = 15;
    material.id = 16;
    RenderState* all[] = {&blend, &generic, &node.geometryState, &texture, &sampler,
                          &program, &uniform, &material};
    for (RenderState* s : all) s->AssignToRenderer(&rec);
    EXPECT_EQ("Blend(#10), Generic(#11), Geometry(N), Texture(#12), TextureSampler(#13), "
              "Program(#14), Uniform(#15), Material(#16)",
              rec.Joined());
}

TEST_F(RenderQueueFlush, SecondOfTwoBlendStatesIsTheOnlyOneEmitted) {
    queue.Push(&a);
    queue.Push(&b);
    queue.Push(&g1);
    EXPECT_EQ("Blend(B), Geometry(G1)", Out());
}

TEST_F(RenderQueueFlush, ReplacedStateKeepsItsFirstPushPosition) {
    queue.Push(&a);
    queue.Push(&p1);
    queue.Push(&b);
    queue.Push(&g1);
    EXPECT_EQ("Blend(B), Program(P1), Geometry(G1)", Out());
}

TEST_F(RenderQueueFlush, UnchangedStateIsEmittedOnlyBeforeTheFirstDraw) {
    queue.Push(&a);
    queue.Push(&g1);
    queue.Push(&a);
    queue.Push(&g2);
    EXPECT_EQ("Blend(A), Geometry(G1), Geometry(G2)", Out());
}

TEST_F(RenderQueueFlush, ReturningToAnEarlierStateEmitsItAgain) {
    queue.Push(&a);
    queue.Push(&g1);
    queue.Push(&b);
    queue.Push(&g2);
    queue.Push(&a);
    queue.Push(&g1);
    EXPECT_EQ("Blend(A), Geometry(G1), Blend(B), Geometry(G2), Blend(A), Geometry(G1)", Out());
}

TEST_F(RenderQueueFlush, ProgramChangeResendsEveryUniformSinceClear) {
    queue.Push(&p1);
    queue.Push(&u1);
    queue.Push(&u2);
    queue.Push(&g1);
    queue.Push(&p2);
    queue.Push(&g2);
    EXPECT_EQ("Program(P1), Uniform(U1), Uniform(U2), Geometry(G1), Program(P2), Uniform(U1), "
              "Uniform(U2), Geometry(G2)",
              Out());
    EXPECT_EQ(2u, queue.firstUnsentUniform);
}

TEST_F(RenderQueueFlush, RepushedSameProgramIsDroppedButUniformsAreResent) {
    queue.Push(&p1);
    queue.Push(&u1);
    queue.Push(&g1);
    queue.Push(&p1);
    queue.Push(&g2);
    EXPECT_EQ("Program(P1), Uniform(U1), Geometry(G1), Uniform(U1), Geometry(G2)", Out());
}

TEST_F(RenderQueueFlush, UniformsFollowTheOtherStatesAndPrecedeTheDraw) {
    queue.Push(&u1);
    queue.Push(&a);
    queue.Push(&p1);
    queue.Push(&g1);
    EXPECT_EQ("Blend(A), Program(P1), Uniform(U1), Geometry(G1)", Out());
}

TEST_F(RenderQueueFlush, UniformPushedTwiceIsEmittedTwice) {
    queue.Push(&u1);
    queue.Push(&u1);
    queue.Push(&g1);
    EXPECT_EQ("Uniform(U1), Uniform(U1), Geometry(G1)", Out());
}

TEST_F(RenderQueueFlush, GeometryWithNothingPendingEmitsUnsentUniformsAndItself) {
    queue.Push(&g1);
    queue.Push(&u1);
    queue.Push(&g2);
    queue.Push(&g1);
    EXPECT_EQ("Geometry(G1), Uniform(U1), Geometry(G2), Geometry(G1)", Out());
}

TEST_F(RenderQueueFlush, StatesWithoutAFollowingDrawAreNeverEmitted) {
    queue.Push(&a);
    queue.Push(&p1);
    queue.Push(&u1);
    EXPECT_EQ("", Out());
    EXPECT_EQ(2u, queue.pendingTypes.Size());
}

TEST_F(RenderQueueFlush, StatesOfDifferentTypesAreKeptApart) {
    Texture2D flat;
    TextureState t0(&flat, 0), t1(&flat, 1);
    GenericState blendOn(0, true), depthOn(4, true), depthOff(4, false);
    rec.SetName(&t0, "T0");
    rec.SetName(&t1, "T1");
    rec.SetName(&blendOn, "BlendOn");
    rec.SetName(&depthOn, "DepthOn");
    rec.SetName(&depthOff, "DepthOff");
    queue.Push(&t0);
    queue.Push(&depthOn);
    queue.Push(&t1);
    queue.Push(&blendOn);
    queue.Push(&depthOff);
    queue.Push(&g1);
    EXPECT_EQ("Texture(T0), Generic(DepthOff), Texture(T1), Generic(BlendOn), Geometry(G1)", Out());
}

TEST_F(RenderQueueClear, EmitsAgainWhatWasAppliedBefore) {
    queue.Push(&a);
    queue.Push(&u1);
    queue.Push(&g1);
    queue.Clear();
    EXPECT_EQ("", Out());
    queue.Push(&a);
    queue.Push(&g1);
    EXPECT_EQ("Blend(A), Geometry(G1)", Out());
    EXPECT_EQ(0u, queue.uniforms.Size());
}

TEST_F(RenderQueueClear, DropsPendingStates) {
    queue.Push(&a);
    queue.Push(&p1);
    queue.Clear();
    queue.Push(&g1);
    EXPECT_EQ("Geometry(G1)", Out());
    for (unsigned int t = 0; t < RenderState::RST_Count; ++t) {
        EXPECT_EQ(nullptr, queue.pending[t]) << "type " << t;
    }
}

TEST_F(RenderQueueClear, KeepsEveryCapacity) {
    BlendState many[30];
    for (int round = 0; round < 2; ++round) {
        for (BlendState& s : many) {
            queue.Push(&s);
            queue.Push(&u1);
            queue.Push(&g1);
        }
        if (round == 0) {
            unsigned int statesCap = queue.states.Capacity();
            unsigned int uniformsCap = queue.uniforms.Capacity();
            RenderState** statesData = queue.states.Data();
            queue.Clear();
            EXPECT_EQ(statesCap, queue.states.Capacity());
            EXPECT_EQ(uniformsCap, queue.uniforms.Capacity());
            EXPECT_EQ(statesData, queue.states.Data());
        }
    }
    EXPECT_EQ(90u, queue.states.Size());
}

TEST_F(RenderQueueBadInput, TextureUnitAboveSevenIsRefusedAtConstruction) {
    Texture2D flat;
    CaptureFd out(1);
    TextureState texture(&flat, 8);
    TextureSamplerState sampler(&flat, 12);
    EXPECT_EQ("TextureState: texture unit 8 out of range 0..7, state ignored\n"
              "TextureSamplerState: texture unit 12 out of range 0..7, state ignored\n",
              out.Stop());
    EXPECT_EQ(RenderState::RST_Invalid, texture.GetRenderStateType());
    EXPECT_EQ(RenderState::RST_Invalid, sampler.GetRenderStateType());
}

TEST_F(RenderQueueBadInput, TexturesThatCannotBeTypedAreInvalid) {
    UnknownTexture odd;
    Texture2D flat;
    TextureState unknownType(&odd, 7);     // 50 + 4 + 28 would be 82
    TextureSamplerState noTexture(nullptr, 0);
    TextureState movedUnit(&flat, 7);
    movedUnit.unit = 9;
    EXPECT_EQ(RenderState::RST_Invalid, unknownType.GetRenderStateType());
    EXPECT_EQ(RenderState::RST_Invalid, noTexture.GetRenderStateType());
    EXPECT_EQ(RenderState::RST_Invalid, movedUnit.GetRenderStateType());
}

TEST_F(RenderQueueBadInput, CapabilityAboveTenIsNotTakenForGeometry) {
    CaptureFd out(1);
    GenericState state(11, true);  // 5 + 11 would be the geometry type
    EXPECT_EQ("GenericState: capability 11 out of range 0..10, state ignored\n", out.Stop());
    EXPECT_EQ(RenderState::RST_Invalid, state.GetRenderStateType());
}

TEST_F(RenderQueueBadInput, StatesOfTypesOutsideTheTableAreDroppedWithAMessage) {
    FixedTypeState first(82), huge(1000000), invalid(RenderState::RST_Invalid);
    Texture2D flat;
    TextureState badUnit(&flat, 0);
    badUnit.unit = 8;
    CaptureFd out(1);
    queue.Push(&a);
    queue.Push(&first);
    queue.Push(&huge);
    queue.Push(&invalid);
    queue.Push(&badUnit);
    queue.Push(nullptr);
    queue.Push(&g1);
    EXPECT_EQ("RenderQueue::Push(): render state type 82 out of range, ignored\n"
              "RenderQueue::Push(): render state type 1000000 out of range, ignored\n"
              "RenderQueue::Push(): render state type 4294967295 out of range, ignored\n"
              "RenderQueue::Push(): render state type 4294967295 out of range, ignored\n"
              "RenderQueue::Push(): null render state, ignored\n",
              out.Stop());
    EXPECT_EQ("Blend(A), Geometry(G1)", Out());
    EXPECT_EQ(0u, queue.pendingTypes.Size());
    EXPECT_EQ(2u, queue.states.Size());
}
