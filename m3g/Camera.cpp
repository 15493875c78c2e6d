// Camera records.
#include "m3g/Camera.h"

#include "engine/Camera.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"

namespace M3G {

Camera::Camera(DataSource* source, Loader* loader)
    : Node(source, loader),
      matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      fov(0),
      aspect(0),
      near(0),
      far(0),
      camera(nullptr) {
    projectionType = ReadU8(source);
    if (projectionType == PT_Generic) {
        ReadF32s(source, matrix, 16);
    } else {
        fov = ReadF32(source);
        aspect = ReadF32(source);
        near = ReadF32(source);
        far = ReadF32(source);
    }
}

::Camera* Camera::CreateCamera() {
    CreateSceneNode();
    return camera;
}

void Camera::Create() {
    camera = new ::Camera();
    camera->id = userID;
    loader->GetScene()->objects.Add(camera);
    sceneNode->Attach(camera);
    if (projectionType == PT_Generic)
        LoadRows(matrix, &camera->projection);
    else
        camera->SetParams(fov, aspect, near, far);
}

}  // namespace M3G
