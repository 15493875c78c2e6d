// File-backed byte source.
#include "io/SDLFileSource.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SDLFileSource::SDLFileSource(const char* path) : stream(nullptr), length(0), buffers(10) {
    // Only regular files: a FIFO would block in open and read for ever, a device
    // would never end, a folder fails every read. O_NONBLOCK keeps the open
    // itself from waiting on a FIFO; the type is judged on what was opened.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        printf("SDLFileSource::SDLFileSource(): %s is not a regular file\n", path);
        close(fd);
        return;
    }
    if (fd >= 0) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        stream = fdopen(fd, "rb");
        if (!stream) close(fd);
    }
    if (!stream) {
        printf("SDLFileSource::SDLFileSource(): Can't open %s\n", path);
        return;
    }
    // A stream that cannot seek (a pipe) measures as empty.
    if (fseek(stream, 0, SEEK_END) == 0) {
        long end = ftell(stream);
        if (end > 0) length = (unsigned long)end > UINT_MAX ? UINT_MAX : unsigned(end);
    }
    fseek(stream, 0, SEEK_SET);
}

SDLFileSource::~SDLFileSource() {
    if (stream) fclose(stream);
    for (unsigned char* block : buffers) delete[] block;
}

bool SDLFileSource::ReadValue(unsigned char* out, unsigned int k) {
    return stream && fread(out, 1, k, stream) == k;
}

int SDLFileSource::Read8() {
    unsigned char b[1];
    return ReadValue(b, 1) ? int(static_cast<signed char>(b[0])) : 0;
}

int SDLFileSource::Read16() {
    unsigned char b[2];
    return ReadValue(b, 2) ? int(static_cast<short>(b[0] | (b[1] << 8))) : 0;
}

int SDLFileSource::Read32() {
    unsigned char b[4];
    if (!ReadValue(b, 4)) return 0;
    return int(unsigned(b[0]) | unsigned(b[1]) << 8 | unsigned(b[2]) << 16 | unsigned(b[3]) << 24);
}

void SDLFileSource::ReportShortRead(unsigned int got, unsigned int expected) {
    printf("SDLFileSource::Read(): Got %u bytes, expecting %u\n", got, expected);
    // The flag that ferror returns is passed to strerror as it is.
    int error = ferror(stream);
    printf("\terror = %s (%u)", strerror(error), unsigned(error));
    if (feof(stream))
        puts(", EOF");
    else
        puts("");
}

void* SDLFileSource::Read(void* buffer, unsigned int n) {
    // An unopened source has already said so; it reads as empty.
    if (!stream) return n == 0 ? buffer : nullptr;
    size_t got = fread(buffer, 1, n, stream);
    if (got < n) {
        ReportShortRead(unsigned(got), n);
        return nullptr;
    }
    return buffer;
}

unsigned char* SDLFileSource::Read(unsigned int n) {
    if (!stream) return nullptr;
    if (n > GetRemaining()) {
        // Never size a block from a request the file cannot satisfy. Consume
        // what is left so that the position and the report are those of a
        // plain short read.
        unsigned char scratch[4096];
        unsigned int got = 0;
        while (got < n) {
            unsigned int want = n - got < sizeof scratch ? n - got : unsigned(sizeof scratch);
            size_t k = fread(scratch, 1, want, stream);
            got += unsigned(k);
            if (k < want) break;
        }
        ReportShortRead(got, n);
        return nullptr;
    }
    unsigned char* block = new unsigned char[n ? n : 1];
    if (!Read(block, n)) {
        // The file shrank since it was measured.
        delete[] block;
        return nullptr;
    }
    buffers.Add(block);
    return block;
}

void SDLFileSource::SetPosition(unsigned int position) {
    if (stream) fseek(stream, long(position), SEEK_SET);
}

unsigned int SDLFileSource::GetPosition() {
    if (!stream) return 0;
    long p = ftell(stream);
    if (p < 0) return 0;
    return (unsigned long)p > UINT_MAX ? UINT_MAX : unsigned(p);
}

bool SDLFileSource::IsReadOnly() { return false; }

unsigned int SDLFileSource::GetLength() { return length; }
