// Shader program given as GLSL ES source text.
#pragma once

#include "engine/Resource.h"

class Program : public Resource {
public:
    Program();

    unsigned int GetType() const override { return RT_Program; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // Stores both pointers; call before the program is initialised.
    void SetSources(const char* vertexSource, const char* fragmentSource);

    // Null-terminated; not owned (the loader keeps them alive).
    const char* vertexSource;
    const char* fragmentSource;
};
