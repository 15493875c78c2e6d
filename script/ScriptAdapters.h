// Entry points of the demo module for Lua states.
#pragma once

struct lua_State;

namespace Demo {

// Registers the script classes, their functions and constants as globals.
int tolua_demo_open(lua_State* state);
// The same, under the module-opener name.
int luaopen_demo(lua_State* state);

}  // namespace Demo
