// Perspective parameters and the projection matrix made from them.
#pragma once

#include "engine/Resource.h"
#include "math/Mat4.h"

class Camera : public Resource {
public:
    // fov 45 degrees, aspect 4/3, near 0.1, far 100.
    Camera();
    Camera(float fov, float aspect, float near, float far);

    unsigned int GetType() const override { return RT_Camera; }
    // No GPU side under any backend so far; still dispatched for uniformity.
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // Stores the four values and recomputes `projection`.
    void SetParams(float fov, float aspect, float near, float far);

    float fov;  // vertical, degrees
    float aspect;  // width / height
    float near;
    float far;
    Mat4 projection;  // always in step with the four values above
};
