// Process entry of the player.
#include "app/SDLApp.h"

#include <cstdio>
#include <cstring>

static void PrintUsage() {
    printf("usage: vomra [options]\n"
           "  --width N, --height N   window size in pixels\n"
           "  --fps N                 target frame rate (0: unpaced)\n"
           "  --fullscreen, --window  full screen or windowed\n"
           "  --archive FILE          resource archive to open instead of vomra.res\n"
           "  --start MS              start the timeline at MS milliseconds\n"
           "  --frames N              end after N frames\n"
           "  --capture DIR           offline rendering: write every frame as DIR/frame-NNNNNN.png\n"
           "  -h, --help              this text\n"
           "keys: Escape quits, space pauses and resumes, 1 restarts\n");
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
    SDLApp app(argc, argv);
    return app.Run();
}
