// Library restrictions and binding guards for script states.
#include "script/ScriptSandbox.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include <lua.hpp>

#include "script/LuaScriptEngine.h"
#include "script/ScriptPatterns.h"

namespace {

// The library function the guard below stands in front of; the same C
// function serves every state.
lua_CFunction originalInsert = nullptr;

const char* const sc_debugKept[] = {"getinfo", "getlocal", "gethook", "traceback"};

// Fields of a class metatable that belong to the binding runtime, not to the
// class: events ("__index"), accessor tables (".get") and the object cache
// ("tolua_ubox").
bool IsRuntimeKey(const char* key) {
    return key[0] == '.' || (key[0] == '_' && key[1] == '_') || strncmp(key, "tolua_", 6) == 0;
}

bool IsPrecompiled(const char* text, size_t length) {
    return length > 0 && text[0] == LUA_SIGNATURE[0];
}

int LoadResult(lua_State* L, int status) {
    if (status == 0) return 1;
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

// Lua 5.1's undump trusts its input: a damaged or hostile binary chunk reads
// and writes outside its buffers.
int LoadString(lua_State* L) {
    size_t length;
    const char* text = luaL_checklstring(L, 1, &length);
    const char* name = luaL_optstring(L, 2, text);
    if (IsPrecompiled(text, length))
        return luaL_error(L, "loadstring(): precompiled chunks are refused");
    return LoadResult(L, luaL_loadbuffer(L, text, length, name));
}

struct PieceReader {
    bool first;
    bool precompiled;
};

// Lua's own reader for load(), plus a look at the first piece.
const char* ReadPiece(lua_State* L, void* data, size_t* size) {
    PieceReader* reader = static_cast<PieceReader*>(data);
    luaL_checkstack(L, 2, "too many nested functions");
    lua_pushvalue(L, 1);
    lua_call(L, 0, 1);
    if (lua_isnil(L, -1)) {
        *size = 0;
        return nullptr;
    }
    if (!lua_isstring(L, -1)) luaL_error(L, "reader function must return a string");
    lua_replace(L, 3);  // keeps the piece alive while the parser reads it
    const char* piece = lua_tolstring(L, 3, size);
    if (reader->first && IsPrecompiled(piece, *size)) {
        // Ends the chunk here; load() raises once the parser is done.
        reader->precompiled = true;
        *size = 0;
        return nullptr;
    }
    reader->first = false;
    return piece;
}

int Load(lua_State* L) {
    const char* name = luaL_optstring(L, 2, "=(load)");
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_settop(L, 3);
    PieceReader reader = {true, false};
    int status = lua_load(L, ReadPiece, &reader, name);
    if (reader.precompiled) return luaL_error(L, "load(): precompiled chunks are refused");
    return LoadResult(L, status);
}

// Lua 5.1 counts the range in int, so the widest ranges wrap around to a
// count that passes the stack check and then push past the stack.
int Unpack(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    int first = luaL_optint(L, 2, 1);
    int last = luaL_opt(L, luaL_checkint, 3, int(lua_objlen(L, 1)));
    if (first > last) return 0;
    long long count = (long long)last - first + 1;
    if (count >= INT_MAX || !lua_checkstack(L, int(count)))
        return luaL_error(L, "too many results to unpack");
    for (long long i = first; i <= last; ++i) lua_rawgeti(L, 1, int(i));
    return int(count);
}

void CheckPattern(lua_State* L, int arg, const char* function) {
    // Anything but a string or number is left to the library's own argument error.
    if (!lua_isstring(L, arg)) return;
    size_t length;
    const char* pattern = lua_tolstring(L, arg, &length);
    if (ScriptSandbox::PatternDepth(pattern, length) > ScriptSandbox::kPatternDepthLimit)
        luaL_error(L,
                   "%s(): pattern too complex, more than %d quantified items and captures "
                   "(the nesting limit)",
                   function, ScriptSandbox::kPatternDepthLimit);
}

// Lua 5.1's matcher runs inside one C call, out of the time limit's reach,
// and backtracks without bound; ours counts its steps.
int Find(lua_State* L) {
    if (!lua_toboolean(L, 4)) CheckPattern(L, 2, "string.find");  // plain finds match no pattern
    return ScriptPatterns::Find(L, "string.find");
}

int Match(lua_State* L) {
    CheckPattern(L, 2, "string.match");
    return ScriptPatterns::Match(L, "string.match");
}

// The iterator it returns keeps this very pattern.
int Gmatch(lua_State* L) {
    CheckPattern(L, 2, "string.gmatch");
    return ScriptPatterns::Gmatch(L, "string.gmatch");
}

int Gsub(lua_State* L) {
    CheckPattern(L, 2, "string.gsub");
    return ScriptPatterns::Gsub(L, "string.gsub");
}

// Lua 5.1 appends byte by byte, so a long result kept the state busy in C for
// seconds where the time limit cannot stop it, and an empty string repeated
// 2^31 times loops as long. The size is checked before any copying; the copy
// doubles what is already there.
int Rep(lua_State* L) {
    size_t length;
    const char* text = luaL_checklstring(L, 1, &length);
    int count = luaL_checkint(L, 2);
    if (count <= 0 || length == 0) {
        lua_pushliteral(L, "");
        return 1;
    }
    if (size_t(count) > LuaScriptEngine::MemoryLeft(L) / length)
        return luaL_error(L, "string.rep(): a result of %f bytes is over the memory limit",
                          lua_Number(length) * lua_Number(count));
    size_t total = length * size_t(count);
    // A userdata, so that a memory error in the push below leaks nothing.
    char* block = static_cast<char*>(lua_newuserdata(L, total));
    memcpy(block, text, length);
    for (size_t filled = length; filled < total;) {
        size_t piece = filled < total - filled ? filled : total - filled;
        memcpy(block + filled, block, piece);
        filled += piece;
    }
    lua_pushlstring(L, block, total);
    return 1;
}

// Lua 5.1 shifts every slot from the position up to the end one place up, so
// a position far below 1 runs billions of steps in C.
int Insert(lua_State* L) {
    if (lua_gettop(L) == 3) {
        luaL_checktype(L, 1, LUA_TTABLE);
        int position = luaL_checkint(L, 2);  // converted as the library does
        if (position < 0)
            return luaL_error(L, "table.insert(): position %d is below 0", position);
    }
    return originalInsert(L);
}

// Puts guard in place of table[name], keeping the function it replaces.
void Replace(lua_State* L, const char* table, const char* name, lua_CFunction guard,
             lua_CFunction* original) {
    lua_getglobal(L, table);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_getfield(L, -1, name);
    lua_CFunction current = lua_tocfunction(L, -1);
    lua_pop(L, 1);
    // Restricting a state twice must not make a guard call itself.
    if (current && current != guard) {
        if (original) *original = current;
        lua_pushcfunction(L, guard);
        lua_setfield(L, -2, name);
    }
    lua_pop(L, 1);
}

void SetGlobal(lua_State* L, const char* name, lua_CFunction function) {
    if (function) lua_pushcfunction(L, function);
    else lua_pushnil(L);
    lua_setglobal(L, name);
}

// Clears every field of the global table `name` except those listed.
void KeepOnly(lua_State* L, const char* name, const char* const* kept, size_t keptCount) {
    lua_getglobal(L, name);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushnil(L);
    while (lua_next(L, -2)) {
        lua_pop(L, 1);
        bool keep = false;
        if (lua_type(L, -1) == LUA_TSTRING)
            for (size_t i = 0; i < keptCount && !keep; ++i)
                keep = strcmp(lua_tostring(L, -1), kept[i]) == 0;
        if (!keep) {
            // Clearing a field while traversing is allowed; the key stays for lua_next.
            lua_pushvalue(L, -1);
            lua_pushnil(L);
            lua_rawset(L, -4);
        }
    }
    lua_pop(L, 1);
}

// Runs a binding function; a C++ exception from the engine side becomes a Lua
// error raised after the handler has finished, so no exception ever unwinds
// through the C library and no longjmp leaves a handler. Upvalues: the
// function, its "Class.Name".
int GuardedCall(lua_State* L) {
    lua_CFunction function = lua_tocfunction(L, lua_upvalueindex(1));
    char failure[128] = "";
    try {
        return function(L);
    } catch (const std::bad_alloc&) {
        snprintf(failure, sizeof failure, "out of memory");
    } catch (const std::exception& e) {
        snprintf(failure, sizeof failure, "%s", e.what());
    }
    return luaL_error(L, "%s(): %s", lua_tostring(L, lua_upvalueindex(2)), failure);
}

// An object's __index, without the runtime's fields: a script holding the
// object cache or an event function could swap objects between classes.
// Upvalue: the runtime's own __index.
int FilteredIndex(lua_State* L) {
    if (lua_type(L, 2) == LUA_TSTRING && IsRuntimeKey(lua_tostring(L, 2))) {
        lua_pushnil(L);
        return 1;
    }
    return lua_tocfunction(L, lua_upvalueindex(1))(L);
}

// Guards the metatable on top of the stack; className names the functions in
// messages.
void GuardMetatable(lua_State* L, const char* className) {
    int mt = lua_gettop(L);
    lua_pushnil(L);
    while (lua_next(L, mt)) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_iscfunction(L, -1)) {
            const char* key = lua_tostring(L, -2);
            lua_CFunction function = lua_tocfunction(L, -1);
            if (!IsRuntimeKey(key)) {
                lua_pushvalue(L, -2);
                lua_pushvalue(L, -2);
                lua_pushfstring(L, "%s.%s", className, key);
                lua_pushcclosure(L, GuardedCall, 2);
                lua_rawset(L, mt);  // replacing an existing field keeps lua_next valid
            } else if (strcmp(key, "__index") == 0 && function != FilteredIndex) {
                lua_pushvalue(L, -2);
                lua_pushvalue(L, -2);
                lua_pushcclosure(L, FilteredIndex, 1);
                lua_rawset(L, mt);
            }
        }
        lua_pop(L, 1);
    }
    // getmetatable(object) gives false instead of the metatable.
    lua_pushliteral(L, "__metatable");
    lua_pushboolean(L, 0);
    lua_rawset(L, mt);
}

}  // namespace

