// vomra --check: loads the whole package once and collects every problem with
// where it came from: script errors with their URL and line, missing
// resources, shaders that do not build, scene files and images that do not
// load, external references, parts without length, passes without a camera,
// music that does not decode and GL errors while drawing.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/App.h"

class DataSource;
class ImageLoader;
class Platform;
class Texture2D;
class Scene;

namespace Demo {
class Engine;
}

class PackageCheck {
public:
    struct Problem {
        std::string origin;  // a URL, URL:line, or "part N"
        std::string text;    // may hold several lines (a driver's log)
    };

    // Takes the engine's loads over (engine->check) and watches every URL the
    // platform is asked for, from here until destruction.
    explicit PackageCheck(Demo::Engine* engine);
    ~PackageCheck();
    PackageCheck(const PackageCheck&) = delete;
    PackageCheck& operator=(const PackageCheck&) = delete;

    void Add(const std::string& origin, const std::string& text);

    // The engine's loads in check mode; each behaves and prints as the
    // ordinary load does, and records what went wrong.
    void RunScript(const char* url, DataSource* source);
    ::Scene* ReadScene(const char* url, DataSource* source);
    Texture2D* LoadImage(ImageLoader* loader, const char* url);

    // The rest, after the start script: every GPU resource, the one-off
    // renders, the music, and three frames of every part (each followed by
    // frameDone, when given). Prints the report; returns the problem count.
    int Run(const App::FrameDone& frameDone);

    const std::vector<Problem>& GetProblems() const { return problems; }
    // Where the running script is ("URL:line"); empty outside scripts.
    std::string ScriptPosition() const;
    // A URL the platform could not open (its consequences are not counted again).
    bool IsMissing(const std::string& url) const { return missing.count(url) != 0; }
    void NoteMissing(const std::string& url);

private:
    class WatchingPlatform;

    void InitResources();
    void RenderJobs();
    void CheckMusic();
    void CheckParts(const App::FrameDone& frameDone);
    void CheckGLErrors(const std::string& origin);
    void Report() const;

    Demo::Engine* engine;
    Platform* inner;             // the platform being watched
    WatchingPlatform* watching;  // owned; Platform::current while the check lives
    std::vector<Problem> problems;
    std::set<std::string> missing;
    std::vector<std::string> scripts;                  // running, innermost last
    std::map<const ::Scene*, std::string> sceneURLs;   // scene files by their scene
};
