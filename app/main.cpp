// Process entry of the player.
#include "app/SDLApp.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

static void PrintUsage() {
    printf("usage: vomra [options]\n"
           "  --width N, --height N   window size in pixels\n"
           "  --fps N                 target frame rate (0: unpaced)\n"
           "  --fullscreen, --window  full screen or windowed\n"
           "  --archive FILE          resource archive to open instead of vomra.res\n"
           "  --content DIR           read resource:// names from the folder DIR instead of an\n"
           "                          archive; given again, the folders are searched in order\n"
           "  --watch                 reload the demo whenever a file it read changes\n"
           "  --start MS              start the timeline at MS milliseconds\n"
           "  --frames N              end after N frames\n"
           "  --script-time-limit S   abort a start script still running after S seconds\n"
           "                          (default 30; 0: no limit)\n"
           "  --capture DIR           offline rendering: write every frame as DIR/frame-NNNNNN.png\n"
           "                          and the music as DIR/audio.wav\n"
           "  --capture -             offline rendering: raw RGB frames on standard output\n"
           "  --audio FILE            write the capture's music to FILE instead\n"
           "  --check                 load and draw everything once, report every problem\n"
           "  --headless              offline without any X display, even where there is one\n"
           "  --progress              show frames done and time left while capturing\n"
           "  --no-write              capture without writing frames (timing the renderer)\n"
           "  -h, --help              this text\n"
           "Without --archive the player opens vomra.res in the current folder, else the one\n"
           "beside the program (its build folder), else the copy installed with it\n"
           "(PREFIX/share/vomra/vomra.res for PREFIX/bin/vomra).\n"
           "keys: Escape quits, space pauses and resumes, 1 and Home restart, Left / Right\n"
           "seek 1 s, Down / Up 10 s, comma and period step a frame while paused, r reloads\n");
}

// The archive that came with the player: NAME beside the executable (a build
// folder), else PREFIX/share/vomra/NAME beside PREFIX/bin/vomra (an
// installation), wherever they are. Empty when there is none.
static std::string BundledArchive(const char* name) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return std::string();
    std::string path(exe, size_t(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    path.erase(slash);
    std::string beside = path + "/" + name;
    if (access(beside.c_str(), R_OK) == 0) return beside;
    slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    path.erase(slash);
    path += std::string("/share/vomra/") + name;
    return access(path.c_str(), R_OK) == 0 ? path : std::string();
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
    // --archive, when given, still wins: the shell applies it over this.
    App::Info info = App::GetInfo();
    std::string installed;
    const char* name = info.resourceLibrary;
    if (name && name[0] != '/' && access(name, R_OK) != 0) {
        installed = BundledArchive(name);
        if (!installed.empty()) info.resourceLibrary = installed.c_str();
    }
    SDLApp app(argc, argv, App::CreateApp, info);
    return app.Run();
}
