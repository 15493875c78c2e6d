// The registries at scale: the demo engine's object registry and the resource
// list take a bounded cost per object, and the resource list stays exact
// through any order of removals.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/Program.h"
#include "engine/Texture2D.h"
#include "support/DemoTestEnv.h"
#include "support/ScriptTestUtil.h"

namespace {

using RegistryScale = testsupport::DemoTestEnv;

TEST_F(RegistryScale, ScriptsMakeManyObjectsAtABoundedCostEach) {
    platform.files["resource://v"] = "void main() {}";
    unsigned int resources = gl.manager.resources.Size();
    std::string text =
        "local scene = Scene:CreateFS()\n"
        "for i = 1, 50000 do Target:New(0) end\n"
        "for i = 1, 500 do Effect:New('resource://v', 'resource://v') end\n"
        "for i = 1, 200000 do scene:GetRoot() end\n";
    auto start = std::chrono::steady_clock::now();
    testsupport::RunScript(text);
    // One scene and 250,500 objects, within the objects' budget: the scene
    // lists a camera and a mesh, each target a texture, a depth buffer and a
    // framebuffer, each effect a program.
    EXPECT_EQ(engine->objects.Size(), 250501u);
    EXPECT_EQ(gl.manager.resources.Size() - resources, 2u + 3u * 50000u + 500u);
    delete Demo::Engine::instance;
    EXPECT_EQ(gl.manager.resources.Size(), resources);
    // Growing by a fixed step and scanning the list on each registration took
    // minutes here; a linear cost takes about a second, a sanitizer build a few.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// What scripts make, and what their calls add to it, is charged against one
// budget: a loop of any of them ends in an error naming the call, and what was
// made stays. Each of these loops once took gigabytes within the time limit.
TEST_F(RegistryScale, EndlessLoopsOfObjectsStopAtTheBudget) {
    platform.files["resource://v"] = "void main() {}";
    const char* const loops[][2] = {
        {"Target.New", "while true do Target:New() end"},
        {"Effect.New", "while true do Effect:New('resource://v', 'resource://v') end"},
        {"Scene.GetRoot", "local s = Scene:CreateFS() while true do s:GetRoot() end"},
        {"Animation.AddKey",
         "local a = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT)\n"
         "local t = 0 while true do t = t + 1 a:AddKey(t, 1, 2, 3, 4) end"},
        {"Effect.SetParam",
         "local e = Effect:New('resource://v', 'resource://v') while true do e:SetParam('p', 1) end"},
        {"Part.AddPass", "local p, s = Part:New(1), Pass:New(Scene:CreateFS(), nil)\n"
                         "while true do p:AddPass(s) end"},
        {"Engine.AddPart", "local e, p = Engine:GetEngine(), Part:New(1) while true do e:AddPart(p) end"},
        {"Node.Attach", "local a, b = Scene:CreateFS():GetRoot(), Scene:CreateFS():GetRoot()\n"
                        "while true do a:Attach(b) end"},
    };
    for (const auto& loop : loops) {
        SCOPED_TRACE(loop[0]);
        engine->objectBudget = 1u << 20;
        engine->width = 64;
        engine->height = 48;
        std::string err;
        testsupport::RunScript(loop[1], &err);
        EXPECT_NE(err.find(std::string(loop[0]) + "(): the demo's objects would hold more than 1 MB"),
                  std::string::npos)
            << err;
        EXPECT_LE(engine->heldBytes, engine->objectBudget);
        EXPECT_GT(engine->heldBytes, engine->objectBudget - (300u << 10));  // the dearest is an effect
        delete Demo::Engine::instance;
        engine = Demo::Engine::GetEngine();
    }
}

TEST(ResourceListScale, StaysExactThroughAnyOrderOfRemovals) {
    RecordingEngine gl;
    std::vector<Resource*> live;
    for (int i = 0; i < 100000; ++i) {
        if (i % 2) live.push_back(new Program());
        else live.push_back(new Texture2D());
    }
    std::mt19937 random(7);
    std::shuffle(live.begin(), live.end(), random);
    // Half go, in an order unrelated to their places in the list.
    for (size_t i = 0; i < live.size() / 2; ++i) delete live[i];
    live.erase(live.begin(), live.begin() + live.size() / 2);
    // Registering a listed resource again and unregistering an unlisted one change nothing.
    for (size_t i = 0; i < live.size(); i += 100) gl.manager.Register(live[i]);
    Texture2D outsider;  // listed by its constructor, then taken off twice
    gl.manager.Unregister(&outsider);
    gl.manager.Unregister(&outsider);

    std::vector<Resource*> listed(gl.manager.resources.begin(), gl.manager.resources.end());
    std::set<Resource*> unique(listed.begin(), listed.end());
    EXPECT_EQ(unique.size(), listed.size());  // no duplicates
    EXPECT_EQ(unique, std::set<Resource*>(live.begin(), live.end()));
    // The rest go, and the list with them.
    for (Resource* resource : live) delete resource;
    EXPECT_EQ(std::vector<Resource*>(gl.manager.resources.begin(), gl.manager.resources.end()),
              std::vector<Resource*>{});
}

}  // namespace
