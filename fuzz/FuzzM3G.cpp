#include "fuzz/FuzzTargets.h"

#include "engine/Scene.h"
#include "engine/SceneManager.h"
#include "engine/Technique.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"

#include <climits>

int FuzzM3G(const unsigned char* data, size_t size) {
    if (size > UINT_MAX) return 0;
    // Resources register with the recording engine while the scene is built,
    // as they do with the GL engine in the player.
    testsupport::RecordingRenderer renderer;
    RecordingEngine engine(&renderer);
    ROMSource source(data, (unsigned int)size, false);
    Scene* scene = M3GLoader::Load(&source);
    // As at the start of a demo: every resource gets its GPU side, then each
    // World's technique draws one frame.
    engine.manager.InitAll();
    SceneManager manager;
    for (SceneObject* object : scene->objects) {
        if (object->GetObjectType() != SceneObject::SOT_Technique) continue;
        Technique* technique = static_cast<Technique*>(object);
        manager.Update(technique, 0.0f);
        renderer.BindTechnique(technique);
        renderer.Render();
        renderer.ClearLog();
    }
    delete scene;
    return 0;
}
