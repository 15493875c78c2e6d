// Helpers shared by the test programs: scratch folders, whole-file I/O, running
// the project's executables and capturing what they print.
#pragma once

#include <string>
#include <vector>

class DataSource;

namespace testsupport {

// A fresh folder under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path; }
    std::string File(const std::string& relative) const { return path + "/" + relative; }

private:
    std::string path;
};

bool WriteFile(const std::string& path, const std::string& bytes);
bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);
// Creates missing parent folders first.
bool WriteFileMakingDirs(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Reads a source whole and deletes it; "<null>" for none.
std::string ReadAll(DataSource* source);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);

struct CommandResult {
    int exitCode = -1;      // exit status when the process exited normally
    int signal = 0;         // terminating signal, 0 when it exited normally
    std::string out;        // standard output
    std::string err;        // standard error
    bool timedOut = false;  // killed (SIGKILL) after the time limit
    double seconds = 0;     // wall time of the run
    long peakKb = 0;        // the process's peak resident memory
};
// Runs argv[0] (a path) with the arguments, without a shell; stdin is /dev/null.
// With a time limit (seconds, 0 for none) a process still running is killed.
CommandResult Run(const std::vector<std::string>& argv, double timeLimit = 0);

// Silent 44.1 kHz stereo Ogg Vorbis of the given length, made with oggenc;
// "" or why it failed.
std::string MakeSilentOgg(const std::string& path, double seconds);

// Demos made by tests: a quad over the screen (positions 0..1) and a white
// fragment shader; the start script of one part of `ms` milliseconds drawing
// the shaders at these URLs to the screen, after `prelude`.
extern const char* const kScreenQuadVert;
extern const char* const kWhiteFrag;
std::string OnePartScript(const std::string& vert, const std::string& frag, int ms,
                          const std::string& prelude = "");
// Writes each (name, bytes) under dir/demo and packs the folder with
// vomra-pack into dir/d.res, whose path it returns.
std::string PackDemo(const TempDir& dir,
                     const std::vector<std::pair<std::string, std::string>>& files);
// The name the capture gives a frame ("frame-000012.png").
std::string FrameName(int frame);

// Path of an executable built with the project (vomra, vomra-pack, ...).
std::string BinaryPath(const std::string& name);
// Folder of the third-party fixture files kept with the tests (tests/data).
// Always the path: a test that finds a fixture missing fails rather than skips.
std::string FixturesDir();

// Captures what the process writes to stdout or stderr (file descriptor level,
// so printf/puts from C code is caught too) between Start() and Stop().
class CaptureFd {
public:
    explicit CaptureFd(int fd);
    ~CaptureFd();
    std::string Stop();

private:
    int fd;
    int saved;
    std::string file;
    bool active;
};

}  // namespace testsupport
