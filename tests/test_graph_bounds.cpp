// Scene graphs that scripts or scene files build never hang the player or
// overflow the stack: deep chains walk on the heap and build in linear time,
// graphs with many paths are cut off with one message, duplicate and cyclic
// attachments are refused, and scene files obey a nesting limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "demo/Engine.h"
#include "demo/Scene.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneManager.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"
#include "render/BlendState.h"
#include "support/M3GBuilder.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"
#include "support/SceneTestUtil.h"
#include "support/ScriptTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// Generous against a loaded machine; the faults these tests catch take
// minutes or never end. The sanitizer build is unoptimised and copies on
// every realloc, so it is allowed more.
#if defined(__SANITIZE_ADDRESS__)
const double kQuick = 60.0;
#else
const double kQuick = 5.0;
#endif

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

unsigned int Count(const std::vector<std::string>& log, const std::string& prefix) {
    unsigned int n = 0;
    for (const std::string& line : log) n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

std::string CutMessage(const char* function, const char* rest = "the rest is skipped") {
    return std::string(function) + "(): more than " + std::to_string(SceneNode::VisitBudget()) +
           " paths through the scene graph, " + rest + "\n";
}

// Two nodes per level, each listed under both nodes of the level above: the
// paths double at every level. Every node draws the mesh and carries a blend
// state, so the queue shows how far a walk went and whether states nest.
struct Ladder {
    explicit Ladder(unsigned int levels) {
        root.Attach(&blend);
        for (unsigned int k = 0; k < levels; ++k)
            for (int side = 0; side < 2; ++side) {
                nodes.emplace_back(new SceneNode());
                nodes.back()->Attach(&mesh);
                nodes.back()->Attach(&blend);
            }
        root.Attach(nodes[0].get());
        root.Attach(nodes[1].get());
        for (unsigned int i = 2; i < nodes.size(); ++i) {
            nodes[i - 2 - i % 2]->Attach(nodes[i].get());
            nodes[i - 1 - i % 2]->Attach(nodes[i].get());
        }
    }
    Mesh mesh;
    BlendState blend;
    SceneNode root;
    std::vector<std::unique_ptr<SceneNode>> nodes;
};

// A chain of n nodes below a root, each one unit further along z; every
// thousandth node and the last draw, and every thousandth carries a state.
struct Chain {
    Chain(unsigned int n, bool topDown) {
        for (unsigned int i = 0; i < n; ++i) {
            nodes.emplace_back(new SceneNode(Vec3(0, 0, 1)));
            if (i % 1000 == 999 || i == n - 1) nodes.back()->Attach(&mesh);
            if (i % 1000 == 0) nodes.back()->Attach(&blend);
        }
        if (topDown) {
            root.Attach(nodes[0].get());
            for (unsigned int i = 1; i < n; ++i) nodes[i - 1]->Attach(nodes[i].get());
        } else {
            for (unsigned int i = n - 1; i > 0; --i) nodes[i - 1]->Attach(nodes[i].get());
            root.Attach(nodes[0].get());
        }
    }
    Mesh mesh;
    BlendState blend;
    SceneNode root;
    std::vector<std::unique_ptr<SceneNode>> nodes;
};

void ExpectBalanced(const SceneManager& manager) {
    for (const Vector<RenderState*>& stack : manager.stacks) EXPECT_EQ(stack.Size(), 0u);
}

void DeepChain(bool topDown) {
    const unsigned int kNodes = 200000;
    auto start = std::chrono::steady_clock::now();
    Chain chain(kNodes, topDown);
    RecordingRenderer rec;
    SceneManager manager;
    Pass pass(&chain.root);
    Technique technique;
    technique.passes.Add(&pass);
    rec.BindTechnique(&technique);
    CaptureFd out(1);
    manager.Update(&technique, 1);
    chain.root.transform.translation = Vec3(5, 0, 0);
    chain.root.dirty = true;
    manager.Update(&technique, 2);
    rec.Render();
    EXPECT_EQ(out.Stop(), "");
    EXPECT_LT(SecondsSince(start), kQuick);
    ExpectBalanced(manager);
    EXPECT_EQ(Count(rec.log, "Geometry("), kNodes / 1000);
    // The blend state of the first node stays in force to the end.
    EXPECT_EQ(Count(rec.log, "Blend("), 1u);
    const Mat4& leaf = chain.nodes.back()->world;
    EXPECT_EQ(leaf.m[12], 5.0f);
    EXPECT_EQ(leaf.m[14], float(kNodes));
    EXPECT_EQ(chain.nodes.back()->prevWorld.m[12], 0.0f);
}

}  // namespace

