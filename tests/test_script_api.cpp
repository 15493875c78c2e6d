// The script API as scripts see it: global class names, the colon convention,
// overload order, number conversions, constants, the binding's two error
// texts, object identity and lifetime, and every object argument given nil.
#include <gtest/gtest.h>
#include <tolua++.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Engine.h"
#include "demo/Node.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/PointCurve.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/KeyframeSequence.h"
#include "engine/SceneNode.h"
#include "io/ROMSource.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "script/LuaScriptEngine.h"
#include "support/DemoPlatform.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;

namespace {

// The singletons live for the whole program, as in the player, so the
// renderer and platform they reach must too (never deleted).
testsupport::RecordingRenderer* gRenderer;
RecordingEngine* gEngine;
testsupport::DemoPlatform* gPlatform;

class ApiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        gRenderer = new testsupport::RecordingRenderer();
        gEngine = new RecordingEngine(gRenderer);
        gPlatform = new testsupport::DemoPlatform();
        gPlatform->files["resource://shaders/plain.vert"] = "void main() {}";
        gPlatform->files["resource://shaders/plain.frag"] = "void main() {}";
        gPlatform->images["resource://images/logo.png"] = {256, 128};
        Demo::Engine::GetEngine()->SetSize(800, 600);
        LuaScriptEngine::GetEngine();
    }
};
const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApiEnvironment);

struct Printed {
    std::string out;
    std::string err;
};

class ScriptApi : public ::testing::Test {
protected:
    lua_State* L() { return LuaScriptEngine::GetEngine()->state; }
    Demo::Engine* engine() { return Demo::Engine::GetEngine(); }

    // Runs one script; returns what it printed.
    Printed Run(const std::string& text) {
        unsigned char* copy = static_cast<unsigned char*>(malloc(text.size() + 1));
        memcpy(copy, text.data(), text.size());
        ROMSource source(copy, (unsigned int)text.size(), true);
        Printed printed;
        {
            CaptureFd out(1);
            CaptureFd err(2);
            LuaScriptEngine::GetEngine()->LoadScript(&source);
            printed.err = err.Stop();
            printed.out = out.Stop();
        }
        lua_settop(L(), 0);
        return printed;
    }
    // Runs a script that must print nothing on standard error.
    std::string RunClean(const std::string& text) {
        Printed printed = Run(text);
        EXPECT_EQ(printed.err, "") << "script: " << text;
        return printed.out;
    }
    // The C++ object behind a global; null for nil.
    template <class T>
    T* Global(const char* name) {
        lua_getglobal(L(), name);
        T* object = static_cast<T*>(tolua_tousertype(L(), -1, nullptr));
        lua_pop(L(), 1);
        return object;
    }
    std::string GlobalString(const char* name) {
        lua_getglobal(L(), name);
        const char* s = lua_tostring(L(), -1);
        std::string value = s ? s : "(not a string)";
        lua_pop(L(), 1);
        return value;
    }
    bool GlobalBool(const char* name) {
        lua_getglobal(L(), name);
        bool value = lua_toboolean(L(), -1) != 0;
        lua_pop(L(), 1);
        return value;
    }
    // Values of key i of an animation's sequence.
    std::vector<float> Key(Demo::Animation* animation, unsigned int i) {
        const KeyframeSequence::Key& key = animation->sequence->keys[i];
        return std::vector<float>(key.values, key.values + animation->components);
    }
};

using ScriptOverloads = ScriptApi;

