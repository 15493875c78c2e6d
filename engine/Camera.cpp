// Camera parameters and projection.
#include "engine/Camera.h"

#include "engine/ResourceManager.h"

Camera::Camera() : Camera(45.0f, 4.0f / 3.0f, 0.1f, 100.0f) {}

Camera::Camera(float fov_, float aspect_, float near_, float far_) {
    SetParams(fov_, aspect_, near_, far_);
}

ResourceInitializer* Camera::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(this);
}

void Camera::SetParams(float fov_, float aspect_, float near_, float far_) {
    fov = fov_;
    aspect = aspect_;
    near = near_;
    far = far_;
    projection.LoadPerspective(fov, aspect, near, far);
}
