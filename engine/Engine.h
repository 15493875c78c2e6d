// The engine ties a renderer and a resource manager together; the one
// constructed last is reachable as Engine::activeEngine.
#pragma once

class Renderer;
class ResourceManager;

class Engine {
public:
    // Becomes the active engine.
    Engine();
    // Clears activeEngine if it still points here, so that resources made or
    // destroyed later do not reach a dead manager.
    virtual ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Backend set-up once a context exists; nothing by default.
    virtual void Init();
    virtual Renderer* GetRenderer() const = 0;
    virtual ResourceManager* GetResourceManager() const = 0;

    static Engine* activeEngine;
};