void ScriptSandbox::RestrictLibraries(lua_State* L) {
    // Files only through the demo module; newproxy makes userdata whose __gc
    // runs with hooks off (out of the time limit's reach) and unprotected
    // when the state closes.
    SetGlobal(L, "dofile", nullptr);
    SetGlobal(L, "loadfile", nullptr);
    SetGlobal(L, "newproxy", nullptr);
    SetGlobal(L, "loadstring", LoadString);
    SetGlobal(L, "load", Load);
    SetGlobal(L, "unpack", Unpack);
    Replace(L, "string", "find", Find, nullptr);
    Replace(L, "string", "match", Match, nullptr);
    // gfind is gmatch under its old name when the library keeps it.
    bool gfindIsGmatch = false;
    lua_getglobal(L, "string");
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, "gmatch");
        lua_getfield(L, -2, "gfind");
        gfindIsGmatch = lua_tocfunction(L, -1) && lua_tocfunction(L, -1) == lua_tocfunction(L, -2);
        lua_pop(L, 2);
    }
    lua_pop(L, 1);
    Replace(L, "string", "gmatch", Gmatch, nullptr);
    if (gfindIsGmatch) Replace(L, "string", "gfind", Gmatch, nullptr);
    Replace(L, "string", "gsub", Gsub, nullptr);
    Replace(L, "string", "rep", Rep, nullptr);
    Replace(L, "table", "insert", Insert, &originalInsert);
    // The rest of debug writes locals, upvalues, environments and metatables,
    // reaches the registry (also as the environment of every object of the
    // binding), replaces the time limit's hook, or reads the console.
    KeepOnly(L, "debug", sc_debugKept, sizeof sc_debugKept / sizeof sc_debugKept[0]);
}

