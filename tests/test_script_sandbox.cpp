// What a hostile or runaway script cannot do: reach memory through the
// libraries or the binding runtime, overflow the stack, run past the time
// limit, or abort the player when memory runs out.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/Engine.h"
#include "demo/Part.h"
#include "demo/Target.h"
#include "io/ROMSource.h"
#include "script/LuaScriptEngine.h"
#include "script/ScriptSandbox.h"
#include "support/CountingNew.h"
#include "support/DemoTestEnv.h"
#include "support/ScriptTestUtil.h"

namespace {

class ScriptSandboxTest : public testsupport::DemoTestEnv {
protected:
    void TearDown() override {
        LuaScriptEngine::SetTimeLimit(LuaScriptEngine::kDefaultTimeLimit);
        lua()->SetMemoryLimit(LuaScriptEngine::kDefaultMemoryLimit);
        lua_settop(L(), 0);
        DemoTestEnv::TearDown();
    }
    LuaScriptEngine* lua() { return LuaScriptEngine::GetEngine(); }
    lua_State* L() { return lua()->state; }
    // Runs one script; returns what it printed on stderr (stdout is dropped).
    // While it runs, operator new succeeds `allocations` times, then fails
    // (negative: always succeeds).
    std::string Run(const std::string& text, long allocations = -1) {
        ROMSource source(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false);
        LuaScriptEngine* scripts = lua();
        testsupport::CaptureFd out(1), err(2);
        testsupport::Allocations::failAfter = allocations;
        scripts->LoadScript(&source);
        testsupport::Allocations::failAfter = -1;
        out.Stop();
        return err.Stop();
    }
    // The value the script returns, as a string; its stderr must stay empty.
    std::string Eval(const std::string& script) {
        EXPECT_EQ(Run(script), "") << script;
        return testsupport::ScriptResult();
    }
};

using SandboxLibraries = ScriptSandboxTest;

TEST_F(SandboxLibraries, OnlyHarmlessDebugAndToluaFunctionsAreLeft) {
    EXPECT_EQ(Eval("local lists = {}\n"
                   "for _, name in ipairs({'debug', 'tolua'}) do\n"
                   "  local keys = {}\n"
                   "  for k in pairs(_G[name]) do keys[#keys + 1] = k end\n"
                   "  table.sort(keys)\n"
                   "  lists[#lists + 1] = name .. ': ' .. table.concat(keys, ' ')\n"
                   "end\n"
                   "return table.concat(lists, '; ')"),
              "debug: gethook getinfo getlocal traceback; tolua: type");
    EXPECT_EQ(Eval("return type(dofile) .. type(loadfile) .. type(newproxy)"), "nilnilnil");
    // What is kept still works.
    EXPECT_EQ(Eval("return debug.getinfo(1, 'S').what .. ' ' .. debug.traceback('here'):sub(1, 21)"),
              "main here\nstack traceback:");
    EXPECT_EQ(Eval("return tolua.type(Target:New()) .. ', ' .. tolua.type(Target)"),
              "Target, class Target");
}

TEST_F(SandboxLibraries, ClassTablesAndObjectsHideTheRuntime) {
    EXPECT_EQ(Eval("local keys = {}\n"
                   "for k in pairs(Target) do keys[#keys + 1] = k end\n"
                   "table.sort(keys)\n"
                   "return table.concat(keys, ' ')"),
              "New Screen");
    EXPECT_EQ(Eval("local t = Target:New()\n"
                   "t.note = 'kept'\n"  // objects still take fields of their own
                   "return tostring(getmetatable(t)) .. ' ' .. tostring(t.tolua_ubox) .. ' ' ..\n"
                   "  tostring(t.__index) .. ' ' .. tostring(t.__gc) .. ' ' .. tostring(t['.get']) ..\n"
                   "  ' ' .. t.note"),
              "false nil nil nil nil kept");
    // Each of these once reached memory: a non-table object cache, an event
    // called on a table, objects moved between classes in the cache.
    EXPECT_EQ(Run("Target.tolua_ubox = 5\nrawset(Target, 'tolua_ubox', 5)\n"
                  "setmetatable(Target, {__index = function() return 5 end})\n"
                  "target = Target:New()\n"),
              "");
    EXPECT_TRUE(engine->objects.Contains(testsupport::ScriptGlobal<Demo::Target>("target")));
    EXPECT_EQ(Run("Object.__gc({})"),
              "ERROR: [string \"Object.__gc({})\"]:1: attempt to call field '__gc' (a nil value)\n");
    EXPECT_EQ(Run("for k, v in pairs(Engine.tolua_ubox) do end"),
              "ERROR: [string \"for k, v in pairs(Engine.tolua_ubox) do end\"]:1: bad argument #1 "
              "to 'pairs' (table expected, got nil)\n");
    EXPECT_EQ(Eval("return tostring(Engine:GetEngine() == Engine:GetEngine())"), "true");
    // Static calls still check their class table.
    EXPECT_EQ(Run("Target.New(Part)"),
              "ERROR: [string \"Target.New(Part)\"]:1: error in function 'New'.\n"
              "     argument #1 is 'class Part'; 'Target' expected.\n\n");
}

TEST_F(SandboxLibraries, PrecompiledChunksAreRefused) {
    EXPECT_EQ(Run("f = function() return 1 end\nloadstring(string.dump(f))"),
              "ERROR: [string \"f = function() return 1 end...\"]:2: loadstring(): precompiled "
              "chunks are refused\n");
    EXPECT_EQ(Run("d = string.dump(function() return 1 end)\n"
                  "loadstring(d:sub(1, 12) .. string.rep('\\255', 64))"),
              "ERROR: [string \"d = string.dump(function() return 1 end)...\"]:2: loadstring(): "
              "precompiled chunks are refused\n");
    EXPECT_EQ(Run("local d, i = string.dump(function() end), 0\n"
                  "load(function() i = i + 1 return i == 1 and d:sub(1, 1) or i == 2 and d:sub(2) or nil end)"),
              "ERROR: [string \"local d, i = string.dump(function() end), 0...\"]:2: load(): "
              "precompiled chunks are refused\n");
    // Text still loads, and a syntax error is still a result, not an error.
    EXPECT_EQ(Eval("local pieces, i = {'return ', '1 + ', '2'}, 0\n"
                   "return loadstring('return 40 + 1')() + load(function() i = i + 1 return pieces[i] end)()"),
              "44");
    EXPECT_EQ(Eval("local f, message = loadstring('x =', '=named')\n"
                   "return tostring(f) .. ' ' .. message"),
              "nil named:1: unexpected symbol near '<eof>'");
    // A binary chunk handed over as a script.
    std::string binary = Eval("return string.dump(function() ran = true end)");
    ASSERT_EQ(binary[0], '\033');
    EXPECT_EQ(Run(binary), "ERROR: precompiled chunks are refused\n");
    EXPECT_EQ(Eval("return tostring(ran)"), "nil");
}

TEST_F(SandboxLibraries, UnpackRefusesRangesPastTheStack) {
    EXPECT_EQ(Run("unpack({}, -2^31, 2^31 - 1)"),
              "ERROR: [string \"unpack({}, -2^31, 2^31 - 1)\"]:1: too many results to unpack\n");
    EXPECT_EQ(Run("unpack({}, 1, 1e6)"),
              "ERROR: [string \"unpack({}, 1, 1e6)\"]:1: too many results to unpack\n");
    EXPECT_EQ(Eval("return select('#', unpack({1, 2, 3})) .. ' ' ..\n"
                   "  table.concat({unpack({1, 2, 3, 4}, 2, 3)}, ',') .. ' ' ..\n"
                   "  select('#', unpack({}, 5, 4)) .. ' ' .. select('#', unpack({}, 1, 7000))"),
              "3 2,3 0 7000");
}

TEST_F(SandboxLibraries, PatternsNestingPastTheLimitAreRefused) {
    EXPECT_EQ(Run("string.match(string.rep('a', 4e5), string.rep('a?', 2e5))"),
              "ERROR: [string \"string.match(string.rep('a', 4e5), string.r...\"]:1: "
              "string.match(): pattern too complex, more than 200 quantified items and captures "
              "(the nesting limit)\n");
    // Every way into the matcher, methods on strings included.
    EXPECT_EQ(Eval("local p, s, names = string.rep('a?', 201), 'aaa', {}\n"
                   "for _, f in ipairs({function() return s:find(p) end,\n"
                   "    function() return s:match(p) end, function() return s:gmatch(p) end,\n"
                   "    function() return s:gsub(p, '') end, function() return string.gfind(s, p) end}) do\n"
                   "  local ok, message = pcall(f)\n"
                   "  names[#names + 1] = message:match('(string%.%a+)%(%): pattern too complex') or message\n"
                   "end\n"
                   "return table.concat(names, ' ')"),
              "string.find string.match string.gmatch string.gsub string.gmatch");
    // At the limit, plain finds, and everyday patterns.
    EXPECT_EQ(Eval("local words = {}\n"
                   "for w in ('one two three'):gmatch('%a+') do words[#words + 1] = w end\n"
                   "local key, value = ('key = value'):match('^(%w+)%s*=%s*(%w+)$')\n"
                   "return ('a'):match(string.rep('a?', 200)) .. ' ' ..\n"
                   "  tostring(('aaa'):find(string.rep('a?', 201), 1, true)) .. ' ' ..\n"
                   "  select(2, ('a,b,,c'):gsub(',', ';')) .. ' ' .. key .. value .. ' ' ..\n"
                   "  table.concat(words, '+')"),
              "a nil 3 keyvalue one+two+three");
}

TEST(PatternDepth, CountsWhatTheMatcherRecursesFor) {
    const struct { const char* pattern; int depth; } rows[] = {
        {"abc", 0},       {"a?b*c+d-", 4},  {"(a)", 2},        {"()", 1},
        {"%a+%d*", 2},    {"[%]?]*", 1},    {"[]]*x", 1},      {"[^a-z]-", 1},
        {"%f[%w]*", 0},   {"%b()*", 0},     {"(a)%1*", 2},     {"a$", 0},
        {"$?", 1},        {"%%*", 1},       {"[a", 0},         {"%", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ScriptSandbox::PatternDepth(row.pattern, strlen(row.pattern)), row.depth)
            << row.pattern;
    // Lua 5.1 stops reading a pattern at a zero byte.
    EXPECT_EQ(ScriptSandbox::PatternDepth("a\0b*c*", 6), 0);
}

TEST_F(SandboxLibraries, LongLoopsInsideTheLibraryAreRefused) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Eval("return #string.rep('', 2^31 - 1) .. ' ' .. ('ab'):rep(3) .. ' ' ..\n"
                   "  #string.rep('abc', 1e6) .. ' ' .. string.rep('x', 0) .. '|'"),
              "0 ababab 3000000 |");
    EXPECT_EQ(Run("string.rep('x', 2^31 - 1)"),
              "ERROR: [string \"string.rep('x', 2^31 - 1)\"]:1: string.rep(): a result of "
              "2147483647 bytes is over the memory limit\n");
    EXPECT_EQ(Run("table.insert({}, -2^31, 1)"),
              "ERROR: [string \"table.insert({}, -2^31, 1)\"]:1: table.insert(): position "
              "-2147483648 is below 0\n");
    EXPECT_EQ(Eval("local t = {'b'}\ntable.insert(t, 1, 'a')\ntable.insert(t, 'c')\n"
                   "table.insert(t, 5, 'e')\nreturn table.concat(t) .. t[5]"),
              "abce");
    // Each of these took seconds in C before.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

using ScriptTimeLimit = ScriptSandboxTest;

TEST_F(ScriptTimeLimit, AnEndlessLoopEndsAsAScriptErrorKeepingWhatItBuilt) {
    LuaScriptEngine::SetTimeLimit(0.5f);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("kept = Part:New(100)\nwhile true do end\nafter = 1"),
              "ERROR: script ran longer than the 0.5 s limit\n");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.5);
    EXPECT_LT(seconds, 5.0);
    Demo::Part* kept = testsupport::ScriptGlobal<Demo::Part>("kept");
    EXPECT_TRUE(engine->objects.Contains(kept));
    EXPECT_EQ(kept->end, 100.0f);
    EXPECT_EQ(Eval("return tostring(after)"), "nil");
    // The next run has its own time, and runs at full speed.
    EXPECT_EQ(Eval("local x = 0\nfor i = 1, 1e6 do x = x + 1 end\nreturn x"), "1000000");
}

