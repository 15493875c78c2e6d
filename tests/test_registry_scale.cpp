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
        "for i = 1, 200000 do Target:New() end\n"
        "for i = 1, 100000 do Effect:New('resource://v', 'resource://v') end\n"
        "for i = 1, 200000 do scene:GetRoot() end\n";
    auto start = std::chrono::steady_clock::now();
    testsupport::RunScript(text);
    // One scene and 500,000 objects: the scene lists a camera and a mesh,
    // each target a texture, a depth buffer and a framebuffer, each effect a program.
    EXPECT_EQ(engine->objects.Size(), 500001u);
    EXPECT_EQ(gl.manager.resources.Size() - resources, 2u + 3u * 200000u + 100000u);
    delete Demo::Engine::instance;
    EXPECT_EQ(gl.manager.resources.Size(), resources);
    // Growing by a fixed step and scanning the list on each registration took
    // minutes here; a linear cost takes about a second, a sanitizer build a few.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
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
