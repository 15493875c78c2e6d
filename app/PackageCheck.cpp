// The package check: the engine's loads run through here, every URL request
// is watched, and what each origin prints is kept with its problem.
#include "app/PackageCheck.h"

#include <GLES2/gl2.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "app/ImageLoader.h"
#include "app/MusicDecoder.h"
#include "app/Platform.h"
#include "demo/Engine.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/Camera.h"
#include "engine/Program.h"
#include "engine/ResourceInitializer.h"
#include "engine/ResourceManager.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "io/DataSource.h"
#include "io/SDLFileSource.h"
#include "m3g/ExternalReference.h"
#include "m3g/M3GLoader.h"
#include "render/Renderer.h"
#include "script/LuaScriptEngine.h"

namespace {

// What one origin prints on standard output, kept and still shown: stdout is
// pointed at a scratch file for the call, then the text is passed through.
class OutputTee {
public:
    OutputTee() : saved(-1), scratch(tmpfile()) {
        fflush(stdout);
        if (scratch) saved = dup(1);
        if (saved >= 0) dup2(fileno(scratch), 1);
    }
    std::string Stop() {
        std::string text;
        fflush(stdout);
        if (saved < 0) return text;
        dup2(saved, 1);
        close(saved);
        saved = -1;
        rewind(scratch);
        char block[4096];
        size_t n;
        while ((n = fread(block, 1, sizeof block, scratch)) > 0) text.append(block, n);
        fclose(scratch);
        scratch = nullptr;
        fwrite(text.data(), 1, text.size(), stdout);
        fflush(stdout);
        return text;
    }
    ~OutputTee() {
        Stop();
        if (scratch) fclose(scratch);
    }

private:
    int saved;
    FILE* scratch;
};

std::string TrimEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

size_t CountLines(const std::string& text) {
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;
    return lines;
}

const char* GLErrorName(GLenum error) {
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default: return "unknown GL error";
    }
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
    char text[256];
    snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

// Forwards everything to the watched platform and notes each URL it cannot open.
class PackageCheck::WatchingPlatform : public Platform {
public:
    WatchingPlatform(PackageCheck* check, Platform* inner) : check(check), inner(inner) {}
    Timer* CreateTimer(App* app) override { return inner->CreateTimer(app); }
    AudioPlayer* CreateAudioPlayer(App* app) override { return inner->CreateAudioPlayer(app); }
    ImageLoader* CreateImageLoader(App* app) override { return inner->CreateImageLoader(app); }
    DataSource* CreateDataSourceForURL(const char* url) override {
        DataSource* source = inner->CreateDataSourceForURL(url);
        SDLFileSource* file = dynamic_cast<SDLFileSource*>(source);
        if (url && (!source || (file && !file->IsOpen()))) check->NoteMissing(url);
        return source;
    }

private:
    PackageCheck* check;
    Platform* inner;
};

PackageCheck::PackageCheck(Demo::Engine* engine_)
    : engine(engine_), inner(Platform::current), watching(nullptr) {
    engine->check = this;
    if (inner) {
        watching = new WatchingPlatform(this, inner);
        Platform::current = watching;
    }
}

PackageCheck::~PackageCheck() {
    if (engine->check == this) engine->check = nullptr;
    if (watching && Platform::current == watching) Platform::current = inner;
    delete watching;
}

void PackageCheck::Add(const std::string& origin, const std::string& text) {
    problems.push_back(Problem{origin, TrimEnd(text)});
}

void PackageCheck::NoteMissing(const std::string& url) {
    if (!missing.insert(url).second) return;
    std::string where = ScriptPosition();
    Add(url, where.empty() ? "missing resource" : "missing resource, asked for at " + where);
}

std::string PackageCheck::ScriptPosition() const {
    if (scripts.empty()) return "";
    lua_State* L = LuaScriptEngine::GetEngine()->state;
    lua_Debug ar;
    // The innermost Lua function on the stack is the script's current line.
    for (int level = 0; lua_getstack(L, level, &ar); ++level) {
        if (lua_getinfo(L, "l", &ar) && ar.currentline > 0)
            return scripts.back() + ":" + std::to_string(ar.currentline);
    }
    return scripts.back();
}

// Error handler of a checked script: notes the line of the innermost Lua
// function (a C function that raised the error has none) and passes the
// message on unchanged, so the player prints the very same text.
static int NoteErrorLine(lua_State* L) {
    int* line = static_cast<int*>(lua_touserdata(L, lua_upvalueindex(1)));
    lua_Debug ar;
    for (int level = 1; lua_getstack(L, level, &ar); ++level) {
        if (lua_getinfo(L, "l", &ar) && ar.currentline > 0) {
            *line = ar.currentline;
            break;
        }
    }
    return 1;
}

// The line a compile error names: '[string "..."]:LINE: ...'.
static int LineOfMessage(const char* message) {
    const char* p = message ? strstr(message, "]:") : nullptr;
    return p ? atoi(p + 2) : 0;
}

void PackageCheck::RunScript(const char* url, DataSource* source) {
    // As LuaScriptEngine::LoadScript, with an error handler that finds the line.
    unsigned int n = source->GetLength();
    char* buffer = n < UINT_MAX ? static_cast<char*>(malloc(size_t(n) + 1)) : nullptr;
    if (!buffer) {
        Add(url, "script too large to load");
        return;
    }
    if (n > 0 && !source->Read(buffer, n)) {
        free(buffer);
        Add(url, "script cannot be read");
        return;
    }
    buffer[n] = 0;
    lua_State* L = LuaScriptEngine::GetEngine()->state;
    int line = 0;
    int handler = lua_gettop(L) + 1;
    lua_pushlightuserdata(L, &line);
    lua_pushcclosure(L, NoteErrorLine, 1);
    scripts.push_back(url);
    int status = luaL_loadstring(L, buffer);
    if (status == 0)
        status = lua_pcall(L, 0, LUA_MULTRET, handler);
    else
        line = LineOfMessage(lua_tostring(L, -1));
    scripts.pop_back();
    lua_remove(L, handler);  // the chunk's results stay, as in the ordinary load
    if (status != 0) {
        const char* message = lua_isstring(L, -1) ? lua_tostring(L, -1) : "(error with no message)";
        Add(line > 0 ? std::string(url) + ":" + std::to_string(line) : std::string(url),
            std::string("script error: ") + message);
    }
    LuaScriptEngine::Report(L, status);
    free(buffer);
}

::Scene* PackageCheck::ReadScene(const char* url, DataSource* source) {
    OutputTee tee;
    M3GLoader loader(source);
    loader.Load();
    ::Scene* scene = loader.CreateScene();
    size_t references = 0;
    for (M3G::Object* object : loader.objects) {
        if (object && object->GetType() == M3G::Object::T_ExternalReference) {
            ++references;
            Add(url, std::string("external reference ") +
                         static_cast<M3G::ExternalReference*>(object)->uri + " is not loaded");
        }
    }
    std::string printed = tee.Stop();
    if (IsMissing(url)) return scene;  // already counted
    // Each reference prints one line of its own; anything more is the loader's.
    if (CountLines(printed) > references) Add(url, "scene file: " + printed);
    Vector<SceneObject*> passes;
    if (scene) scene->FindAll(SceneObject::SOT_Pass, &passes);
    if (scene && passes.Size() == 0 && CountLines(printed) <= references)
        Add(url, "scene file has no World");
    if (scene) sceneURLs[scene] = url;
    return scene;
}

Texture2D* PackageCheck::LoadImage(ImageLoader* loader, const char* url) {
    OutputTee tee;
    Texture2D* texture = loader->Load(url);
    std::string printed = tee.Stop();
    if (!texture && !IsMissing(url)) {
        Add(url, printed.empty() ? "image not loaded: not a 24- or 32-bit picture"
                                 : "image not loaded: " + printed);
    }
    return texture;
}

void PackageCheck::InitResources() {
    ResourceManager* manager = engine->resourceManager;
    if (!manager) return;
    // One by one, so that a failed program keeps its own log; the count is
    // re-read because an Init may register more.
    for (unsigned int i = 0; i < manager->resources.Size(); ++i) {
        Resource* resource = manager->resources[i];
        if (resource->GetType() != Resource::RT_Program) {
            resource->Init();
            continue;
        }
        Program* program = static_cast<Program*>(resource);
        OutputTee tee;
        program->Init();
        std::string log = tee.Stop();
        if (program->initializer && program->initializer->initialized) continue;
        // A shader that is not there fails to compile; that was counted as missing.
        if (IsMissing(program->vertexName) || IsMissing(program->fragmentName)) continue;
        Add("program of " + (program->vertexName.empty() ? "(unnamed)" : program->vertexName) +
                " and " + (program->fragmentName.empty() ? "(unnamed)" : program->fragmentName),
            "not built:\n" + log);
    }
}

void PackageCheck::CheckGLErrors(const std::string& origin) {
    for (int i = 0; i < 8; ++i) {
        GLenum error = glGetError();
        if (error == GL_NO_ERROR) return;
        char text[96];
        snprintf(text, sizeof text, "%s (0x%x) while drawing", GLErrorName(error), unsigned(error));
        Add(origin, text);
    }
}

void PackageCheck::RenderJobs() {
    Renderer* renderer = engine->renderer;
    if (!renderer) return;
    // As Demo::Engine::Start draws them.
    for (unsigned int i = 0; i < engine->renderJobs.Size(); ++i) {
        Demo::Engine::RenderJob& job = engine->renderJobs[i];
        renderer->BindTechnique(&job.part->technique);
        job.target->SetSize(engine->width, engine->height);
        renderer->SetDefaultRenderTarget(&job.target->frameBuffer);
        engine->sceneManager.Update(&job.part->technique, job.time + job.part->start);
        renderer->Render();
        CheckGLErrors("render-once job " + std::to_string(i + 1));
    }
    renderer->SetDefaultRenderTarget(nullptr);
}

void PackageCheck::CheckMusic() {
    const std::string& url = engine->musicURL;
    if (url.empty()) return;
    MusicDecoder decoder;
    if (!decoder.Open(url.c_str())) {
        Add(url, "music: " + decoder.GetError());
        return;
    }
    // Decoded to the end: a file may break anywhere.
    std::vector<short> block(8192 * 2);
    while (!decoder.AtEnd()) {
        if (!decoder.Read(block.data(), 8192)) {
            Add(url, "music: " + decoder.GetError());
            return;
        }
    }
}

void PackageCheck::CheckParts(const App::FrameDone& frameDone) {
    Renderer* renderer = engine->renderer;
    std::set<const Demo::Pass*> seen;
    for (unsigned int i = 0; i < engine->parts.Size(); ++i) {
        Demo::Part* part = engine->parts[i];
        std::string origin = "part " + std::to_string(i + 1) + " of the timeline";
        for (unsigned int j = 0; j < part->passes.Size(); ++j) {
            Demo::Pass* pass = part->passes[j];
            if (!pass || !pass->scene || !seen.insert(pass).second) continue;
            Vector<SceneObject*> scenePasses;
            pass->scene->scene->FindAll(SceneObject::SOT_Pass, &scenePasses);
            bool hasCamera = pass->pass.cameraNode && pass->pass.cameraNode->camera;
            if (scenePasses.Size() == 0 || hasCamera) continue;
            auto found = sceneURLs.find(pass->scene->scene);
            std::string scene = found != sceneURLs.end() ? found->second : "a scene of the script";
            Add(scene, origin + ", pass " + std::to_string(j + 1) +
                           ": draws a scene whose World has no camera");
        }
        float length = part->end - part->start;
        if (!(length > 0.0f)) {
            Add(origin, Format("length %g ms (start %g, end %g): it is never shown", length,
                               part->start, part->end));
            continue;
        }
        if (!renderer) continue;
        const float times[3] = {part->start, part->start + length / 2,
                                length >= 1.0f ? part->end - 1.0f : part->start};
        const char* names[3] = {"start", "middle", "end"};
        for (int k = 0; k < 3; ++k) {
            // As Demo::Engine::Render draws a frame at that part-local time.
            renderer->BindTechnique(&part->technique);
            part->Update(times[k]);
            engine->sceneManager.Update(&part->technique, times[k]);
            renderer->Render();
            CheckGLErrors(origin + Format(" at %g ms", times[k]));
            if (frameDone) {
                char name[64];
                snprintf(name, sizeof name, "part%02u-%s", i + 1, names[k]);
                frameDone(name);
            }
        }
    }
}

int PackageCheck::Run(const App::FrameDone& frameDone) {
    // The start script has run. Errors left by earlier calls (the renderer's
    // Init reports its own) are not the package's.
    while (glGetError() != GL_NO_ERROR) {
    }
    InitResources();
    RenderJobs();
    CheckMusic();
    CheckParts(frameDone);
    Report();
    return int(problems.size());
}

void PackageCheck::Report() const {
    fflush(stdout);
    for (const Problem& problem : problems) {
        // Further lines of a problem (a driver's log) are indented under it.
        std::string text;
        for (char c : problem.text) {
            text += c;
            if (c == '\n') text += "    ";
        }
        printf("vomra --check: %s: %s\n", problem.origin.c_str(), text.c_str());
    }
    printf("vomra --check: %u problems\n", unsigned(problems.size()));
    fflush(stdout);
}
