// Writes a 16-bit PCM stereo WAV file as it goes; the sizes in the header are
// filled in by Close.
#pragma once

#include <cstdio>
#include <string>

class WavWriter {
public:
    WavWriter();
    // Closes (a file not closed by Close is left incomplete and removed).
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const char* path, unsigned int rate);
    // frames stereo frames, interleaved, native 16-bit little-endian.
    bool Write(const short* samples, unsigned int frames);
    // False when anything could not be written; the message is in GetError().
    bool Close();
    const std::string& GetError() const { return error; }

private:
    bool Fail(const char* what);

    std::string path;
    std::string error;
    FILE* file;
    unsigned int rate;
    unsigned long long dataBytes;
};