void ScriptSandbox::GuardBinding(lua_State* L) {
    // cast, inherit, takeownership, releaseownership, setpeer and getpeer
    // change what an object is, who deletes it, or what its index event runs.
    static const char* const kTypeOnly[] = {"type"};
    KeepOnly(L, "tolua", kTypeOnly, 1);

    // The class globals are the metatables themselves: a global whose table
    // the registry names, under a name that leads back to that table.
    lua_newtable(L);
    int globals = lua_gettop(L);
    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_istable(L, -1)) {
            lua_pushvalue(L, -1);
            lua_rawget(L, LUA_REGISTRYINDEX);
            if (lua_type(L, -1) == LUA_TSTRING) {
                lua_rawget(L, LUA_REGISTRYINDEX);
                if (lua_rawequal(L, -1, -2)) {
                    lua_pushvalue(L, -3);
                    lua_rawseti(L, globals, ++count);
                }
            }
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }

    for (int i = 1; i <= count; ++i) {
        lua_rawgeti(L, globals, i);
        int key = lua_gettop(L);
        const char* global = lua_tostring(L, key);
        lua_pushvalue(L, key);
        lua_rawget(L, LUA_GLOBALSINDEX);
        int mt = lua_gettop(L);
        lua_pushvalue(L, mt);
        lua_rawget(L, LUA_REGISTRYINDEX);
        int typeName = lua_gettop(L);
        lua_pushfstring(L, "const %s", lua_tostring(L, typeName));
        lua_rawget(L, LUA_REGISTRYINDEX);
        if (lua_istable(L, -1)) GuardMetatable(L, global);
        lua_pop(L, 1);
        lua_pushvalue(L, mt);
        GuardMetatable(L, global);
        lua_pop(L, 1);
        // What the script gets as the class: its functions and constants only.
        lua_newtable(L);
        int visible = lua_gettop(L);
        lua_pushnil(L);
        while (lua_next(L, mt)) {
            if (lua_type(L, -2) == LUA_TSTRING && !IsRuntimeKey(lua_tostring(L, -2))) {
                lua_pushvalue(L, -2);
                lua_insert(L, -2);
                lua_rawset(L, visible);
            } else {
                lua_pop(L, 1);
            }
        }
        // Static calls check self against the class by the registry's name for it.
        lua_pushvalue(L, visible);
        lua_pushvalue(L, typeName);
        lua_rawset(L, LUA_REGISTRYINDEX);
        lua_pushvalue(L, key);
        lua_insert(L, -2);
        lua_rawset(L, LUA_GLOBALSINDEX);
        lua_settop(L, globals);
    }
    lua_pop(L, 1);
}

