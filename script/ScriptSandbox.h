// What a script may not do: reach memory, the registry or the hook through the
// standard libraries or the binding runtime, or let a C++ exception cross
// Lua's C frames.
#pragma once

#include <cstddef>

struct lua_State;

class ScriptSandbox {
public:
    // After the standard libraries are open. Removes dofile, loadfile and
    // newproxy; loadstring and load refuse precompiled chunks; unpack, the
    // pattern functions, string.rep and table.insert refuse what would
    // overflow the stack or run for seconds in C; the debug library keeps
    // only getinfo, getlocal, gethook and traceback.
    static void RestrictLibraries(lua_State* state);

    // After the binding is registered. Keeps only tolua.type; every binding
    // function turns a C++ exception into a Lua error; the class metatables
    // are hidden: the globals become plain tables holding the class's
    // functions and constants, getmetatable gives false, and objects do not
    // show the runtime's own fields.
    static void GuardBinding(lua_State* state);

    // How deep Lua 5.1's matcher recurses for a pattern at most: one level
    // per capture bracket and per quantified item.
    static int PatternDepth(const char* pattern, size_t length);
    static constexpr int kPatternDepthLimit = 200;
};
