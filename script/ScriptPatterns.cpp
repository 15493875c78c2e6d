// Lua 5.1's matcher, step for step, plus a count of its steps. Errors leave
// by longjmp, so nothing here owns a resource while the matcher runs.
#include "script/ScriptPatterns.h"

#include <cctype>
#include <cstddef>
#include <cstring>

#include <lua.hpp>

namespace {

constexpr int kMaxCaptures = 32;  // LUA_MAXCAPTURES
constexpr ptrdiff_t kCapUnfinished = -1;
constexpr ptrdiff_t kCapPosition = -2;
constexpr char kEscape = '%';
// A find pattern without any of these is a plain search.
const char kSpecials[] = "^$*+?.([%-";

struct MatchState {
    const char* srcInit;
    const char* srcEnd;
    lua_State* L;
    const char* function;
    long stepsLeft;
    int level;  // captures opened so far
    struct {
        const char* init;
        ptrdiff_t len;
    } capture[kMaxCaptures];
};

inline int Byte(char c) { return static_cast<unsigned char>(c); }

void InitState(MatchState* ms, lua_State* L, const char* function, const char* s, size_t length) {
    ms->srcInit = s;
    ms->srcEnd = s + length;
    ms->L = L;
    ms->function = function;
    ms->stepsLeft = ScriptPatterns::kStepLimit;
    ms->level = 0;
}

void Step(MatchState* ms, long count) {
    ms->stepsLeft -= count;
    if (ms->stepsLeft < 0)
        luaL_error(ms->L, "%s(): pattern needs more than %d steps, refused", ms->function,
                   int(ScriptPatterns::kStepLimit));
}

int CheckCapture(MatchState* ms, int l) {
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].len == kCapUnfinished)
        return luaL_error(ms->L, "invalid capture index");
    return l;
}

int CaptureToClose(MatchState* ms) {
    for (int level = ms->level - 1; level >= 0; --level)
        if (ms->capture[level].len == kCapUnfinished) return level;
    return luaL_error(ms->L, "invalid pattern capture");
}