int ScriptSandbox::PatternDepth(const char* pattern, size_t length) {
    // Lua 5.1 ends a pattern at its first zero byte.
    size_t n = strnlen(pattern, length);
    const char* p = pattern;
    int depth = 0;
    size_t i = 0;
    while (i < n) {
        char c = p[i];
        if (c == '(') {
            ++depth;
            i += (i + 1 < n && p[i + 1] == ')') ? 2 : 1;  // "()" is a position capture
            continue;
        }
        if (c == ')') {
            ++depth;
            ++i;
            continue;
        }
        if (c == '$' && i + 1 == n) break;
        bool frontier = false;
        if (c == '%' && i + 1 < n) {
            char next = p[i + 1];
            if (next == 'b') {
                i += 4;  // %bxy is matched in place, never quantified
                continue;
            }
            if (next >= '0' && next <= '9') {
                i += 2;  // a back reference, matched in place
                continue;
            }
            if (next == 'f') {
                // %f[set] is matched in place, never quantified; without its
                // set the library reports the pattern.
                i += 2;
                if (i >= n || p[i] != '[') continue;
                frontier = true;
                c = '[';
            }
        }
        // One single-character class: %x, [set] or a plain character.
        size_t end = i + 1;
        if (c == '%') {
            end = i + 2;
        } else if (c == '[') {
            if (end < n && p[end] == '^') ++end;
            // The first character of a set may be ']' itself.
            do {
                if (end >= n) break;
                if (p[end++] == '%' && end < n) ++end;
            } while (end < n && p[end] != ']');
            ++end;
        }
        if (!frontier && end < n && strchr("?*+-", p[end])) {
            ++depth;
            ++end;
        }
        i = end;
    }
    return depth;
}
