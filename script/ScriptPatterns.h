// Lua 5.1's pattern matching for string.find, match, gmatch and gsub, with a
// budget of matcher steps: a backtracking pattern ends as a script error
// instead of keeping the state busy in C, where the time limit cannot stop it.
#pragma once

struct lua_State;

class ScriptPatterns {
public:
    // Character tests and matcher recursions one call may take: a few
    // megabytes of linear matching, far more than any pattern over a script's
    // own text needs, and well under a second even in an instrumented build.
    static constexpr long kStepLimit = 10000000;

    // The library functions: arguments, results and error messages as Lua
    // 5.1's own; `function` is the name the step refusal gives ("string.find").
    // A gmatch iterator has a budget of its own for each step of the loop.
    static int Find(lua_State* L, const char* function);
    static int Match(lua_State* L, const char* function);
    static int Gmatch(lua_State* L, const char* function);
    static int Gsub(lua_State* L, const char* function);
};
