// Music decoding for the capture's audio track and the package check.
#include "app/MusicDecoder.h"

#include <sys/stat.h>
#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/SDLPlatform.h"

// Source frames decoded at a time.
static const unsigned int kChunkFrames = 4096;

static unsigned int Get16(const unsigned char* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }
static unsigned int Get32(const unsigned char* p) {
    return unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2]) << 16 | unsigned(p[3]) << 24;
}

MusicDecoder::MusicDecoder()
    : file(nullptr),
      ogg(nullptr),
      sourceRate(0),
      channels(0),
      bytesPerSample(0),
      wavLeft(0),
      ended(false),
      failed(false),
      sourceUsed(0),
      position(0.0) {}

MusicDecoder::~MusicDecoder() {
    if (ogg) {
        ov_clear(ogg);  // closes the file it was given
        delete ogg;
    } else if (file) {
        fclose(file);
    }
}

bool MusicDecoder::Fail(const std::string& message) {
    if (error.empty()) error = message;
    failed = true;
    return false;
}

bool MusicDecoder::Open(const char* url) {
    if (!url || strncmp(url, "file://", 7) != 0)
        return Fail(std::string(url ? url : "(null)") + ": only file:// music can be played");
    char* decoded = SDLPlatform::Urldecode(url + 7);
    // As the music player finds it: a track beside the archive too.
    const SDLPlatform* platform = dynamic_cast<const SDLPlatform*>(Platform::current);
    path = platform ? platform->LocateFile(decoded) : std::string(decoded);
    delete[] decoded;
    // A FIFO would block the open and a device never end.
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return Fail(path + " is not a regular file");
    file = fopen(path.c_str(), "rb");
    if (!file) return Fail("can't open " + path + ": " + strerror(errno));
    unsigned char magic[4] = {0};
    size_t got = fread(magic, 1, 4, file);
    rewind(file);
    if (got == 4 && memcmp(magic, "RIFF", 4) == 0) return OpenWav();
    if (got == 4 && memcmp(magic, "OggS", 4) == 0) return OpenOgg();
    return Fail(path + ": neither Ogg Vorbis nor WAV");
}

