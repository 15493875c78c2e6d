// The fatal error raised for unrecognised content that cannot be drawn.
#include "engine/Exception.h"

#include <cstdarg>
#include <cstdio>

Exception::Exception(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    fprintf(stderr, "%s\n", message);
}
