// Scene object list: lookup by id and type, and ownership of the objects.
#include "engine/Scene.h"

Scene::Scene() : objects(10, 10), convertedBytes(0) {}

Scene::~Scene() {
    for (SceneObject* object : objects) delete object;
}

SceneObject* Scene::Find(unsigned int id) {
    for (SceneObject* object : objects)
        if (object && object->id == id) return object;
    return nullptr;
}

SceneObject* Scene::Find(unsigned int id, SceneObject::SceneObjectType type) {
    for (SceneObject* object : objects)
        if (object && object->id == id && object->GetObjectType() == type) return object;
    return nullptr;
}

void Scene::FindAll(SceneObject::SceneObjectType type, Vector<SceneObject*>* out) {
    if (!out) return;
    for (SceneObject* object : objects)
        if (object && object->GetObjectType() == type) out->Add(object);
}
