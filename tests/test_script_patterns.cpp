// The sandbox's pattern functions against the Lua library's own: the same
// results and the same errors for every feature of Lua 5.1's patterns, and a
// refusal instead of minutes in C for patterns that backtrack without end.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <chrono>
#include <string>

#include "script/ScriptPatterns.h"
#include "script/ScriptSandbox.h"

namespace {

// Gathers what a gmatch loop yields, and what a call returns, as one string.
const char kPrelude[] =
    "function collect(s, p)\n"
    "  local out = {}\n"
    "  for a, b, c in string.gmatch(s, p) do\n"
    "    out[#out + 1] = tostring(a) .. ',' .. tostring(b) .. ',' .. tostring(c)\n"
    "  end\n"
    "  return table.concat(out, ';')\n"
    "end\n";

class PatternsTest : public ::testing::Test {
protected:
    void SetUp() override {
        reference = luaL_newstate();
        luaL_openlibs(reference);
        sandboxed = luaL_newstate();
        luaL_openlibs(sandboxed);
        ScriptSandbox::RestrictLibraries(sandboxed);
        for (lua_State* L : {reference, sandboxed})
            ASSERT_EQ(luaL_loadbuffer(L, kPrelude, sizeof kPrelude - 1, "=prelude") ||
                          lua_pcall(L, 0, 0, 0),
                      0);
    }
    void TearDown() override {
        lua_close(reference);
        lua_close(sandboxed);
    }

    // Every result of `return expression` with its type, or the error message.
    static std::string Evaluate(lua_State* L, const std::string& expression) {
        lua_settop(L, 0);
        std::string chunk = "return " + expression;
        if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "=case") != 0 ||
            lua_pcall(L, 0, LUA_MULTRET, 0) != 0)
            return std::string("error: ") + (lua_isstring(L, -1) ? lua_tostring(L, -1) : "?");
        std::string out;
        for (int i = 1; i <= lua_gettop(L); ++i) {
            out += lua_typename(L, lua_type(L, i));
            if (lua_isstring(L, i)) {
                size_t length;
                const char* text = lua_tolstring(L, i, &length);
                out += ":" + std::string(text, length);
            } else if (lua_isboolean(L, i)) {
                out += lua_toboolean(L, i) ? ":true" : ":false";
            }
            out += "|";
        }
        lua_settop(L, 0);
        return out;
    }

    void ExpectSame(const std::string& expression) {
        EXPECT_EQ(Evaluate(sandboxed, expression), Evaluate(reference, expression)) << expression;
    }

    // The error `expression` raises in the sandbox, and whether it took under 2 s.
    std::string Refusal(const std::string& expression) {
        auto start = std::chrono::steady_clock::now();
        std::string result = Evaluate(sandboxed, expression);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << expression;
        return result;
    }

    lua_State* reference = nullptr;
    lua_State* sandboxed = nullptr;
};

using PatternsLikeLua = PatternsTest;
using PatternsRefused = PatternsTest;

TEST_F(PatternsLikeLua, FindPositionsAndPlainSearches) {
    const char* const cases[] = {
        "string.find('hello world', 'o w')",
        "string.find('hello world', 'o', 6)",
        "string.find('hello', 'l+')",
        "string.find('hello', '(l)(l)')",
        "string.find('hello', '()ll()')",
        "string.find('hello', '', 10)",
        "string.find('hello', '', 6)",
        "string.find('hello', 'l', -2)",
        "string.find('hello', 'h', -100)",
        "string.find('hello', 'o', 0)",
        "string.find('hello', 'xyz')",
        "string.find('a.b', '.', 1, true)",
        "string.find('a+b', '+', 1, true)",
        "string.find('a+b', 'a+', 1, 1)",
        "string.find('x^y', '^y')",
        "string.find('abc', '^b')",
        "string.find('abc', '^a')",
        "string.find('abc', 'c$')",
        "string.find('abc', 'b$')",
        "string.find('a$b', 'a$b')",
        "string.find(12345, 3)",
        "string.find('a\\0b', '%z')",
        "string.find('a\\0b', '[%z]')",
        "string.find('abc', 'a\\0')",
        "string.find('abc', 'a.\\0c')",
        "string.find('', '')",
        "string.find('', 'a*')",
        "string.find(nil, 'a')",
        "string.find('a', {})",
    };
    for (const char* expression : cases) ExpectSame(expression);
}

