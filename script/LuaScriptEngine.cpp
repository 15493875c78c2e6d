// The Lua state: library set-up, running sources as chunks, error reports.
#include "script/LuaScriptEngine.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include <lua.hpp>

#include "io/DataSource.h"
#include "script/ScriptAdapters.h"

LuaScriptEngine* LuaScriptEngine::instance = nullptr;

LuaScriptEngine* LuaScriptEngine::GetEngine() {
    if (!instance) instance = new LuaScriptEngine();
    return instance;
}

LuaScriptEngine::LuaScriptEngine() : state(luaL_newstate()) {
    luaopen_base(state);
    luaopen_table(state);
    luaopen_string(state);
    luaopen_math(state);
    luaopen_debug(state);
    // The openers leave their library tables behind; they are reachable as globals.
    lua_settop(state, 0);
    // The base library would still read and run files by name; scripts reach
    // files only through the demo module (engine:LoadScript).
    lua_pushnil(state);
    lua_setglobal(state, "dofile");
    lua_pushnil(state);
    lua_setglobal(state, "loadfile");
    Demo::tolua_demo_open(state);
}

LuaScriptEngine::~LuaScriptEngine() {
    lua_gc(state, LUA_GCCOLLECT, 0);
    lua_close(state);
    if (instance == this) instance = nullptr;
}

void LuaScriptEngine::LoadScript(DataSource* source) {
    if (!source) {
        fprintf(stderr, "LuaScriptEngine::LoadScript(): no script source\n");
        return;
    }
    unsigned int n = source->GetLength();
    // n + 1 must not wrap around.
    char* buffer = n < UINT_MAX ? static_cast<char*>(malloc(size_t(n) + 1)) : nullptr;
    if (!buffer) {
        fprintf(stderr, "LuaScriptEngine::LoadScript(): no memory for %u bytes\n", n);
        return;
    }
    if (n > 0 && !source->Read(buffer, n)) {
        fprintf(stderr, "LuaScriptEngine::LoadScript(): can't read %u bytes\n", n);
        free(buffer);
        return;
    }
    buffer[n] = 0;
    // As a string chunk: Lua names it by its own first line, and a zero byte ends it.
    int status = luaL_loadstring(state, buffer);
    if (status == 0) status = lua_pcall(state, 0, LUA_MULTRET, 0);
    Report(state, status);
    free(buffer);
}

int LuaScriptEngine::Report(lua_State* L, int status) {
    if (status != 0) {
        const char* message = lua_isstring(L, -1) ? lua_tostring(L, -1) : nullptr;
        fprintf(stderr, "ERROR: %s\n", message ? message : "(error with no message)");
        lua_pop(L, 1);
    }
    return status;
}
