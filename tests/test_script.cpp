// The Lua script engine: which libraries scripts get, how sources are run, and
// the exact "ERROR: " reports of broken scripts.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <cstdlib>
#include <cstring>
#include <string>

#include "io/ROMSource.h"
#include "script/LuaScriptEngine.h"
#include "script/ScriptAdapters.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;

namespace {

// A memory source over a copy of text (zero bytes included).
ROMSource* SourceOf(const std::string& text) {
    unsigned char* copy = static_cast<unsigned char*>(malloc(text.size() + 1));
    memcpy(copy, text.data(), text.size());
    return new ROMSource(copy, (unsigned int)text.size(), true);
}

// A source that claims more bytes than it can deliver.
class BrokenSource : public ROMSource {
public:
    BrokenSource() : ROMSource(reinterpret_cast<const unsigned char*>("x = 1"), 5, false) {}
    unsigned int GetLength() override { return 100; }
};

class ScriptRun : public ::testing::Test {
protected:
    // Runs text as one script; returns what it printed on standard error.
    std::string Run(const std::string& text) {
        ROMSource* source = SourceOf(text);
        CaptureFd err(2);
        lua.LoadScript(source);
        std::string printed = err.Stop();
        delete source;
        return printed;
    }
    std::string GlobalType(const char* name) {
        lua_getglobal(lua.state, name);
        std::string type = lua_typename(lua.state, lua_type(lua.state, -1));
        lua_pop(lua.state, 1);
        return type;
    }
    double GlobalNumber(const char* name) {
        lua_getglobal(lua.state, name);
        double value = lua_tonumber(lua.state, -1);
        lua_pop(lua.state, 1);
        return value;
    }

    LuaScriptEngine lua;
};

TEST_F(ScriptRun, EmptySourceRunsSilently) {
    EXPECT_EQ(Run(""), "");
    EXPECT_EQ(lua_gettop(lua.state), 0);
}

TEST_F(ScriptRun, GlobalsAreSharedBetweenScripts) {
    EXPECT_EQ(Run("shared = 41\nfunction bump(x) return x + 1 end"), "");
    EXPECT_EQ(Run("shared = bump(shared)"), "");
    EXPECT_EQ(GlobalNumber("shared"), 42.0);
}

TEST_F(ScriptRun, OnlyTheScriptLibrariesAreOpen) {
    EXPECT_EQ(Run("ok = string.format('%d', math.floor(2.5)) .. table.concat({'a', 'b'})\n"
                  "tb = type(debug.traceback)"),
              "");
    lua_getglobal(lua.state, "ok");
    EXPECT_STREQ(lua_tostring(lua.state, -1), "2ab");
    lua_pop(lua.state, 1);
    EXPECT_EQ(GlobalType("io"), "nil");
    EXPECT_EQ(GlobalType("os"), "nil");
    EXPECT_EQ(GlobalType("package"), "nil");
    EXPECT_EQ(GlobalType("require"), "nil");
    // The demo module's classes are globals.
    EXPECT_EQ(GlobalType("Engine"), "table");
    EXPECT_EQ(GlobalType("PointCurve"), "table");
}

TEST_F(ScriptRun, ChunkResultsStayOnTheStack) {
    EXPECT_EQ(Run("return 1, 'two'"), "");
    ASSERT_EQ(lua_gettop(lua.state), 2);
    EXPECT_EQ(lua_tonumber(lua.state, 1), 1.0);
    EXPECT_STREQ(lua_tostring(lua.state, 2), "two");
}

TEST_F(ScriptRun, ZeroByteEndsTheChunk) {
    EXPECT_EQ(Run(std::string("cut = 1\0 this is not Lua", 24)), "");
    EXPECT_EQ(GlobalNumber("cut"), 1.0);
}

using ScriptErrors = ScriptRun;

TEST_F(ScriptErrors, SyntaxErrorPrintsOneLineAndRunsNothing) {
    EXPECT_EQ(Run("before = 1\nthis is not Lua\n"),
              "ERROR: [string \"before = 1...\"]:2: '=' expected near 'is'\n");
    EXPECT_EQ(GlobalType("before"), "nil");
    EXPECT_EQ(lua_gettop(lua.state), 0);
}

TEST_F(ScriptErrors, RuntimeErrorStopsTheChunkWhereItHappens) {
    EXPECT_EQ(Run("before = 1\nerror('stop here')\nafter = 1"),
              "ERROR: [string \"before = 1...\"]:2: stop here\n");
    EXPECT_EQ(GlobalNumber("before"), 1.0);
    EXPECT_EQ(GlobalType("after"), "nil");
    EXPECT_EQ(lua_gettop(lua.state), 0);
}

TEST_F(ScriptErrors, NonStringErrorHasNoMessage) {
    EXPECT_EQ(Run("error({})"), "ERROR: (error with no message)\n");
    // Numbers are shown as text, like any message Lua can convert.
    EXPECT_EQ(Run("error(42, 0)"), "ERROR: 42\n");
}

TEST_F(ScriptErrors, FilesAreOutOfReach) {
    EXPECT_EQ(Run("io.open('/etc/passwd')"),
              "ERROR: [string \"io.open('/etc/passwd')\"]:1: attempt to index global 'io' (a "
              "nil value)\n");
    EXPECT_EQ(Run("dofile('/etc/passwd')"),
              "ERROR: [string \"dofile('/etc/passwd')\"]:1: attempt to call global 'dofile' (a "
              "nil value)\n");
    EXPECT_EQ(Run("loadfile('/etc/passwd')"),
              "ERROR: [string \"loadfile('/etc/passwd')\"]:1: attempt to call global 'loadfile' "
              "(a nil value)\n");
    EXPECT_EQ(Run("require('socket')"),
              "ERROR: [string \"require('socket')\"]:1: attempt to call global 'require' (a nil "
              "value)\n");
}

TEST_F(ScriptErrors, ScriptGoesOnAfterAnEarlierFailure) {
    Run("error('first')");
    EXPECT_EQ(Run("second = 2"), "");
    EXPECT_EQ(GlobalNumber("second"), 2.0);
}

TEST_F(ScriptErrors, MissingSourceIsReported) {
    CaptureFd err(2);
    lua.LoadScript(nullptr);
    EXPECT_EQ(err.Stop(), "LuaScriptEngine::LoadScript(): no script source\n");
}

TEST_F(ScriptErrors, ShortReadIsReportedAndNothingRuns) {
    BrokenSource source;
    CaptureFd err(2);
    lua.LoadScript(&source);
    EXPECT_EQ(err.Stop(), "LuaScriptEngine::LoadScript(): can't read 100 bytes\n");
    EXPECT_EQ(GlobalType("x"), "nil");
}

TEST(DemoModule, OpensIntoAnyState) {
    lua_State* L = luaL_newstate();
    luaopen_base(L);
    lua_settop(L, 0);
    EXPECT_EQ(Demo::luaopen_demo(L), 1);
    lua_settop(L, 0);
    ASSERT_EQ(luaL_dostring(L, "kinds = type(Part) .. type(Engine) .. type(Target.New)"), 0);
    lua_getglobal(L, "kinds");
    EXPECT_STREQ(lua_tostring(L, -1), "tabletablefunction");
    lua_close(L);
}

TEST(ScriptEngineSingleton, SameInstanceEveryCall) {
    LuaScriptEngine* first = LuaScriptEngine::GetEngine();
    EXPECT_EQ(LuaScriptEngine::GetEngine(), first);
    EXPECT_NE(first->state, nullptr);
}

}  // namespace