TEST_F(PatternsLikeLua, ClassesSetsAndQuantifiers) {
    // Every class and its complement, over control, space, punctuation, both
    // cases, digits, a zero byte and bytes above 127.
    const std::string subject = "'\\t\\1abcXYZ 09,;!ff\\0end\\200\\255 _-]^'";
    for (const char* cl : {"a", "c", "d", "l", "p", "s", "u", "w", "x", "z"}) {
        std::string lower = cl, upper = lower;
        upper[0] = char(toupper(upper[0]));
        ExpectSame("collect(" + subject + ", '%" + lower + "+')");
        ExpectSame("collect(" + subject + ", '%" + upper + "+')");
        ExpectSame("collect(" + subject + ", '[%" + lower + "]')");
        ExpectSame("collect(" + subject + ", '[^%" + upper + "]+')");
    }
    const char* const sets[] = {
        "[%a_][%w_]*", "[^%s]+", "[a-c]+", "[]]", "[^]]+", "[a-]+", "[-a]+", "[%]]",
        "[%-x]+", "[z-a]", "[^a-z%d]+", "[%^]", "[^^]+", "[.]", "[%%]", "[\\200-\\255]+",
        "%%", "%.", "%-+", "%]",
    };
    for (const char* set : sets) ExpectSame("collect(" + subject + ", '" + set + "')");
    const char* const cases[] = {
        "string.match('abc', 'a.c')",
        "string.match('abcabc', '.-b')",
        "string.match('abcabc', '.*b')",
        "string.match('aaab', 'a*')",
        "string.match('aaab', 'a+b')",
        "string.match('aaab', 'a-b')",
        "string.match('aaab', '(a-)b')",
        "string.match('b', 'a?b')",
        "string.match('bab', 'ba?')",
        "string.match('aaa', '(a*)(a*)')",
        "string.match('aaa', '(a-)(a*)')",
        "string.match('aaa', '^(a+)$')",
        "string.match('aaa', '^a$')",
        "string.match('key = value', '(%w+)%s*=%s*(%w+)')",
        "string.match('hello', '()ll()')",
        "string.match('hello', '()')",
        "string.match('hello', 'l', -1)",
        "string.match('hello', 'l', -2)",
        "string.match('hello', '', 99)",
        "string.match('hello', '.', 99)",
        "string.match('a*b', 'a*%*b')",
        "string.match('$5', '$%d')",
        "string.match('x?', 'x%?')",
        "string.match(2^53, '%d+')",
    };
    for (const char* expression : cases) ExpectSame(expression);
}

TEST_F(PatternsLikeLua, BackReferencesBalancesAndFrontiers) {
    const char* const cases[] = {
        "string.match('say \"hi\" and \\'yo\\'', '([\"\\'])(.-)%1')",
        "string.match('abcabcb', '(a(b)c)%1%2')",
        "string.match('xyyx', '(.)(.)%2%1')",
        "string.match('aa', '()%1')",
        "string.match('f(a(b)c) d', '%b()')",
        "string.match('[[x]', '%b[]')",
        "string.match('((', '%b()')",
        "string.match('x(y)', '^%b()')",
        "string.match('if a then b end end', '%bie')",
        "string.find('THE (quick) fox', '%f[%a]%a+', 5)",
        "string.find('hello', '%f[%l]')",
        "string.find('hello', '%f[%z]')",
        "string.find('hello', '%f[^%z]')",
        "collect('one two, three', '%f[%w]%w+')",
        "collect('one two, three', '%f[%W]')",
        "collect('aXbYc', '%f[%u]')",
    };
    for (const char* expression : cases) ExpectSame(expression);
}

TEST_F(PatternsLikeLua, GmatchLoops) {
    const char* const cases[] = {
        "collect('hello world from Lua', '%a+')",
        "collect('k1=v1, k2=v2', '(%w+)=(%w+)')",
        "collect('abc', '')",
        "collect('abc', 'x*')",
        "collect('aaa', 'a-')",
        "collect('baaac', 'a*')",
        "collect('^a^a', '^a')",
        "collect('a1b22c333', '()%d+()')",
        "collect('', '')",
        "collect('', 'a')",
        "collect(1e15, '0+')",
        "collect('(a)(b(c))', '%b()')",
        // The iterator keeps its place between calls and ends for good.
        "(function() local it = ('a b c'):gmatch('%a') "
        "return it(), it(), it(), it(), it() end)()",
        "(function() local it = string.gfind('xy', '.') return it(), it(), it() end)()",
    };
    for (const char* expression : cases) ExpectSame(expression);
}

