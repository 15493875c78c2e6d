// The active-engine singleton.
#include "engine/Engine.h"

Engine* Engine::activeEngine = nullptr;

Engine::Engine() { activeEngine = this; }

Engine::~Engine() {
    if (activeEngine == this) activeEngine = nullptr;
}

void Engine::Init() {}