TEST_F(ScriptTimeLimit, CatchingTheErrorDoesNotKeepTheScriptRunning) {
    LuaScriptEngine::SetTimeLimit(0.2f);
    const char* const scripts[] = {
        "while true do pcall(function() while true do end end) end",
        "while true do xpcall(function() while true do end end, function() while true do end end) end",
        "while true do coroutine.resume(coroutine.create(function() while true do end end)) end",
        "while true do pcall(table.sort, {3, 2, 1}, function() while true do end end) end",
        "while true do pcall(string.gsub, 'abc', '%w', function() while true do end end) end",
    };
    for (const char* script : scripts) {
        EXPECT_EQ(Run(script), "ERROR: script ran longer than the 0.2 s limit\n") << script;
        EXPECT_EQ(Eval("return 'next run'"), "next run");
    }
}

TEST_F(ScriptTimeLimit, ScriptsLoadedByAScriptShareItsRun) {
    LuaScriptEngine::SetTimeLimit(0.2f);
    platform.files["resource://spin.lua"] = "spun = true\nwhile true do end";
    // One report, from the top: the loading script stops too.
    EXPECT_EQ(Run("Engine:GetEngine():LoadScript('resource://spin.lua')\nafter = 1"),
              "ERROR: script ran longer than the 0.2 s limit\n");
    EXPECT_EQ(Eval("return tostring(spun) .. ' ' .. tostring(after)"), "true nil");
}

