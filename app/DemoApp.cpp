// The demo application, its reloads and the application module's hooks.
#include "app/DemoApp.h"

#include <GLES2/gl2.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cstdio>

#include "app/AudioPlayer.h"
#include "app/FileWatcher.h"
#include "app/PackageCheck.h"
#include "app/SDLPlatform.h"
#include "demo/Engine.h"
#include "demo/Part.h"
#include "render/Renderer.h"
#include "script/LuaScriptEngine.h"

static const App::Info kDemoInfo("Vomra Demo", false, 800, 600, 24, 8, 16, 4, 60, "vomra.res");

static const char* const kStartScript = "resource://scripts/init.lua";

const App::Info& App::GetInfo() { return kDemoInfo; }

App* App::CreateApp() {
    // The script state first; as two arguments the order would be unspecified.
    LuaScriptEngine* scriptEngine = LuaScriptEngine::GetEngine();
    return new DemoApp(scriptEngine, Demo::Engine::GetEngine());
}

DemoApp::DemoApp(LuaScriptEngine* scriptEngine, Demo::Engine* engine)
    : scriptEngine(scriptEngine), engine(engine), check(nullptr), watcher(nullptr), width(0),
      height(0), fps(GetInfo().fps), started(false), reloadWanted(false) {
    engine->app = this;
    engine->keeper = &keeper;
}

DemoApp::~DemoApp() {
    delete check;
    delete watcher;
    if (engine) {
        // Lent programs go with the keeper, after the engine.
        if (engine->renderer) engine->renderer->Forget();
        engine->keeper = nullptr;
        if (engine->app == this) engine->app = nullptr;
    }
    // The demo objects first: nothing of theirs reaches into the script state.
    delete engine;
    delete scriptEngine;
}

static SDLPlatform* CurrentSDLPlatform() { return dynamic_cast<SDLPlatform*>(Platform::current); }

void DemoApp::RunStartScript() {
    engine->SetSize(width, height);
    engine->SetFPS(GetInfo().fps);
    engine->LoadScript(kStartScript);
    // The command line wins over a start time the script set.
    if (runOptions.hasStartTime) engine->SetStartTime(runOptions.startTime);
}

bool DemoApp::OnInit(unsigned int w, unsigned int h) {
    width = w;
    height = h;
    if (runOptions.watch) {
        if (SDLPlatform* platform = CurrentSDLPlatform()) platform->SetRecordingReads(true);
        if (!watcher) watcher = new FileWatcher();
    }
    RunStartScript();
    return true;
}

void DemoApp::OnDeinit() {}

void DemoApp::OnSetSize(unsigned int w, unsigned int h) {
    width = w;
    height = h;
    engine->SetSize(w, h);
}

void DemoApp::OnSetFPS(unsigned int rate) {
    fps = rate;
    engine->SetFPS(rate);
}

float DemoApp::OnStart() {
    engine->Start();
    started = true;
    if (watcher) WatchFilesRead();
    return 0.0f;
}

void DemoApp::WatchFilesRead() {
    SDLPlatform* platform = CurrentSDLPlatform();
    if (!platform) return;
    std::vector<std::string> files = platform->TakeFilesRead();
    // A track kept over a reload was not read again, and an archive that is
    // missing now may be packed later.
    musicFile = engine->musicURL.empty() ? std::string() : platform->FileOfURL(engine->musicURL.c_str());
    if (!musicFile.empty()) files.push_back(musicFile);
    if (!platform->GetResourceLibraryPath().empty()) files.push_back(platform->GetResourceLibraryPath());
    watcher->Watch(files);
}

void DemoApp::Reload(const std::vector<std::string>& changed) {
    float at = engine->time;
    bool wasPaused = engine->paused;
    printf("DemoApp::Reload(): %s at %.2f s\n", kStartScript, at / 1000.0f);
    fflush(stdout);

    std::string musicURL = engine->musicURL;
    AudioPlayer* player = engine->TakePlayer();
    if (player) {
        player->Stop();
        bool musicChanged = std::find(changed.begin(), changed.end(), std::string()) != changed.end() ||
                            (!musicFile.empty() &&
                             std::find(changed.begin(), changed.end(), musicFile) != changed.end());
        if (musicChanged) {
            delete player;
            player = nullptr;
        }
    }
    keeper.Keep(engine);
    if (engine->renderer) engine->renderer->Forget();
    engine->keeper = nullptr;
    delete engine;
    delete scriptEngine;

    SDLPlatform* platform = CurrentSDLPlatform();
    if (platform) {
        // Reads from here on belong to the new run; the archive may be new too.
        platform->TakeFilesRead();
        platform->ReloadResourceLibrary();
    }
    scriptEngine = LuaScriptEngine::GetEngine();
    engine = Demo::Engine::GetEngine();
    engine->app = this;
    engine->keeper = &keeper;
    engine->SetOffline(runOptions.offline);
    if (player) engine->OfferPlayer(player, musicURL);
    RunStartScript();
    engine->SetFPS(fps);
    // Start seeks there, over --start and the script's own start time.
    engine->SetStartTime(at);
    engine->Start();
    if (wasPaused) engine->Pause();
    if (watcher) WatchFilesRead();
}

