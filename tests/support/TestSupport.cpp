#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include "io/DataSource.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() {
    char templ[] = "/tmp/vomra-test-XXXXXX";
    const char* made = mkdtemp(templ);
    path = made ? made : "/tmp";
}

TempDir::~TempDir() {
    if (path.rfind("/tmp/vomra-test-", 0) == 0) {
        std::string cmd = "rm -rf '" + path + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
    }
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(f);
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    return WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

bool WriteFileMakingDirs(const std::string& path, const std::string& bytes) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    return WriteFile(path, bytes);
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string ReadAll(DataSource* source) {
    std::unique_ptr<DataSource> s(source);
    if (!s) return "<null>";
    std::string out(s->GetLength(), '\0');
    if (!out.empty()) s->Read(&out[0], unsigned(out.size()));
    return out;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

static std::string Slurp(int fd) {
    std::string s;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, size_t(n));
    return s;
}

CommandResult Run(const std::vector<std::string>& argv, double timeLimit) {
    CommandResult r;
    auto started = std::chrono::steady_clock::now();
    TempDir dir;
    std::string outPath = dir.File("out"), errPath = dir.File("err");
    pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (timeLimit > 0) {
        // Polled: a hung child must not hang the test.
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() >
                timeLimit) {
                kill(pid, SIGKILL);
                wait4(pid, &status, 0, &usage);
                r.timedOut = true;
                break;
            }
            usleep(10000);
        }
    } else {
        wait4(pid, &status, 0, &usage);
    }
    r.peakKb = usage.ru_maxrss;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    return r;
}

std::string MakeSilentOgg(const std::string& path, double seconds) {
    if (!WriteFile(path + ".raw", std::string(size_t(seconds * 44100) * 4, '\0')))
        return "can't write " + path + ".raw";
    CommandResult r = Run({"/usr/bin/env", "oggenc", "-Q", "-r", "-o", path, path + ".raw"});
    return r.exitCode == 0 ? "" : "oggenc (vorbis-tools) failed: " + r.err;
}

const char* const kScreenQuadVert =
    "attribute vec4 Vomra_va_Location;\n"
    "void main() { gl_Position = vec4(Vomra_va_Location.xy * 2.0 - 1.0, 0.0, 1.0); }\n";
const char* const kWhiteFrag = "precision mediump float;\nvoid main() { gl_FragColor = vec4(1.0); }\n";

std::string OnePartScript(const std::string& vert, const std::string& frag, int ms,
                          const std::string& prelude) {
    return prelude + "local e = Effect:New('" + vert + "', '" + frag + "')\n" +
           "local p = Part:New(" + std::to_string(ms) + ")\n" +
           "p:AddPass(Pass:New(Scene:CreateFS(), e, Target:Screen()))\n"
           "Engine:GetEngine():AddPart(p)\n";
}

std::string PackDemo(const TempDir& dir,
                     const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& f : files)
        EXPECT_TRUE(WriteFileMakingDirs(dir.File("demo/" + f.first), f.second)) << f.first;
    CommandResult pack = Run({BinaryPath("vomra-pack"), "create", dir.File("d.res"), dir.File("demo")});
    EXPECT_EQ(pack.exitCode, 0) << pack.err;
    return dir.File("d.res");
}

std::string FrameName(int frame) {
    char name[32];
    snprintf(name, sizeof name, "frame-%06d.png", frame);
    return name;
}

std::string BinaryPath(const std::string& name) { return std::string(VOMRA_BIN_DIR) + "/" + name; }

std::string FixturesDir() { return VOMRA_FIXTURES_DIR; }

CaptureFd::CaptureFd(int target) : fd(target), saved(-1), active(false) {
    char templ[] = "/tmp/vomra-capture-XXXXXX";
    int tmp = mkstemp(templ);
    if (tmp < 0) return;
    file = templ;
    fflush(nullptr);
    saved = dup(fd);
    dup2(tmp, fd);
    close(tmp);
    active = true;
}

CaptureFd::~CaptureFd() {
    Stop();
    if (!file.empty()) unlink(file.c_str());
}

std::string CaptureFd::Stop() {
    if (!active) return std::string();
    fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    active = false;
    int in = open(file.c_str(), O_RDONLY);
    std::string s = in >= 0 ? Slurp(in) : std::string();
    if (in >= 0) close(in);
    return s;
}

}  // namespace testsupport