// Past the single-character class starting at p.
const char* ClassEnd(MatchState* ms, const char* p) {
    switch (*p++) {
    case kEscape:
        if (*p == '\0') luaL_error(ms->L, "malformed pattern (ends with '%%')");
        return p + 1;
    case '[':
        if (*p == '^') ++p;
        // The first character of a set may be ']' itself.
        do {
            if (*p == '\0') luaL_error(ms->L, "malformed pattern (missing ']')");
            if (*(p++) == kEscape && *p != '\0') ++p;
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

// The C library's classes, so that they follow the locale as Lua's do.
bool MatchClass(int c, int cl) {
    int res;
    switch (tolower(cl)) {
    case 'a': res = isalpha(c); break;
    case 'c': res = iscntrl(c); break;
    case 'd': res = isdigit(c); break;
    case 'l': res = islower(c); break;
    case 'p': res = ispunct(c); break;
    case 's': res = isspace(c); break;
    case 'u': res = isupper(c); break;
    case 'w': res = isalnum(c); break;
    case 'x': res = isxdigit(c); break;
    case 'z': res = (c == 0); break;
    default: return cl == c;
    }
    return islower(cl) ? res != 0 : res == 0;
}

// p is the set's '[', ec its closing ']'.
bool MatchBracketClass(int c, const char* p, const char* ec) {
    bool sig = true;
    if (p[1] == '^') {
        sig = false;
        ++p;
    }
    while (++p < ec) {
        if (*p == kEscape) {
            ++p;
            if (MatchClass(c, Byte(*p))) return sig;
        } else if (p[1] == '-' && p + 2 < ec) {
            p += 2;
            if (Byte(p[-2]) <= c && c <= Byte(*p)) return sig;
        } else if (Byte(*p) == c) {
            return sig;
        }
    }
    return !sig;
}

bool SingleMatch(MatchState* ms, int c, const char* p, const char* ep) {
    Step(ms, 1);
    switch (*p) {
    case '.': return true;
    case kEscape: return MatchClass(c, Byte(p[1]));
    case '[': return MatchBracketClass(c, p, ep - 1);
    default: return Byte(*p) == c;
    }
}

const char* DoMatch(MatchState* ms, const char* s, const char* p);

const char* MatchBalance(MatchState* ms, const char* s, const char* p) {
    if (p[0] == '\0' || p[1] == '\0') luaL_error(ms->L, "unbalanced pattern");
    if (s >= ms->srcEnd || *s != *p) return nullptr;
    int open = Byte(p[0]), close = Byte(p[1]);
    int depth = 1;
    while (++s < ms->srcEnd) {
        Step(ms, 1);
        if (Byte(*s) == close) {
            if (--depth == 0) return s + 1;
        } else if (Byte(*s) == open) {
            ++depth;
        }
    }
    return nullptr;
}

const char* MaxExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    ptrdiff_t i = 0;
    while (s + i < ms->srcEnd && SingleMatch(ms, Byte(s[i]), p, ep)) ++i;
    // The longest run first, then one repetition less each time.
    for (; i >= 0; --i)
        if (const char* res = DoMatch(ms, s + i, ep + 1)) return res;
    return nullptr;
}

const char* MinExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    for (;;) {
        if (const char* res = DoMatch(ms, s, ep + 1)) return res;
        if (s < ms->srcEnd && SingleMatch(ms, Byte(*s), p, ep)) ++s;
        else return nullptr;
    }
}

const char* StartCapture(MatchState* ms, const char* s, const char* p, ptrdiff_t what) {
    int level = ms->level;
    if (level >= kMaxCaptures) luaL_error(ms->L, "too many captures");
    ms->capture[level].init = s;
    ms->capture[level].len = what;
    ms->level = level + 1;
    const char* res = DoMatch(ms, s, p);
    if (!res) --ms->level;
    return res;
}

const char* EndCapture(MatchState* ms, const char* s, const char* p) {
    int l = CaptureToClose(ms);
    ms->capture[l].len = s - ms->capture[l].init;
    const char* res = DoMatch(ms, s, p);
    if (!res) ms->capture[l].len = kCapUnfinished;
    return res;
}

const char* MatchCapture(MatchState* ms, const char* s, int l) {
    l = CheckCapture(ms, l);
    // A position capture's length is negative: as size_t it never fits.
    size_t len = size_t(ms->capture[l].len);
    if (size_t(ms->srcEnd - s) < len) return nullptr;
    Step(ms, long(len));
    return memcmp(ms->capture[l].init, s, len) == 0 ? s + len : nullptr;
}

// The end of the match of p at s, or null. Recurses only for captures and
// quantified items, so the pattern's depth bounds the C stack.
const char* DoMatch(MatchState* ms, const char* s, const char* p) {
    for (;;) {
        Step(ms, 1);
        switch (*p) {
        case '(':
            if (p[1] == ')') return StartCapture(ms, s, p + 2, kCapPosition);
            return StartCapture(ms, s, p + 1, kCapUnfinished);
        case ')':
            return EndCapture(ms, s, p + 1);
        case '\0':
            return s;
        case '$':
            if (p[1] == '\0') return s == ms->srcEnd ? s : nullptr;
            break;  // a '$' inside the pattern is an ordinary character
        case kEscape:
            if (p[1] == 'b') {
                s = MatchBalance(ms, s, p + 2);
                if (!s) return nullptr;
                p += 4;
                continue;
            }
            if (p[1] == 'f') {
                p += 2;
                if (*p != '[') luaL_error(ms->L, "missing '[' after '%%f' in pattern");
                const char* ep = ClassEnd(ms, p);
                // Both ends of the subject count as a zero byte.
                int previous = s == ms->srcInit ? 0 : Byte(s[-1]);
                int current = s < ms->srcEnd ? Byte(*s) : 0;
                if (MatchBracketClass(previous, p, ep - 1) ||
                    !MatchBracketClass(current, p, ep - 1))
                    return nullptr;
                p = ep;
                continue;
            }
            if (isdigit(Byte(p[1]))) {
                s = MatchCapture(ms, s, Byte(p[1]));
                if (!s) return nullptr;
                p += 2;
                continue;
            }
            break;
        default:
            break;
        }
        const char* ep = ClassEnd(ms, p);
        bool m = s < ms->srcEnd && SingleMatch(ms, Byte(*s), p, ep);
        switch (*ep) {
        case '?':
            if (m) {
                if (const char* res = DoMatch(ms, s + 1, ep + 1)) return res;
            }
            p = ep + 1;
            continue;
        case '*':
            return MaxExpand(ms, s, p, ep);
        case '+':
            return m ? MaxExpand(ms, s + 1, p, ep) : nullptr;
        case '-':
            return MinExpand(ms, s, p, ep);
        default:
            if (!m) return nullptr;
            ++s;
            p = ep;
            continue;
        }
    }
}

void PushOneCapture(MatchState* ms, int i, const char* s, const char* e) {
    if (i >= ms->level) {
        if (i == 0) lua_pushlstring(ms->L, s, e - s);  // no captures: the whole match
        else luaL_error(ms->L, "invalid capture index");
        return;
    }
    ptrdiff_t l = ms->capture[i].len;
    if (l == kCapUnfinished) luaL_error(ms->L, "unfinished capture");
    if (l == kCapPosition)
        lua_pushinteger(ms->L, ms->capture[i].init - ms->srcInit + 1);
    else
        lua_pushlstring(ms->L, ms->capture[i].init, l);
}

// s is null when the whole match is not wanted (find).
int PushCaptures(MatchState* ms, const char* s, const char* e) {
    int levels = (ms->level == 0 && s) ? 1 : ms->level;
    luaL_checkstack(ms->L, levels, "too many captures");
    for (int i = 0; i < levels; ++i) PushOneCapture(ms, i, s, e);
    return levels;
}

// A negative position counts back from the end.
ptrdiff_t RelativePosition(ptrdiff_t pos, size_t length) {
    if (pos < 0) pos += ptrdiff_t(length) + 1;
    return pos >= 0 ? pos : 0;
}

int FindAux(lua_State* L, bool find, const char* function) {
    size_t l1, l2;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    ptrdiff_t init = RelativePosition(luaL_optinteger(L, 3, 1), l1) - 1;
    // Past the end starts at the end, where only an empty match is found.
    if (init < 0) init = 0;
    else if (size_t(init) > l1) init = ptrdiff_t(l1);
    if (find && (lua_toboolean(L, 4) || !strpbrk(p, kSpecials))) {
        // memmem's search is linear; the first occurrence, as Lua's own.
        const char* found =
            static_cast<const char*>(memmem(s + init, l1 - size_t(init), p, l2));
        if (found) {
            lua_pushinteger(L, found - s + 1);
            lua_pushinteger(L, found - s + ptrdiff_t(l2));
            return 2;
        }
    } else {
        MatchState ms;
        InitState(&ms, L, function, s, l1);
        bool anchor = *p == '^';
        if (anchor) ++p;
        const char* s1 = s + init;
        do {
            ms.level = 0;
            if (const char* res = DoMatch(&ms, s1, p)) {
                if (find) {
                    lua_pushinteger(L, s1 - s + 1);
                    lua_pushinteger(L, res - s);
                    return PushCaptures(&ms, nullptr, nullptr) + 2;
                }
                return PushCaptures(&ms, s1, res);
            }
        } while (s1++ < ms.srcEnd && !anchor);
    }
    lua_pushnil(L);
    return 1;
}

// Upvalues: the subject, the pattern, where the next match starts (0-based),
// the function's name (a light userdata to a string literal).
int GmatchStep(lua_State* L) {
    size_t length;
    const char* s = lua_tolstring(L, lua_upvalueindex(1), &length);
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    const char* function = static_cast<const char*>(lua_touserdata(L, lua_upvalueindex(4)));
    MatchState ms;
    InitState(&ms, L, function, s, length);
    // No anchor here: Lua 5.1's gmatch takes a leading '^' literally.
    for (size_t start = size_t(lua_tointeger(L, lua_upvalueindex(3))); start <= length; ++start) {
        const char* src = s + start;
        ms.level = 0;
        if (const char* e = DoMatch(&ms, src, p)) {
            lua_Integer next = e - s;
            if (e == src) ++next;  // an empty match moves on by one
            lua_pushinteger(L, next);
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&ms, src, e);
        }
    }
    return 0;
}