bool DemoApp::OnInputMessage(const InputMessage& msg) {
    switch (msg.type) {
    case InputMessage::IM_Key:
        if (msg.key == ' ') {
            if (engine->paused)
                engine->Resume();
            else
                engine->Pause();
        } else if (msg.key == '1') {
            engine->SetTime(0.0f);
        } else if (!started) {
            // Seeking and reloading need a started timeline.
        } else if (msg.key == ',') {
            engine->StepFrames(-1);
        } else if (msg.key == '.') {
            engine->StepFrames(1);
        } else if (msg.key == 'r' || msg.key == 'R') {
            reloadWanted = true;
        }
        break;
    case InputMessage::IM_Home:
        engine->SetTime(0.0f);
        break;
    case InputMessage::IM_ArrowLeft:
        if (started) engine->SeekTo(engine->time - 1000.0f);
        break;
    case InputMessage::IM_ArrowRight:
        if (started) engine->SeekTo(engine->time + 1000.0f);
        break;
    case InputMessage::IM_ArrowDown:
        if (started) engine->SeekTo(engine->time - 10000.0f);
        break;
    case InputMessage::IM_ArrowUp:
        if (started) engine->SeekTo(engine->time + 10000.0f);
        break;
    default:
        break;
    }
    return false;
}

bool DemoApp::OnSystemMessage(SystemMessageCode, SystemObject*) { return false; }

void DemoApp::HoldAtEnd() {
    // The clock stays where it is, so that a reload or a seek starts from
    // there (an empty timeline, from a script being edited, keeps the place
    // of the one before it).
    if (!engine->paused && engine->parts.Size() != 0) engine->Pause();
    // Nothing of the timeline is left to draw.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool DemoApp::OnRender() {
    if (started) {
        if (watcher && watcher->Poll(SDL_GetTicks())) {
            reloadWanted = false;
            Reload(watcher->TakeChanged());
        } else if (reloadWanted) {
            reloadWanted = false;
            Reload(std::vector<std::string>());
        }
    }
    bool finished = engine->Render();
    if (finished && runOptions.watch) {
        HoldAtEnd();
        return false;
    }
    return finished;
}

void DemoApp::OnRunOptions(const RunOptions& options) {
    runOptions = options;
    // Offline runs draw a fixed stretch of time once; nothing to watch.
    if (runOptions.offline) runOptions.watch = false;
    if (options.hasScriptTimeLimit) LuaScriptEngine::SetTimeLimit(options.scriptTimeLimit);
    if (options.hasStartTime) engine->SetStartTime(options.startTime);
    engine->SetOffline(options.offline);
    if (options.check && !check) check = new PackageCheck(engine);
}

int DemoApp::OnCheck(const FrameDone& frameDone) {
    return check ? check->Run(frameDone) : -1;
}

App::Timeline DemoApp::GetTimeline() const {
    Timeline timeline;
    if (!engine->musicURL.empty()) timeline.musicURL = engine->musicURL.c_str();
    timeline.startTime = engine->startTime;
    float total = engine->GetLength();
    if (total > timeline.startTime) timeline.length = total - timeline.startTime;
    return timeline;
}

bool DemoApp::GetStatus(std::string* status) const {
    if (!runOptions.watch && !engine->paused) return false;
    unsigned int count = engine->parts.Size();
    unsigned int index = engine->currentPart < count ? engine->currentPart + 1 : count;
    char text[96];
    snprintf(text, sizeof text, "part %u/%u \xE2\x80\x94 %.2f s", index, count,
             double(engine->time) / 1000.0);
    *status = text;
    return true;
}
