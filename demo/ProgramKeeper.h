// The last program that built from each pair of shader URLs, kept across
// reloads of a demo, so that an effect whose shader is being edited into a
// broken state keeps drawing with its last good program.
#pragma once

#include <map>
#include <string>
#include <utility>

class Program;

namespace Demo {

class Effect;
class Engine;

class ProgramKeeper {
public:
    ProgramKeeper() {}
    // Deletes the kept programs (and so their GL objects) and their sources.
    ~ProgramKeeper();
    ProgramKeeper(const ProgramKeeper&) = delete;
    ProgramKeeper& operator=(const ProgramKeeper&) = delete;

    // Before the engine goes: the built program of each effect (one per URL
    // pair), with its sources, moves out of the effect into the keeper,
    // replacing what was kept for the pair.
    void Keep(Engine* engine);
    // After the engine's InitAll: effects whose program did not build draw
    // with the one kept for their pair; every other kept program (its pair
    // built again, or is no longer used) goes.
    void Restore(Engine* engine);

    unsigned int Size() const { return unsigned(kept.size()); }

private:
    typedef std::pair<std::string, std::string> Key;  // vertex URL, fragment URL
    struct Kept {
        Program* program;
        char* vertexSource;  // the program points into both
        char* fragmentSource;
    };
    void Drop(const Key& key);

    std::map<Key, Kept> kept;
};

}  // namespace Demo
