// Synthesizes the bundled demo's music: 24 seconds at 120 beats per minute
// (bass, arpeggio, kick and hi-hat over Am-F-C-G) and a second of silence,
// written as a 44.1 kHz 16-bit stereo WAV. The silence keeps the track playing
// past the 24-second timeline: once a track has ended its clock stops, and the
// demo would never reach its end. The output is the same on every run, so the packed demo
// is reproducible; the build turns it into Ogg Vorbis, which the player can seek.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const int kRate = 44100;
const double kBeat = 0.5;  // seconds
const int kBars = 12;      // 4 beats each: 24 seconds
const double kPi = 3.14159265358979323846;

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Root notes (MIDI) of the chords, one bar each, and their minor/major thirds.
const int kRoots[4] = {57, 53, 48, 55};  // A, F, C, G
const int kThirds[4] = {3, 4, 4, 4};

// A small deterministic generator for the hi-hat noise.
uint32_t g_noise = 0x12345678u;
double Noise() {
    g_noise = g_noise * 1664525u + 1013904223u;
    return double(g_noise >> 8) / double(1u << 23) - 1.0;
}

void PutLE(std::vector<unsigned char>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back((unsigned char)(value >> (8 * i)));
}

const char kUsage[] = "usage: vomra-tune OUT.wav\n";

}  // namespace

int main(int argc, char** argv) {
    // Options are refused rather than taken for the name of the file to write.
    const char* out = nullptr;
    unsigned int operands = 0;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0)) {
            fputs(kUsage, stdout);
            fputs("Synthesizes the bundled demo's music (25 s, 44.1 kHz 16-bit stereo WAV).\n"
                  "  -h, --help  this text; -- ends the options\n",
                  stdout);
            return 0;
        } else if (options && arg[0] == '-') {
            fprintf(stderr, "vomra-tune: unknown option %s\n", arg);
            fputs(kUsage, stderr);
            return 2;
        } else {
            out = arg;
            ++operands;
        }
    }
    if (operands != 1) {
        fputs(kUsage, stderr);
        return 2;
    }
    const int musicFrames = int(kBars * 4 * kBeat * kRate);
    const int frames = musicFrames + kRate;
    std::vector<float> left(frames), right(frames);
    for (int i = 0; i < musicFrames; ++i) {
        double t = double(i) / kRate;
        int beat = int(t / kBeat);
        double inBeat = t - beat * kBeat;
        int bar = beat / 4;
        int chord = bar % 4;
        int root = kRoots[chord];

        // Bass: the root an octave down, eighth notes with a soft decay.
        double eighth = std::fmod(t, kBeat / 2);
        double bassEnv = std::exp(-eighth * 6.0);
        double bassPhase = t * NoteHz(root - 12);
        double bass = (std::sin(2 * kPi * bassPhase) + 0.3 * std::sin(4 * kPi * bassPhase)) * bassEnv;

        // Arpeggio: root, third, fifth, octave in sixteenths, a soft square.
        int sixteenth = int(t / (kBeat / 4));
        const int steps[4] = {0, kThirds[chord], 7, 12};
        int note = root + 12 + steps[sixteenth % 4];
        double sixteenthTime = std::fmod(t, kBeat / 4);
        double arpEnv = std::exp(-sixteenthTime * 14.0);
        double arp = (std::sin(2 * kPi * t * NoteHz(note)) > 0 ? 1.0 : -1.0) * arpEnv;
        // The arpeggio enters after the first three bars, with the second part.
        double arpLevel = bar >= 3 ? 0.12 : 0.0;

        // Kick on every beat: a falling sine.
        double kickFreq = 50.0 + 120.0 * std::exp(-inBeat * 30.0);
        double kick = std::sin(2 * kPi * kickFreq * inBeat) * std::exp(-inBeat * 9.0);

        // Hi-hat on the off-beats.
        double off = std::fmod(t + kBeat / 2, kBeat);
        double hat = Noise() * std::exp(-off * 60.0);

        double common = 0.35 * bass + 0.45 * kick;
        double l = common + arpLevel * arp + 0.06 * hat;
        double r = common + arpLevel * 0.7 * arp + 0.10 * hat;
        // Fade the last bar out.
        double end = kBars * 4 * kBeat;
        double fade = t > end - 2.0 ? (end - t) / 2.0 : 1.0;
        left[i] = float(std::tanh(l * fade));
        right[i] = float(std::tanh(r * fade));
    }

    std::vector<unsigned char> wav;
    const uint32_t dataBytes = uint32_t(frames) * 4;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    PutLE(wav, 36 + dataBytes, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(wav, 16, 4);
    PutLE(wav, 1, 2);          // PCM
    PutLE(wav, 2, 2);          // stereo
    PutLE(wav, kRate, 4);
    PutLE(wav, kRate * 4, 4);  // bytes per second
    PutLE(wav, 4, 2);          // bytes per frame
    PutLE(wav, 16, 2);         // bits per sample
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    PutLE(wav, dataBytes, 4);
    for (int i = 0; i < frames; ++i) {
        PutLE(wav, uint32_t(int16_t(std::lrint(left[i] * 30000.0))) & 0xFFFFu, 2);
        PutLE(wav, uint32_t(int16_t(std::lrint(right[i] * 30000.0))) & 0xFFFFu, 2);
    }
    FILE* file = fopen(out, "wb");
    if (!file || fwrite(wav.data(), 1, wav.size(), file) != wav.size() || fclose(file) != 0) {
        fprintf(stderr, "vomra-tune: can't write %s\n", out);
        return 1;
    }
    return 0;
}
