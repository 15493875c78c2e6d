// The script API as scripts see it: overload order, number conversions, constants,
// the binding's error texts, object identity and lifetime, switches and sizes
// reaching passes made earlier, and nil object arguments.
#include <gtest/gtest.h>
#include <tolua++.h>

#include <string>
#include <vector>

#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Engine.h"
#include "demo/Node.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/PointCurve.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/Camera.h"
#include "engine/Engine.h"
#include "engine/KeyframeSequence.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "support/RecordingRenderer.h"
#include "support/ScriptTestUtil.h"
#include "support/TestSupport.h"

namespace {

using testsupport::RunScript;
using testsupport::ScriptGlobal;

// The singletons outlive the tests, as in the player, so what they reach is never deleted.
class ScriptApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testsupport::DemoPlatform* platform = testsupport::ProcessWideDemo();
        platform->files["resource://v"] = "void main() {}";
        platform->files["resource://f"] = "void main() {}";
        platform->files["resource://inner.lua"] = "innerRan = outerValue + 1";
        platform->files["resource://cube.m3g"] =
            testsupport::ReadFile(testsupport::FixturesDir() + "/m3g/cube.m3g");
    }
    lua_State* L() { return LuaScriptEngine::GetEngine()->state; }
    Demo::Engine* engine() { return Demo::Engine::GetEngine(); }
    std::string Eval(const std::string& expression) {
        RunScript("return tostring(" + expression + ")");
        return testsupport::ScriptResult();
    }
};

TEST_F(ScriptApi, AddKeyPicksTheVariantByArguments) {
    RunScript("a = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT, 3)\n"
              "a:AddKey(0, 1)\na:AddKey(1, 1, 2)\na:AddKey(2, 1, 2, 3)\na:AddKey(3, 1, 2, 3, 4)\n"
              "a:AddKey(4, true)\na:AddKey(5, false)\n");
    const Vector<KeyframeSequence::Key>& keys = ScriptGlobal<Demo::Animation>("a")->sequence->keys;
    std::vector<float> seen;  // time and values of each key
    for (const KeyframeSequence::Key& k : keys)
        seen.insert(seen.end(), {k.time, k.values[0], k.values[1], k.values[2]});
    // Missing values are 0, values beyond the 3 components dropped.
    EXPECT_EQ(seen, (std::vector<float>{0, 1, 0, 0, 1, 1, 2, 0, 2, 1, 2, 3, 3, 1, 2, 3, 4, 1, 0, 0,
                                        5, 0, 0, 0}));
}

TEST_F(ScriptApi, PassAndSourceTakeEitherForm) {
    RunScript("scene, target = Scene:CreateFS(), Target:New()\n"
              "effect = Effect:New('resource://v', 'resource://f')\n"
              "toScreen, toTarget = Pass:New(scene, effect), Pass:New(scene, effect, target)\n"
              "effect:AddSource(target)\n");
    EXPECT_EQ(ScriptGlobal<Demo::Pass>("toScreen")->target, nullptr);
    EXPECT_EQ(ScriptGlobal<Demo::Pass>("toTarget")->target, ScriptGlobal<Demo::Target>("target"));
    EXPECT_EQ(ScriptGlobal<Demo::Effect>("effect")->sourceCount, 1u);
}

TEST_F(ScriptApi, NumbersAreConvertedAndDefaultsFilledIn) {
    RunScript("p, q = Part:New(3.9), Part:New(2000.75, 0.25)\n"
              "t, quarter = Target:New(), Target:New(0.25)\n"
              "part = Part:New(1000)\n"
              "part:AddPass(Pass:New(Scene:CreateFS(), nil, t))\n"
              "part:SetSize(10, 10)\n"
              "part:SetSize(800.7, 600.2)\n"
              "a = Animation:New(1.9, 1.2)\n");
    EXPECT_EQ(ScriptGlobal<Demo::Part>("p")->end, 3.9f);
    EXPECT_EQ(ScriptGlobal<Demo::Part>("q")->start, 0.25f);
    EXPECT_EQ(ScriptGlobal<Demo::Target>("quarter")->width, 200u);
    EXPECT_EQ(ScriptGlobal<Demo::Target>("t")->width, 800u);
    EXPECT_EQ(ScriptGlobal<Demo::Target>("t")->height, 600u);
    Demo::Animation* a = ScriptGlobal<Demo::Animation>("a");  // IM_SLERP, RM_LOOP, one component
    EXPECT_EQ(std::vector<unsigned int>({a->animation.interpolation, a->animation.repeatMode,
                                         a->components}),
              std::vector<unsigned int>({1, 1, 1}));
}

