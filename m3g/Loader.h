// What records see of the loader while they are read and converted.
#pragma once

#include "m3g/Object.h"

class Mesh;
class Scene;
class SceneNode;

namespace M3G {

class Loader {
public:
    // Kinds of object that draw numbers from GetUniqID; lights only.
    enum ObjectType {
        OT_Light = 0,
    };
    static const unsigned int kObjectTypeCount = 1;

    // Uniform names made by CreateName.
    enum NameType {
        N_LightWorldTransform = 0,
        N_LightLocalTransform = 1,
        N_LightType = 2,
        N_LightColor = 3,
        N_LightAttenuationConstant = 4,
        N_LightAttenuationLinear = 5,
        N_LightAttenuationQuadratic = 6,
        N_LightIntensity = 7,
        N_LightSpotAngle = 8,
        N_LightSpotExponent = 9,
        N_MaterialAmbient = 10,
        N_MaterialDiffuse = 11,
        N_MaterialEmissive = 12,
        N_MaterialSpecular = 13,
        N_MaterialShininess = 14,
    };
    static const unsigned int kNameTypeCount = 15;

    Loader() : debug(false), root(nullptr), budget(~0ull), overBudget(false) {}
    virtual ~Loader() {}
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    virtual Scene* GetScene() = 0;
    // 0 for 1.0 files, 1 for 2.0 files.
    virtual unsigned int GetVersion() = 0;
    // By object index (1 = the header); null for 0, an empty entry or past the table.
    virtual Object* GetObject(unsigned int index) = 0;
    // As above, null unless the record is of that type.
    virtual Object* GetObject(unsigned int index, Object::Type type) = 0;
    virtual Mesh* GetDebugMesh() = 0;
    // 0, 1, 2, ... per kind.
    virtual unsigned int GetUniqID(ObjectType type) = 0;
    // A new[] 100-byte name; the caller owns it.
    virtual char* CreateName(NameType type, unsigned int index) = 0;

    // Conversion charges what a file can multiply (copies per use, batches,
    // per-vertex data) against the budget before making it. False, from the
    // first charge past the budget on, and the conversion making the object
    // is to skip it; the loader then drops the scene.
    bool Charge(unsigned long long bytes) {
        if (overBudget || bytes > budget) {
            overBudget = true;
            return false;
        }
        budget -= bytes;
        return true;
    }

    bool debug;       // adds marker meshes under converted nodes
    SceneNode* root;  // node of the World being converted
    unsigned long long budget;  // bytes conversion may still charge
    bool overBudget;
};

}  // namespace M3G
