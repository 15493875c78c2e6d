#include "fuzz/FuzzTargets.h"

#include "demo/Engine.h"
#include "io/ROMSource.h"
#include "script/LuaScriptEngine.h"

#include <lua.hpp>

#include <climits>

namespace {

// Scripts may loop forever; a count hook turns that into a script error.
void StopLongScripts(lua_State* state, lua_Debug*) { luaL_error(state, "instruction budget spent"); }

}  // namespace

int FuzzScript(const unsigned char* data, size_t size) {
    if (size > UINT_MAX) return 0;
    LuaScriptEngine* lua = LuaScriptEngine::GetEngine();
    lua_sethook(lua->state, StopLongScripts, LUA_MASKCOUNT, 1000000);
    Demo::Engine* engine = Demo::Engine::GetEngine();
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