TEST_F(ScriptApi, ConstantsCountFromZeroInTheirOrder) {
    RunScript("wrong = ''\n"
              "function check(t, names)\n"
              "  for i, n in ipairs(names) do if t[n] ~= i - 1 then wrong = wrong .. n .. ' ' end end\n"
              "end\n"
              "check(Effect, {'BF_ZERO', 'BF_ONE', 'BF_SRC_COLOR', 'BF_ONE_MINUS_SRC_COLOR',\n"
              "  'BF_DST_COLOR', 'BF_ONE_MINUS_DST_COLOR', 'BF_SRC_ALPHA', 'BF_ONE_MINUS_SRC_ALPHA',\n"
              "  'BF_DST_ALPHA', 'BF_ONE_MINUS_DST_ALPHA', 'BF_CONSTANT_COLOR',\n"
              "  'BF_ONE_MINUS_CONSTANT_COLOR', 'BF_CONSTANT_ALPHA', 'BF_ONE_MINUS_CONSTANT_ALPHA',\n"
              "  'BF_SRC_ALPHA_SATURATE'})\n"
              "check(Effect, {'BE_ADD', 'BE_SUBTRACT', 'BE_REV_SUBTRACT', 'BE_MIN', 'BE_MAX'})\n"
              "check(Animation, {'IM_LINEAR', 'IM_SLERP', 'IM_SPLINE', 'IM_SQUAD', 'IM_STEP'})\n"
              "check(Animation, {'RM_CONSTANT', 'RM_LOOP'})\n");
    EXPECT_EQ(Eval("wrong"), "");
}

TEST_F(ScriptApi, BindingErrorsStopTheScriptWithTheirMessage) {
    const struct { const char* script; const char* err; } rows[] = {
        // Every variant fails; the first one (time and boolean) raises.
        {"a = Animation:New(0, 0)\na:AddKey(1)\n",
         "ERROR: [string \"a = Animation:New(0, 0)...\"]:2: error in function 'AddKey'.\n"
         "     argument #3 is '[no object]'; 'boolean' expected.\n\n"},
        {"a = Animation:New(0, 0)\na.AddKey(nil, 1, 2)\n",
         "ERROR: [string \"a = Animation:New(0, 0)...\"]:2: invalid 'self' in function 'AddKey'\n"},
        {"Engine.GetEngine()\n",
         "ERROR: [string \"Engine.GetEngine()...\"]:1: error in function 'GetEngine'.\n"
         "     argument #1 is '[no object]'; 'Engine' expected.\n\n"},
    };
    for (const auto& row : rows) {
        std::string err;
        RunScript(std::string(row.script) + "return 'not stopped'\n", &err);
        EXPECT_EQ(err, row.err);
        EXPECT_EQ(lua_gettop(L()), 0) << row.script;
    }
    EXPECT_EQ(ScriptGlobal<Demo::Animation>("a")->sequence->keys.Size(), 0u);
}

