// Fatal error: made on the heap from a printf-style format and thrown by
// pointer. Nothing in the player catches it, so it ends the process.
#pragma once

class Exception {
public:
    static const unsigned int kMessageSize = 256;

    // The message is cut to fit the buffer. It is also written to standard
    // error, so that the process does not end without saying why.
    explicit Exception(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const char* GetMessage() const { return message; }

    char message[kMessageSize];
};
