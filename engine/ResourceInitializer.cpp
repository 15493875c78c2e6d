// Base of the backend initializers.
#include "engine/ResourceInitializer.h"

ResourceInitializer::ResourceInitializer() : initialized(false), resource(nullptr) {}

ResourceInitializer::~ResourceInitializer() {}

void ResourceInitializer::UpdateDynamic() {}
