// A byte source over a file on disk, read through a buffered stdio stream.
#pragma once

#include <cstdio>

#include "io/DataSource.h"
#include "math/Types.h"

class SDLFileSource : public DataSource {
public:
    // Prints a message when the file cannot be opened; the source then
    // behaves as an empty one (length 0, every read failing).
    explicit SDLFileSource(const char* path);
    ~SDLFileSource() override;
    SDLFileSource(const SDLFileSource&) = delete;
    SDLFileSource& operator=(const SDLFileSource&) = delete;

    bool IsOpen() const { return stream != nullptr; }

    // 0 when the file ends before the value does.
    int Read8() override;
    int Read16() override;
    int Read32() override;
    // A block owned by the source, kept until the source is destroyed; null
    // (after the short-read report) when fewer than n bytes remain.
    unsigned char* Read(unsigned int n) override;
    void* Read(void* buffer, unsigned int n) override;
    void SetPosition(unsigned int position) override;
    unsigned int GetPosition() override;
    bool IsReadOnly() override;
    unsigned int GetLength() override;

private:
    // Reads exactly k bytes into out; false when the file ended first.
    bool ReadValue(unsigned char* out, unsigned int k);
    void ReportShortRead(unsigned int got, unsigned int expected);

    FILE* stream;
    unsigned int length;
    Vector<unsigned char*> buffers;
};
