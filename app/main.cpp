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
           "                          and the music as DIR/audio.wav\n"
           "  --capture -             offline rendering: raw RGB frames on standard output\n"
           "  --audio FILE            write the capture's music to FILE instead\n"
           "  --check                 load and draw everything once, report every problem\n"
           "  --headless              offline without any X display, even where there is one\n"
           "  --progress              show frames done and time left while capturing\n"
           "  --no-write              capture without writing frames (timing the renderer)\n"
           "  --help                  this text\n"
           "keys: Escape quits, space pauses and resumes, 1 restarts\n");
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--help") == 0) {
            PrintUsage();
            return 0;
        }
    SDLApp app(argc, argv);
    return app.Run();
}
