// Scripts run through the process-wide script engine as the player runs them,
// and what they leave behind.
#pragma once

#include <tolua++.h>

#include <string>

#include "script/LuaScriptEngine.h"
#include "support/DemoPlatform.h"

namespace testsupport {

// A recording engine, an in-memory platform and the demo engine at 800 x 600
// for the rest of the process, as the player keeps its own; made on first use.
DemoPlatform* ProcessWideDemo();

// Runs one script; what it printed on stdout. What it printed on stderr goes
// to *err, or must be nothing.
std::string RunScript(const std::string& text, std::string* err = nullptr);

// What the last script returned, as text ("(no result)" for nothing); the
// stack is emptied.
std::string ScriptResult();

// The C++ object behind a global; null for nil.
template <class T>
T* ScriptGlobal(const char* name) {
    lua_State* L = LuaScriptEngine::GetEngine()->state;
    lua_getglobal(L, name);
    T* object = static_cast<T*>(tolua_tousertype(L, -1, nullptr));
    lua_pop(L, 1);
    return object;
}

}  // namespace testsupport
