#include "support/ScriptTestUtil.h"

#include <gtest/gtest.h>

#include "demo/Engine.h"
#include "io/ROMSource.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"
#include "support/TestSupport.h"

namespace testsupport {

DemoPlatform* ProcessWideDemo() {
    static DemoPlatform* platform = [] {
        new RecordingEngine(new RecordingRenderer());
        auto* made = new DemoPlatform();
        Demo::Engine::GetEngine()->SetSize(800, 600);
        return made;
    }();
    return platform;
}

std::string RunScript(const std::string& text, std::string* err) {
    ROMSource source(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false);
    CaptureFd out(1), errFd(2);
    LuaScriptEngine::GetEngine()->LoadScript(&source);
    std::string printed = errFd.Stop();
    if (err)
        *err = printed;
    else
        EXPECT_EQ(printed, "") << text;
    return out.Stop();
}

std::string ScriptResult() {
    lua_State* L = LuaScriptEngine::GetEngine()->state;
    std::string value = "(no result)";
    if (lua_gettop(L)) {
        size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        value = text ? std::string(text, length) : "(not a string)";
    }
    lua_settop(L, 0);
    return value;
}

}  // namespace testsupport