TEST(GraphBounds, ChainOf200000BuiltTopDownUpdatesAndRenders) { DeepChain(true); }

TEST(GraphBounds, ChainOf200000BuiltBottomUpUpdatesAndRenders) { DeepChain(false); }

TEST(GraphBounds, DoublyAttachedLadderIsCutOffWithOneMessagePerWalk) {
    auto start = std::chrono::steady_clock::now();
    Ladder ladder(40);  // 2^40 paths to the last level
    SceneManager manager;
    Pass pass(&ladder.root);
    CaptureFd out(1);
    for (int frame = 1; frame <= 3; ++frame) {
        manager.Update(&pass, float(frame));
        ExpectBalanced(manager);
        // Each node entered before the cut draws once; the root is one of them.
        unsigned int geometry = 0;
        for (RenderState* state : pass.queue.states)
            geometry += state->GetRenderStateType() == RenderState::RST_Geometry;
        EXPECT_EQ(geometry, SceneNode::VisitBudget() - 1);
    }
    EXPECT_EQ(out.Stop(), CutMessage("SceneManager::PropagateWorld") +
                              CutMessage("SceneManager::PropagateCull"));
    EXPECT_LT(SecondsSince(start), kQuick);
}

TEST(GraphBounds, UpdateVisitsASharedNodeOnceAndIsCutOffAtATimeThatIsNotEqualToItself) {
    Ladder ladder(40);
    CaptureFd out(1);
    ladder.root.Update(1);
    for (auto& node : ladder.nodes) EXPECT_EQ(node->lastUpdateTime, 1.0f);
    EXPECT_EQ(out.Stop(), "");
    CaptureFd again(1);
    ladder.root.Update(NAN);
    ladder.root.Update(NAN);
    EXPECT_EQ(again.Stop(), CutMessage("SceneNode::Update", "the rest is not animated"));
}

TEST(GraphBounds, DuplicateAttachIsRefusedASecondParentIsNot) {
    SceneNode a, b, c;
    CaptureFd out(1);
    a.Attach(&b);
    a.Attach(&b);
    c.Attach(&b);
    EXPECT_EQ(out.Stop(), "SceneNode::Attach(): node is already a child of this node, ignored\n");
    EXPECT_EQ(a.children.Size(), 1u);
    EXPECT_EQ(c.children.Size(), 1u);
    EXPECT_EQ(b.parent, &c);
    // Detached, it may come back once.
    a.Detach(&b);
    CaptureFd back(1);
    a.Attach(&b);
    EXPECT_EQ(back.Stop(), "");
    EXPECT_EQ(a.children.Size(), 1u);
}

TEST(GraphBounds, CycleCheckSeesPathsThroughSharedAndDetachedNodes) {
    // c is under b and e; a detach by a node that is not its parent clears
    // c's parent pointer, yet the path a -> b -> c stays and must be seen.
    SceneNode a, b, c, d, e, f;
    a.Attach(&b);
    b.Attach(&c);
    e.Attach(&c);
    c.Attach(&d);
    f.Detach(&c);
    CaptureFd out(1);
    d.Attach(&a);
    d.Attach(&e);
    d.Attach(&b);
    a.Attach(&a);
    a.Attach(static_cast<SceneNode*>(nullptr));
    const std::string cycle = "SceneNode::Attach(): node would become its own descendant, ignored\n";
    EXPECT_EQ(out.Stop(), cycle + cycle + cycle + cycle + "SceneNode::Attach(): null child, ignored\n");
    EXPECT_EQ(d.children.Size(), 0u);
    EXPECT_EQ(a.children.Size(), 1u);
    EXPECT_EQ(a.parent, nullptr);
    // Across a ladder whose 2^60 paths must not be followed one by one.
    Ladder ladder(60);
    CaptureFd deep(1);
    ladder.nodes.back()->Attach(&ladder.root);
    ladder.nodes.back()->Attach(ladder.nodes[0].get());
    EXPECT_EQ(deep.Stop(), "SceneNode::Attach(): node would become its own descendant, ignored\n"
                           "SceneNode::Attach(): node would become its own descendant, ignored\n");
}