TEST_F(ScriptApi, ObjectsKeepTheirIdentityAndScriptsLoadScripts) {
    RunScript("e = Engine:GetEngine()\n"
              "part, curve = Part:New(1000), PointCurve:New(4)\n"
              "part:AttachUpdate(curve)\n"
              "outerValue = 41\n"
              "e:LoadScript('resource://inner.lua')\n"
              "afterInner = innerRan\n");
    EXPECT_EQ(Eval("afterInner"), "42");
    EXPECT_EQ(Eval("rawequal(e, Engine:GetEngine())"), "true");
    EXPECT_EQ(ScriptGlobal<Demo::Engine>("e"), Demo::Engine::GetEngine());
    EXPECT_EQ(Eval("Target:Screen() == nil"), "true");
    EXPECT_TRUE(ScriptGlobal<Demo::Part>("part")->actors.Contains(ScriptGlobal<Demo::PointCurve>("curve")));
}

TEST_F(ScriptApi, DroppingLuaReferencesDeletesNothing) {
    RunScript("dropped = Part:New(1234)\n");
    Demo::Part* part = ScriptGlobal<Demo::Part>("dropped");
    RunScript("dropped = nil\ncollectgarbage('collect')\n");
    EXPECT_TRUE(engine()->objects.Contains(part));
    EXPECT_EQ(part->end, 1234.0f);  // still a live object (the sanitizer build checks)
    // No class has a collector registered with the binding runtime.
    for (const char* name : {"Object", "Actor", "Animation", "Effect", "Engine", "Image", "Node",
                             "Part", "Pass", "Scene", "Target", "PointCurve"}) {
        lua_pushstring(L(), "tolua_gc");
        lua_rawget(L(), LUA_REGISTRYINDEX);
        luaL_getmetatable(L(), name);
        ASSERT_TRUE(lua_istable(L(), -2) && lua_istable(L(), -1)) << name;
        lua_rawget(L(), -2);
        EXPECT_TRUE(lua_isnil(L(), -1)) << name;
        lua_settop(L(), 0);
    }
}

// Switches a script sets after building passes reach those passes: blending
// through the effect's shared states, depth test and culling through the
// scene's, colour clearing per pass.
TEST_F(ScriptApi, SwitchesSetAfterAPassWasMadeReachIt) {
    RunScript("fx = Effect:New('resource://v', 'resource://f')\n"
              "scene = Scene:CreateFS()\n"
              "early = Pass:New(scene, fx)\n"
              "fx:SetBlendEnabled(true)\n"
              "fx:SetBlendFunc(Effect.BF_SRC_ALPHA, Effect.BF_ONE, Effect.BF_ONE_MINUS_SRC_ALPHA,\n"
              "                Effect.BF_DST_COLOR)\n"
              "fx:SetBlendEquation(Effect.BE_SUBTRACT, Effect.BE_REV_SUBTRACT)\n"
              "scene:SetDepthTestEnabled(true)\n"
              "scene:SetCullFaceEnabled(true)\n"
              "early:SetColorClearEnabled(false)\n"
              "late = Pass:New(scene, fx)\n"
              "scene:SetCullFaceEnabled(false)\n");
    Demo::Effect* fx = ScriptGlobal<Demo::Effect>("fx");
    Demo::Scene* scene = ScriptGlobal<Demo::Scene>("scene");
    Demo::Pass* early = ScriptGlobal<Demo::Pass>("early");
    const BlendState* b = fx->blend;
    EXPECT_EQ(std::vector<unsigned>({fx->blendSwitch->enabled, b->srcRGB, b->srcAlpha, b->dstRGB,
                                     b->dstAlpha, b->equationRGB, b->equationAlpha}),
              std::vector<unsigned>({1, BlendState::BF_SRC_ALPHA, BlendState::BF_ONE,
                                     BlendState::BF_ONE_MINUS_SRC_ALPHA, BlendState::BF_DST_COLOR,
                                     BlendState::BE_SUBTRACT, BlendState::BE_REV_SUBTRACT}));
    EXPECT_TRUE(scene->depthTest->enabled);
    EXPECT_FALSE(scene->cullFace->enabled);
    for (Demo::Pass* pass : {early, ScriptGlobal<Demo::Pass>("late")})
        for (RenderState* state : {static_cast<RenderState*>(fx->blendSwitch),
                                   static_cast<RenderState*>(fx->blend),
                                   static_cast<RenderState*>(scene->depthTest),
                                   static_cast<RenderState*>(scene->cullFace)})
            EXPECT_TRUE(pass->pass.states.Contains(state));
    EXPECT_FALSE(early->pass.clearColorEnabled);
    EXPECT_TRUE(ScriptGlobal<Demo::Pass>("late")->pass.clearColorEnabled);
}