TEST_F(ScriptOverloads, AddKeyPicksTheVariantByArguments) {
    RunClean(
        "a = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT, 4)\n"
        "a:AddKey(0, 1)\n"
        "a:AddKey(1, 1, 2)\n"
        "a:AddKey(2, 1, 2, 3)\n"
        "a:AddKey(3, 1, 2, 3, 4)\n"
        "a:AddKey(4, true)\n"
        "a:AddKey(5, false)\n");
    Demo::Animation* a = Global<Demo::Animation>("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->sequence->keys.Size(), 6u);
    EXPECT_EQ(Key(a, 0)[0], 1.0f);
    EXPECT_EQ(Key(a, 1), (std::vector<float>{1, 2, 0, 0}));
    EXPECT_EQ(Key(a, 2), (std::vector<float>{1, 2, 3, 0}));
    EXPECT_EQ(Key(a, 3), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(Key(a, 4)[0], 1.0f);
    EXPECT_EQ(Key(a, 5)[0], 0.0f);
    for (unsigned int i = 0; i < 6; ++i) EXPECT_EQ(a->sequence->keys[i].time, float(i));
}

TEST_F(ScriptOverloads, AddKeyDropsValuesBeyondTheComponents) {
    RunClean(
        "a = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT, 3)\n"
        "a:AddKey(0, 1, 2, 3, 4)\n");
    Demo::Animation* a = Global<Demo::Animation>("a");
    EXPECT_EQ(Key(a, 0), (std::vector<float>{1, 2, 3}));
}

TEST_F(ScriptOverloads, AddKeyWithoutValueFallsThroughToTheArgumentError) {
    Printed printed = Run(
        "a = Animation:New(0, 0)\n"
        "a:AddKey(1)\n"
        "after = true\n");
    // Every variant fails; the first one (time and boolean) raises.
    EXPECT_EQ(printed.err,
              "ERROR: [string \"a = Animation:New(0, 0)...\"]:2: error in function 'AddKey'.\n"
              "     argument #3 is '[no object]'; 'boolean' expected.\n\n");
    EXPECT_FALSE(GlobalBool("after"));
    EXPECT_EQ(Global<Demo::Animation>("a")->sequence->keys.Size(), 0u);
}

TEST_F(ScriptOverloads, TooManyArgumentsMatchNoVariant) {
    Printed printed = Run("a = Animation:New(0, 0)\na:AddKey(1, 2, 3, 4, 5, 6)\n");
    EXPECT_EQ(printed.err,
              "ERROR: [string \"a = Animation:New(0, 0)...\"]:2: error in function 'AddKey'.\n"
              "     argument #3 is 'number'; 'boolean' expected.\n\n");
}

TEST_F(ScriptOverloads, PassNewTakesTwoOrThreeArguments) {
    RunClean(
        "scene = Scene:CreateFS()\n"
        "effect = Effect:New('resource://shaders/plain.vert', 'resource://shaders/plain.frag')\n"
        "target = Target:New()\n"
        "toScreen = Pass:New(scene, effect)\n"
        "toTarget = Pass:New(scene, effect, target)\n"
        "toScreenToo = Pass:New(scene, effect, Target:Screen())\n");
    Demo::Target* target = Global<Demo::Target>("target");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(Global<Demo::Pass>("toScreen")->target, nullptr);
    EXPECT_EQ(Global<Demo::Pass>("toTarget")->target, target);
    EXPECT_EQ(Global<Demo::Pass>("toTarget")->pass.frameBuffer, &target->frameBuffer);
    EXPECT_EQ(Global<Demo::Pass>("toScreenToo")->target, nullptr);
    EXPECT_EQ(Global<Demo::Pass>("toScreenToo")->scene, Global<Demo::Scene>("scene"));
}

TEST_F(ScriptOverloads, AddSourceTriesImageBeforeTarget) {
    std::string out = RunClean(
        "effect = Effect:New('resource://shaders/plain.vert', 'resource://shaders/plain.frag')\n"
        "effect:AddSource(Engine:GetEngine():LoadImage('resource://images/logo.png'))\n"
        "effect:AddSource(Target:New(0.5))\n"
        "effect:AddSource(nil)\n");
    // nil fits both; the image variant, registered last, is the one called.
    EXPECT_EQ(out, "Demo::Effect::AddSource(): no image\n");
    Demo::Effect* effect = Global<Demo::Effect>("effect");
    EXPECT_EQ(effect->sourceCount, 2u);
    // Program, blend switch, blend, then a texture and a sampler state per source.
    EXPECT_EQ(effect->states.Size(), 7u);
}

TEST_F(ScriptOverloads, SmoothTriesTheNodeFormBeforeTheId) {
    std::string out = RunClean(
        "scene = Scene:CreateFS()\n"
        "scene:Smooth(99, 30)\n"
        "scene:Smooth(nil, 30)\n");
    // The id form is silent for unknown ids; nil went to the node form.
    EXPECT_EQ(out, "Demo::Scene::Smooth(): no node\n");
}

TEST_F(ScriptOverloads, StaticNewCountsItsArguments) {
    RunClean(
        "p1 = Part:New(3000)\n"
        "p2 = Part:New(3000, 1000)\n"
        "t1 = Target:New()\n"
        "t2 = Target:New(0.25)\n"
        "a1 = Animation:New(Animation.IM_STEP, Animation.RM_LOOP)\n"
        "a3 = Animation:New(Animation.IM_SLERP, Animation.RM_CONSTANT, 4)\n");
    EXPECT_EQ(Global<Demo::Part>("p1")->start, 0.0f);
    EXPECT_EQ(Global<Demo::Part>("p2")->start, 1000.0f);
    EXPECT_EQ(Global<Demo::Target>("t1")->width, 800u);
    EXPECT_EQ(Global<Demo::Target>("t2")->width, 200u);
    EXPECT_EQ(Global<Demo::Animation>("a1")->components, 1u);
    EXPECT_EQ(Global<Demo::Animation>("a1")->animation.interpolation, 4u);
    EXPECT_EQ(Global<Demo::Animation>("a1")->animation.repeatMode, 1u);
    EXPECT_EQ(Global<Demo::Animation>("a3")->components, 4u);
}

using ScriptConversions = ScriptApi;

TEST_F(ScriptConversions, FloatArgumentsKeepTheirFraction) {
    RunClean("p = Part:New(3.9)\nq = Part:New(2000.75, 0.25)\n");
    EXPECT_EQ(Global<Demo::Part>("p")->end, 3.9f);
    EXPECT_EQ(Global<Demo::Part>("q")->end, 2000.75f);
    EXPECT_EQ(Global<Demo::Part>("q")->start, 0.25f);
}

TEST_F(ScriptConversions, UnsignedArgumentsAreTruncated) {
    RunClean(
        "target = Target:New()\n"
        "part = Part:New(1000)\n"
        "part:AddPass(Pass:New(Scene:CreateFS(), nil, target))\n"
        "part:SetSize(800.7, 600.2)\n");
    Demo::Target* target = Global<Demo::Target>("target");
    EXPECT_EQ(target->width, 800u);
    EXPECT_EQ(target->height, 600u);
    std::string out = RunClean("Scene:CreateFS():Find(2.9)\n");
    EXPECT_EQ(out, "Scene::Find(2): object not found!\n");
}

TEST_F(ScriptConversions, EnumerationArgumentsAreTruncated) {
    RunClean("a = Animation:New(1.9, 1.2)\n");
    Demo::Animation* a = Global<Demo::Animation>("a");
    EXPECT_EQ(a->animation.interpolation, 1u);
    EXPECT_EQ(a->animation.repeatMode, 1u);
}

TEST_F(ScriptConversions, NumbersArePushedBack) {
    RunClean(
        "image = Engine:GetEngine():LoadImage('resource://images/logo.png')\n"
        "size = image:GetWidth() .. 'x' .. image:GetHeight()\n"
        "missing = Engine:GetEngine():LoadImage('resource://images/none.png')\n"
        "none = missing:GetWidth() .. 'x' .. missing:GetHeight()\n");
    EXPECT_EQ(GlobalString("size"), "256x128");
    EXPECT_EQ(GlobalString("none"), "0x0");
}

using ScriptConstants = ScriptApi;

TEST_F(ScriptConstants, ClassTablesHoldTheEnumerations) {
    RunClean(
        "function list(t, names)\n"
        "  local s = ''\n"
        "  for i, n in ipairs(names) do s = s .. n .. '=' .. t[n] .. ' ' end\n"
        "  return s\n"
        "end\n"
        "bf = list(Effect, {'BF_ZERO', 'BF_ONE', 'BF_SRC_COLOR', 'BF_ONE_MINUS_SRC_COLOR',\n"
        "  'BF_DST_COLOR', 'BF_ONE_MINUS_DST_COLOR', 'BF_SRC_ALPHA', 'BF_ONE_MINUS_SRC_ALPHA',\n"
        "  'BF_DST_ALPHA', 'BF_ONE_MINUS_DST_ALPHA', 'BF_CONSTANT_COLOR',\n"
        "  'BF_ONE_MINUS_CONSTANT_COLOR', 'BF_CONSTANT_ALPHA', 'BF_ONE_MINUS_CONSTANT_ALPHA',\n"
        "  'BF_SRC_ALPHA_SATURATE'})\n"
        "be = list(Effect, {'BE_ADD', 'BE_SUBTRACT', 'BE_REV_SUBTRACT', 'BE_MIN', 'BE_MAX'})\n"
        "im = list(Animation, {'IM_LINEAR', 'IM_SLERP', 'IM_SPLINE', 'IM_SQUAD', 'IM_STEP',\n"
        "  'RM_CONSTANT', 'RM_LOOP'})\n");
    EXPECT_EQ(GlobalString("bf"),
              "BF_ZERO=0 BF_ONE=1 BF_SRC_COLOR=2 BF_ONE_MINUS_SRC_COLOR=3 BF_DST_COLOR=4 "
              "BF_ONE_MINUS_DST_COLOR=5 BF_SRC_ALPHA=6 BF_ONE_MINUS_SRC_ALPHA=7 BF_DST_ALPHA=8 "
              "BF_ONE_MINUS_DST_ALPHA=9 BF_CONSTANT_COLOR=10 BF_ONE_MINUS_CONSTANT_COLOR=11 "
              "BF_CONSTANT_ALPHA=12 BF_ONE_MINUS_CONSTANT_ALPHA=13 BF_SRC_ALPHA_SATURATE=14 ");
    EXPECT_EQ(GlobalString("be"), "BE_ADD=0 BE_SUBTRACT=1 BE_REV_SUBTRACT=2 BE_MIN=3 BE_MAX=4 ");
    EXPECT_EQ(GlobalString("im"),
              "IM_LINEAR=0 IM_SLERP=1 IM_SPLINE=2 IM_SQUAD=3 IM_STEP=4 RM_CONSTANT=0 RM_LOOP=1 ");
}

TEST_F(ScriptConstants, BlendConstantsReachTheBlendState) {
    RunClean(
        "e = Effect:New('resource://shaders/plain.vert', 'resource://shaders/plain.frag')\n"
        "e:SetBlendFunc(Effect.BF_SRC_ALPHA, Effect.BF_ONE, Effect.BF_ONE_MINUS_SRC_ALPHA,\n"
        "               Effect.BF_ZERO)\n"
        "e:SetBlendEnabled(true)\n");
    Demo::Effect* e = Global<Demo::Effect>("e");
    EXPECT_EQ(e->blend->srcRGB, 6u);
    EXPECT_EQ(e->blend->srcAlpha, 1u);
    EXPECT_EQ(e->blend->dstRGB, 7u);
    EXPECT_EQ(e->blend->dstAlpha, 0u);
    EXPECT_TRUE(e->blendSwitch->enabled);
}

using ScriptErrors = ScriptApi;

TEST_F(ScriptErrors, MethodOnNilSelf) {
    Printed printed = Run(
        "a = Animation:New(0, 0)\n"
        "a.AddKey(nil, 1, 2)\n"
        "after = true\n");
    // The runtime places the message at the calling line.
    EXPECT_EQ(printed.err,
              "ERROR: [string \"a = Animation:New(0, 0)...\"]:2: invalid 'self' in function "
              "'AddKey'\n");
    EXPECT_FALSE(GlobalBool("after"));
}

TEST_F(ScriptErrors, StaticCalledWithoutColon) {
    Printed printed = Run("viaDot = Engine.GetEngine()\n");
    EXPECT_EQ(printed.err,
              "ERROR: [string \"viaDot = Engine.GetEngine()...\"]:1: error in function "
              "'GetEngine'.\n"
              "     argument #1 is '[no object]'; 'Engine' expected.\n\n");
    EXPECT_EQ(Global<Demo::Engine>("viaDot"), nullptr);
}

TEST_F(ScriptErrors, WrongClassForAnObjectArgument) {
    Printed printed = Run(
        "part = Part:New(1000)\n"
        "part:AttachUpdate(part)\n");
    EXPECT_EQ(printed.err,
              "ERROR: [string \"part = Part:New(1000)...\"]:2: error in function "
              "'AttachUpdate'.\n"
              "     argument #2 is 'Part'; 'Actor' expected.\n\n");
    EXPECT_EQ(Global<Demo::Part>("part")->actors.Size(), 0u);
}

TEST_F(ScriptErrors, MethodOfAnotherClass) {
    Printed printed = Run("Part.AddPass(Target:New(), nil)\n");
    EXPECT_EQ(printed.err,
              "ERROR: [string \"Part.AddPass(Target:New(), nil)...\"]:1: error in function "
              "'AddPass'.\n"
              "     argument #1 is 'Target'; 'Part' expected.\n\n");
}

using ScriptObjects = ScriptApi;

TEST_F(ScriptObjects, ClassesAreGlobalsWithTheirOwnTypeNames) {
    RunClean(
        "types = tolua.type(Part:New(1)) .. ' ' .. tolua.type(Engine:GetEngine()) .. ' ' ..\n"
        "  tolua.type(PointCurve:New(2)) .. ' ' .. tolua.type(Scene:CreateFS():GetRoot())\n"
        "globals = type(Object) .. type(Actor) .. type(Image) .. type(Node) .. type(Pass)\n");
    EXPECT_EQ(GlobalString("types"), "Part Engine PointCurve Node");
    EXPECT_EQ(GlobalString("globals"), "tabletabletabletabletable");
}

TEST_F(ScriptObjects, ScreenTargetIsNil) {
    RunClean("screenIsNil = Target:Screen() == nil\n");
    EXPECT_TRUE(GlobalBool("screenIsNil"));
}

TEST_F(ScriptObjects, EngineIsTheSameObjectEveryTime) {
    RunClean(
        "e1 = Engine:GetEngine()\n"
        "e2 = Engine:GetEngine()\n"
        "same = rawequal(e1, e2)\n");
    EXPECT_TRUE(GlobalBool("same"));
    EXPECT_EQ(Global<Demo::Engine>("e1"), Demo::Engine::GetEngine());
}

TEST_F(ScriptObjects, RootTwiceIsTheSameEngineNode) {
    RunClean(
        "scene = Scene:CreateFS()\n"
        "r1 = scene:GetRoot()\n"
        "r2 = scene:GetRoot()\n");
    Demo::Node* r1 = Global<Demo::Node>("r1");
    Demo::Node* r2 = Global<Demo::Node>("r2");
    ASSERT_NE(r1, nullptr);
    ASSERT_NE(r2, nullptr);
    EXPECT_NE(r1, r2);
    EXPECT_EQ(r1->node, r2->node);
}

TEST_F(ScriptObjects, DroppingLuaReferencesDeletesNothing) {
    unsigned int before = engine()->objects.Size();
    RunClean("dropped = Part:New(1234)\n");
    Demo::Part* part = Global<Demo::Part>("dropped");
    ASSERT_NE(part, nullptr);
    RunClean("dropped = nil\ncollectgarbage('collect')\ncollectgarbage('collect')\n");
    EXPECT_EQ(engine()->objects.Size(), before + 1);
    EXPECT_TRUE(engine()->objects.Contains(part));
    EXPECT_EQ(part->end, 1234.0f);  // still a live object (the sanitizer build checks)
    // No class has a collector registered with the binding runtime.
    const char* classes[] = {"Object", "Actor", "Animation", "Effect", "Engine", "Image",
                             "Node",   "Part",  "Pass",      "Scene",  "Target", "PointCurve"};
    for (const char* name : classes) {
        lua_pushstring(L(), "tolua_gc");
        lua_rawget(L(), LUA_REGISTRYINDEX);
        ASSERT_TRUE(lua_istable(L(), -1));
        luaL_getmetatable(L(), name);
        ASSERT_TRUE(lua_istable(L(), -1)) << name;
        lua_rawget(L(), -2);
        EXPECT_TRUE(lua_isnil(L(), -1)) << name;
        lua_settop(L(), 0);
    }
}

TEST_F(ScriptObjects, PointCurveIsAnActor) {
    RunClean(
        "part = Part:New(1000)\n"
        "curve = PointCurve:New(4)\n"
        "part:AttachUpdate(curve)\n"
        "curve:CreatePoint(0, 0, 0)\n"
        "curve:AddPoint(Scene:CreateFS():GetRoot())\n");
    Demo::Part* part = Global<Demo::Part>("part");
    ASSERT_EQ(part->actors.Size(), 1u);
    EXPECT_EQ(part->actors[0], Global<Demo::PointCurve>("curve"));
    EXPECT_EQ(Global<Demo::PointCurve>("curve")->points.Size(), 2u);
}

TEST_F(ScriptObjects, EngineCallsReachTheEngine) {
    unsigned int parts = engine()->parts.Size();
    unsigned int jobs = engine()->renderJobs.Size();
    RunClean(
        "e = Engine:GetEngine()\n"
        "p = Part:New(500)\n"
        "t = Target:New()\n"
        "e:AddPart(p)\n"
        "e:RenderOnce(p, t, 12.5)\n"
        "e:SetStartTime(250.5)\n");
    ASSERT_EQ(engine()->parts.Size(), parts + 1);
    EXPECT_EQ(engine()->parts.Last(), Global<Demo::Part>("p"));
    ASSERT_EQ(engine()->renderJobs.Size(), jobs + 1);
    EXPECT_EQ(engine()->renderJobs.Last().target, Global<Demo::Target>("t"));
    EXPECT_EQ(engine()->renderJobs.Last().time, 12.5f);
    EXPECT_EQ(engine()->startTime, 250.5f);
    engine()->SetStartTime(0);
}

TEST_F(ScriptObjects, ScriptsLoadScripts) {
    gPlatform->files["resource://scripts/inner.lua"] = "innerRan = outerValue + 1";
    RunClean(
        "outerValue = 41\n"
        "Engine:GetEngine():LoadScript('resource://scripts/inner.lua')\n"
        "afterInner = innerRan\n");
    lua_getglobal(L(), "afterInner");
    EXPECT_EQ(lua_tonumber(L(), -1), 42.0);
    lua_pop(L(), 1);
}

// Every operation that takes an object, given nil: a message naming the
// function, nothing done, and the script goes on.
using ScriptNil = ScriptApi;

TEST_F(ScriptNil, EngineOperations) {
    unsigned int parts = engine()->parts.Size();
    unsigned int jobs = engine()->renderJobs.Size();
    Printed printed = Run(
        "e = Engine:GetEngine()\n"
        "p = Part:New(100)\n"
        "t = Target:New()\n"
        "e:AddPart(nil)\n"
        "e:RenderOnce(nil, t, 0)\n"
        "e:RenderOnce(p, nil, 0)\n"
        "e:RenderOnce(p, Target:Screen(), 0)\n"
        "e:LoadScript(nil)\n"
        "e:LoadMusic(nil)\n"
        "scene = e:LoadScene(nil)\n"
        "image = e:LoadImage(nil)\n"
        "done = scene ~= nil and image ~= nil and image:GetWidth() == 0\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.out,
              "Demo::Engine::AddPart(): no part\n"
              "Demo::Engine::RenderOnce(): no part\n"
              "Demo::Engine::RenderOnce(): no target\n"
              "Demo::Engine::RenderOnce(): no target\n"
              "Demo::Engine::LoadScript(): no URL\n"
              "Demo::Engine::LoadMusic(): no URL\n"
              "Demo::Engine::LoadScene(): no URL, the scene is empty\n"
              "Demo::Engine::LoadImage(): no URL, the image is empty\n");
    EXPECT_TRUE(GlobalBool("done"));
    EXPECT_EQ(engine()->parts.Size(), parts);
    EXPECT_EQ(engine()->renderJobs.Size(), jobs);
}

TEST_F(ScriptNil, EffectOperations) {
    Printed printed = Run(
        "e = Effect:New('resource://shaders/plain.vert', 'resource://shaders/plain.frag')\n"
        "e:BindParam('amount', nil)\n"
        "e:AddSource(nil)\n"
        "none = Effect:New(nil, nil)\n"
        "done = none ~= nil\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.out,
              "Demo::Effect::BindParam(): no animation\n"
              "Demo::Effect::AddSource(): no image\n"
              "Demo::Effect::ReadFile(): cannot open (null)\n"
              "Demo::Effect::ReadFile(): cannot open (null)\n");
    EXPECT_TRUE(GlobalBool("done"));
    // Program, blend switch, blend: nothing was added.
    EXPECT_EQ(Global<Demo::Effect>("e")->states.Size(), 3u);
}

TEST_F(ScriptNil, NodeOperations) {
    Printed printed = Run(
        "n = Scene:CreateFS():GetRoot()\n"
        "n:SetEffect(nil)\n"
        "n:Attach(nil)\n"
        "n:BindLocation(nil)\n"
        "n:BindRotation(nil)\n"
        "n:BindScale(nil)\n"
        "done = true\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.out,
              "Demo::Node::SetEffect(): no effect\n"
              "Demo::Node::Attach(): no node\n"
              "Demo::Node::BindLocation(): no animation\n"
              "Demo::Node::BindRotation(): no animation\n"
              "Demo::Node::BindScale(): no animation\n");
    EXPECT_TRUE(GlobalBool("done"));
}

TEST_F(ScriptNil, PartAndPassOperations) {
    Printed printed = Run(
        "part = Part:New(100)\n"
        "part:AddPass(nil)\n"
        "part:AttachUpdate(nil)\n"
        "pass = Pass:New(nil, nil, nil)\n"
        "pass:BindTargetState(nil)\n"
        "pass:BindState(nil)\n"
        "screen = Pass:New(nil, nil)\n"
        "done = pass ~= nil and screen ~= nil\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.out,
              "Demo::Part::AddPass(): no pass\n"
              "Demo::Part::AttachUpdate(): no actor\n"
              "Demo::Pass::Pass(): no scene\n"
              "Demo::Pass::Pass(): no effect\n"
              "Demo::Pass::BindTargetState(): no animation\n"
              "Demo::Pass::BindState(): no animation\n"
              "Demo::Pass::Pass(): no scene\n"
              "Demo::Pass::Pass(): no effect\n");
    EXPECT_TRUE(GlobalBool("done"));
    Demo::Part* part = Global<Demo::Part>("part");
    EXPECT_EQ(part->passes.Size(), 0u);
    EXPECT_EQ(part->actors.Size(), 0u);
    EXPECT_EQ(Global<Demo::Pass>("pass")->targetState, nullptr);
}

TEST_F(ScriptNil, SceneAndPointCurveOperations) {
    Printed printed = Run(
        "s = Scene:CreateFS()\n"
        "s:Smooth(nil, 30)\n"
        "c = PointCurve:New(2)\n"
        "c:AddPoint(nil)\n"
        "done = true\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.out,
              "Demo::Scene::Smooth(): no node\n"
              "Demo::PointCurve::AddPoint(): no point\n");
    EXPECT_TRUE(GlobalBool("done"));
    EXPECT_EQ(Global<Demo::PointCurve>("c")->points.Size(), 0u);
}

}  // namespace
