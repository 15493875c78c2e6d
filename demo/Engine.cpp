// The demo engine: timeline arithmetic, clock, start-up renders and the registry.
#include "demo/Engine.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "app/AudioPlayer.h"
#include "app/ImageLoader.h"
#include "app/PackageCheck.h"
#include "app/Platform.h"
#include "demo/Image.h"
#include "demo/Object.h"
#include "demo/Part.h"
#include "demo/ProgramKeeper.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/Engine.h"
#include "engine/ResourceManager.h"
#include "engine/Scene.h"
#include "engine/Texture2D.h"
#include "io/DataSource.h"
#include "m3g/M3GLoader.h"
#include "render/Renderer.h"
#include "script/LuaScriptEngine.h"

namespace Demo {

Engine* Engine::instance = nullptr;

// The one call into the scene-file loader; null when the file gives no scene.
static ::Scene* ReadSceneFile(DataSource* source) { return M3GLoader::Load(source); }

Engine* Engine::GetEngine() {
    if (!instance) instance = new Engine();
    return instance;
}

Engine::Engine()
    : app(nullptr),
      resourceManager(::Engine::activeEngine ? ::Engine::activeEngine->GetResourceManager()
                                             : nullptr),
      renderer(::Engine::activeEngine ? ::Engine::activeEngine->GetRenderer() : nullptr),
      player(nullptr),
      imageLoader(nullptr),
      currentPart(0),
      startTime(0.0f),
      time(0.0f),
      partBase(0.0f),
      width(0),
      height(0),
      frameStep(0.0f),
      paused(false),
      offline(false),
      objectBudget(kObjectBudget),
      heldBytes(0),
      check(nullptr),
      keeper(nullptr),
      offeredPlayer(nullptr) {}

Engine::~Engine() {
    if (player) {
        player->Stop();
        delete player;
    }
    delete offeredPlayer;
    delete imageLoader;
    for (unsigned int i = 0; i < objects.Size(); ++i) delete objects[i];
    if (instance == this) instance = nullptr;
}

void Engine::Register(Object* object) {
    if (!object) return;
    unsigned long long bytes = object->HeldBytes();
    try {
        Charge(bytes);
    } catch (...) {
        delete object;
        throw;
    }
    // Doubling rather than the list's fixed step keeps a million registrations cheap.
    unsigned int capacity = objects.Capacity();
    if (objects.Size() == capacity) objects.Reserve(capacity < 0x80000000u ? capacity * 2 : ~0u);
    try {
        objects.Add(object);
    } catch (...) {
        // The registry owns what it is given, even when it cannot keep it.
        heldBytes -= bytes;
        delete object;
        throw;
    }
}

void Engine::Charge(unsigned long long bytes) {
    if (heldBytes > objectBudget || bytes > objectBudget - heldBytes)
        throw std::length_error("the demo's objects would hold more than " +
                                std::to_string(objectBudget >> 20) + " MB");
    heldBytes += bytes;
}

void Engine::ChargeCurrent(unsigned long long bytes) {
    if (instance) instance->Charge(bytes);
}

void Engine::SetFPS(unsigned int fps) {
    // 1000 / 0 as the float division would give it, without dividing by zero.
    frameStep = fps ? 1000.0f / float(fps) : INFINITY;
}

void Engine::SetSize(unsigned int w, unsigned int h) {
    width = w;
    height = h;
    for (unsigned int i = 0; i < parts.Size(); ++i) parts[i]->SetSize(width, height);
    if (renderer) renderer->SetViewport(0, 0, width, height);
}

void Engine::SetStartTime(float ms) { startTime = ms; }

void Engine::SetOffline(bool on) {
    offline = on;
    // A track loaded by the start script would otherwise become the clock.
    if (offline && player) {
        player->Stop();
        delete player;
        player = nullptr;
    }
}

void Engine::AddPart(Part* part) {
    if (!part) {
        printf("Demo::Engine::AddPart(): no part\n");
        return;
    }
    Charge(sizeof(Part*));
    parts.Add(part);
    part->SetSize(width, height);
}

void Engine::RenderOnce(Part* part, Target* target, float ms) {
    if (!part) {
        printf("Demo::Engine::RenderOnce(): no part\n");
        return;
    }
    if (!target) {
        // The screen (the null target) has no picture to keep.
        printf("Demo::Engine::RenderOnce(): no target\n");
        return;
    }
    RenderJob job = {part, target, ms};
    Charge(sizeof job);
    renderJobs.Add(job);
}

void Engine::LoadScript(const char* url) {
    if (!url) {
        printf("Demo::Engine::LoadScript(): no URL\n");
        return;
    }
    DataSource* source =
        Platform::current ? Platform::current->CreateDataSourceForURL(url) : nullptr;
    if (!source) {
        printf("Demo::Engine::LoadScript(): can't open %s\n", url);
        return;
    }
    if (check)
        check->RunScript(url, source);
    else
        LuaScriptEngine::GetEngine()->LoadScript(source);
    delete source;
}

Scene* Engine::LoadScene(const char* url) {
    ::Scene* scene = nullptr;
    if (!url) {
        printf("Demo::Engine::LoadScene(): no URL, the scene is empty\n");
    } else {
        DataSource* source = nullptr;
        try {
            source = Platform::current ? Platform::current->CreateDataSourceForURL(url) : nullptr;
            if (!source) {
                printf("Demo::Engine::LoadScene(): can't open %s, the scene is empty\n", url);
            } else {
                scene = check ? check->ReadScene(url, source) : ReadSceneFile(source);
            }
        } catch (const std::bad_alloc&) {
            // The loader frees what it made itself; the source is freed below.
            printf("Demo::Engine::LoadScene(): out of memory reading %s, the scene is empty\n",
                   url);
        }
        delete source;
    }
    if (!scene) scene = new ::Scene();
    return Scene::New(scene);
}

void Engine::LoadMusic(const char* url) {
    if (!url) {
        printf("Demo::Engine::LoadMusic(): no URL\n");
        return;
    }
    musicURL = url;
    // Offline the frames set the clock, and a check plays nothing.
    if (offline || check) return;
    if (player) {
        player->Stop();
        delete player;
        player = nullptr;
    }
    if (offeredPlayer && offeredURL == url) {
        player = offeredPlayer;
        offeredPlayer = nullptr;
        return;
    }
    if (!Platform::current) return;
    player = Platform::current->CreateAudioPlayer(app);
    if (player && !player->LoadStream(url)) {
        delete player;
        player = nullptr;
    }
}

void Engine::OfferPlayer(AudioPlayer* offered, const std::string& url) {
    if (offeredPlayer != offered) delete offeredPlayer;
    offeredPlayer = offered;
    offeredURL = url;
}

AudioPlayer* Engine::TakePlayer() {
    AudioPlayer* taken = player;
    player = nullptr;
    return taken;
}

Image* Engine::LoadImage(const char* url) {
    Texture2D* texture = nullptr;
    if (!url) {
        printf("Demo::Engine::LoadImage(): no URL, the image is empty\n");
    } else {
        if (!imageLoader && Platform::current)
            imageLoader = Platform::current->CreateImageLoader(app);
        if (imageLoader)
            texture = check ? check->LoadImage(imageLoader, url) : imageLoader->Load(url);
    }
    Image* image = new Image(texture);
    Register(image);
    return image;
}

void Engine::BindCurrentPart() {
    if (renderer && currentPart < parts.Size())
        renderer->BindTechnique(&parts[currentPart]->technique);
}

void Engine::Seek(float t, bool withMusic) {
    currentPart = 0;
    time = t;
    partBase = 0.0f;
    // A part is left exactly when t reaches its end.
    while (currentPart < parts.Size()) {
        Part* p = parts[currentPart];
        if (t < partBase + (p->end - p->start)) break;
        partBase += p->end - p->start;
        ++currentPart;
    }
    BindCurrentPart();
    if (player && withMusic) {
        player->Stop();
        player->Play(t);
    }
}

void Engine::Start() {
    if (resourceManager) resourceManager->InitAll();
    if (keeper) keeper->Restore(this);
    if (renderer) {
        for (unsigned int i = 0; i < renderJobs.Size(); ++i) {
            RenderJob& job = renderJobs[i];
            renderer->BindTechnique(&job.part->technique);
            job.target->SetSize(width, height);
            // The part's screen passes draw into the job's target.
            renderer->SetDefaultRenderTarget(&job.target->frameBuffer);
            sceneManager.Update(&job.part->technique, job.time + job.part->start);
            renderer->Render();
        }
        renderer->SetDefaultRenderTarget(nullptr);
    }
    BindCurrentPart();
    if (player) player->Play();
    // Written so that a NaN start time also seeks.
    if (!(startTime == 0.0f)) Seek(startTime);
}

bool Engine::Render() {
    if (currentPart >= parts.Size()) return true;
    if (!paused && player) time = player->GetTime();
    Part* p = parts[currentPart];
    // At most one boundary per frame, even after a jump over several parts.
    if (time >= partBase + (p->end - p->start)) {
        partBase += p->end - p->start;
        ++currentPart;
        if (currentPart >= parts.Size()) return true;
        p = parts[currentPart];
        if (renderer) renderer->BindTechnique(&p->technique);
    }
    float local = time - partBase + p->start;
    p->Update(local);
    sceneManager.Update(&p->technique, local);
    // After the update, so the first frame shows the clock as it was.
    if (!paused && !player) time += frameStep;
    if (renderer) renderer->Render();
    return false;
}

void Engine::Pause() {
    if (paused) return;
    if (player) player->Stop();
    printf("PAUSE %f ms\n", time);
    paused = true;
}

void Engine::Resume() {
    if (!paused) return;
    if (player) player->Play(time);
    paused = false;
}

void Engine::SetTime(float ms) { Seek(ms); }

void Engine::SeekTo(float ms) {
    // Written so that a NaN goes to 0 too.
    if (!(ms > 0.0f)) ms = 0.0f;
    Seek(ms, !paused);
}

void Engine::StepFrames(int frames) {
    if (!paused) return;
    float step = std::isfinite(frameStep) && frameStep > 0.0f ? frameStep : 1000.0f / 60.0f;
    SeekTo(time + float(frames) * step);
}

float Engine::GetLength() const {
    float total = 0.0f;
    for (unsigned int i = 0; i < parts.Size(); ++i) total += parts[i]->end - parts[i]->start;
    return total;
}

float Engine::GetPartTime() const {
    if (currentPart >= parts.Size()) return time - partBase;
    return time - partBase + parts[currentPart]->start;
}

}  // namespace Demo