TEST(GraphBounds, CycleCheckCostsTheSmallerSide) {
    // Small subtrees under the bottom of a deep chain: the search from the
    // child ends at once. The chain under shallow nodes: the climb ends at once.
    Chain chain(200000, true);
    auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<SceneNode>> extra;
    for (int i = 0; i < 20000; ++i) {
        extra.emplace_back(new SceneNode());
        extra.emplace_back(new SceneNode(Vec3(), Quat(0, 0, 0, 1), extra.back().get()));
        chain.nodes.back()->Attach(extra[extra.size() - 2].get());
    }
    SceneNode top;
    for (int i = 0; i < 20000; ++i) {
        extra.emplace_back(new SceneNode(Vec3(), Quat(0, 0, 0, 1), &top));
        extra.back()->Attach(chain.nodes[1].get());
    }
    EXPECT_LT(SecondsSince(start), kQuick);
    EXPECT_EQ(chain.nodes.back()->children.Size(), 20000u);
    EXPECT_EQ(top.children.Size(), 20000u);
}

TEST(GraphBounds, SmoothIsCutOffOnALadder) {
    Ladder ladder(40);
    Scene* owned = new Scene();
    Demo::Scene scene(owned);
    auto start = std::chrono::steady_clock::now();
    CaptureFd out(1);
    scene.Smooth(&ladder.root, 30);
    // The ladder's mesh has neither positions nor normals: one warning for
    // each node entered below the root before the cut.
    std::string printed = out.Stop();
    char warning[80];
    snprintf(warning, sizeof warning, "Warning: mesh %p doesn't have AT_LOCATION and AT_NORMAL\n",
             static_cast<void*>(&ladder.mesh));
    std::string cut = CutMessage("Demo::Scene::Smooth", "the rest is left unsmoothed");
    unsigned int warnings = 0;
    size_t at = 0;
    for (; printed.compare(at, strlen(warning), warning) == 0; at += strlen(warning)) ++warnings;
    EXPECT_EQ(warnings, SceneNode::VisitBudget() - 1);
    EXPECT_EQ(printed.substr(at), cut);
    EXPECT_LT(SecondsSince(start), kQuick);
}

namespace {

// Without vertices; one empty submesh when it has bone references to build.
Bytes Skinned(uint32_t id, uint32_t skeleton, const std::vector<uint32_t>& bones) {
    Bytes b = Bytes().PlainNode(id).U32(0);
    if (bones.empty())
        b.U32(0);
    else
        b.U32(1).U32(0).U32(0);
    b.U32(skeleton).U32(uint32_t(bones.size()));
    for (uint32_t bone : bones) b.U32(bone).U32(0).U32(0).U32(1);
    return b;
}

// One frame of every pass; what it printed.
struct Converted : ConvertedScene {
    using ConvertedScene::ConvertedScene;
    std::string Frame() {
        CaptureFd out(1);
        for (Pass* pass : All<Pass>(scene)) manager.Update(pass, 1);
        return out.Stop();
    }
    SceneManager manager;
};

}  // namespace

