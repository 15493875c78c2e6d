// The Lua script engine: the exact "ERROR: " reports of broken scripts and
// sources, and the libraries scripts do not get.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <string>

#include "io/ROMSource.h"
#include "script/LuaScriptEngine.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;

namespace {

class ScriptRun : public ::testing::Test {
protected:
    // Runs text as one script; returns what it printed on stderr.
    std::string Run(const std::string& text) {
        ROMSource source(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false);
        CaptureFd err(2);
        lua.LoadScript(&source);
        return err.Stop();
    }
    // The global as text; "nil" when it is not set.
    std::string Global(const char* name) {
        lua_getglobal(lua.state, name);
        std::string value = lua_isnil(lua.state, -1) ? "nil" : lua_tostring(lua.state, -1);
        lua_pop(lua.state, 1);
        return value;
    }

    LuaScriptEngine lua;
};

TEST_F(ScriptRun, EachFailureIsOneErrorLine) {
    const struct { const char* script; const char* err; } rows[] = {
        {"syntax = 1\nthis is not Lua\n",
         "ERROR: [string \"syntax = 1...\"]:2: '=' expected near 'is'\n"},
        {"before = 1\nerror('stop here')\nafter = 1",
         "ERROR: [string \"before = 1...\"]:2: stop here\n"},
        {"error({})", "ERROR: (error with no message)\n"},
        {"io.x()", "ERROR: [string \"io.x()\"]:1: attempt to index global 'io' (a nil value)\n"},
        {"os.x()", "ERROR: [string \"os.x()\"]:1: attempt to index global 'os' (a nil value)\n"},
        {"dofile()",
         "ERROR: [string \"dofile()\"]:1: attempt to call global 'dofile' (a nil value)\n"},
        {"loadfile()",
         "ERROR: [string \"loadfile()\"]:1: attempt to call global 'loadfile' (a nil value)\n"},
        {"require()",
         "ERROR: [string \"require()\"]:1: attempt to call global 'require' (a nil value)\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Run(row.script), row.err);
        EXPECT_EQ(lua_gettop(lua.state), 0) << row.script;
    }
    // A syntax error runs nothing; a runtime error stops where it happens.
    EXPECT_EQ(Global("syntax"), "nil");
    EXPECT_EQ(Global("before"), "1");
    EXPECT_EQ(Global("after"), "nil");
}

// Claims more bytes than it holds.
struct ShortSource : ROMSource {
    ShortSource() : ROMSource(reinterpret_cast<const unsigned char*>("x = 1"), 5, false) {}
    unsigned int GetLength() override { return 100; }
};

TEST_F(ScriptRun, MissingOrShortSourceIsReportedAndNothingRuns) {
    ShortSource source;
    CaptureFd err(2);
    lua.LoadScript(nullptr);
    lua.LoadScript(&source);
    EXPECT_EQ(err.Stop(),
              "LuaScriptEngine::LoadScript(): no script source\n"
              "LuaScriptEngine::LoadScript(): can't read 100 bytes\n");
    EXPECT_EQ(Global("x"), "nil");
}

}  // namespace