// A string replacement: %0 the match, %1-%9 captures, '%' before anything
// else stands for that character.
void AddString(MatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    size_t l;
    const char* news = lua_tolstring(ms->L, 3, &l);
    for (size_t i = 0; i < l; ++i) {
        if (news[i] != kEscape) {
            luaL_addchar(b, news[i]);
            continue;
        }
        ++i;  // a '%' at the end takes the string's terminating zero, as Lua 5.1 does
        if (!isdigit(Byte(news[i]))) {
            luaL_addchar(b, news[i]);
        } else if (news[i] == '0') {
            luaL_addlstring(b, s, e - s);
        } else {
            PushOneCapture(ms, news[i] - '1', s, e);
            luaL_addvalue(b);
        }
    }
}

void AddValue(MatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    lua_State* L = ms->L;
    switch (lua_type(L, 3)) {
    case LUA_TNUMBER:
    case LUA_TSTRING:
        AddString(ms, b, s, e);
        return;
    case LUA_TFUNCTION: {
        lua_pushvalue(L, 3);
        int n = PushCaptures(ms, s, e);
        lua_call(L, n, 1);
        break;
    }
    case LUA_TTABLE:
        PushOneCapture(ms, 0, s, e);
        lua_gettable(L, 3);
        break;
    }
    if (!lua_toboolean(L, -1)) {  // nil or false keeps the original text
        lua_pop(L, 1);
        lua_pushlstring(L, s, e - s);
    } else if (!lua_isstring(L, -1)) {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    luaL_addvalue(b);
}

}  // namespace

