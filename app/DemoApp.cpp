// The demo application and the application module's hooks.
#include "app/DemoApp.h"

#include "app/PackageCheck.h"
#include "demo/Part.h"

#include "demo/Engine.h"
#include "script/LuaScriptEngine.h"

static const App::Info kDemoInfo("Vomra Demo", false, 800, 600, 24, 8, 16, 4, 60, "vomra.res");

const App::Info& App::GetInfo() { return kDemoInfo; }

App* App::CreateApp() {
    // The script state first; as two arguments the order would be unspecified.
    LuaScriptEngine* scriptEngine = LuaScriptEngine::GetEngine();
    return new DemoApp(scriptEngine, Demo::Engine::GetEngine());
}

DemoApp::DemoApp(LuaScriptEngine* scriptEngine, Demo::Engine* engine)
    : scriptEngine(scriptEngine), engine(engine), check(nullptr) {
    engine->app = this;
}

DemoApp::~DemoApp() {
    delete check;
    // The engine outlives the application; it must not post to a dead one.
    if (engine->app == this) engine->app = nullptr;
}

bool DemoApp::OnInit(unsigned int width, unsigned int height) {
    engine->SetSize(width, height);
    engine->SetFPS(GetInfo().fps);
    engine->LoadScript("resource://scripts/init.lua");
    // The command line wins over a start time the script set.
    if (runOptions.hasStartTime) engine->SetStartTime(runOptions.startTime);
    return true;
}

void DemoApp::OnDeinit() {}

void DemoApp::OnSetSize(unsigned int width, unsigned int height) {
    engine->SetSize(width, height);
}

void DemoApp::OnSetFPS(unsigned int fps) { engine->SetFPS(fps); }

float DemoApp::OnStart() {
    engine->Start();
    return 0.0f;
}

bool DemoApp::OnInputMessage(const InputMessage& msg) {
    if (msg.type != InputMessage::IM_Key) return false;
    if (msg.key == ' ') {
        if (engine->paused)
            engine->Resume();
        else
            engine->Pause();
    } else if (msg.key == '1') {
        engine->SetTime(0.0f);
    }
    return false;
}

bool DemoApp::OnSystemMessage(SystemMessageCode, SystemObject*) { return false; }

bool DemoApp::OnRender() { return engine->Render(); }

void DemoApp::OnRunOptions(const RunOptions& options) {
    runOptions = options;
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
    float total = 0.0f;
    for (unsigned int i = 0; i < engine->parts.Size(); ++i)
        total += engine->parts[i]->end - engine->parts[i]->start;
    if (total > timeline.startTime) timeline.length = total - timeline.startTime;
    return timeline;
}
