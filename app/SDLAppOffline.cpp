// The shell's offline side: options of capture and check, the headless
// choice, frames handed to the frame writer, progress, and the music written
// beside the frames. (SDLApp's methods, kept apart from the window and loop.)
#include "app/SDLApp.h"

#include "app/HeadlessDisplay.h"
#include "app/MusicDecoder.h"
#include "app/WavWriter.h"

#include <GLES2/gl2.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Largest offline output side; the offscreen surface may allow less.
static const long kMaxOutputSize = 8192;

bool SDLApp::ReadOfflineOptions() {
    const char* capture = GetOption("--capture", true);
    if (capture && strcmp(capture, "--capture") == 0) capture = nullptr;
    checkMode = GetOption("--check", false) != nullptr;
    showProgress = GetOption("--progress", false) != nullptr;
    discardFrames = GetOption("--no-write", false) != nullptr;
    audioPath = GetOption("--audio", true);
    if (audioPath && strcmp(audioPath, "--audio") == 0) audioPath = nullptr;
    bool offline = capture || checkMode;
    if (GetOption("--headless", false) && !offline) {
        fprintf(stderr, "SDLApp::Initialize(): --headless needs --capture or --check\n");
        return false;
    }
    // A window is still used where there is a display, unless asked not to.
    headless = offline && (GetOption("--headless", false) || !HeadlessDisplay::IsXDisplayUsable());
    if (capture && strcmp(capture, "-") == 0 && frameFd < 0) {
        if (isatty(1)) {
            fprintf(stderr,
                    "SDLApp::Initialize(): --capture - writes raw frames; send them to a "
                    "program, not a terminal\n");
            return false;
        }
        // The frames take standard output over before anything is printed;
        // every message goes to standard error from here on.
        fflush(stdout);
        frameFd = dup(1);
        if (frameFd < 0 || dup2(2, 1) < 0) {
            fprintf(stderr, "SDLApp::Initialize(): can't set up the frame stream: %s\n",
                    strerror(errno));
            return false;
        }
        // Line by line, so that messages and the progress line keep their order.
        setvbuf(stdout, nullptr, _IOLBF, 0);
        // A reader that goes away shows as a failed write, not a dead process.
        signal(SIGPIPE, SIG_IGN);
    }
    return true;
}

bool SDLApp::CheckOutputSize(const char* option) const {
    const char* text = GetOption(option, true);
    if (!text) return true;
    char* end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < 1 || value > kMaxOutputSize) {
        fprintf(stderr, "SDLApp::Initialize(): %s %s is not a size from 1 to %ld pixels\n", option,
                text, kMaxOutputSize);
        return false;
    }
    return true;
}

bool SDLApp::OpenCapture() {
    if (strcmp(captureDir, "-") == 0) {
        return discardFrames ? writer.OpenDiscard(width, height)
                             : writer.OpenStream(frameFd, width, height);
    }
    if (mkdir(captureDir, 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "SDLApp::Initialize(): can't make the capture folder %s: %s\n", captureDir,
                strerror(errno));
        return false;
    }
    struct stat folder;
    if (stat(captureDir, &folder) != 0 || !S_ISDIR(folder.st_mode) ||
        access(captureDir, W_OK) != 0) {
        fprintf(stderr, "SDLApp::Initialize(): can't write into the capture folder %s: %s\n",
                captureDir, errno ? strerror(errno) : "not a folder");
        return false;
    }
    if (discardFrames) return writer.OpenDiscard(width, height);
    // The renderer keeps one core busy; the writers share what is left.
    unsigned int cores = std::thread::hardware_concurrency();
    unsigned int workers = cores > 1 ? (cores > 4 ? 4 : cores) : 1;
    return writer.OpenFolder(captureDir, width, height, workers);
}

void SDLApp::QueueFrame(const char* name) {
    unsigned char* pixels = writer.Acquire();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    writer.Submit(pixels, name);
}