int ScriptPatterns::Find(lua_State* L, const char* function) { return FindAux(L, true, function); }

int ScriptPatterns::Match(lua_State* L, const char* function) {
    return FindAux(L, false, function);
}

int ScriptPatterns::Gmatch(lua_State* L, const char* function) {
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushinteger(L, 0);
    lua_pushlightuserdata(L, const_cast<char*>(function));
    lua_pushcclosure(L, GmatchStep, 4);
    return 1;
}

int ScriptPatterns::Gsub(lua_State* L, const char* function) {
    size_t srcl;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    int tr = lua_type(L, 3);
    int maxS = luaL_optint(L, 4, int(srcl + 1));
    bool anchor = *p == '^';
    if (anchor) ++p;
    luaL_argcheck(L, tr == LUA_TNUMBER || tr == LUA_TSTRING || tr == LUA_TFUNCTION ||
                         tr == LUA_TTABLE,
                  3, "string/function/table expected");
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    MatchState ms;
    InitState(&ms, L, function, src, srcl);
    int n = 0;
    while (n < maxS) {
        ms.level = 0;
        const char* e = DoMatch(&ms, src, p);
        if (e) {
            ++n;
            AddValue(&ms, &b, src, e);
        }
        if (e && e > src) src = e;  // past a non-empty match
        else if (src < ms.srcEnd) luaL_addchar(&b, *src++);
        else break;
        if (anchor) break;
    }
    luaL_addlstring(&b, src, ms.srcEnd - src);
    luaL_pushresult(&b);
    lua_pushinteger(L, n);
    return 2;
}
