// A byte source over a block of memory: what the archive and the scene loader
// hand out after inflating.
#pragma once

#include "io/DataSource.h"

class ROMSource : public DataSource {
public:
    // owned: the block was obtained with malloc and is freed with the source.
    ROMSource(const unsigned char* data, unsigned int length, bool owned);
    ~ROMSource() override;
    ROMSource(const ROMSource&) = delete;
    ROMSource& operator=(const ROMSource&) = delete;

    // Reads that do not fit in what remains give 0 (or null) and move the
    // position to the end of the block, as a stream at its end would.
    int Read8() override;
    int Read16() override;
    int Read32() override;
    // A pointer into the block, no copy; valid while the source lives.
    unsigned char* Read(unsigned int n) override;
    void* Read(void* buffer, unsigned int n) override;
    void SetPosition(unsigned int position) override;
    unsigned int GetPosition() override;
    bool IsReadOnly() override;
    unsigned int GetLength() override;

private:
    // Start of the next k bytes, or null (position moved to the end) when
    // fewer remain.
    const unsigned char* Take(unsigned int k);

    const unsigned char* data;
    unsigned int length;
    bool owned;
    unsigned int position;
};