TEST(GraphBounds, BoneReferencesCannotNestGroupsPastTheLimit) {
    // Groups 1..n, group k listing group k - 1, reached only as bones of one
    // skinned mesh in that order: each is converted at a shallow depth and
    // takes the chain below it, which grows one level per reference.
    const unsigned int kGroups = 100000;
    std::vector<std::vector<unsigned char>> records;
    std::vector<uint32_t> bones;
    for (unsigned int k = 1; k <= kGroups; ++k) {
        // Object index k + 1.
        records.push_back(Record(9, k == 1 ? Group(k, {}) : Group(k, {k})));
        bones.push_back(k + 1);
    }
    records.push_back(Record(16, Skinned(0, 0, bones)));
    records.push_back(Record(22, World(0, {kGroups + 2, kGroups + 1})));
    Converted c(SceneFile(records));
    EXPECT_LT(c.seconds, kQuick);
    // A chain of 1001 levels is as deep as a nesting of 1000 groups gets; the
    // next group is refused it and starts a chain of its own.
    std::string expected;
    for (unsigned int k = 1002; k <= kGroups; k += 1001)
        expected += "M3G::Group::Create(): object " + std::to_string(k) +
                    " would nest nodes deeper than 1000, ignored\n";
    EXPECT_EQ(c.printed, expected);
    EXPECT_EQ(c.NodeWithId(1000)->parent, c.NodeWithId(1001));
    EXPECT_EQ(c.NodeWithId(1001)->parent, nullptr);
    EXPECT_EQ(c.NodeWithId(1002)->children.Size(), 0u);
    EXPECT_EQ(c.NodeWithId(1003)->children[0], c.NodeWithId(1002));
    // The last chain is short enough to hang under the World.
    EXPECT_EQ(c.NodeWithId(kGroups)->parent, c.NodeWithId(0));
    EXPECT_EQ(c.Frame(), "");
}

// Scene files may list a node under two parents; a ladder of such nodes has
// 2^levels paths, which the frame's walks cut off at their budget.
TEST(GraphBounds, DoublyListedNodesInSceneFilesCostABoundedFrame) {
    const unsigned int kLevels = 40;
    // Level k: groups A = 2 + 2k and B = 3 + 2k (object indices), both listing
    // the next level's A and B.
    auto A = [](unsigned int k) { return 2 + 2 * k; };
    std::vector<std::vector<unsigned char>> records;
    for (unsigned int k = 0; k < kLevels; ++k)
        for (int side = 0; side < 2; ++side)
            records.push_back(Record(9, k + 1 < kLevels ? Group(A(k) + side, {A(k + 1), A(k + 1) + 1})
                                                        : Group(A(k) + side, {})));
    records.push_back(Record(22, World(0, {A(0), A(0) + 1})));
    Converted c(SceneFile(records));
    EXPECT_EQ(c.printed, "");
    EXPECT_EQ(c.NodeWithId(A(5))->children.Size(), 2u);
    EXPECT_EQ(c.NodeWithId(A(5) + 1)->children[0], c.NodeWithId(A(6)));
    auto start = std::chrono::steady_clock::now();
    std::string frame = c.Frame();
    EXPECT_LT(SecondsSince(start), kQuick);
    EXPECT_NE(frame.find("paths through the scene graph"), std::string::npos) << frame;
    // Once per kind of walk and manager, not once per frame.
    EXPECT_EQ(c.Frame(), "");
}

// A skeleton shared by two skinned meshes hangs under both, level after level.
TEST(GraphBounds, ASkeletonSharedByTwoSkinnedMeshesIsAttachedUnderBoth) {
    const unsigned int kLevels = 40;
    auto K = [](unsigned int k) { return 2 + 3 * k; };
    std::vector<std::vector<unsigned char>> records;
    for (unsigned int k = 0; k < kLevels; ++k) {
        records.push_back(Record(9, k + 1 < kLevels ? Group(K(k), {K(k + 1) + 1, K(k + 1) + 2})
                                                    : Group(K(k), {})));
        records.push_back(Record(16, Skinned(K(k) + 1, K(k), {})));
        records.push_back(Record(16, Skinned(K(k) + 2, K(k), {})));
    }
    records.push_back(Record(22, World(0, {K(0) + 1, K(0) + 2})));
    Converted c(SceneFile(records));
    EXPECT_EQ(c.printed, "");
    for (unsigned int k = 0; k < kLevels; ++k) {
        EXPECT_EQ(c.NodeWithId(K(k) + 1)->children[0], c.NodeWithId(K(k))) << k;
        EXPECT_EQ(c.NodeWithId(K(k) + 2)->children[0], c.NodeWithId(K(k))) << k;
    }
    std::string frame = c.Frame();
    EXPECT_NE(frame.find("paths through the scene graph"), std::string::npos) << frame;
    EXPECT_LT(c.seconds, kQuick);
}