TEST_F(ScriptTimeLimit, AnythingButAPositiveLimitTurnsItOff) {
    LuaScriptEngine::SetTimeLimit(2.5f);
    EXPECT_EQ(LuaScriptEngine::GetTimeLimit(), 2.5f);
    for (float off : {0.0f, -3.0f, NAN}) {
        LuaScriptEngine::SetTimeLimit(off);
        EXPECT_EQ(LuaScriptEngine::GetTimeLimit(), 0.0f) << off;
    }
    EXPECT_EQ(Eval("local x = 0\nfor i = 1, 1e6 do x = x + 1 end\nreturn x"), "1000000");
}

using ScriptOutOfMemory = ScriptSandboxTest;

TEST_F(ScriptOutOfMemory, BadAllocInABindingIsAScriptError) {
    unsigned int registered = engine->objects.Size();
    std::string err = Run("before = 1\nTarget:New(0)\nafter = 1", 0);
    EXPECT_EQ(err, "ERROR: [string \"before = 1...\"]:2: Target.New(): out of memory\n");
    EXPECT_EQ(Eval("return before .. ' ' .. tostring(after)"), "1 nil");
    EXPECT_EQ(engine->objects.Size(), registered);

    // Memory running out part-way through a long loop of factories.
    // Empty targets, so that memory runs out before the objects' budget.
    err = Run("made = 0\nfor i = 1, 1e6 do Target:New(0) made = made + 1 end", 2000);
    EXPECT_EQ(err, "ERROR: [string \"made = 0...\"]:2: Target.New(): out of memory\n");
    int made = std::stoi(Eval("return made"));
    EXPECT_GT(made, 0);
    EXPECT_EQ(engine->objects.Size(), registered + unsigned(made));
}