TEST_F(PatternsLikeLua, GsubWithEveryKindOfReplacement) {
    const char* const cases[] = {
        "string.gsub('hello world', 'o', '0')",
        "string.gsub('hello world', '(%w+)', '<%1>')",
        "string.gsub('hello world', '(%w+) (%w+)', '%2 %1')",
        "string.gsub('hello', '', '-')",
        "string.gsub('abc', '%w', '%0%0')",
        "string.gsub('abc', '(b)', '%%1')",
        "string.gsub('abc', 'b', '%1')",
        "string.gsub('abc', 'b', '%x')",
        "string.gsub('abc', 'b', '50%')",
        "string.gsub('abc', '()b', '%1')",
        "string.gsub('hello world', 'o', '0', 1)",
        "string.gsub('hello world', 'o', '0', 0)",
        "string.gsub('hello world', 'o', '0', -1)",
        "string.gsub('hello world', 'o', '0', 2.9)",
        "string.gsub('abc', '^a', 'x')",
        "string.gsub('aaa', '^a', 'x')",
        "string.gsub('aaa', '^', 'x')",
        "string.gsub('aaa', '$', 'x')",
        "string.gsub('hello', 'l*', 'x')",
        "string.gsub('abc', 'b', 5)",
        "string.gsub(123, 2, 9)",
        "string.gsub('', '', 'x')",
        "string.gsub('$name is $age, $who', '%$(%w+)', {name = 'Bob', age = 42})",
        "string.gsub('$name', '%$(%w+)', {name = false})",
        "string.gsub('a b', '%a', {a = 'A'})",
        "string.gsub('a b', '()%a', {'one', 'two', 'three'})",
        "string.gsub('a1b2', '(%a)(%d)', function(l, d) return d .. l end)",
        "string.gsub('a1b2', '%a', function(l) if l == 'b' then return 'B' end end)",
        "string.gsub('abc', '()b()', function(p, q) return p * 10 + q end)",
        "string.gsub('abc', '', function() return '.' end)",
        "string.gsub('abc', '%w', string.upper, 2)",
        "string.gsub('ab', '%w', setmetatable({}, {__index = function(_, k) return k .. k end}))",
        // Errors of the replacement.
        "string.gsub('$name', '%$(%w+)', {name = {}})",
        "string.gsub('a1', '%d', function() return true end)",
        "string.gsub('a', 'a', function() error('boom', 0) end)",
        "string.gsub('abc', 'b', '%2')",
        "string.gsub('abc', '(b)', '%2')",
        "string.gsub('abc', '(b', '%1')",
        "string.gsub('abc', 'b', true)",
        "string.gsub('abc', 'b')",
    };
    for (const char* expression : cases) ExpectSame(expression);
}

TEST_F(PatternsLikeLua, MalformedPatternsGiveLuasMessages) {
    const char* const patterns[] = {
        "%", "a%", "[a", "[a%", "[", "[^", "[]", "%f", "%fa", "%f[a", "(a", "a)", "%1",
        "%0", "(a)%2", "(a%1)", "%b", "%bx", "(()", "((a)", "x)(",
    };
    for (const char* pattern : patterns) {
        std::string quoted = std::string("'") + pattern + "'";
        ExpectSame("string.find('aaxa)(', " + quoted + ")");
        ExpectSame("string.match('aaxa)(', " + quoted + ")");
        ExpectSame("string.gsub('aaxa)(', " + quoted + ", 'r')");
        ExpectSame("collect('aaxa)(', " + quoted + ")");
    }
    // 33 captures, one past Lua's limit; 32 still work.
    ExpectSame("string.match('a', string.rep('()', 33))");
    ExpectSame("select('#', string.match('a', string.rep('()', 32)))");
    // An error met only once matching gets there.
    ExpectSame("string.match('b', 'a%')");
    ExpectSame("string.match('a', 'a%')");
}

TEST_F(PatternsRefused, BacktrackingRunsOutOfSteps) {
    const std::string limit = std::to_string(ScriptPatterns::kStepLimit);
    EXPECT_EQ(Refusal("string.match(string.rep('a', 4e5), string.rep('a-?', 3))"),
              "error: case:1: string.match(): pattern needs more than " + limit +
                  " steps, refused");
    EXPECT_EQ(Refusal("string.find(('a'):rep(4e5), '.-.-.-x')"),
              "error: case:1: string.find(): pattern needs more than " + limit + " steps, refused");
    EXPECT_EQ(Refusal("string.gsub(('a'):rep(4e5), '(a*)*b', '')"),
              "error: case:1: string.gsub(): pattern needs more than " + limit + " steps, refused");
    EXPECT_EQ(Refusal("collect(('a'):rep(4e5), 'a-a-a-b')"),
              "error: prelude:3: string.gmatch(): pattern needs more than " + limit +
                  " steps, refused");
    EXPECT_EQ(Refusal("string.find(('('):rep(4e5), '%b()')"),
              "error: case:1: string.find(): pattern needs more than " + limit + " steps, refused");
    EXPECT_EQ(Refusal("string.find(('a'):rep(4e5), '(a*)%1b')"),
              "error: case:1: string.find(): pattern needs more than " + limit + " steps, refused");
    // The state stays usable, and a plain find of a long needle stays quick.
    EXPECT_EQ(Refusal("string.find(('a'):rep(4e5), ('a'):rep(2e5) .. 'b')"), "nil|");
    EXPECT_EQ(Refusal("string.match('key=1', '(%w+)=(%d)')"), "string:key|string:1|");
}

TEST_F(PatternsRefused, HeavyEverydayCallsStayWithinTheBudget) {
    // A megabyte of words, every one replaced through a function, and a scan
    // of the whole text: linear work, far from the limit.
    ExpectSame("select(2, string.gsub(('word '):rep(2e5), '%a+', function(w) return w end))");
    ExpectSame("#(string.gsub(('word '):rep(2e5), '(%a+)(%s*)', '%2%1'))");
    ExpectSame("string.find(('ab'):rep(5e5) .. 'c', '[ab]*c')");
    ExpectSame("#collect(('x, y, '):rep(1e5), '[^,%s]+')");
}

}  // namespace