TEST(GraphBounds, ANodeStillBeingConvertedIsNotAttached) {
    // A skeleton that lists its own skinned mesh.
    Converted skeleton(SceneFile({Record(9, Group(1, {3})),       // 2
                                  Record(16, Skinned(2, 2, {})),  // 3, over 2
                                  Record(22, World(0, {2}))}));
    EXPECT_EQ(skeleton.printed,
              "M3G::SkinnedMesh::Create(): object 2 is still being converted, ignored\n");
    EXPECT_EQ(skeleton.NodeWithId(2)->parent, skeleton.NodeWithId(1));
    EXPECT_EQ(skeleton.NodeWithId(1)->parent, skeleton.NodeWithId(0));
    // A bone group that lists the skinned mesh naming it: the mesh stays in
    // the World rather than under a group that hangs nowhere.
    Converted bone(SceneFile({Record(9, Group(1, {3})),        // 2
                              Record(16, Skinned(2, 0, {2})),  // 3, bone 2
                              Record(22, World(0, {3}))}));
    EXPECT_EQ(bone.printed, "M3G::Group::Create(): object 3 is still being converted, ignored\n");
    EXPECT_EQ(bone.NodeWithId(2)->parent, bone.NodeWithId(0));
    EXPECT_EQ(bone.NodeWithId(1)->children.Size(), 0u);
    EXPECT_EQ(bone.Frame(), "");
}

TEST(GraphBounds, ScriptBuiltLadderIsCutOffAndItsAttachErrorsReported) {
    testsupport::ProcessWideDemo();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunScript("fs = Scene:CreateFS()\n"
                        "curve = PointCurve:New(1)\n"
                        "fs:GetRoot():Attach(curve:GetNode())\n"
                        "a, b = {}, {}\n"
                        "for k = 0, 40 do\n"
                        "  a[k], b[k] = curve:CreatePoint(0, 0, 0), curve:CreatePoint(0, 0, 0)\n"
                        "end\n"
                        "for k = 0, 39 do\n"
                        "  a[k]:Attach(a[k + 1]) a[k]:Attach(b[k + 1])\n"
                        "  b[k]:Attach(a[k + 1]) b[k]:Attach(b[k + 1])\n"
                        "end\n"
                        "a[0]:Attach(a[1])\n"
                        "a[40]:Attach(a[0])\n"),
              "SceneNode::Attach(): node is already a child of this node, ignored\n"
              "SceneNode::Attach(): node would become its own descendant, ignored\n");
    // The points have no meshes: smoothing from one prints only the cut.
    EXPECT_EQ(RunScript("fs:Smooth(a[0], 30)\n"),
              CutMessage("Demo::Scene::Smooth", "the rest is left unsmoothed"));
    Demo::Scene* fs = ScriptGlobal<Demo::Scene>("fs");
    ASSERT_NE(fs, nullptr);
    Vector<SceneObject*> passes;
    fs->scene->FindAll(SceneObject::SOT_Pass, &passes);
    ASSERT_EQ(passes.Size(), 1u);
    Pass* pass = static_cast<Pass*>(passes[0]);
    SceneManager manager;
    CaptureFd out(1);
    for (int frame = 1; frame <= 3; ++frame) {
        manager.Update(pass, float(frame));
        ExpectBalanced(manager);
    }
    EXPECT_EQ(out.Stop(), CutMessage("SceneManager::PropagateWorld") +
                              CutMessage("SceneManager::PropagateCull"));
    EXPECT_LT(SecondsSince(start), kQuick);
}
