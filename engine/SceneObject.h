// Root of every engine object: an object type and a numeric id that scenes are
// searched by.
#pragma once

class SceneObject {
public:
    enum SceneObjectType {
        SOT_Animation = 0,
        SOT_SceneNode = 1,
        SOT_Resource = 2,
        SOT_RenderState = 3,
        SOT_Pass = 4,
        SOT_Technique = 5,
    };

    // 0xFFFFFFFF: no id. Loaders assign ids from scene files.
    static constexpr unsigned int kNoId = 0xFFFFFFFFu;

    SceneObject() : id(kNoId) {}
    virtual ~SceneObject() {}
    virtual SceneObjectType GetObjectType() const = 0;

    unsigned int id;
};
