// Scene-graph node fields shared by cameras, groups, lights and meshes.
#pragma once

#include "m3g/Transformable.h"

class SceneNode;

namespace M3G {

class Node : public Transformable {
public:
    Node(DataSource* source, Loader* loader);
    ~Node() override;

    // The node's SceneNode, made (with transform, animations and Create()) on
    // the first call.
    SceneNode* CreateSceneNode();
    // What is particular to the node class; called once by CreateSceneNode.
    virtual void Create() {}
    // Attaches a converted node (a group child or a skeleton, named by its
    // object index) under this node's. A scene-file node has one parent, and
    // no chain of nodes may nest deeper than the conversion's limit, however
    // it was reached (bone references convert nodes out of nesting order).
    // Refused with a message from function otherwise.
    bool AttachChild(Node* child, unsigned int index, const char* function);

    bool renderingEnabled;
    bool pickingEnabled;
    unsigned int alphaFactor;
    unsigned int scope;
    bool hasAlignment;
    unsigned int zTarget;
    unsigned int yTarget;
    unsigned int zReference;
    unsigned int yReference;
    unsigned int extraCount;  // 2.0 files only
    unsigned int* extras;     // owned

    SceneNode* sceneNode;  // conversion cache; owned by the scene
    bool converting;       // Create() has not returned yet
    unsigned int nesting;  // levels of attached records from this one down, itself included
};

}  // namespace M3G
