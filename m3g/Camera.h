// A camera node: a generic projection matrix or perspective parameters.
#pragma once

#include "m3g/Node.h"

class Camera;

namespace M3G {

class Camera : public Node {
public:
    enum ProjectionType { PT_Generic = 48, PT_Parallel = 49, PT_Perspective = 50 };

    Camera(DataSource* source, Loader* loader);
    Type GetType() const override { return T_Camera; }
    void Create() override;
    // The engine camera, converting the node first if needed.
    ::Camera* CreateCamera();

    unsigned int projectionType;
    float matrix[16];  // row by row; generic projections only
    float fov;         // degrees
    float aspect;
    float near;
    float far;
    ::Camera* camera;  // conversion cache; owned by the scene
};

}  // namespace M3G
