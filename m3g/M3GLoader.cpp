// The scene-file reader: identifier, sections (zlib or plain), the record
// table, and the entry into conversion.
#include "m3g/M3GLoader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <zlib.h>

#include "app/Platform.h"
#include "engine/Mesh.h"
#include "engine/Resource.h"
#include "engine/Scene.h"
#include "io/DataSource.h"
#include "io/ROMSource.h"
#include "m3g/AnimationController.h"
#include "m3g/AnimationTrack.h"
#include "m3g/Appearance.h"
#include "m3g/Background.h"
#include "m3g/Camera.h"
#include "m3g/CompositingMode.h"
#include "m3g/ExternalReference.h"
#include "m3g/Group.h"
#include "m3g/Header.h"
#include "m3g/Image2D.h"
#include "m3g/KeyframeSequence.h"
#include "m3g/Light.h"
#include "m3g/Material.h"
#include "m3g/Mesh.h"
#include "m3g/PolygonMode.h"
#include "m3g/SkinnedMesh.h"
#include "m3g/Texture2D.h"
#include "m3g/TriangleStripArray.h"
#include "m3g/VertexArray.h"
#include "m3g/VertexBuffer.h"
#include "m3g/World.h"

namespace {

// Section header (compression byte and two lengths) plus the trailing checksum.
const unsigned int kSectionOverhead = 13;
// zlib's deflate cannot compress better than about 1032:1; a section that
// claims more is damaged, and its length must not size an allocation.
const unsigned int kMaxInflateRatio = 1032;
// First output block of an inflation, when the section is not smaller.
const size_t kFirstInflateBlock = 64 * 1024;

}  // namespace

const unsigned char M3GLoader::identifier[12] = {0xAB, 0x4A, 0x53, 0x52, 0x31, 0x38,
                                                 0x34, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};

const char* const M3GLoader::nameFormats[kNameTypeCount] = {
    "Vomra_un_LightWorldTransform[%u]",
    "Vomra_un_LightLocalTransform[%u]",
    "Vomra_un_LightType[%u]",
    "Vomra_un_LightColor[%u]",
    "Vomra_un_LightAttenuationConstant[%u]",
    "Vomra_un_LightAttenuationLinear[%u]",
    "Vomra_un_LightAttenuationQuadratic[%u]",
    "Vomra_un_LightIntensity[%u]",
    "Vomra_un_LightSpotAngle[%u]",
    "Vomra_un_LightSpotExpotent[%u]",
    "Vomra_un_MaterialAmbient",
    "Vomra_un_MaterialDiffuse",
    "Vomra_un_MaterialEmissive",
    "Vomra_un_MaterialSpecular",
    "Vomra_un_MaterialShininess",
};

Scene* M3GLoader::Load(DataSource* source) {
    M3GLoader loader(source);
    try {
        loader.Load();
        return loader.CreateScene();
    } catch (const std::bad_alloc&) {
        // The records go with the loader, the objects converted so far with
        // the scene that owns them.
        delete loader.scene;
        loader.scene = nullptr;
        printf("M3GLoader::Load(): out of memory, the scene is empty\n");
        return new Scene();
    }
}

M3GLoader::M3GLoader(DataSource* source_)
    : source(source_), version(0), scene(nullptr), objects(10, 10), debugMesh(nullptr),
      fileBytes(0), inflatedBytes(0) {
    for (unsigned int i = 0; i < kObjectTypeCount; ++i) uniqIDs[i] = 0;
}

M3GLoader::~M3GLoader() {
    for (M3G::Object* object : objects) delete object;
}

void M3GLoader::Load() {
    if (!source) return;
    for (unsigned int i = 0; i < 12; ++i) {
        if (source->GetRemaining() == 0) {
            printf("M3GLoader::Load(): file ends after %u identifier bytes\n", i);
            return;
        }
        unsigned int c = unsigned(source->Read8()) & 0xFFu;
        if (c != identifier[i]) {
            printf("Identifier char %u is 0x%02x, should be 0x%02x\n", i, c, identifier[i]);
            return;
        }
    }
    version = 0;
    unsigned int length = source->GetLength();
    fileBytes = length;
    while (source->GetPosition() < length) {
        unsigned int start = source->GetPosition();
        unsigned int left = length - start;
        if (left < kSectionOverhead) {
            printf("M3GLoader::Load(): %u B after the last section, too few for one\n", left);
            break;
        }
        unsigned int compression = unsigned(source->Read8()) & 0xFFu;
        unsigned int total = unsigned(source->Read32());
        unsigned int uncompressed = unsigned(source->Read32());
        // A length below the overhead would not move past the section (0
        // would loop forever).
        if (total < kSectionOverhead) {
            printf("M3GLoader::Load(): section at %u claims %u B, %u B left\n", start, total, left);
            break;
        }
        // A section cut short by the end of the file still gives the records
        // it holds whole; its checksum, if any, is then among the data.
        unsigned int data = total - kSectionOverhead;
        if (total > left) {
            printf("M3GLoader::Load(): section at %u claims %u B, %u B left\n", start, total, left);
            total = left;
            data = left - (kSectionOverhead - 4);
        }
        // A section without objects is skipped; the checksum is not checked.
        if (uncompressed != 0) {
            if (compression == 1) {
                std::unique_ptr<DataSource> inflated(DecompressSection(source, data, uncompressed));
                if (inflated) {
                    inflatedBytes += inflated->GetLength();
                    LoadSection(inflated.get(), inflated->GetLength());
                }
            } else {
                if (uncompressed > data) {
                    printf("M3GLoader::Load(): section at %u holds %u B of objects in %u B\n",
                           start, uncompressed, data);
                    uncompressed = data;
                }
                inflatedBytes += uncompressed;
                LoadSection(source, uncompressed);
            }
        }
        source->SetPosition(start + total);
    }
    unsigned long long input = fileBytes > inflatedBytes ? fileBytes : inflatedBytes;
    budget = kBytesPerInputByte * input + kBaseBudget;
}

