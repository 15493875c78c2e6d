// The state-sorting render queue: the reduced output for push sequences, and
// states refused for a type outside the table, with their messages.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "engine/SceneNode.h"
#include "engine/Texture2D.h"
#include "engine/TextureCube.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/ProgramState.h"
#include "render/RenderQueue.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "support/RecordingRenderer.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

class UnknownTexture : public Texture {
public:
    unsigned int GetTextureType() const override { return TT_Unknown; }
    ResourceInitializer* CreateInitializer(ResourceManager*) override { return nullptr; }
};

}  // namespace

TEST(RenderQueueFlush, PushSequencesReduceToTheirChanges) {
    BlendState a, b;
    ProgramState p1, p2;
    UniformState u1, u2;
    SceneNode n1, n2;
    Texture2D flat;
    TextureState t0(&flat, 0), t1(&flat, 1);
    GenericState blendOn(0, true), depthOn(4, true), depthOff(4, false);
    std::map<std::string, RenderState*> states = {
        {"A", &a}, {"B", &b}, {"P1", &p1}, {"P2", &p2}, {"U1", &u1}, {"U2", &u2},
        {"G1", &n1.geometryState}, {"G2", &n2.geometryState}, {"T0", &t0}, {"T1", &t1},
        {"BlendOn", &blendOn}, {"DepthOn", &depthOn}, {"DepthOff", &depthOff}};
    RecordingRenderer rec;
    for (auto& named : states) rec.SetName(named.second, named.first);
    rec.SetName(&n1, "G1");
    rec.SetName(&n2, "G2");
    const struct {
        const char* pushes;
        const char* output;
    } rows[] = {
        {"A B G1", "Blend(B), Geometry(G1)"},
        {"A P1 B G1", "Blend(B), Program(P1), Geometry(G1)"},
        {"A G1 A G2", "Blend(A), Geometry(G1), Geometry(G2)"},
        {"A G1 B G2 A G1",
         "Blend(A), Geometry(G1), Blend(B), Geometry(G2), Blend(A), Geometry(G1)"},
        {"P1 U1 U2 G1 P2 G2", "Program(P1), Uniform(U1), Uniform(U2), Geometry(G1), "
                              "Program(P2), Uniform(U1), Uniform(U2), Geometry(G2)"},
        {"P1 U1 G1 P1 G2", "Program(P1), Uniform(U1), Geometry(G1), Uniform(U1), Geometry(G2)"},
        {"U1 A P1 G1", "Blend(A), Program(P1), Uniform(U1), Geometry(G1)"},
        {"U1 U1 G1", "Uniform(U1), Uniform(U1), Geometry(G1)"},
        {"G1 U1 G2 G1", "Geometry(G1), Uniform(U1), Geometry(G2), Geometry(G1)"},
        {"A P1 U1", ""},
        {"T0 DepthOn T1 BlendOn DepthOff G1",
         "Texture(T0), Generic(DepthOff), Texture(T1), Generic(BlendOn), Geometry(G1)"},
        {"A U1 G1 Clear A G1", "Blend(A), Geometry(G1)"},
        {"A P1 Clear G1", "Geometry(G1)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pushes);
        RenderQueue queue;
        std::istringstream in(row.pushes);
        for (std::string token; in >> token;) {
            if (token == "Clear")
                queue.Clear();
            else
                queue.Push(states.at(token));
        }
        EXPECT_EQ(row.output, rec.Describe(queue));
    }
}

TEST(RenderStateBadInput, UntypableStatesAreRefusedWithAMessage) {
    Texture2D flat;
    TextureCube cube;
    UnknownTexture odd;
    CaptureFd out(1);
    TextureState texture(&flat, 8);
    TextureSamplerState sampler(&flat, 12);
    GenericState generic(11, true);  // 5 + 11 would be the geometry type
    EXPECT_EQ("TextureState: texture unit 8 out of range 0..7, state ignored\n"
              "TextureSamplerState: texture unit 12 out of range 0..7, state ignored\n"
              "GenericState: capability 11 out of range 0..10, state ignored\n",
              out.Stop());
    TextureState unknownType(&odd, 7);  // 50 + 4 + 28 would be 82
    TextureSamplerState noTexture(nullptr, 0);
    TextureState movedUnit(&flat, 7);
    movedUnit.unit = 9;
    for (RenderState* s : std::initializer_list<RenderState*>{
             &texture, &sampler, &generic, &unknownType, &noTexture, &movedUnit})
        EXPECT_EQ(RenderState::RST_Invalid, s->GetRenderStateType());
    // The highest valid unit of a cube map is the last type of each range.
    EXPECT_EQ(81u, TextureState(&cube, 7).GetRenderStateType());
    EXPECT_EQ(49u, TextureSamplerState(&cube, 7).GetRenderStateType());
    EXPECT_EQ(15u, GenericState(10, true).GetRenderStateType());
    // Pushed anyway, such a state and a null one are dropped with a message.
    BlendState a;
    SceneNode node;
    RenderQueue queue;
    CaptureFd pushed(1);
    for (RenderState* s : std::initializer_list<RenderState*>{&a, &movedUnit, nullptr,
                                                              &node.geometryState})
        queue.Push(s);
    EXPECT_EQ("RenderQueue::Push(): render state type 4294967295 out of range, ignored\n"
              "RenderQueue::Push(): null render state, ignored\n",
              pushed.Stop());
    RecordingRenderer rec;
    rec.SetName(&a, "A");
    rec.SetName(&node, "N");
    EXPECT_EQ("Blend(A), Geometry(N)", rec.Describe(queue));
    EXPECT_EQ(0u, queue.pendingTypes.Size());
}
