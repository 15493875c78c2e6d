// The byte-stream interface every input goes through. All multi-byte values of
// every format are little-endian.
#pragma once

class DataSource {
public:
    virtual ~DataSource() {}
    // One byte, sign-extended (-128..127).
    virtual int Read8() = 0;
    // Two bytes, little-endian, sign-extended.
    virtual int Read16() = 0;
    // Four bytes, little-endian.
    virtual int Read32() = 0;
    // n bytes; the block belongs to the source and lives as long as it does.
    virtual unsigned char* Read(unsigned int n) = 0;
    // Copies n bytes into buffer; returns buffer, or null on failure.
    virtual void* Read(void* buffer, unsigned int n) = 0;
    virtual void SetPosition(unsigned int position) = 0;
    virtual unsigned int GetPosition() = 0;
    virtual bool IsReadOnly() = 0;
    // Moves the position up to the next multiple of n (n > 0).
    virtual void Align(unsigned int n);
    virtual unsigned int GetLength() = 0;

    // Bytes between the position and the end (0 when the position is past it).
    unsigned int GetRemaining() {
        unsigned int p = GetPosition(), l = GetLength();
        return p < l ? l - p : 0;
    }
};
