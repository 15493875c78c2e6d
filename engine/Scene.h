// The flat list of every object made from one scene file; owns them all.
#pragma once

#include "engine/SceneObject.h"
#include "math/Types.h"

class Scene {
public:
    Scene();
    // Deletes every object in the list.
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // First object with that id (and type), or null.
    SceneObject* Find(unsigned int id);
    SceneObject* Find(unsigned int id, SceneObject::SceneObjectType type);
    // Appends every object of that type to out, in list order; out is not cleared.
    void FindAll(SceneObject::SceneObjectType type, Vector<SceneObject*>* out);

    Vector<SceneObject*> objects;  // owned
    // What the scene-file loader charged converting it, GPU copies included;
    // 0 for a scene built otherwise.
    unsigned long long convertedBytes;
};
