// The ordered passes drawn for one demo part.
#pragma once

#include "engine/SceneObject.h"
#include "math/Types.h"

class Pass;

class Technique : public SceneObject {
public:
    Technique();
    // Frees the list only; the passes belong to whoever made them.
    ~Technique() override;
    Technique(const Technique&) = delete;
    Technique& operator=(const Technique&) = delete;

    SceneObjectType GetObjectType() const override { return SOT_Technique; }

    Vector<Pass*> passes;  // drawing order, not owned
};
