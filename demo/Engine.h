// The demo engine: the timeline of parts, its clock (music or a fixed step per
// frame), one-off renders into targets, and the registry owning every demo object.
#pragma once

#include <string>

#include "engine/SceneManager.h"
#include "math/Types.h"

class App;
class AudioPlayer;
class PackageCheck;
class DataSource;
class ImageLoader;
class Renderer;
class ResourceManager;
class Scene;

namespace Demo {

class Image;
class Object;
class Part;
class ProgramKeeper;
class Scene;
class Target;

class Engine {
public:
    struct RenderJob {
        Part* part;
        Target* target;
        float time;  // part-local milliseconds, counted from the part's start
    };

    // The current engine, made on the first call after none was (the
    // application deletes it at its end, and on every reload).
    static Engine* GetEngine();

    // Takes the renderer and resource manager of the active engine; both stay
    // null (and every use is skipped) when there is none yet. The process uses
    // GetEngine(); tests build their own.
    Engine();
    // Stops and deletes the player (and one offered and not taken), deletes
    // the image loader and every registered object in registration order.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The registry takes ownership (and deletes the object when it cannot
    // hold it, before passing std::bad_alloc on). Amortised constant time.
    // Past objectBudget it deletes the object and throws std::length_error:
    // a script making objects in a loop stops with an error instead of taking
    // the machine's memory (the Lua state's own budget does not see them).
    void Register(Object* object);
    static constexpr unsigned long long kObjectBudget = 512ull << 20;
    // What a call adds to an object (a key, a uniform, a list entry), against
    // the same budget; throws std::length_error past it.
    void Charge(unsigned long long bytes);
    // Charges the current engine; nothing when there is none.
    static void ChargeCurrent(unsigned long long bytes);

    // fps 0 gives an infinite step: each frame then leaves one part.
    void SetFPS(unsigned int fps);
    void SetSize(unsigned int width, unsigned int height);
    // Used only by Start.
    void SetStartTime(float ms);
    // Offline playback (frame capture): the clock steps frameStep per frame
    // whatever the music does, so the music is not played; its URL is kept
    // for the capture's audio track.
    void SetOffline(bool offline);
    void AddPart(Part* part);
    // Queued; drawn by Start. Jobs without a part or without a target (the
    // screen cannot be rendered once) are refused with a message.
    void RenderOnce(Part* part, Target* target, float time);

    void LoadScript(const char* url);
    // Never null: a file that cannot be read or converted gives an empty scene.
    Scene* LoadScene(const char* url);
    // A track offered (OfferPlayer) for the same URL is taken as it is.
    void LoadMusic(const char* url);
    // Hands a loaded track over to the next engine: LoadMusic(url) then takes
    // it instead of loading the file again. The engine owns it either way.
    void OfferPlayer(AudioPlayer* offered, const std::string& url);
    // The player, which this engine then no longer owns; null without music.
    AudioPlayer* TakePlayer();
    // Never null: a failed load gives an image without texture.
    Image* LoadImage(const char* url);

    // GPU objects, one-off renders, part 0, music, then the seek to startTime.
    void Start();
    // One frame; true once the timeline is over.
    bool Render();
    void Pause();
    void Resume();
    void SetTime(float ms);
    // Interactive seek: times before 0 go to 0, times past the end finish
    // the timeline; while paused the music waits for Resume.
    void SeekTo(float ms);
    // While paused, moves by whole frames of frameStep (1000/60 ms when the
    // frame rate is 0); nothing otherwise.
    void StepFrames(int frames);
    // Sum of the parts' lengths (ms).
    float GetLength() const;
    // The current part's local time (ms).
    float GetPartTime() const;

    App* app;  // receives the player's and image loader's messages; not owned
    ResourceManager* resourceManager;  // not owned
    Renderer* renderer;                // not owned
    AudioPlayer* player;               // owned; null: fixed-step clock
    ImageLoader* imageLoader;          // owned; made by the first LoadImage
    SceneManager sceneManager;
    Vector<Object*> objects;  // owned, registration order
    unsigned int currentPart;  // index into parts
    float startTime;           // ms
    float time;                // global clock, ms
    float partBase;            // global time at which the current part began, ms
    Vector<Part*> parts;       // play order; owned through objects
    Vector<RenderJob> renderJobs;
    unsigned int width;
    unsigned int height;
    float frameStep;  // ms per frame without music
    bool paused;
    bool offline;
    std::string musicURL;  // the last LoadMusic's URL, loaded or not
    unsigned long long objectBudget;  // kObjectBudget
    unsigned long long heldBytes;     // charged so far, at most objectBudget
    PackageCheck* check;   // --check: loads report into it; null otherwise, not owned
    // Lends effects whose program did not build the last one that did,
    // between InitAll and the first draw; null: none, not owned.
    ProgramKeeper* keeper;

    static Engine* instance;

private:
    // withMusic false leaves the player alone (a paused seek).
    void Seek(float t, bool withMusic = true);
    void BindCurrentPart();

    AudioPlayer* offeredPlayer;  // owned until LoadMusic takes it
    std::string offeredURL;
};

}  // namespace Demo
