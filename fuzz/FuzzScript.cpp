// Fuzz entry for scripts: one run through a fresh Lua state and demo engine.
#include "fuzz/FuzzTargets.h"

#include "demo/Engine.h"
#include "io/ROMSource.h"
#include "script/LuaScriptEngine.h"

#include <climits>

int FuzzScript(const unsigned char* data, size_t size) {
    if (size > UINT_MAX) return 0;
    // Scripts may loop forever or hoard memory; both end as script errors.
    LuaScriptEngine::SetTimeLimit(0.25f);
    LuaScriptEngine* lua = LuaScriptEngine::GetEngine();
    lua->SetMemoryLimit(size_t(64) << 20);
    Demo::Engine* engine = Demo::Engine::GetEngine();
    // The objects' budget too, or one run could fill the fuzzer's memory limit.
    engine->objectBudget = size_t(16) << 20;
    engine->SetSize(64, 48);
    engine->SetFPS(30);
    ROMSource source(data, (unsigned int)size, false);
    lua->LoadScript(&source);
    // What the script built plays a few frames, then goes with the engine.
    engine->Start();
    for (int frame = 0; frame < 3 && !engine->Render(); ++frame) {
    }
    // A fresh Lua state each time: globals of this run point at objects the
    // engine just deleted.
    delete engine;
    delete lua;
    return 0;
}