DataSource* M3GLoader::DecompressSection(DataSource* source, unsigned int compressedLength,
                                         unsigned int uncompressedLength) {
    if (uncompressedLength / kMaxInflateRatio > compressedLength ||
        compressedLength > source->GetRemaining()) {
        printf("M3GLoader::DecompressSection(): %u B cannot inflate to %u B\n", compressedLength,
               uncompressedLength);
        return nullptr;
    }
    // The output grows as the stream yields bytes, up to the length the
    // section claims: a claim the stream does not back costs nothing.
    size_t capacity = size_t(compressedLength) * 4;
    if (capacity < kFirstInflateBlock) capacity = kFirstInflateBlock;
    if (capacity > uncompressedLength) capacity = uncompressedLength;
    unsigned char* in =
        static_cast<unsigned char*>(malloc(compressedLength ? compressedLength : 1));
    unsigned char* out = static_cast<unsigned char*>(malloc(capacity ? capacity : 1));
    if (!in || !out || !source->Read(in, compressedLength)) {
        printf("M3GLoader::DecompressSection(): can't read %u B\n", compressedLength);
        free(in);
        free(out);
        return nullptr;
    }
    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    int result = inflateInit(&stream);
    if (result != Z_OK) {
        printf("M3GLoader::DecompressSection(): can't initialize zlib stream: %d\n", result);
        free(in);
        free(out);
        return nullptr;
    }
    stream.next_in = in;
    stream.avail_in = compressedLength;
    size_t produced = 0;
    for (;;) {
        stream.next_out = out + produced;
        stream.avail_out = unsigned(capacity - produced);
        result = inflate(&stream, Z_NO_FLUSH);
        produced = capacity - stream.avail_out;
        if (result == Z_STREAM_END || result == Z_MEM_ERROR || result == Z_DATA_ERROR ||
            result == Z_NEED_DICT)
            break;
        // Room left over means the input ran out; a full buffer at the
        // claimed length ends the section, whatever the stream holds after.
        if (produced < capacity || capacity == uncompressedLength) break;
        size_t grown = capacity * 2 < uncompressedLength ? capacity * 2 : uncompressedLength;
        unsigned char* larger = static_cast<unsigned char*>(realloc(out, grown));
        if (!larger) {
            result = Z_MEM_ERROR;
            break;
        }
        out = larger;
        capacity = grown;
    }
    inflateEnd(&stream);
    free(in);
    if (result == Z_MEM_ERROR || result == Z_DATA_ERROR || result == Z_NEED_DICT) {
        printf("M3GLoader::DecompressSection(): decompression failed: %d\n", result);
        free(out);
        return nullptr;
    }
    // Only what the stream gave is read: zeros standing in for the rest would
    // be taken for records.
    if (produced < uncompressedLength)
        printf("M3GLoader::DecompressSection(): stream ends after %u of %u B\n",
               unsigned(produced), uncompressedLength);
    ROMSource* inflated = new (std::nothrow) ROMSource(out, unsigned(produced), true);
    if (!inflated) {
        free(out);
        throw std::bad_alloc();
    }
    return inflated;
}

void M3GLoader::LoadSection(DataSource* data, unsigned int length) {
    unsigned int remaining = length;
    while (remaining > 0) {
        // Each record is read from a copy of its own bytes, so no constructor
        // can read into the next record or past the section.
        if (remaining < 5 || data->GetRemaining() < 5) {
            printf("M3GLoader::LoadSection(): %u B left, too few for an object\n", remaining);
            return;
        }
        unsigned int type = unsigned(data->Read8()) & 0xFFu;
        unsigned int size = unsigned(data->Read32());
        remaining -= 5;
        if (size > remaining || size > data->GetRemaining()) {
            printf(
                "M3GLoader::LoadSection(): object of type %u and %u B runs past its section "
                "(%u B left)\n",
                type, size, remaining);
            return;
        }
        remaining -= size;
        unsigned char* bytes = static_cast<unsigned char*>(malloc(size ? size : 1));
        if (!bytes || (size && !data->Read(bytes, size))) {
            printf("M3GLoader::LoadSection(): can't read an object of %u B\n", size);
            free(bytes);
            return;
        }
        ROMSource record(bytes, size, true);
        // Room first, so that a record once made always finds its place.
        if (objects.Size() == objects.Capacity() && !objects.Reserve(objects.Capacity() * 2))
            throw std::bad_alloc();
        M3G::Object* object = CreateObject(type, size, &record);
        if (!object) printf("usupported object %u, %u B\n", type, size);
        objects.Add(object);
        if (object && object->GetType() == M3G::Object::T_Header)
            version = static_cast<M3G::Header*>(object)->GetLoaderVersion();
    }
}

