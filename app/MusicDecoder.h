// Decodes a music file into 16-bit stereo samples at 44.1 kHz without a sound
// device: Ogg Vorbis through libvorbisfile, WAV (integer PCM) read directly.
// Other rates are resampled linearly, mono is doubled, channels past two dropped.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct OggVorbis_File;

class MusicDecoder {
public:
    static const unsigned int kRate = 44100;

    MusicDecoder();
    ~MusicDecoder();
    MusicDecoder(const MusicDecoder&) = delete;
    MusicDecoder& operator=(const MusicDecoder&) = delete;

    // A "file://" URL (%-decoded as the player does) or a plain path. False
    // with GetError() set when the file cannot be opened or decoded.
    bool Open(const char* url);
    // Skips the first `frames` output frames (1/44100 s each).
    bool Skip(unsigned long long frames);
    // Fills `frames` stereo frames (2 samples each) into out; past the end of
    // the track with silence. False on a decode error (the rest is silence).
    bool Read(short* out, unsigned int frames);

    const std::string& GetError() const { return error; }
    unsigned int GetSourceRate() const { return sourceRate; }
    bool AtEnd() const { return ended; }

private:
    bool OpenWav();
    bool OpenOgg();
    // Appends decoded source frames (stereo) to `source`; false at the end or on an error.
    bool Decode();
    bool DecodeWav();
    bool DecodeOgg();
    bool Fail(const std::string& message);

    std::string path;
    std::string error;
    FILE* file;
    OggVorbis_File* ogg;
    unsigned int sourceRate;
    unsigned int channels;
    unsigned int bytesPerSample;  // WAV: 1 (unsigned), 2, 3 or 4 (signed)
    unsigned long long wavLeft;   // WAV data bytes not read yet
    bool ended;
    bool failed;
    std::vector<short> source;    // stereo source frames not yet used
    size_t sourceUsed;            // frames of `source` consumed
    double position;              // resampling position within source, in source frames
    std::vector<unsigned char> raw;
};