bool MusicDecoder::OpenOgg() {
    ogg = new OggVorbis_File;
    if (ov_open_callbacks(file, ogg, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
        delete ogg;
        ogg = nullptr;  // the file stays ours to close
        return Fail(path + ": not a readable Ogg Vorbis stream");
    }
    vorbis_info* info = ov_info(ogg, -1);
    if (!info || info->channels < 1 || info->rate < 1)
        return Fail(path + ": no audio in the stream");
    sourceRate = unsigned(info->rate);
    channels = unsigned(info->channels);
    return true;
}

bool MusicDecoder::OpenWav() {
    unsigned char header[12];
    if (fread(header, 1, 12, file) != 12 || memcmp(header + 8, "WAVE", 4) != 0)
        return Fail(path + ": not a WAV file");
    bool haveFormat = false;
    for (;;) {
        unsigned char chunk[8];
        if (fread(chunk, 1, 8, file) != 8) return Fail(path + ": WAV file without data");
        unsigned int size = Get32(chunk + 4);
        if (memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {0};
            if (size < 16 || size > sizeof fmt) return Fail(path + ": damaged WAV format chunk");
            if (fread(fmt, 1, size, file) != size) return Fail(path + ": WAV file ends early");
            if (size & 1) fgetc(file);
            unsigned int tag = Get16(fmt);
            // The extensible format names its own sample format: PCM's GUID starts with 1.
            if (tag == 0xFFFE && size >= 26) tag = Get16(fmt + 24);
            channels = Get16(fmt + 2);
            sourceRate = Get32(fmt + 4);
            unsigned int bits = Get16(fmt + 14);
            if (tag != 1 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
                return Fail(path + ": WAV samples are not integer PCM of 8, 16, 24 or 32 bits");
            if (channels < 1 || sourceRate < 1 || sourceRate > 1000000)
                return Fail(path + ": WAV format out of range");
            bytesPerSample = bits / 8;
            haveFormat = true;
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return Fail(path + ": WAV data before its format");
            long here = ftell(file);
            fseek(file, 0, SEEK_END);
            long end = ftell(file);
            fseek(file, here, SEEK_SET);
            // A size past the end (a file still being written, or cut) is
            // taken as what the file holds.
            unsigned long long held = end > here ? (unsigned long long)(end - here) : 0;
            wavLeft = size < held ? size : held;
            wavLeft -= wavLeft % (bytesPerSample * channels);
            return true;
        } else {
            if (fseek(file, long(size) + (size & 1), SEEK_CUR) != 0)
                return Fail(path + ": damaged WAV chunk");
        }
    }
}

bool MusicDecoder::Skip(unsigned long long frames) {
    if (failed) return false;
    double exact = double(frames) * sourceRate / kRate;
    unsigned long long target = (unsigned long long)exact;
    source.clear();
    sourceUsed = 0;
    position = exact - double(target);
    if (ogg) {
        ogg_int64_t total = ov_pcm_total(ogg, -1);
        if (total >= 0 && target >= (unsigned long long)total) {
            ended = true;
            return true;
        }
        if (ov_pcm_seek(ogg, ogg_int64_t(target)) != 0) return Fail(path + ": can't seek");
        return true;
    }
    unsigned long long bytes = target * bytesPerSample * channels;
    if (bytes >= wavLeft) {
        ended = true;
        wavLeft = 0;
        return true;
    }
    if (fseeko(file, off_t(bytes), SEEK_CUR) != 0) return Fail(path + ": can't seek");
    wavLeft -= bytes;
    return true;
}

bool MusicDecoder::DecodeOgg() {
    raw.resize(kChunkFrames * 2 * 8);
    int section = 0;
    long got =
        ov_read(ogg, reinterpret_cast<char*>(raw.data()), int(raw.size()), 0, 2, 1, &section);
    if (got == OV_HOLE) return true;  // a gap in the stream; decoding goes on
    if (got < 0) return Fail(path + ": Ogg Vorbis decoding failed");
    if (got == 0) return false;
    vorbis_info* info = ov_info(ogg, section);
    unsigned int n = info && info->channels > 0 ? unsigned(info->channels) : channels;
    size_t frames = size_t(got) / (2 * n);
    const short* s = reinterpret_cast<const short*>(raw.data());
    for (size_t i = 0; i < frames; ++i) {
        short left = s[i * n];
        source.push_back(left);
        source.push_back(n > 1 ? s[i * n + 1] : left);
    }
    return true;
}

bool MusicDecoder::DecodeWav() {
    unsigned int frameBytes = bytesPerSample * channels;
    if (wavLeft == 0) return false;
    unsigned long long want = (unsigned long long)kChunkFrames * frameBytes;
    if (want > wavLeft) want = wavLeft;
    raw.resize(size_t(want));
    size_t got = fread(raw.data(), 1, raw.size(), file);
    got -= got % frameBytes;
    if (got == 0) return Fail(path + ": WAV file ends early");
    wavLeft -= got;
    for (size_t f = 0; f < got / frameBytes; ++f) {
        const unsigned char* p = raw.data() + f * frameBytes;
        short sample[2];
        for (unsigned int c = 0; c < 2; ++c) {
            const unsigned char* q = p + (c < channels ? c : 0) * bytesPerSample;
            // The top 16 bits of each sample; 8-bit samples are unsigned.
            if (bytesPerSample == 1)
                sample[c] = short((int(q[0]) - 128) * 256);
            else
                sample[c] = short(Get16(q + bytesPerSample - 2));
        }
        source.push_back(sample[0]);
        source.push_back(sample[1]);
    }
    return true;
}

bool MusicDecoder::Decode() {
    if (ended || failed) return false;
    bool more = ogg ? DecodeOgg() : DecodeWav();
    if (!more) ended = true;
    return more;
}

bool MusicDecoder::Read(short* out, unsigned int frames) {
    double step = double(sourceRate) / kRate;
    for (unsigned int i = 0; i < frames; ++i) {
        size_t index = size_t(position);
        // Two source frames are needed to interpolate, one when the rates agree.
        size_t needed = index + (step == 1.0 ? 1 : 2);
        while (source.size() / 2 < sourceUsed + needed && Decode()) {
        }
        size_t available = source.size() / 2 - sourceUsed;
        if (index >= available) {
            out[i * 2] = out[i * 2 + 1] = 0;  // after the end: silence
        } else {
            const short* a = &source[(sourceUsed + index) * 2];
            const short* b = index + 1 < available ? a + 2 : a;
            double f = position - double(index);
            for (int c = 0; c < 2; ++c)
                out[i * 2 + c] = short(std::lround(a[c] + (b[c] - a[c]) * f));
        }
        position += step;
        // Drop what is behind, now and then, so the buffer stays small.
        if (position >= kChunkFrames) {
            size_t drop = size_t(position);
            if (drop > source.size() / 2 - sourceUsed) drop = source.size() / 2 - sourceUsed;
            sourceUsed += drop;
            position -= double(drop);
            if (sourceUsed >= kChunkFrames * 4) {
                source.erase(source.begin(), source.begin() + std::ptrdiff_t(sourceUsed * 2));
                sourceUsed = 0;
            }
        }
    }
    return !failed;
}
