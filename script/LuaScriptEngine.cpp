// The Lua state: library set-up, running sources as chunks under a time limit
// and a memory limit, error reports.
#include "script/LuaScriptEngine.h"

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <lua.hpp>

#include "io/DataSource.h"
#include "script/ScriptAdapters.h"
#include "script/ScriptSandbox.h"

LuaScriptEngine* LuaScriptEngine::instance = nullptr;

namespace {

// Instructions between two looks at the clock: a few microseconds of script.
constexpr int kHookInstructions = 1000;

// The run in progress, shared by all states: a script loading a script (on
// whatever state) stays inside the run that loaded it.
float timeLimit = LuaScriptEngine::kDefaultTimeLimit;
int runDepth = 0;            // LoadScript calls in progress
lua_State* runState = nullptr;  // the state of the top-level run
bool runLimited = false;
float runLimit = 0.0f;       // seconds, as it was when the run began
double runDeadline = 0.0;    // monotonic seconds
bool runTimedOut = false;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Calls the script's error handler only while the run has time left: after
// an error raised by the hook, Lua 5.1 runs the handler with hooks switched
// off, so a handler that loops could never be stopped. Upvalue: the handler.
int HandleError(lua_State* L) {
    if (runTimedOut) {
        lua_settop(L, 1);
        return 1;
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

// xpcall as the base library has it, with the handler behind HandleError.
int XPCall(lua_State* L) {
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    // Anything but a function fails as the library makes it fail.
    if (lua_isfunction(L, 2)) lua_pushcclosure(L, HandleError, 1);
    lua_insert(L, 1);
    int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

int Panic(lua_State* L) {
    fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n",
            lua_isstring(L, -1) ? lua_tostring(L, -1) : "?");
    return 0;
}

}  // namespace

LuaScriptEngine* LuaScriptEngine::GetEngine() {
    if (!instance) instance = new LuaScriptEngine();
    return instance;
}

LuaScriptEngine::LuaScriptEngine()
    : state(nullptr), memoryUsed(0), memoryLimit(kDefaultMemoryLimit) {
    // Lua's allocator is ours, so that the state has a budget.
    state = lua_newstate(Allocate, this);
    lua_atpanic(state, Panic);
    luaopen_base(state);
    luaopen_table(state);
    luaopen_string(state);
    luaopen_math(state);
    luaopen_debug(state);
    // The openers leave their library tables behind; they are reachable as globals.
    lua_settop(state, 0);
    ScriptSandbox::RestrictLibraries(state);
    lua_register(state, "xpcall", XPCall);
    Demo::tolua_demo_open(state);
    lua_settop(state, 0);
    // Always set: coroutines take their hook from the thread that makes them.
    lua_sethook(state, CheckTime, LUA_MASKCOUNT, kHookInstructions);
}

LuaScriptEngine::~LuaScriptEngine() {
    lua_gc(state, LUA_GCCOLLECT, 0);
    lua_close(state);
    if (instance == this) instance = nullptr;
}

void LuaScriptEngine::SetTimeLimit(float seconds) { timeLimit = seconds > 0.0f ? seconds : 0.0f; }

float LuaScriptEngine::GetTimeLimit() { return timeLimit; }

void LuaScriptEngine::SetMemoryLimit(size_t bytes) { memoryLimit = bytes; }

size_t LuaScriptEngine::MemoryLeft(lua_State* L) {
    void* data = nullptr;
    if (!L || lua_getallocf(L, &data) != Allocate) return SIZE_MAX;
    return static_cast<const LuaScriptEngine*>(data)->RemainingMemory();
}

size_t LuaScriptEngine::RemainingMemory() const {
    if (!memoryLimit) return SIZE_MAX;
    return memoryUsed >= memoryLimit ? 0 : memoryLimit - memoryUsed;
}

void* LuaScriptEngine::Allocate(void* data, void* block, size_t oldSize, size_t newSize) {
    LuaScriptEngine* engine = static_cast<LuaScriptEngine*>(data);
    if (newSize == 0) {
        free(block);
        engine->memoryUsed -= oldSize;
        return nullptr;
    }
    // Lua 5.1 gives oldSize 0 for a new block. Only growth is refused: Lua
    // treats a failed shrink as an error too.
    if (newSize > oldSize && newSize - oldSize > engine->RemainingMemory()) return nullptr;
    void* moved = realloc(block, newSize);
    if (moved) engine->memoryUsed = engine->memoryUsed - oldSize + newSize;
    return moved;
}

void LuaScriptEngine::CheckTime(lua_State* L, lua_Debug*) {
    if (!runTimedOut) {
        if (!runLimited || Now() < runDeadline) {
            // A thread left counting single instructions by an earlier run
            // goes back to the usual step.
            if (lua_gethookcount(L) != kHookInstructions)
                lua_sethook(L, CheckTime, LUA_MASKCOUNT, kHookInstructions);
            return;
        }
        runTimedOut = true;
    }
    // From here on every instruction fails, so a script that catches the
    // error (pcall, xpcall, coroutine.resume) cannot carry on: each catching
    // frame fails at its next instruction, up to the top.
    lua_sethook(L, CheckTime, LUA_MASKCOUNT, 1);
    if (runState && runState != L) lua_sethook(runState, CheckTime, LUA_MASKCOUNT, 1);
    // %g: the float as it was written (0.2, not 0.200000003).
    char message[64];
    snprintf(message, sizeof message, "script ran longer than the %g s limit", double(runLimit));
    lua_pushstring(L, message);
    lua_error(L);
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

    bool topLevel = runDepth == 0;
    if (topLevel) {
        runState = state;
        runLimit = timeLimit;
        runLimited = runLimit > 0.0f;
        runDeadline = runLimited ? Now() + runLimit : 0.0;
        runTimedOut = false;
        lua_sethook(state, CheckTime, LUA_MASKCOUNT, kHookInstructions);
    }
    ++runDepth;
    int status;
    if (buffer[0] == LUA_SIGNATURE[0]) {
        // Lua 5.1 runs binary chunks unchecked; scripts come as text.
        lua_pushliteral(state, "precompiled chunks are refused");
        status = LUA_ERRSYNTAX;
    } else {
        // As a string chunk: Lua names it by its own first line, and a zero byte ends it.
        status = luaL_loadstring(state, buffer);
        if (status == 0) status = lua_pcall(state, 0, LUA_MULTRET, 0);
    }
    --runDepth;
    // A nested run stopped by the limit stays quiet: the script that loaded it
    // fails at its next instruction and the top-level run reports it once.
    if (status != 0 && !topLevel && runTimedOut) lua_pop(state, 1);
    else Report(state, status);
    if (topLevel) {
        runState = nullptr;
        runLimited = false;
        runTimedOut = false;
        lua_sethook(state, CheckTime, LUA_MASKCOUNT, kHookInstructions);
    }
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