// A new output size reaches every part on the timeline: targets follow it at
// their scale, loaded scenes' cameras its aspect ratio, and the viewport.
TEST_F(ScriptApi, OutputSizeReachesThePartsTargetsAndCameras) {
    RunScript("e = Engine:GetEngine()\n"
              "fx = Effect:New('resource://v', 'resource://f')\n"
              "cube, half = e:LoadScene('resource://cube.m3g'), Target:New(0.5)\n"
              "part = Part:New(1000)\n"
              "part:AddPass(Pass:New(cube, fx, half))\n"
              "e:AddPart(part)\n"
              "outside = Part:New(1000)\n"
              "unsized = Target:New()\n"
              "outside:AddPass(Pass:New(Scene:CreateFS(), fx, unsized))\n");
    Demo::Part* part = ScriptGlobal<Demo::Part>("part");
    ASSERT_EQ(part->passes.Size(), 1u);
    ASSERT_TRUE(part->passes[0]->pass.cameraNode && part->passes[0]->pass.cameraNode->camera);
    Camera* camera = part->passes[0]->pass.cameraNode->camera;
    EXPECT_EQ(camera->aspect, 800.0f / 600.0f);
    auto* renderer =
        static_cast<testsupport::RecordingRenderer*>(Engine::activeEngine->GetRenderer());
    renderer->ClearLog();
    engine()->SetSize(1024, 640);
    EXPECT_EQ(renderer->Joined(), "SetViewport(0,0,1024,640)");
    Demo::Target* half = ScriptGlobal<Demo::Target>("half");
    EXPECT_EQ(std::vector<unsigned>({half->width, half->height, half->texture.width,
                                     half->depthBuffer.height}),
              std::vector<unsigned>({512, 320, 512, 320}));
    EXPECT_EQ(camera->aspect, 1.6f);
    Mat4 expected;
    expected.LoadPerspective(camera->fov, 1.6f, camera->near, camera->far);
    EXPECT_EQ(camera->projection, expected);
    EXPECT_EQ(ScriptGlobal<Demo::Target>("unsized")->width, 800u);  // its part is not on the timeline
    engine()->SetSize(800, 600);
}

