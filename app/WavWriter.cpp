// WAV output of the capture's music.
#include "app/WavWriter.h"

#include <cerrno>
#include <cstring>

static void Put32(unsigned char* p, unsigned int v) {
    p[0] = (unsigned char)(v & 0xFF);
    p[1] = (unsigned char)((v >> 8) & 0xFF);
    p[2] = (unsigned char)((v >> 16) & 0xFF);
    p[3] = (unsigned char)((v >> 24) & 0xFF);
}

static void Put16(unsigned char* p, unsigned int v) {
    p[0] = (unsigned char)(v & 0xFF);
    p[1] = (unsigned char)((v >> 8) & 0xFF);
}

WavWriter::WavWriter() : file(nullptr), rate(0), dataBytes(0) {}

WavWriter::~WavWriter() {
    if (file) {
        fclose(file);
        remove(path.c_str());
    }
}

bool WavWriter::Fail(const char* what) {
    if (error.empty()) error = "can't " + std::string(what) + " " + path + ": " + strerror(errno);
    return false;
}

bool WavWriter::Open(const char* p, unsigned int r) {
    path = p;
    rate = r;
    dataBytes = 0;
    file = fopen(p, "wb");
    if (!file) return Fail("create");
    unsigned char header[44] = {0};
    if (fwrite(header, 1, sizeof header, file) != sizeof header) return Fail("write");
    return true;
}

bool WavWriter::Write(const short* samples, unsigned int frames) {
    if (!file) return false;
    static_assert(sizeof(short) == 2, "16-bit samples");
    // Little-endian on every machine the player runs on (x86, ARM).
    if (fwrite(samples, 4, frames, file) != frames) return Fail("write");
    dataBytes += 4ull * frames;
    return true;
}

bool WavWriter::Close() {
    if (!file) return false;
    // The RIFF sizes are 32-bit: a longer track cannot be described.
    if (dataBytes > 0xFFFFFFFFull - 36) {
        error = path + ": more than 4 GB of samples";
        return false;
    }
    unsigned char h[44];
    memcpy(h, "RIFF", 4);
    Put32(h + 4, unsigned(36 + dataBytes));
    memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // integer PCM
    Put16(h + 22, 2);
    Put32(h + 24, rate);
    Put32(h + 28, rate * 4);
    Put16(h + 32, 4);
    Put16(h + 34, 16);
    memcpy(h + 36, "data", 4);
    Put32(h + 40, unsigned(dataBytes));
    bool ok = error.empty() && fseek(file, 0, SEEK_SET) == 0 &&
              fwrite(h, 1, sizeof h, file) == sizeof h;
    if (!ok) Fail("write");
    if (fclose(file) != 0 && ok) ok = Fail("write");
    file = nullptr;
    if (!ok) remove(path.c_str());
    return ok;
}
