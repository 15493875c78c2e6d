// Entry points of the demo module: the generated registration under the Demo
// namespace, guarded before any script sees it.
#include "script/ScriptAdapters.h"

#include <tolua++.h>

#include "ScriptBinding.h"
#include "script/ScriptSandbox.h"

namespace Demo {

int tolua_demo_open(lua_State* state) {
    int result = ::tolua_demo_open(state);
    ScriptSandbox::GuardBinding(state);
    return result;
}

int luaopen_demo(lua_State* state) { return Demo::tolua_demo_open(state); }

}  // namespace Demo
