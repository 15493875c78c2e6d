// Fields every scene-file object carries: user id, animation tracks and
// user parameters.
#pragma once

#include <new>

#include "m3g/Loader.h"
#include "m3g/Object.h"
#include "math/Types.h"

class SceneNode;
class Uniform;
class Vec4;

namespace M3G {

class Object3D : public Object {
public:
    struct UserParameter {
        unsigned int id;
        unsigned int length;
        unsigned char* value;  // owned; null when length is 0
    };

    Object3D(DataSource* source, Loader* loader);
    ~Object3D() override;

    // A uniform named by the loader's name table, wrapped in a state attached
    // to node; both join the scene.
    Uniform* CreateAttachUniform(SceneNode* node, Loader::NameType type, unsigned int index);

    Loader* loader;
    unsigned int userID;
    unsigned int animationTrackCount;
    unsigned int* animationTracks;       // indices of AnimationTracks; owned
    unsigned int* animationTrackExtras;  // 2.0 files only; owned
    unsigned int userParameterCount;
    UserParameter* userParameters;  // owned
    bool trailingFlag;              // 2.0 files only

protected:
    // As CreateAttachUniform, with a new[] name the uniform takes over; the
    // state is attached only when there is a node.
    Uniform* CreateAttachNamedUniform(SceneNode* node, char* name);
    // Three 0..255 colour bytes as 0..1 floats, with the given alpha.
    static Vec4 ByteColor(const unsigned char* rgb, float alpha);
    // Room for n more entries in a list, growing it by doubling: a file can
    // make lists millions long.
    template <typename T>
    static void MakeRoom(Vector<T>* list, unsigned int n) {
        if (list->Capacity() - list->Size() >= n) return;
        unsigned int want = list->Capacity() * 2 > list->Size() + n ? list->Capacity() * 2
                                                                    : list->Size() + n;
        if (!list->Reserve(want)) throw std::bad_alloc();
    }
};

}  // namespace M3G
