// Image decoding through SDL_image.
#include "app/SDLImageLoader.h"

#include <SDL/SDL_image.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "app/Platform.h"
#include "engine/Texture2D.h"
#include "io/DataSource.h"

// A read-only memory stream like SDL_RWFromMem, except that a read past the
// end fills the rest of the caller's buffer with zeros. SDL_image's PNG reader
// ignores short reads, so on a truncated file libpng would see the stale bytes
// of its previous read again and again and, when they repeat an ancillary
// chunk with a bad CRC, skip it forever. Zeros make an invalid chunk, which
// ends decoding with an error.
static int ZeroFillSeek(SDL_RWops* rw, int offset, int whence) {
    Uint8* base = rw->hidden.mem.base;
    Uint8* stop = rw->hidden.mem.stop;
    long position;
    switch (whence) {
    case SEEK_SET:
        position = offset;
        break;
    case SEEK_CUR:
        position = long(rw->hidden.mem.here - base) + offset;
        break;
    case SEEK_END:
        position = long(stop - base) + offset;
        break;
    default:
        SDL_SetError("Unknown value for 'whence'");
        return -1;
    }
    if (position < 0) position = 0;
    if (position > long(stop - base)) position = long(stop - base);
    rw->hidden.mem.here = base + position;
    return int(position);
}

static int ZeroFillRead(SDL_RWops* rw, void* ptr, int size, int count) {
    if (size <= 0 || count <= 0) return 0;
    size_t wanted = size_t(size) * size_t(count);  // both below 2^31: no overflow in 64 bits
    size_t available = size_t(rw->hidden.mem.stop - rw->hidden.mem.here);
    size_t copied = wanted < available ? wanted : available;
    memcpy(ptr, rw->hidden.mem.here, copied);
    memset(static_cast<Uint8*>(ptr) + copied, 0, wanted - copied);
    rw->hidden.mem.here += copied;
    return int(copied / size_t(size));
}

static int ZeroFillWrite(SDL_RWops*, const void*, int, int) {
    SDL_SetError("Can't write to read-only memory");
    return -1;
}

static int ZeroFillClose(SDL_RWops* rw) {
    SDL_FreeRW(rw);
    return 0;
}

static SDL_RWops* ZeroFillMemory(unsigned char* data, unsigned int length) {
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) return nullptr;
    rw->seek = ZeroFillSeek;
    rw->read = ZeroFillRead;
    rw->write = ZeroFillWrite;
    rw->close = ZeroFillClose;
    rw->hidden.mem.base = data;
    rw->hidden.mem.here = data;
    rw->hidden.mem.stop = data + length;
    return rw;
}

Texture2D* SDLImageLoader::Load(const char* url) {
    if (!Platform::current) return nullptr;
    DataSource* source = Platform::current->CreateDataSourceForURL(url);
    if (!source) return nullptr;

    unsigned int length = source->GetLength();
    // SDL's streams count in ints.
    if (length > unsigned(INT_MAX)) {
        delete source;
        return nullptr;
    }
    // At least one byte so an empty source still gets a buffer to hand SDL.
    unsigned char* encoded = new unsigned char[length ? length : 1];
    bool complete = length == 0 || source->Read(encoded, length) != nullptr;
    delete source;
    if (!complete) {
        // The source has reported the short read.
        delete[] encoded;
        return nullptr;
    }

    // IMG_Load_RW reports a null stream as an error of its own.
    SDL_Surface* surface = IMG_Load_RW(ZeroFillMemory(encoded, length), 1);
    delete[] encoded;
    if (!surface) {
        printf("SDLImageLoader::Load(): %s\n", SDL_GetError());
        return nullptr;
    }

    unsigned int format;
    switch (surface->format->BytesPerPixel) {
    case 4:
        format = Texture::TF_RGBA8;
        break;
    case 3:
        format = Texture::TF_RGB8;
        break;
    default:
        // Palettised, grey and 16-bit images have no upload format here.
        SDL_FreeSurface(surface);
        return nullptr;
    }

    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) < 0) {
        printf("SDLImageLoader::Load(): %s\n", SDL_GetError());
        SDL_FreeSurface(surface);
        return nullptr;
    }
    size_t pitch = surface->pitch;
    size_t height = size_t(surface->h);
    // Rows keep the surface's pitch (padding included) and are stored last row
    // first, so row 0 of the texture is the bottom of the image.
    unsigned char* pixels = new unsigned char[pitch * height];
    const unsigned char* src = static_cast<const unsigned char*>(surface->pixels);
    // An empty image may come without a pixel block.
    for (size_t row = 0; src && row < height; ++row)
        memcpy(pixels + row * pitch, src + (height - 1 - row) * pitch, pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);

    Texture2D* texture = new Texture2D();
    texture->format = format;
    texture->pixels = pixels;
    texture->width = unsigned(surface->w);
    texture->height = unsigned(surface->h);
    SDL_FreeSurface(surface);
    return texture;
}
