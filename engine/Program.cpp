// Shader programs.
#include "engine/Program.h"

#include "engine/ResourceManager.h"

Program::Program() : vertexSource(nullptr), fragmentSource(nullptr) {}

ResourceInitializer* Program::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(this);
}

void Program::SetSources(const char* vertexSource_, const char* fragmentSource_) {
    vertexSource = vertexSource_;
    fragmentSource = fragmentSource_;
}

void Program::SetNames(const char* vertexName_, const char* fragmentName_) {
    vertexName = vertexName_ ? vertexName_ : "";
    fragmentName = fragmentName_ ? fragmentName_ : "";
}
