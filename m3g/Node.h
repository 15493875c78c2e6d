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
};

}  // namespace M3G