void SDLApp::ShowProgress(bool last) {
    Uint32 now = SDL_GetTicks();
    if (framesDrawn <= 1) {
        progressStart = now;
        unsigned int expected = 0;
        if (timeline.length > 0.0f && fps != 0) {
            double frames = std::ceil(double(timeline.length) * fps / 1000.0);
            expected = frames < double(UINT_MAX) ? unsigned(frames) : 0;
        }
        progressTotal =
            frameLimit != 0 && (expected == 0 || frameLimit < expected) ? frameLimit : expected;
    }
    // A few times a second is enough for a person and cheap for the loop.
    if (!last && Uint32(now - progressShown) < 250) return;
    progressShown = now;
    unsigned int done = writer.GetFramesQueued();
    if (progressTotal != 0) {
        double elapsed = Uint32(now - progressStart) / 1000.0;
        double left =
            done > 0 && done < progressTotal ? elapsed / done * (progressTotal - done) : 0;
        fprintf(stderr, "\rvomra: frame %u / %u, %.0f s left   ", done, progressTotal, left);
    } else {
        fprintf(stderr, "\rvomra: frame %u   ", done);
    }
    if (last) fputc('\n', stderr);
    fflush(stderr);
}

int SDLApp::RunCheck() {
    App::FrameDone frameDone;
    if (captureDir) {
        frameDone = [this](const char* name) {
            std::string file = std::string("check-") + name + ".png";
            QueueFrame(file.c_str());
        };
    }
    int problems = app->OnCheck(frameDone);
    fflush(stdout);
    if (problems < 0) {
        fprintf(stderr, "SDLApp::RunCheck(): the application has nothing to check\n");
        return 1;
    }
    return problems > 0 ? 1 : 0;
}

bool SDLApp::FinishCapture() {
    bool drawn = framesDrawn > 0;
    if (showProgress && drawn && !checkMode) ShowProgress(true);
    if (!writer.Finish()) {
        // The frames after the failed one were dropped: the capture is incomplete.
        fprintf(stderr, "SDLApp::FinishCapture(): %s; the capture is incomplete\n",
                writer.GetError().c_str());
        return false;
    }
    if (checkMode || discardFrames || musicURL.empty()) return true;
    return WriteAudio();
}

bool SDLApp::WriteAudio() {
    std::string path;
    if (audioPath)
        path = audioPath;
    else if (strcmp(captureDir, "-") != 0)
        path = std::string(captureDir) + "/audio.wav";
    else
        return true;  // a frame stream without --audio: the music is not wanted
    if (fps == 0) {
        fprintf(stderr, "SDLApp::WriteAudio(): no %s: frames of --fps 0 have no length\n",
                path.c_str());
        return false;
    }
    MusicDecoder decoder;
    if (!decoder.Open(musicURL.c_str())) {
        fprintf(stderr, "SDLApp::WriteAudio(): no %s: %s\n", path.c_str(),
                decoder.GetError().c_str());
        return false;
    }
    // Exactly as long as the frames: frames * 1000 / fps ms, from the start time.
    const double rate = MusicDecoder::kRate;
    unsigned long long total =
        (unsigned long long)std::llround(double(writer.GetFramesQueued()) * rate / fps);
    double start = std::isfinite(timeline.startTime) ? timeline.startTime : 0.0;
    unsigned long long lead =
        start < 0 ? (unsigned long long)std::llround(-start * rate / 1000) : 0;
    if (start > 0 && !decoder.Skip((unsigned long long)std::llround(start * rate / 1000))) {
        fprintf(stderr, "SDLApp::WriteAudio(): no %s: %s\n", path.c_str(),
                decoder.GetError().c_str());
        return false;
    }
    WavWriter wav;
    if (!wav.Open(path.c_str(), MusicDecoder::kRate)) {
        fprintf(stderr, "SDLApp::WriteAudio(): %s\n", wav.GetError().c_str());
        return false;
    }
    static const unsigned int kBlock = 4096;
    std::vector<short> block(kBlock * 2);
    for (unsigned long long done = 0; done < total;) {
        unsigned int n = total - done < kBlock ? unsigned(total - done) : kBlock;
        if (done < lead) {
            // A negative start time plays silence until the track's beginning.
            if (lead - done < n) n = unsigned(lead - done);
            std::fill(block.begin(), block.end(), short(0));
        } else if (!decoder.Read(block.data(), n)) {
            fprintf(stderr, "SDLApp::WriteAudio(): no %s: %s\n", path.c_str(),
                    decoder.GetError().c_str());
            return false;  // the writer removes the unfinished file
        }
        if (!wav.Write(block.data(), n)) break;
        done += n;
    }
    if (!wav.Close()) {
        fprintf(stderr, "SDLApp::WriteAudio(): %s\n", wav.GetError().c_str());
        return false;
    }
    return true;
}