M3G::Object* M3GLoader::CreateObject(unsigned int type, unsigned int length, DataSource* data) {
    switch (type) {
    case M3G::Object::T_Header:
        return new M3G::Header(data, length);
    case M3G::Object::T_AnimationController:
        return new M3G::AnimationController(data, this);
    case M3G::Object::T_AnimationTrack:
        return new M3G::AnimationTrack(data, this);
    case M3G::Object::T_Appearance:
        return new M3G::Appearance(data, this);
    case M3G::Object::T_Background:
        return new M3G::Background(data, this);
    case M3G::Object::T_Camera:
        return new M3G::Camera(data, this);
    case M3G::Object::T_CompositingMode:
        return new M3G::CompositingMode(data, this);
    case M3G::Object::T_PolygonMode:
        return new M3G::PolygonMode(data, this);
    case M3G::Object::T_Group:
        return new M3G::Group(data, this);
    case M3G::Object::T_Image2D:
        return new M3G::Image2D(data, this);
    case M3G::Object::T_TriangleStripArray:
        return new M3G::TriangleStripArray(data, this);
    case M3G::Object::T_Light:
        return new M3G::Light(data, this);
    case M3G::Object::T_Material:
        return new M3G::Material(data, this);
    case M3G::Object::T_Mesh:
        return new M3G::Mesh(data, this);
    case M3G::Object::T_SkinnedMesh:
        return new M3G::SkinnedMesh(data, this);
    case M3G::Object::T_Texture2D:
        return new M3G::Texture2D(data, this);
    case M3G::Object::T_KeyframeSequence:
        return new M3G::KeyframeSequence(data, this);
    case M3G::Object::T_VertexArray:
        return new M3G::VertexArray(data, this);
    case M3G::Object::T_VertexBuffer:
        return new M3G::VertexBuffer(data, this);
    case M3G::Object::T_World:
        return new M3G::World(data, this);
    case M3G::Object::T_ExternalReference:
        return new M3G::ExternalReference(data, length);
    default:
        return nullptr;
    }
}

Scene* M3GLoader::CreateScene() {
    scene = new Scene();
    // Most records become one object.
    if (!scene->objects.Reserve(objects.Size() + 16)) throw std::bad_alloc();
    unsigned long long granted = budget;
    for (M3G::Object* object : objects) {
        if (overBudget) break;
        if (object && object->GetType() == M3G::Object::T_World)
            static_cast<M3G::World*>(object)->CreateTechnique();
    }
    if (overBudget) {
        printf("M3GLoader::CreateScene(): the scene needs more than %llu B, it is left empty\n",
               granted);
        delete scene;
        scene = nullptr;
        debugMesh = nullptr;
        scene = new Scene();
    } else {
        scene->convertedBytes = granted - budget;
    }
    return scene;
}

Scene* M3GLoader::GetScene() {
    return scene;
}

unsigned int M3GLoader::GetVersion() {
    return version;
}

M3G::Object* M3GLoader::GetObject(unsigned int index) {
    if (index == 0 || index > objects.Size()) return nullptr;
    return objects[index - 1];
}

M3G::Object* M3GLoader::GetObject(unsigned int index, M3G::Object::Type type) {
    M3G::Object* object = GetObject(index);
    return object && object->GetType() == type ? object : nullptr;
}

Mesh* M3GLoader::GetDebugMesh() {
    if (debugMesh) return debugMesh;
    if (!Platform::current || !scene) return nullptr;
    DataSource* file = Platform::current->CreateDataSourceForURL("file://./M3GDebug.m3g");
    if (!file) return nullptr;
    Scene* markerScene = Load(file);
    delete file;
    Vector<SceneObject*> resources;
    markerScene->FindAll(SceneObject::SOT_Resource, &resources);
    for (SceneObject* object : resources) {
        Resource* resource = static_cast<Resource*>(object);
        if (resource->GetType() != Resource::RT_Mesh) continue;
        markerScene->objects.Remove(object);
        debugMesh = static_cast<Mesh*>(resource);
        scene->objects.Add(debugMesh);
        break;
    }
    delete markerScene;
    return debugMesh;
}

unsigned int M3GLoader::GetUniqID(ObjectType type) {
    if (unsigned(type) >= kObjectTypeCount) return 0;
    return uniqIDs[type]++;
}

char* M3GLoader::CreateName(NameType type, unsigned int index) {
    char* name = new char[100];
    name[0] = 0;
    if (unsigned(type) < kNameTypeCount) snprintf(name, 100, nameFormats[type], index);
    return name;
}
