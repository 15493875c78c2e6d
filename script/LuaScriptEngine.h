// The one Lua 5.1 state of the process, with the standard libraries scripts may
// use and the demo module.
#pragma once

#include "script/ScriptEngine.h"

struct lua_State;

class LuaScriptEngine : public ScriptEngine {
public:
    // Made on the first call after none was; the application deletes it at
    // its end and on every reload.
    static LuaScriptEngine* GetEngine();

    // Opens base (without dofile and loadfile), table, string, math and debug
    // (no io, os or package: scripts reach files only through the demo
    // module), then the demo module.
    LuaScriptEngine();
    ~LuaScriptEngine() override;
    LuaScriptEngine(const LuaScriptEngine&) = delete;
    LuaScriptEngine& operator=(const LuaScriptEngine&) = delete;

    // Compiles and runs the whole source as one chunk; errors are printed as
    // "ERROR: ..." on standard error. The chunk's results stay on the stack.
    void LoadScript(DataSource* source) override;
    // Prints and pops the error on top of the stack when status is not 0.
    static int Report(lua_State* state, int status);

    lua_State* state;

    static LuaScriptEngine* instance;
};