// Every operation that takes an object, given nil: its message, no script
// error, nothing done; objects built without their inputs keep what they have.
TEST_F(ScriptApi, NilObjectArgumentsAreReportedAndIgnored) {
    unsigned int parts = engine()->parts.Size(), jobs = engine()->renderJobs.Size();
    RunScript("e, p, t = Engine:GetEngine(), Part:New(100), Target:New()\n"
              "fx = Effect:New('resource://v', 'resource://f')\n"
              "s, c = Scene:CreateFS(), PointCurve:New(2)\n"
              "n = s:GetRoot()\n"
              "kept = Animation:New(Animation.IM_STEP, Animation.RM_CONSTANT)\n"
              "kept:AddKey(0, 1)\n"
              "toTarget = Pass:New(s, fx, t)\n"
              "toTarget:BindTargetState(kept)\n"
              "n:BindLocation(kept)\n");
    const char* const kNoPassInputs =
        "Demo::Pass::Pass(): no scene\nDemo::Pass::Pass(): no effect\n";
    const struct { const char* call; const char* out; } rows[] = {
        {"e:AddPart(nil)", "Demo::Engine::AddPart(): no part\n"},
        {"e:RenderOnce(nil, t, 0)", "Demo::Engine::RenderOnce(): no part\n"},
        {"e:RenderOnce(p, nil, 0)", "Demo::Engine::RenderOnce(): no target\n"},
        {"e:LoadScript(nil)", "Demo::Engine::LoadScript(): no URL\n"},
        {"e:LoadMusic(nil)", "Demo::Engine::LoadMusic(): no URL\n"},
        {"assert(e:LoadImage(nil):GetWidth() == 0)",
         "Demo::Engine::LoadImage(): no URL, the image is empty\n"},
        {"fx:BindParam('amount', nil)", "Demo::Effect::BindParam(): no animation\n"},
        {"fx:AddSource(nil)", "Demo::Effect::AddSource(): no image\n"},
        {"assert(Effect:New(nil, nil))",
         "Demo::Effect::ReadFile(): cannot open (null)\n"
         "Demo::Effect::ReadFile(): cannot open (null)\n"},
        {"n:SetEffect(nil)", "Demo::Node::SetEffect(): no effect\n"},
        {"n:Attach(nil)", "Demo::Node::Attach(): no node\n"},
        {"n:BindLocation(nil)", "Demo::Node::BindLocation(): no animation\n"},
        {"n:BindRotation(nil)", "Demo::Node::BindRotation(): no animation\n"},
        {"n:BindScale(nil)", "Demo::Node::BindScale(): no animation\n"},
        {"p:AddPass(nil)", "Demo::Part::AddPass(): no pass\n"},
        {"p:AttachUpdate(nil)", "Demo::Part::AttachUpdate(): no actor\n"},
        {"assert(Pass:New(nil, nil))", kNoPassInputs},
        {"bare = Pass:New(nil, fx, t)", "Demo::Pass::Pass(): no scene\n"},
        {"noFx = Pass:New(s, nil)", "Demo::Pass::Pass(): no effect\n"},
        {"empty = Pass:New(e:LoadScene(nil), fx)",
         "Demo::Engine::LoadScene(): no URL, the scene is empty\n"
         "Demo::Pass::Pass(): Warning: scene has no pass\n"},
        {"toTarget:BindTargetState(nil)", "Demo::Pass::BindTargetState(): no animation\n"},
        {"toTarget:BindState(nil)", "Demo::Pass::BindState(): no animation\n"},
        {"s:Smooth(nil, 30)", "Demo::Scene::Smooth(): no node\n"},
        {"c:AddPoint(nil)", "Demo::PointCurve::AddPoint(): no point\n"},
        {"p:AddPass(bare)\np:AddPass(empty)\np:SetSize(640, 480)", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(RunScript(row.call), row.out) << row.call;
    EXPECT_EQ(engine()->parts.Size(), parts);
    EXPECT_EQ(engine()->renderJobs.Size(), jobs);
    EXPECT_EQ(ScriptGlobal<Demo::Part>("p")->actors.Size(), 0u);
    EXPECT_EQ(ScriptGlobal<Demo::Effect>("fx")->states.Size(), 3u);
    Demo::Scene* s = ScriptGlobal<Demo::Scene>("s");
    SceneNode* root = ScriptGlobal<Demo::Node>("n")->node;
    EXPECT_EQ(root->bindings[::Actor::P_Location], &ScriptGlobal<Demo::Animation>("kept")->animation);
    EXPECT_EQ(root->states.Size(), 0u);
    // A pass without scene keeps the effect's states; one without effect the scene's.
    Demo::Pass* noFx = ScriptGlobal<Demo::Pass>("noFx");
    EXPECT_EQ(ScriptGlobal<Demo::Pass>("bare")->pass.states.Size(), 4u);
    EXPECT_EQ(std::vector<RenderState*>(noFx->pass.states.begin(), noFx->pass.states.end()),
              (std::vector<RenderState*>{s->depthTest, s->cullFace, &noFx->timeState}));
    EXPECT_EQ(ScriptGlobal<Demo::Target>("t")->width, 640u);
    Demo::Pass* toTarget = ScriptGlobal<Demo::Pass>("toTarget");
    toTarget->Update(1.0f);
    EXPECT_EQ(toTarget->pass.frameBuffer, &ScriptGlobal<Demo::Target>("t")->frameBuffer);
}

}  // namespace
