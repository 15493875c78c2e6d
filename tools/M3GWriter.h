// The scene-file writer of m3g-scene and the benchmarks: records appended
// field by field, the file laid out in sections, and the helpers that write
// geometry, textures, appearances, cameras, lights and animation tracks.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>

namespace m3gwriter {

const unsigned char sc_identifier[12] = {0xAB, 0x4A, 0x53, 0x52, 0x31, 0x38,
                                         0x34, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
const char kAuthoring[] = "vomra m3g-scene";
const float kTwoPi = 6.28318530718f;

// Object type codes of the records written here.
enum RecordType : unsigned char {
    kHeader = 0,
    kAnimationController = 1,
    kAnimationTrack = 2,
    kAppearance = 3,
    kBackground = 4,
    kCamera = 5,
    kPolygonMode = 8,
    kGroup = 9,
    kImage2D = 10,
    kTriangleStripArray = 11,
    kLight = 12,
    kMaterial = 13,
    kMesh = 14,
    kSkinnedMesh = 16,
    kTexture2D = 17,
    kKeyframeSequence = 19,
    kVertexArray = 20,
    kVertexBuffer = 21,
    kWorld = 22,
};

// User ids that scripts and tests look nodes up by.
enum UserId : uint32_t {
    kWorldId = 1,
    kBackgroundId = 2,
    kCameraId = 10,
    kDirectionalLightId = 20,
    kAmbientLightId = 21,
    kGroupId = 30,
    kMeshId = 40,
    kVertexBufferId = 41,
    kPositionsId = 42,
    kNormalsId = 43,
    kTexCoordsId = 44,
    kStripsId = 45,
    kAppearanceId = 46,
    kMaterialId = 47,
    kPolygonModeId = 48,
    kControllerId = 50,
    kTrackId = 51,
    kSequenceId = 52,
    kTextureId = 53,
    kImageId = 54,
    kSkinnedMeshId = 60,
    kEyeMeshId = 61,
    kSkeletonId = 99,
    kFirstBoneId = 100,  // bone k has id 100 + k, its track 200 + k
    kFirstBoneTrackId = 200,
};

// Little-endian field appender for one record's data. Fields that only one
// layout has are written according to `v2`.
class Writer {
public:
    explicit Writer(bool v2_) : v2(v2_) {}

    Writer& U8(unsigned int v) {
        bytes.push_back(static_cast<unsigned char>(v));
        return *this;
    }
    Writer& Bool(bool v) { return U8(v ? 1 : 0); }
    Writer& U16(unsigned int v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
    Writer& I16(int v) { return U16(static_cast<uint16_t>(v)); }
    Writer& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Writer& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    Writer& F32(float v) {
        uint32_t bits;
        memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Writer& RGB(unsigned int r, unsigned int g, unsigned int b) { return U8(r).U8(g).U8(b); }
    Writer& RGBA(unsigned int r, unsigned int g, unsigned int b, unsigned int a) {
        return RGB(r, g, b).U8(a);
    }
    Writer& Raw(const std::vector<unsigned char>& v) {
        bytes.insert(bytes.end(), v.begin(), v.end());
        return *this;
    }
    // User id, animation tracks, no user parameters.
    Writer& Object3D(uint32_t userId, const std::vector<uint32_t>& tracks = {}) {
        U32(userId).U32(uint32_t(tracks.size()));
        for (uint32_t t : tracks) {
            U32(t);
            if (v2) U32(0);
        }
        U32(0);
        if (v2) Bool(false);
        return *this;
    }
    // A component transform (angle in degrees about a unit axis), no matrix.
    Writer& Transform(const float t[3], float angle, const float axis[3],
                      const float scale[3] = nullptr) {
        Bool(true).F32(t[0]).F32(t[1]).F32(t[2]);
        if (scale)
            F32(scale[0]).F32(scale[1]).F32(scale[2]);
        else
            F32(1.0f).F32(1.0f).F32(1.0f);
        return F32(angle).F32(axis[0]).F32(axis[1]).F32(axis[2]).Bool(false);
    }
    Writer& Translation(float x, float y, float z) {
        const float t[3] = {x, y, z}, axis[3] = {0.0f, 0.0f, 1.0f};
        return Transform(t, 0.0f, axis);
    }
    Writer& NoTransform() { return Bool(false).Bool(false); }
    // Rendering and picking on, opaque, every scope, no alignment.
    Writer& NodeFields() {
        Bool(true).Bool(true).U8(255).U32(0xFFFFFFFFu).Bool(false);
        if (v2) U32(0);
        return *this;
    }

    bool v2;
    std::vector<unsigned char> bytes;
};

// The records of a file in order; Add returns the new record's object index.
class SceneFile {
public:
    explicit SceneFile(bool v2_) : v2(v2_) {}

    Writer NewRecord() const { return Writer(v2); }
    uint32_t Add(RecordType type, const Writer& data) {
        records.push_back({type, data.bytes});
        return uint32_t(records.size()) + 1;  // the header is index 1
    }
    size_t Count() const { return records.size() + 1; }

    // Header section (plain, as readers expect to find the header before
    // anything is inflated), then zlib sections with every other record: one,
    // or as many as it takes to keep each under sectionBytes of records (a
    // record larger than that gets a section of its own).
    bool Build(std::vector<unsigned char>* file) const {
        std::vector<std::vector<unsigned char>> bodies(1), packed;
        for (const Record& r : records) {
            size_t length = 5 + r.data.size();
            if (sectionBytes && !bodies.back().empty() &&
                bodies.back().size() + length > sectionBytes)
                bodies.emplace_back();
            AppendRecord(&bodies.back(), r.type, r.data);
        }
        const size_t headerData = 2 + 1 + 4 + 4 + sizeof(kAuthoring);
        const size_t headerSection = 9 + 5 + headerData + 4;
        size_t total = sizeof(sc_identifier) + headerSection;
        for (const std::vector<unsigned char>& body : bodies) {
            uLongf packedLength = compressBound(uLong(body.size()));
            packed.emplace_back(packedLength);
            if (compress2(packed.back().data(), &packedLength, body.data(), uLong(body.size()),
                          level) != Z_OK)
                return false;
            packed.back().resize(packedLength);
            total += 9 + packedLength + 4;
        }
        if (total > 0xFFFFFFFFu) return false;
        Writer header(v2);
        // Major byte, minor byte: 1.0 or 2.0.
        header.U8(v2 ? 2 : 1).U8(0).Bool(false).U32(uint32_t(total)).U32(uint32_t(total));
        for (char c : kAuthoring) header.U8(static_cast<unsigned char>(c));
        std::vector<unsigned char> headerRecord;
        AppendRecord(&headerRecord, kHeader, header.bytes);

        file->assign(sc_identifier, sc_identifier + sizeof(sc_identifier));
        AppendSection(file, 0, headerRecord, headerRecord);
        for (size_t i = 0; i < bodies.size(); ++i) AppendSection(file, 1, packed[i], bodies[i]);
        return file->size() == total;
    }

    bool v2;
    size_t sectionBytes = 0;  // 0: one section for every record
    int level = Z_BEST_COMPRESSION;

private:
    struct Record {
        RecordType type;
        std::vector<unsigned char> data;
    };

    static void AppendRecord(std::vector<unsigned char>* out, RecordType type,
                             const std::vector<unsigned char>& data) {
        Writer w(false);
        w.U8(type).U32(uint32_t(data.size())).Raw(data);
        out->insert(out->end(), w.bytes.begin(), w.bytes.end());
    }

    // The checksum is the Adler-32 of every section byte before it.
    static void AppendSection(std::vector<unsigned char>* out, unsigned int compression,
                              const std::vector<unsigned char>& stored,
                              const std::vector<unsigned char>& plain) {
        Writer w(false);
        w.U8(compression).U32(uint32_t(9 + stored.size() + 4)).U32(uint32_t(plain.size()));
        w.Raw(stored);
        uLong sum = adler32(0L, Z_NULL, 0);
        sum = adler32(sum, w.bytes.data(), uInt(w.bytes.size()));
        w.U32(uint32_t(sum));
        out->insert(out->end(), w.bytes.begin(), w.bytes.end());
    }

    std::vector<Record> records;
};

struct Vec {
    float x, y, z;
};
inline Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec Add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec Scale(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec Normalize(Vec a) {
    float len = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return len > 0.0f ? Scale(a, 1.0f / len) : a;
}

// Geometry before quantisation; strips index the vertex list back to back.
struct Geometry {
    std::vector<Vec> positions;
    std::vector<Vec> normals;
    std::vector<float> texCoords;  // u, v per vertex
    std::vector<uint32_t> stripLengths;
    std::vector<uint32_t> indices;
};


// UV sphere: one strip per band of latitude, poles included.
inline Geometry MakeSphere(Vec centre, float radius, int bands, int sides) {
    Geometry g;
    for (int b = 0; b <= bands; ++b) {
        float polar = 3.14159265f * float(b) / float(bands);
        for (int s = 0; s <= sides; ++s) {
            float a = kTwoPi * float(s % sides) / float(sides);
            Vec n = {std::sin(polar) * std::cos(a), std::cos(polar), -std::sin(polar) * std::sin(a)};
            g.positions.push_back(Add(centre, Scale(n, radius)));
            g.normals.push_back(n);
            g.texCoords.push_back(float(s) / float(sides));
            g.texCoords.push_back(float(b) / float(bands));
        }
    }
    const uint32_t ring = uint32_t(sides) + 1;
    for (uint32_t b = 0; b < uint32_t(bands); ++b) {
        for (uint32_t s = 0; s <= uint32_t(sides); ++s) {
            g.indices.push_back(b * ring + s);
            g.indices.push_back((b + 1) * ring + s);
        }
        g.stripLengths.push_back(2 * ring);
    }
    return g;
}

inline int Quantize(float v, float limit) {
    float q = std::floor(v + 0.5f);
    return int(q > limit ? limit : (q < -limit ? -limit : q));
}

// Writes the vertex arrays, buffer and strips of g; returns the buffer's and
// the strips' indices. Texture coordinates go through the file's texture
// coordinate scale only when `texScale` is not 0.
inline void AddGeometry(SceneFile* file, const Geometry& g, uint32_t* vertexBuffer,
                        uint32_t* strips) {
    const unsigned int count = unsigned(g.positions.size());
    // 16-bit positions: bias = the box centre, scale = half the largest extent
    // over the largest 16-bit value.
    Vec lo = g.positions[0], hi = g.positions[0];
    for (const Vec& p : g.positions) {
        lo = {std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z)};
        hi = {std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z)};
    }
    Vec bias = Scale(Add(lo, hi), 0.5f);
    float extent = std::fmax(hi.x - lo.x, std::fmax(hi.y - lo.y, hi.z - lo.z)) * 0.5f;
    float scale = extent > 0.0f ? extent / 32767.0f : 1.0f;
    Writer positions = file->NewRecord();
    positions.Object3D(kPositionsId).U8(2).U8(3).U8(0).U16(count);
    for (const Vec& p : g.positions)
        positions.I16(Quantize((p.x - bias.x) / scale, 32767.0f))
            .I16(Quantize((p.y - bias.y) / scale, 32767.0f))
            .I16(Quantize((p.z - bias.z) / scale, 32767.0f));
    uint32_t positionArray = file->Add(kVertexArray, positions);

    Writer normals = file->NewRecord();
    normals.Object3D(kNormalsId).U8(1).U8(3).U8(0).U16(count);
    for (const Vec& n : g.normals)
        normals.U8(uint8_t(Quantize(n.x * 127.0f, 127.0f)))
            .U8(uint8_t(Quantize(n.y * 127.0f, 127.0f)))
            .U8(uint8_t(Quantize(n.z * 127.0f, 127.0f)));
    uint32_t normalArray = file->Add(kVertexArray, normals);

    // 16-bit texture coordinates in steps of 1/2048 (up to 16 repeats).
    const float texScale = 1.0f / 2048.0f;
    Writer texCoords = file->NewRecord();
    texCoords.Object3D(kTexCoordsId).U8(2).U8(2).U8(0).U16(count);
    for (float c : g.texCoords) texCoords.I16(Quantize(c / texScale, 32767.0f));
    uint32_t texCoordArray = file->Add(kVertexArray, texCoords);

    Writer buffer = file->NewRecord();
    buffer.Object3D(kVertexBufferId).RGBA(255, 255, 255, 255);
    buffer.U32(positionArray).F32(bias.x).F32(bias.y).F32(bias.z).F32(scale);
    buffer.U32(normalArray).U32(0);
    buffer.U32(1).U32(texCoordArray).F32(0.0f).F32(0.0f).F32(0.0f).F32(texScale);
    if (file->v2) buffer.U32(0).U32(0).U32(0);  // no named attributes
    *vertexBuffer = file->Add(kVertexBuffer, buffer);

    // Explicit indices in the narrowest encoding that holds them.
    Writer stripArray = file->NewRecord();
    stripArray.Object3D(kStripsId);
    if (count <= 0x100) {
        stripArray.U8(129).U32(uint32_t(g.indices.size()));
        for (uint32_t i : g.indices) stripArray.U8(i);
    } else {
        stripArray.U8(130).U32(uint32_t(g.indices.size()));
        for (uint32_t i : g.indices) stripArray.U16(i);
    }
    stripArray.U32(uint32_t(g.stripLengths.size()));
    for (uint32_t length : g.stripLengths) stripArray.U32(length);
    *strips = file->Add(kTriangleStripArray, stripArray);
}

// A picture stored in the file: RGB pixels, or palette indices into an RGB
// palette when `palette` is not empty.
struct Picture {
    unsigned int width, height;
    std::vector<unsigned char> palette;
    std::vector<unsigned char> pixels;
};

// Image2D and Texture2D (repeating, linear, no mipmaps) with a scaling
// texture transform; returns the texture's index.
inline uint32_t AddTexture(SceneFile* file, const Picture& picture, float repeatU, float repeatV) {
    Writer image = file->NewRecord();
    image.Object3D(kImageId).U8(99).Bool(false).U32(picture.width).U32(picture.height);
    image.U32(uint32_t(picture.palette.size())).Raw(picture.palette);
    image.U32(uint32_t(picture.pixels.size())).Raw(picture.pixels);
    if (file->v2) image.Bool(false).U8(0);  // no further levels
    uint32_t imageIndex = file->Add(kImage2D, image);

    const float origin[3] = {0.0f, 0.0f, 0.0f}, axis[3] = {0.0f, 0.0f, 1.0f};
    const float repeat[3] = {repeatU, repeatV, 1.0f};
    Writer texture = file->NewRecord();
    texture.Object3D(kTextureId).Transform(origin, 0.0f, axis, repeat).U32(imageIndex);
    if (file->v2) texture.U8(208).U8(209);  // base level, linear
    texture.RGBA(0, 0, 0, 0).U8(228).U8(241).U8(241);  // blend colour, modulate, repeat
    if (!file->v2) texture.U8(208).U8(209);
    return file->Add(kTexture2D, texture);
}

// Material, polygon mode (1.0 only: the 2.0 appearance has no such field)
// and appearance; returns the appearance's index.
inline uint32_t AddAppearance(SceneFile* file, unsigned int r, unsigned int g, unsigned int b,
                       uint32_t texture = 0, float shininess = 48.0f) {
    Writer material = file->NewRecord();
    material.Object3D(kMaterialId).RGB(r / 3, g / 3, b / 3).RGBA(r, g, b, 255);
    material.RGB(0, 0, 0).RGB(255, 255, 255).F32(shininess).Bool(false);
    uint32_t materialIndex = file->Add(kMaterial, material);
    uint32_t polygonModeIndex = 0;
    if (!file->v2) {
        // Back-face culling, smooth shading, counter-clockwise front faces.
        Writer polygonMode = file->NewRecord();
        polygonMode.Object3D(kPolygonModeId).U8(160).U8(165).U8(168);
        polygonMode.Bool(false).Bool(false).Bool(true);
        polygonModeIndex = file->Add(kPolygonMode, polygonMode);
    }
    Writer appearance = file->NewRecord();
    appearance.Object3D(kAppearanceId).U8(0).U32(0);  // layer 0, no compositing mode
    if (file->v2) appearance.U32(0).U32(0);
    appearance.U32(0);  // no fog
    appearance.U32(file->v2 ? 0 : polygonModeIndex).U32(materialIndex);
    if (texture)
        appearance.U32(1).U32(texture);
    else
        appearance.U32(0);
    return file->Add(kAppearance, appearance);
}

// Unrotated, it looks down -Z; perspective, 45 degrees.
inline uint32_t AddCamera(SceneFile* file, Vec position = {0.0f, 0.0f, 6.0f}, float tilt = 0.0f) {
    const float at[3] = {position.x, position.y, position.z}, axis[3] = {1.0f, 0.0f, 0.0f};
    Writer camera = file->NewRecord();
    camera.Object3D(kCameraId).Transform(at, tilt, axis).NodeFields();
    camera.U8(50).F32(45.0f).F32(4.0f / 3.0f).F32(0.1f).F32(100.0f);
    return file->Add(kCamera, camera);
}

// mode 128 ambient, 129 directional (shining down its -Z).
inline uint32_t AddLight(SceneFile* file, uint32_t id, unsigned int mode, unsigned int grey,
                  float angle, const float axis[3]) {
    static const float sc_origin[3] = {0.0f, 0.0f, 0.0f};
    Writer light = file->NewRecord();
    light.Object3D(id).Transform(sc_origin, angle, axis).NodeFields();
    light.F32(1.0f).F32(0.0f).F32(0.0f).RGB(grey, grey, grey).U8(mode);
    light.F32(1.0f).F32(45.0f).F32(0.0f);
    return file->Add(kLight, light);
}

// The sun and the ambient light every lit kind shares.
inline void AddLights(SceneFile* file, uint32_t* sun, uint32_t* ambient) {
    const float sunAxis[3] = {-0.6f, 0.8f, 0.0f};
    *sun = AddLight(file, kDirectionalLightId, 129, 255, 40.0f, sunAxis);
    const float noAxis[3] = {0.0f, 0.0f, 1.0f};
    *ambient = AddLight(file, kAmbientLightId, 128, 64, 0.0f, noAxis);
}

inline uint32_t AddBackground(SceneFile* file, unsigned int r, unsigned int g, unsigned int b) {
    Writer background = file->NewRecord();
    background.Object3D(kBackgroundId).RGBA(r, g, b, 255).U32(0).U8(32).U8(32);
    background.I32(0).I32(0).I32(0).I32(0).Bool(true);  // depth clear
    if (file->v2)
        background.Bool(false).F32(1.0f).U32(0).U32(0);  // no stencil clear
    else
        background.Bool(true);  // colour clear
    return file->Add(kBackground, background);
}

inline uint32_t AddMesh(SceneFile* file, uint32_t id, const Geometry& g, uint32_t appearance) {
    uint32_t vertexBuffer = 0, strips = 0;
    AddGeometry(file, g, &vertexBuffer, &strips);
    Writer mesh = file->NewRecord();
    mesh.Object3D(id).NoTransform().NodeFields();
    mesh.U32(vertexBuffer).U32(1).U32(strips).U32(appearance);
    return file->Add(kMesh, mesh);
}

inline uint32_t AddController(SceneFile* file) {
    Writer controller = file->NewRecord();
    controller.Object3D(kControllerId).F32(1.0f).F32(1.0f).I32(0).I32(0).F32(0.0f).I32(0);
    return file->Add(kAnimationController, controller);
}

// A looping slerp sequence of unit quaternions (x, y, z, w) keyed evenly over
// `duration` ms, and the orientation track that plays it.
inline uint32_t AddOrientationTrack(SceneFile* file, uint32_t controller, uint32_t trackId,
                             uint32_t duration, const std::vector<float>& quaternions) {
    const uint32_t keys = uint32_t(quaternions.size() / 4);
    Writer sequence = file->NewRecord();
    sequence.Object3D(kSequenceId).U8(177).U8(193).U8(0);  // slerp, loop, floats
    sequence.U32(duration).U32(0).U32(keys - 1).U32(4).U32(keys);
    if (file->v2) sequence.U32(1);  // one channel
    for (uint32_t k = 0; k < keys; ++k) {
        sequence.U32(k * duration / keys);
        for (int c = 0; c < 4; ++c) sequence.F32(quaternions[4 * k + c]);
    }
    uint32_t sequenceIndex = file->Add(kKeyframeSequence, sequence);
    Writer track = file->NewRecord();
    track.Object3D(trackId).U32(sequenceIndex).U32(controller).U32(268);  // orientation
    return file->Add(kAnimationTrack, track);
}

// Two full turns per loop, keys every 180 degrees: consecutive keys are a
// quarter circle apart in quaternion space and the last key slerps forward
// into the first, since 720 degrees brings the quaternion back to itself (a
// single turn would end on its negation).
inline uint32_t AddSpin(SceneFile* file, uint32_t controller, const float axis[3],
                        uint32_t duration) {
    static const float sc_halfTurn[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};  // sin, cos
    std::vector<float> keys;
    for (const float* k : sc_halfTurn) {
        for (int c = 0; c < 3; ++c) keys.push_back(axis[c] * k[0]);
        keys.push_back(k[1]);
    }
    return AddOrientationTrack(file, controller, kTrackId, duration, keys);
}

}  // namespace m3gwriter
