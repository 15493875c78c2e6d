// Node records.
#include "m3g/Node.h"

#include <cstdio>

#include "engine/Actor.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "m3g/AnimationTrack.h"
#include "math/Quat.h"
#include "math/Transform.h"
#include "math/Vec3.h"

namespace M3G {

namespace {

// Conversion recurses once per level of nesting (groups, skeletons, bones);
// a damaged file chaining tens of thousands of groups would overflow the
// stack. No real scene comes near this depth.
const unsigned int kMaxNodeDepth = 1000;
unsigned int nodeDepth = 0;

}  // namespace

Node::Node(DataSource* source, Loader* loader)
    : Transformable(source, loader),
      zTarget(0),
      yTarget(0),
      zReference(0),
      yReference(0),
      extraCount(0),
      extras(nullptr),
      sceneNode(nullptr),
      converting(false),
      nesting(1) {
    renderingEnabled = ReadBool(source);
    pickingEnabled = ReadBool(source);
    alphaFactor = ReadU8(source);
    scope = ReadU32(source);
    hasAlignment = ReadBool(source);
    if (hasAlignment) {
        zTarget = ReadU8(source);
        yTarget = ReadU8(source);
        zReference = ReadU32(source);
        yReference = ReadU32(source);
    }
    if (loader->GetVersion() == 1) {
        extraCount = ReadU32(source);
        extras = ReadU32Array(source, &extraCount);
    }
}

Node::~Node() {
    delete[] extras;
}

SceneNode* Node::CreateSceneNode() {
    if (sceneNode) return sceneNode;
    // Cached before anything else, so that a node reached again while its
    // children are converted (a cycle in a damaged file) is not made twice.
    sceneNode = new SceneNode(Vec3::ZERO, Quat::ZERO);
    sceneNode->id = userID;
    Transform transform;
    GetTransform(&transform);
    sceneNode->transform = transform;
    sceneNode->dirty = true;
    for (unsigned int i = 0; i < animationTrackCount; ++i) {
        AnimationTrack* track =
            static_cast<AnimationTrack*>(loader->GetObject(animationTracks[i], T_AnimationTrack));
        if (!track) continue;
        Actor::Property property;
        switch (track->property) {
        case AnimationTrack::P_Orientation:
            property = Actor::P_Rotation;
            break;
        case AnimationTrack::P_Scale:
            property = Actor::P_Scale;
            break;
        case AnimationTrack::P_Translation:
            property = Actor::P_Location;
            break;
        default:
            printf("M3G::Node::CreateSceneNode(): unsupported property %d\n", int(track->property));
            continue;
        }
        sceneNode->BindProperty(property, track->CreateAnimation());
    }
    Scene* scene = loader->GetScene();
    scene->objects.Add(sceneNode);
    if (nodeDepth < kMaxNodeDepth) {
        ++nodeDepth;
        converting = true;
        Create();
        converting = false;
        --nodeDepth;
    } else {
        printf("M3G::Node::CreateSceneNode(): nodes nested deeper than %u, object %u keeps no "
               "children\n",
               kMaxNodeDepth, userID);
    }
    if (loader->debug) {
        SceneNode* marker = new SceneNode();
        marker->transform.scale = Vec3(20.2f, 20.2f, 20.2f);
        if (::Mesh* mesh = loader->GetDebugMesh()) marker->Attach(mesh);
        sceneNode->Attach(marker);
        scene->objects.Add(marker);
    }
    // Appearance nodes and markers are leaves: one level more.
    if (sceneNode->children.Size() > 0 && nesting < 2) nesting = 2;
    return sceneNode;
}

bool Node::AttachChild(Node* child, unsigned int index, const char* function) {
    SceneNode* node = child->CreateSceneNode();
    // Still being converted: it encloses this node, through children or
    // references, and its own nesting is not known yet.
    if (child->converting) {
        printf("%s(): object %u is still being converted, ignored\n", function, index);
        return false;
    }
    // A node listed under a second parent is attached under both in turn; the
    // walks over the graph are bounded by their budget of paths, so a chain of
    // doubly listed nodes costs a bounded amount per frame, not 2^depth.
    // Nesting is counted bottom-up, as attaching builds the graph: a chain
    // of bone references can have made a deep subtree at a shallow depth of
    // conversion. The limit matches the one on conversion depth.
    if (child->nesting > kMaxNodeDepth) {
        printf("%s(): object %u would nest nodes deeper than %u, ignored\n", function, index,
               kMaxNodeDepth);
        return false;
    }
    sceneNode->Attach(node);
    if (node->parent != sceneNode) return false;
    if (child->nesting + 1 > nesting) nesting = child->nesting + 1;
    return true;
}

}  // namespace M3G
