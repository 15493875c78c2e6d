// The top of a scene: a group with its active camera and background.
#pragma once

#include "m3g/Group.h"

class Technique;

namespace M3G {

class World : public Group {
public:
    World(DataSource* source, Loader* loader);
    Type GetType() const override { return T_World; }
    void Create() override;
    // The World's technique, converting the World first if needed.
    Technique* CreateTechnique();

    unsigned int activeCamera;  // object index
    unsigned int background;    // object index
    Technique* technique;       // conversion cache; owned by the scene
};

}  // namespace M3G
