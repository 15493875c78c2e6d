// The one Lua 5.1 state of the process, with the standard libraries scripts may
// use and the demo module.
#pragma once

#include <cstddef>

#include "script/ScriptEngine.h"

struct lua_Debug;
struct lua_State;

class LuaScriptEngine : public ScriptEngine {
public:
    // Made on the first call after none was; the application deletes it at
    // its end and on every reload.
    static LuaScriptEngine* GetEngine();

    // Opens base, table, string, math and debug (no io, os or package: scripts
    // reach files only through the demo module), takes from them what could
    // reach memory, the registry or the hook (see ScriptSandbox), then opens
    // the demo module.
    LuaScriptEngine();
    ~LuaScriptEngine() override;
    LuaScriptEngine(const LuaScriptEngine&) = delete;
    LuaScriptEngine& operator=(const LuaScriptEngine&) = delete;

    // Compiles and runs the whole source as one chunk; errors are printed as
    // "ERROR: ..." on standard error. The chunk's results stay on the stack.
    // A top-level run (one not started by a script) is stopped as a script
    // error once it has taken longer than the time limit; scripts it loads
    // count against it.
    void LoadScript(DataSource* source) override;
    // Prints and pops the error on top of the stack when status is not 0.
    static int Report(lua_State* state, int status);

    // Wall-clock seconds a top-level run may take; 0 (or anything not
    // positive) means no limit. Takes effect from the next top-level run.
    static void SetTimeLimit(float seconds);
    static float GetTimeLimit();
    static constexpr float kDefaultTimeLimit = 30.0f;

    // Bytes the state may hold; past it an allocation fails as Lua's own
    // "not enough memory" error. 0 means no limit.
    void SetMemoryLimit(size_t bytes);
    // Bytes an allocation may still take; SIZE_MAX without a limit. Null or a
    // state made elsewhere gives SIZE_MAX too.
    static size_t MemoryLeft(lua_State* state);
    static constexpr size_t kDefaultMemoryLimit = size_t(256) << 20;

    lua_State* state;

    static LuaScriptEngine* instance;

private:
    static void* Allocate(void* engine, void* block, size_t oldSize, size_t newSize);
    static void CheckTime(lua_State* state, lua_Debug* debug);
    size_t RemainingMemory() const;

    size_t memoryUsed;
    size_t memoryLimit;
};
