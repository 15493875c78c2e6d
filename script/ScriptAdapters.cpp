// Entry points of the demo module: the generated registration under the Demo namespace.
#include "script/ScriptAdapters.h"

#include <tolua++.h>

#include "ScriptBinding.h"

namespace Demo {

int tolua_demo_open(lua_State* state) { return ::tolua_demo_open(state); }

int luaopen_demo(lua_State* state) { return ::tolua_demo_open(state); }

}  // namespace Demo
