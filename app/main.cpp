// Process entry of the player.
#include <cstdio>
#include <cstring>

static void PrintUsage() {
    printf("usage: vomra [--width N] [--height N] [--fps N] [--fullscreen | --window]\n");
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--help") == 0) {
            PrintUsage();
            return 0;
        }
    PrintUsage();
    return 0;
}
