// The vertex arrays of a mesh, with position and texture-coordinate scaling.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class VertexBuffer : public Object3D {
public:
    struct TexCoordArray {
        unsigned int array;  // object index
        float bias[3];
        float scale;
    };
    struct NamedAttribute {
        char* name;  // owned, zero-terminated
        unsigned int array;
        bool flag1;
        bool flag2;
        unsigned char further[16];
    };

    VertexBuffer(DataSource* source, Loader* loader);
    ~VertexBuffer() override;
    Type GetType() const override { return T_VertexBuffer; }

    unsigned char defaultColor[4];
    unsigned int positions;  // object indices
    float positionBias[3];
    float positionScale;
    unsigned int normals;
    unsigned int colors;
    unsigned int texCoordCount;
    TexCoordArray* texCoords;  // owned
    unsigned int extra1;       // 2.0 files only
    unsigned int extra2;
    unsigned int attributeCount;
    NamedAttribute* attributes;  // owned
};

}  // namespace M3G
