// m3g-info FILE: reads a scene file and prints how many objects of each type
// it holds ("Mesh: 2"), in type-code order. Exit status 1 when the file cannot
// be read or is not a scene file, 2 on wrong usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"

namespace {

struct TypeName {
    unsigned int code;
    const char* name;
};

const TypeName sc_typeNames[] = {
    {0, "Header"},
    {1, "AnimationController"},
    {2, "AnimationTrack"},
    {3, "Appearance"},
    {4, "Background"},
    {5, "Camera"},
    {6, "CompositingMode"},
    {8, "PolygonMode"},
    {9, "Group"},
    {10, "Image2D"},
    {11, "TriangleStripArray"},
    {12, "Light"},
    {13, "Material"},
    {14, "Mesh"},
    {16, "SkinnedMesh"},
    {17, "Texture2D"},
    {19, "KeyframeSequence"},
    {20, "VertexArray"},
    {21, "VertexBuffer"},
    {22, "World"},
    {255, "ExternalReference"},
};

// The whole file in a malloc block, or null.
unsigned char* ReadWhole(const char* path, unsigned int* length) {
    FILE* f = fopen(path, "rb");
    if (!f) return nullptr;
    unsigned char* data = nullptr;
    if (fseek(f, 0, SEEK_END) == 0) {
        long size = ftell(f);
        if (size >= 0 && (unsigned long)size < 0xFFFFFFFFul && fseek(f, 0, SEEK_SET) == 0) {
            data = static_cast<unsigned char*>(malloc(size ? size : 1));
            if (data && fread(data, 1, size, f) != (size_t)size) {
                free(data);
                data = nullptr;
            }
            *length = unsigned(size);
        }
    }
    fclose(f);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: m3g-info FILE\n");
        return 2;
    }
    unsigned int length = 0;
    unsigned char* data = ReadWhole(argv[1], &length);
    if (!data) {
        fprintf(stderr, "m3g-info: can't read %s\n", argv[1]);
        return 1;
    }
    if (length < sizeof(M3GLoader::identifier) ||
        memcmp(data, M3GLoader::identifier, sizeof(M3GLoader::identifier)) != 0) {
        fprintf(stderr, "m3g-info: %s is not a scene file\n", argv[1]);
        free(data);
        return 1;
    }
    ROMSource source(data, length, true);
    M3GLoader loader(&source);
    loader.Load();
    unsigned int unsupported = 0;
    for (M3G::Object* object : loader.objects)
        if (!object) ++unsupported;
    for (const TypeName& type : sc_typeNames) {
        unsigned int count = 0;
        for (M3G::Object* object : loader.objects)
            if (object && unsigned(object->GetType()) == type.code) ++count;
        if (count) printf("%s: %u\n", type.name, count);
    }
    if (unsupported) printf("unsupported: %u\n", unsupported);
    return 0;
}
