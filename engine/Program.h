// Shader program given as GLSL ES source text.
#pragma once

#include <string>

#include "engine/Resource.h"

class Program : public Resource {
public:
    Program();

    unsigned int GetType() const override { return RT_Program; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // Stores both pointers; call before the program is initialised.
    void SetSources(const char* vertexSource, const char* fragmentSource);

    // Where the sources came from (URLs), for messages; copied.
    void SetNames(const char* vertexName, const char* fragmentName);

    // Null-terminated; not owned (the loader keeps them alive).
    const char* vertexSource;
    const char* fragmentSource;
    std::string vertexName;    // "" when unknown
    std::string fragmentName;
};