TEST_F(ScriptOutOfMemory, TheStateHasAMemoryLimit) {
    size_t used = size_t(lua_gc(L(), LUA_GCCOUNT, 0)) * 1024 + size_t(lua_gc(L(), LUA_GCCOUNTB, 0));
    lua()->SetMemoryLimit(used + (size_t(4) << 20));
    EXPECT_EQ(Run("t = {}\nfor i = 1, 1e7 do t[i] = i end"), "ERROR: not enough memory\n");
    EXPECT_EQ(Run("t = nil\ncollectgarbage()\ns = string.rep('x', 8e6)"),
              "ERROR: [string \"t = nil...\"]:3: string.rep(): a result of 8000000 bytes is over "
              "the memory limit\n");
    EXPECT_EQ(Eval("return #string.rep('x', 1e6)"), "1000000");
}

// The whole process under an address-space limit: whichever allocation fails
// first, C++ or Lua, the script stops with an error and the player lives on.
// Not in the sanitizer build, which reserves far more address space than the
// limit before main.
#if !defined(__SANITIZE_ADDRESS__)
TEST_F(ScriptOutOfMemory, AMillionTargetsInLittleAddressSpace) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 2);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        long pages = 0;
        if (FILE* statm = fopen("/proc/self/statm", "r")) {
            if (fscanf(statm, "%ld", &pages) != 1) pages = 0;
            fclose(statm);
        }
        // Little enough to run out before the objects' budget of empty targets.
        rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(32) << 20);
        rlimit limit = {bytes, bytes};
        if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        std::string text = "for i = 1, 1e6 do Target:New(0) end\nreached = true";
        ROMSource source(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false);
        lua()->LoadScript(&source);
        lua_getglobal(L(), "reached");
        _exit(lua_isnil(L(), -1) ? 0 : 4);
    }
    close(pipeFds[1]);
    std::string err;
    char buffer[256];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) err.append(buffer, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status) << "\n" << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    bool cpp = err == "ERROR: [string \"for i = 1, 1e6 do Target:New(0) end...\"]:1: Target.New(): "
                      "out of memory\n";
    EXPECT_TRUE(cpp || err == "ERROR: not enough memory\n") << err;
}
#endif

}  // namespace
