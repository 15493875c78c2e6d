// Synthesizes the bundled demo's music: 72 seconds at 120 beats per minute
// (a beat every 500 ms, a bar of 4 beats every 2000 ms, 36 bars over
// Am-F-C-G), then two seconds of silence, written as a 44.1 kHz 16-bit stereo
// WAV. Its sections follow the demo's parts, which start on bars 0, 4, 8, 14,
// 22 and 28: kick and bass; arpeggio and hi-hat; snare and pad; a lead tune;
// a breakdown without kick that rolls back in; everything, fading over the last
// two bars. The silence keeps the track playing past the timeline's end: once
// a track has ended its clock stops, and the demo would never reach its end.
// The output is the same on every run, so the packed demo is reproducible; the
// build turns it into Ogg Vorbis, which the player can seek.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const int kRate = 44100;
const double kBeat = 0.5;  // seconds
const int kBars = 36;      // 4 beats each: 72 seconds
const double kPi = 3.14159265358979323846;

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Root notes (MIDI) of the chords, one bar each, and their minor/major thirds.
const int kRoots[4] = {57, 53, 48, 55};  // A, F, C, G
const int kThirds[4] = {3, 4, 4, 4};

// The lead: one note per eighth over four bars (-1 rests), A minor pentatonic.
const int kLead[32] = {76, -1, 74, 72, 69, -1, 72, 74,  //
                       72, -1, 69, -1, 67, 69, 72, -1,  //
                       67, -1, 69, 72, 76, -1, 79, 76,  //
                       74, -1, 72, 74, 71, -1, -1, -1};

// A small deterministic generator for the noise of the hi-hat and snare.
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
    const int frames = musicFrames + 2 * kRate;
    std::vector<float> left(frames), right(frames);
    double leadPhase = 0.0;
    for (int i = 0; i < musicFrames; ++i) {
        double t = double(i) / kRate;
        int beat = int(t / kBeat);
        double inBeat = t - beat * kBeat;
        int bar = beat / 4;
        int chord = bar % 4;
        int root = kRoots[chord];
        bool breakdown = bar >= 22 && bar < 28;

        // Bass: the root an octave down, eighth notes with a soft decay.
        double eighth = std::fmod(t, kBeat / 2);
        double bassEnv = std::exp(-eighth * 6.0);
        double bassPhase = t * NoteHz(root - 12);
        double bass = (std::sin(2 * kPi * bassPhase) + 0.3 * std::sin(4 * kPi * bassPhase)) * bassEnv;
        if (breakdown) bass *= 0.5;

        // Arpeggio: root, third, fifth, octave in sixteenths, a soft square,
        // from bar 4 on.
        int sixteenth = int(t / (kBeat / 4));
        const int steps[4] = {0, kThirds[chord], 7, 12};
        int note = root + 12 + steps[sixteenth % 4];
        double sixteenthTime = std::fmod(t, kBeat / 4);
        double arpEnv = std::exp(-sixteenthTime * 14.0);
        double arp = (std::sin(2 * kPi * t * NoteHz(note)) > 0 ? 1.0 : -1.0) * arpEnv;
        double arpLevel = bar >= 4 ? 0.10 : 0.0;

        // Kick on every beat: a falling sine; silent in the breakdown's first
        // four bars.
        double kickFreq = 50.0 + 120.0 * std::exp(-inBeat * 30.0);
        double kick = std::sin(2 * kPi * kickFreq * inBeat) * std::exp(-inBeat * 9.0);
        if (bar >= 22 && bar < 26) kick = 0.0;

        // Hi-hat on the off-beats from bar 4.
        double off = std::fmod(t + kBeat / 2, kBeat);
        double hat = bar >= 4 ? Noise() * std::exp(-off * 60.0) : 0.0;

        // Snare on beats 2 and 4 from bar 8, in sixteenths through the
        // breakdown's last bar.
        double snare = 0.0;
        if (bar >= 8 && !(breakdown && bar < 27)) {
            double since = (bar == 27) ? sixteenthTime : ((beat % 2 == 1) ? inBeat : 1.0);
            double level = (bar == 27) ? 0.3 + 0.7 * (t - 54.0) / 2.0 : 1.0;
            snare = level * (0.7 * Noise() + 0.3 * std::sin(2 * kPi * 190.0 * since)) *
                    std::exp(-since * 22.0);
        }

        // Pad: the chord's triad in soft saws from bar 8, swelling in each bar.
        double pad = 0.0;
        if (bar >= 8) {
            const int triad[3] = {root, root + kThirds[chord], root + 7};
            for (int n : triad) pad += std::fmod(t * NoteHz(n), 1.0) * 2.0 - 1.0;
            double inBar = t - bar * 4 * kBeat;
            pad *= 0.4 + 0.6 * std::sin(kPi * inBar / (4 * kBeat));
        }

        // Lead tune in bars 14 to 21 and from 28 on: a sine with a little
        // vibrato, each eighth plucked.
        double lead = 0.0;
        if ((bar >= 14 && bar < 22) || bar >= 28) {
            int step = int(t / (kBeat / 2)) % 32;
            if (kLead[step] >= 0) {
                double hz = NoteHz(kLead[step]) * (1.0 + 0.004 * std::sin(2 * kPi * 5.5 * t));
                leadPhase += hz / kRate;
                lead = (std::sin(2 * kPi * leadPhase) + 0.25 * std::sin(6 * kPi * leadPhase)) *
                       std::exp(-eighth * 3.0);
            }
        }

        double common = 0.35 * bass + 0.45 * kick + 0.18 * snare + 0.05 * pad;
        double l = common + arpLevel * arp + 0.06 * hat + 0.16 * lead;
        double r = common + arpLevel * 0.7 * arp + 0.10 * hat + 0.12 * lead;
        // Fade the last two bars out.
        double end = kBars * 4 * kBeat;
        double fade = t > end - 4.0 ? (end - t) / 4.0 : 1.0;
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
