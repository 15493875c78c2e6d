// m3g-scene OUT.m3g [KIND]: writes a complete scene file for the demo and the
// tests: a lit, textured, turning torus knot, a small static cube, or a
// skinned, textured serpent swimming on the beat. Each kind is written in the
// version 1.0 layout, or in the 2.0 layout when its name ends in 2.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

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
    // anything is inflated), then one zlib section with every other record.
    bool Build(std::vector<unsigned char>* file) const {
        std::vector<unsigned char> body;
        for (const Record& r : records) AppendRecord(&body, r.type, r.data);
        uLongf packedLength = compressBound(uLong(body.size()));
        std::vector<unsigned char> packed(packedLength);
        if (compress2(packed.data(), &packedLength, body.data(), uLong(body.size()),
                      Z_BEST_COMPRESSION) != Z_OK)
            return false;
        packed.resize(packedLength);

        const size_t headerData = 2 + 1 + 4 + 4 + sizeof(kAuthoring);
        const size_t headerSection = 9 + 5 + headerData + 4;
        const size_t total = sizeof(sc_identifier) + headerSection + 9 + packed.size() + 4;
        if (total > 0xFFFFFFFFu) return false;
        Writer header(v2);
        // Major byte, minor byte: 1.0 or 2.0.
        header.U8(v2 ? 2 : 1).U8(0).Bool(false).U32(uint32_t(total)).U32(uint32_t(total));
        for (char c : kAuthoring) header.U8(static_cast<unsigned char>(c));
        std::vector<unsigned char> headerRecord;
        AppendRecord(&headerRecord, kHeader, header.bytes);

        file->assign(sc_identifier, sc_identifier + sizeof(sc_identifier));
        AppendSection(file, 0, headerRecord, headerRecord);
        AppendSection(file, 1, packed, body);
        return file->size() == total;
    }

    bool v2;

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
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec Scale(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Normalize(Vec a) {
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

// (2, 3) torus knot swept by a circular tube. Ring and seam vertices are
// doubled so that texture coordinates run 0..1 without wrapping. The strands
// pass each other 0.9 apart at the crossings, well clear of the tube's
// 0.44 diameter.
const int kKnotSegments = 192;
const int kKnotSides = 16;

Vec KnotPoint(float t) {
    const float p = 2.0f, q = 3.0f, radius = 1.2f, tube = 0.45f;
    float r = radius + tube * std::cos(q * t);
    return {r * std::cos(p * t), r * std::sin(p * t), tube * std::sin(q * t)};
}

Geometry MakeKnot() {
    const float kTubeRadius = 0.22f;
    Geometry g;
    for (int i = 0; i <= kKnotSegments; ++i) {
        float t = kTwoPi * float(i % kKnotSegments) / kKnotSegments;
        Vec c = KnotPoint(t), ahead = KnotPoint(t + 0.01f);
        // A frame along the curve: tangent, and a normal leaning away from
        // the centre; binormal = tangent x normal keeps it right-handed, so
        // the strips below face outwards.
        Vec tangent = Sub(ahead, c);
        Vec binormal = Normalize(Cross(tangent, Add(ahead, c)));
        Vec normal = Normalize(Cross(binormal, tangent));
        for (int j = 0; j <= kKnotSides; ++j) {
            float a = kTwoPi * float(j % kKnotSides) / kKnotSides;
            Vec n = Add(Scale(normal, std::cos(a)), Scale(binormal, std::sin(a)));
            g.positions.push_back(Add(c, Scale(n, kTubeRadius)));
            g.normals.push_back(n);
            g.texCoords.push_back(8.0f * float(i) / kKnotSegments);
            g.texCoords.push_back(float(j) / kKnotSides);
        }
    }
    // One strip per side of the tube, running the knot's whole length.
    const uint32_t ring = kKnotSides + 1;
    for (uint32_t j = 0; j < uint32_t(kKnotSides); ++j) {
        for (uint32_t i = 0; i <= uint32_t(kKnotSegments); ++i) {
            g.indices.push_back(i * ring + j);
            g.indices.push_back(i * ring + j + 1);
        }
        g.stripLengths.push_back(2 * (kKnotSegments + 1));
    }
    return g;
}

// Unit cube, 4 vertices and one strip per face, flat normals.
Geometry MakeCube() {
    static const int sc_faces[6][3][3] = {
        // normal, u axis, v axis (u x v = normal, so strips face outwards)
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    Geometry g;
    for (uint32_t f = 0; f < 6; ++f) {
        const int(*axes)[3] = sc_faces[f];
        Vec n = {float(axes[0][0]), float(axes[0][1]), float(axes[0][2])};
        Vec u = {float(axes[1][0]), float(axes[1][1]), float(axes[1][2])};
        Vec v = {float(axes[2][0]), float(axes[2][1]), float(axes[2][2])};
        // Strip order: (-u,-v), (+u,-v), (-u,+v), (+u,+v).
        for (int k = 0; k < 4; ++k) {
            float su = (k & 1) ? 1.0f : -1.0f, sv = (k & 2) ? 1.0f : -1.0f;
            g.positions.push_back(Add(n, Add(Scale(u, su), Scale(v, sv))));
            g.normals.push_back(n);
            g.texCoords.push_back((k & 1) ? 1.0f : 0.0f);
            g.texCoords.push_back((k & 2) ? 0.0f : 1.0f);
            g.indices.push_back(f * 4 + uint32_t(k));
        }
        g.stripLengths.push_back(4);
    }
    return g;
}

// UV sphere: one strip per band of latitude, poles included.
Geometry MakeSphere(Vec centre, float radius, int bands, int sides) {
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

int Quantize(float v, float limit) {
    float q = std::floor(v + 0.5f);
    return int(q > limit ? limit : (q < -limit ? -limit : q));
}

// Writes the vertex arrays, buffer and strips of g; returns the buffer's and
// the strips' indices. Texture coordinates go through the file's texture
// coordinate scale only when `texScale` is not 0.
void AddGeometry(SceneFile* file, const Geometry& g, uint32_t* vertexBuffer, uint32_t* strips) {
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
uint32_t AddTexture(SceneFile* file, const Picture& picture, float repeatU, float repeatV) {
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
uint32_t AddAppearance(SceneFile* file, unsigned int r, unsigned int g, unsigned int b,
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
uint32_t AddCamera(SceneFile* file, Vec position = {0.0f, 0.0f, 6.0f}, float tilt = 0.0f) {
    const float at[3] = {position.x, position.y, position.z}, axis[3] = {1.0f, 0.0f, 0.0f};
    Writer camera = file->NewRecord();
    camera.Object3D(kCameraId).Transform(at, tilt, axis).NodeFields();
    camera.U8(50).F32(45.0f).F32(4.0f / 3.0f).F32(0.1f).F32(100.0f);
    return file->Add(kCamera, camera);
}

// mode 128 ambient, 129 directional (shining down its -Z).
uint32_t AddLight(SceneFile* file, uint32_t id, unsigned int mode, unsigned int grey,
                  float angle, const float axis[3]) {
    static const float sc_origin[3] = {0.0f, 0.0f, 0.0f};
    Writer light = file->NewRecord();
    light.Object3D(id).Transform(sc_origin, angle, axis).NodeFields();
    light.F32(1.0f).F32(0.0f).F32(0.0f).RGB(grey, grey, grey).U8(mode);
    light.F32(1.0f).F32(45.0f).F32(0.0f);
    return file->Add(kLight, light);
}

// The sun and the ambient light every lit kind shares.
void AddLights(SceneFile* file, uint32_t* sun, uint32_t* ambient) {
    const float sunAxis[3] = {-0.6f, 0.8f, 0.0f};
    *sun = AddLight(file, kDirectionalLightId, 129, 255, 40.0f, sunAxis);
    const float noAxis[3] = {0.0f, 0.0f, 1.0f};
    *ambient = AddLight(file, kAmbientLightId, 128, 64, 0.0f, noAxis);
}

uint32_t AddBackground(SceneFile* file, unsigned int r, unsigned int g, unsigned int b) {
    Writer background = file->NewRecord();
    background.Object3D(kBackgroundId).RGBA(r, g, b, 255).U32(0).U8(32).U8(32);
    background.I32(0).I32(0).I32(0).I32(0).Bool(true);  // depth clear
    if (file->v2)
        background.Bool(false).F32(1.0f).U32(0).U32(0);  // no stencil clear
    else
        background.Bool(true);  // colour clear
    return file->Add(kBackground, background);
}

uint32_t AddMesh(SceneFile* file, uint32_t id, const Geometry& g, uint32_t appearance) {
    uint32_t vertexBuffer = 0, strips = 0;
    AddGeometry(file, g, &vertexBuffer, &strips);
    Writer mesh = file->NewRecord();
    mesh.Object3D(id).NoTransform().NodeFields();
    mesh.U32(vertexBuffer).U32(1).U32(strips).U32(appearance);
    return file->Add(kMesh, mesh);
}

uint32_t AddController(SceneFile* file) {
    Writer controller = file->NewRecord();
    controller.Object3D(kControllerId).F32(1.0f).F32(1.0f).I32(0).I32(0).F32(0.0f).I32(0);
    return file->Add(kAnimationController, controller);
}

// A looping slerp sequence of unit quaternions (x, y, z, w) keyed evenly over
// `duration` ms, and the orientation track that plays it.
uint32_t AddOrientationTrack(SceneFile* file, uint32_t controller, uint32_t trackId,
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
uint32_t AddSpin(SceneFile* file, uint32_t controller, const float axis[3], uint32_t duration) {
    static const float sc_halfTurn[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};  // sin, cos
    std::vector<float> keys;
    for (const float* k : sc_halfTurn) {
        for (int c = 0; c < 3; ++c) keys.push_back(axis[c] * k[0]);
        keys.push_back(k[1]);
    }
    return AddOrientationTrack(file, controller, kTrackId, duration, keys);
}

// Diagonal bands of gold and bronze edged with thin bright lines, which the
// demo's glow picks out.
Picture KnotPicture() {
    Picture p{64, 64, {}, {}};
    for (unsigned int y = 0; y < p.height; ++y) {
        for (unsigned int x = 0; x < p.width; ++x) {
            unsigned int band = ((x + y) / 8) % 4;
            unsigned int edge = (x + y) % 8;
            unsigned char r = band == 0 ? 250 : (band == 2 ? 200 : 120);
            unsigned char g = band == 0 ? 200 : (band == 2 ? 120 : 70);
            unsigned char b = band == 0 ? 90 : (band == 2 ? 40 : 30);
            if (edge == 0) r = g = b = 255;
            p.pixels.insert(p.pixels.end(), {r, g, b});
        }
    }
    return p;
}

void BuildKnot(SceneFile* file) {
    uint32_t controller = AddController(file);
    const float tilted[3] = {0.28f, 0.96f, 0.0f};  // unit length
    uint32_t spin = AddSpin(file, controller, tilted, 4000);
    uint32_t backgroundIndex = AddBackground(file, 20, 22, 40);
    uint32_t camera = AddCamera(file);
    uint32_t sun = 0, ambient = 0;
    AddLights(file, &sun, &ambient);
    uint32_t texture = AddTexture(file, KnotPicture(), 1.0f, 1.0f);
    uint32_t mesh = AddMesh(file, kMeshId, MakeKnot(), AddAppearance(file, 230, 180, 120, texture));
    Writer group = file->NewRecord();
    group.Object3D(kGroupId, {spin}).NoTransform().NodeFields().U32(1).U32(mesh);
    uint32_t groupIndex = file->Add(kGroup, group);
    Writer world = file->NewRecord();
    world.Object3D(kWorldId).NoTransform().NodeFields();
    world.U32(4).U32(camera).U32(sun).U32(ambient).U32(groupIndex);
    world.U32(camera).U32(backgroundIndex);
    file->Add(kWorld, world);
}

void BuildCube(SceneFile* file) {
    uint32_t camera = AddCamera(file);
    const float sunAxis[3] = {-0.6f, 0.8f, 0.0f};
    uint32_t sun = AddLight(file, kDirectionalLightId, 129, 255, 40.0f, sunAxis);
    uint32_t mesh = AddMesh(file, kMeshId, MakeCube(), AddAppearance(file, 200, 200, 200));
    Writer world = file->NewRecord();
    world.Object3D(kWorldId).NoTransform().NodeFields();
    world.U32(3).U32(camera).U32(sun).U32(mesh).U32(camera).U32(0);
    file->Add(kWorld, world);
}

// The serpent: a tube along +X from tail to snout over a chain of bones, each
// ring of the tube bound to the two bones nearest it. Bones swing in a wave
// that runs from head to tail once per 2000 ms (a bar of the demo's music).
const int kSerpentBones = 16;
const int kSerpentRings = 80;
const int kSerpentSides = 12;
const float kSerpentLength = 8.0f;
const float kSerpentTail = -4.0f;  // x of the tail tip, where bone 0 starts
const uint32_t kSerpentLoop = 2000;
const int kSerpentKeys = 8;

// Tube radius at s in [0, 1] from the tail tip to the snout: a tapering body,
// a neck, a broad head and a blunt snout.
float SerpentRadius(float s) {
    static const float sc_at[] = {0.0f, 0.15f, 0.5f, 0.74f, 0.82f, 0.9f, 0.97f, 1.0f};
    static const float sc_radius[] = {0.03f, 0.18f, 0.45f, 0.48f, 0.34f, 0.53f, 0.38f, 0.04f};
    const int n = int(sizeof sc_at / sizeof sc_at[0]);
    for (int k = 1; k < n; ++k) {
        if (s <= sc_at[k]) {
            float t = (s - sc_at[k - 1]) / (sc_at[k] - sc_at[k - 1]);
            t = t * t * (3.0f - 2.0f * t);
            return sc_radius[k - 1] + (sc_radius[k] - sc_radius[k - 1]) * t;
        }
    }
    return sc_radius[n - 1];
}

// The bones of a ring at x and their integer weights (summing to 100).
struct Binding {
    int bone[2];
    int weight[2];
};

Binding SerpentBinding(float x) {
    const float segment = kSerpentLength / kSerpentBones;
    float f = (x - kSerpentTail) / segment - 0.5f;
    int k = int(std::floor(f));
    float t = f - float(k);
    if (k < 0) return {{0, 0}, {100, 0}};
    if (k >= kSerpentBones - 1) return {{kSerpentBones - 1, 0}, {100, 0}};
    int w = Quantize(t * 100.0f, 100.0f);
    return {{k, k + 1}, {100 - w, w}};
}

// Appends triangle strip elements so that every pair of vertices (x, y) of
// consecutive rings keeps its outward winding wherever the strip is cut: a
// pair that starts on an odd element is written (y, x). Restart joins the
// strip to a pair by degenerate triangles built only from repeated elements,
// and places the join so that a skinned mesh cut just before the next ring
// starts its new batch on an even element with two elements that no visible
// triangle of the earlier batch uses (the batch cut repeats three elements).
class StripWriter {
public:
    explicit StripWriter(std::vector<uint32_t>* indices_) : indices(indices_), begin(indices_->size()) {}

    size_t Count() const { return indices->size() - begin; }
    void Pair(uint32_t x, uint32_t y) {
        bool even = Count() % 2 == 0;
        indices->push_back(even ? x : y);
        indices->push_back(even ? y : x);
    }
    void Restart(uint32_t x, uint32_t y) {
        uint32_t last = indices->back();
        indices->push_back(last);
        if (Count() % 2 != 0) indices->push_back(last);
        indices->push_back(y);  // the pair below starts on an odd element, with y
        Pair(x, y);
    }

private:
    std::vector<uint32_t>* indices;
    size_t begin;
};

// Scales on the back, a pale belly band and dark flanks, as palette indices.
Picture SerpentPicture() {
    Picture p{64, 64, {}, {}};
    static const unsigned char sc_palette[8][3] = {
        {20, 60, 40},   {40, 120, 70},  {70, 170, 90},  {140, 220, 120},
        {230, 220, 150}, {200, 180, 110}, {10, 30, 25},  {250, 250, 210}};
    for (const auto& c : sc_palette) p.palette.insert(p.palette.end(), c, c + 3);
    for (unsigned int y = 0; y < p.height; ++y) {
        // v runs round the body from the top; the belly is the band around v = 0.5.
        float v = (float(y) + 0.5f) / float(p.height);
        float belly = std::fabs(v - 0.5f);
        for (unsigned int x = 0; x < p.width; ++x) {
            unsigned char index;
            if (belly < 0.12f) {
                index = ((x / 4) % 2) ? 4 : 5;
            } else {
                // Overlapping scales: offset rows of rounded cells, lit at the top.
                unsigned int row = y / 8;
                unsigned int cx = (x + (row % 2) * 4) % 8, cy = y % 8;
                int dx = int(cx) - 4, dy = int(cy) - 3;
                int d = dx * dx + dy * dy;
                index = d < 5 ? 3 : (d < 10 ? 2 : (d < 16 ? 1 : 0));
                if (belly < 0.16f) index = 6;
                if (d < 2 && cy < 3) index = 7;
            }
            p.pixels.push_back(index);
        }
    }
    return p;
}

// Two unit quaternions' product a * b, (x, y, z, w).
void QuatMul(const float a[4], const float b[4], float out[4]) {
    out[0] = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    out[1] = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    out[2] = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    out[3] = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
}

void BuildSerpent(SceneFile* file) {
    uint32_t controller = AddController(file);

    // Skinned geometry: ring-major vertices, each ring holding a separate
    // pair of columns for every strip, so that no vertex is shared between
    // strips (each strip is cut into its own bone batches, and a vertex keeps
    // the bone slots of the batch that wrote it last). A ring that brings a
    // new bone is preceded by a copy of the ring before it, for the restart.
    Geometry g;
    std::vector<Binding> slotBindings;  // per ring slot
    std::vector<int> ringSlot(kSerpentRings);
    std::vector<int> copySlot(kSerpentRings, -1);
    const float step = kSerpentLength / float(kSerpentRings - 1);
    auto addRing = [&](int ring) {
        float x = kSerpentTail + step * float(ring);
        float s = float(ring) / float(kSerpentRings - 1);
        float r = SerpentRadius(s);
        float slope = (SerpentRadius(std::fmin(s + 0.01f, 1.0f)) -
                       SerpentRadius(std::fmax(s - 0.01f, 0.0f))) /
                      (0.02f * kSerpentLength);
        for (int strip = 0; strip < kSerpentSides; ++strip) {
            for (int column = 0; column < 2; ++column) {
                int side = strip + column;
                float a = kTwoPi * float(side) / float(kSerpentSides);
                // Slightly flattened from above.
                Vec n = Normalize({-slope, std::cos(a) / 0.85f, std::sin(a)});
                g.positions.push_back({x, 0.85f * r * std::cos(a), r * std::sin(a)});
                g.normals.push_back(n);
                g.texCoords.push_back(s);
                g.texCoords.push_back(float(side) / float(kSerpentSides));
            }
        }
        slotBindings.push_back(SerpentBinding(x));
        return int(slotBindings.size()) - 1;
    };
    for (int ring = 0; ring < kSerpentRings; ++ring) {
        if (ring > 0) {
            Binding now = SerpentBinding(kSerpentTail + step * float(ring));
            Binding before = SerpentBinding(kSerpentTail + step * float(ring - 1));
            int newest = now.weight[1] ? now.bone[1] : now.bone[0];
            int oldest = before.weight[1] ? before.bone[1] : before.bone[0];
            if (newest != oldest) copySlot[ring] = addRing(ring - 1);
        }
        ringSlot[ring] = addRing(ring);
    }
    const uint32_t perRing = 2 * kSerpentSides;
    for (int strip = 0; strip < kSerpentSides; ++strip) {
        size_t first = g.indices.size();
        StripWriter writer(&g.indices);
        for (int ring = 0; ring < kSerpentRings; ++ring) {
            uint32_t base = uint32_t(ringSlot[ring]) * perRing + 2 * uint32_t(strip);
            if (copySlot[ring] >= 0) {
                uint32_t copy = uint32_t(copySlot[ring]) * perRing + 2 * uint32_t(strip);
                writer.Restart(copy, copy + 1);
            }
            writer.Pair(base, base + 1);
        }
        g.stripLengths.push_back(uint32_t(g.indices.size() - first));
    }

    uint32_t texture = AddTexture(file, SerpentPicture(), 12.0f, 1.0f);
    uint32_t vertexBuffer = 0, strips = 0;
    AddGeometry(file, g, &vertexBuffer, &strips);
    uint32_t skin = AddAppearance(file, 255, 255, 255, texture, 24.0f);

    // Bones: a chain along +X in the mesh's space, unrotated at rest. Each
    // swings about Y (side to side) and a little about Z, the wave arriving
    // at each bone a little later than at the one before it, and growing
    // towards the tail.
    const float segment = kSerpentLength / kSerpentBones;
    std::vector<uint32_t> tracks;
    for (int k = 0; k < kSerpentBones; ++k) {
        float fromHead = float(kSerpentBones - 1 - k) / float(kSerpentBones - 1);
        float yaw = 0.10f + 0.22f * fromHead, pitch = 0.04f + 0.05f * fromHead;
        std::vector<float> keys;
        for (int key = 0; key < kSerpentKeys; ++key) {
            float phase = kTwoPi * (float(key) / kSerpentKeys) + 0.55f * float(k);
            float y = yaw * std::sin(phase), z = pitch * std::sin(phase * 2.0f + 1.0f);
            float qy[4] = {0.0f, std::sin(y / 2), 0.0f, std::cos(y / 2)};
            float qz[4] = {0.0f, 0.0f, std::sin(z / 2), std::cos(z / 2)};
            float q[4];
            QuatMul(qy, qz, q);
            keys.insert(keys.end(), q, q + 4);
        }
        tracks.push_back(AddOrientationTrack(file, controller, kFirstBoneTrackId + k,
                                             kSerpentLoop, keys));
    }
    // Eyes: two dark spheres riding on the head bone.
    const int head = kSerpentBones - 1;
    float headX = kSerpentTail + 0.92f * kSerpentLength - (kSerpentTail + head * segment);
    Geometry eyes = MakeSphere({headX, 0.3f, 0.34f}, 0.11f, 6, 10);
    Geometry right = MakeSphere({headX, 0.3f, -0.34f}, 0.11f, 6, 10);
    for (uint32_t length : right.stripLengths) eyes.stripLengths.push_back(length);
    for (uint32_t index : right.indices) eyes.indices.push_back(index + uint32_t(eyes.positions.size()));
    eyes.positions.insert(eyes.positions.end(), right.positions.begin(), right.positions.end());
    eyes.normals.insert(eyes.normals.end(), right.normals.begin(), right.normals.end());
    eyes.texCoords.insert(eyes.texCoords.end(), right.texCoords.begin(), right.texCoords.end());
    uint32_t eyeMesh = AddMesh(file, kEyeMeshId, eyes, AddAppearance(file, 12, 10, 8, 0, 80.0f));

    // Children come before their parents so that each group can name them.
    uint32_t child = eyeMesh;
    std::vector<uint32_t> bones(kSerpentBones);
    for (int k = kSerpentBones - 1; k >= 0; --k) {
        Writer bone = file->NewRecord();
        bone.Object3D(kFirstBoneId + uint32_t(k), {tracks[size_t(k)]});
        bone.Translation(k == 0 ? kSerpentTail : segment, 0.0f, 0.0f).NodeFields();
        bone.U32(1).U32(child);
        bones[size_t(k)] = child = file->Add(kGroup, bone);
    }
    Writer skeleton = file->NewRecord();
    skeleton.Object3D(kSkeletonId).NoTransform().NodeFields().U32(1).U32(bones[0]);
    uint32_t skeletonIndex = file->Add(kGroup, skeleton);

    Writer mesh = file->NewRecord();
    mesh.Object3D(kSkinnedMeshId).NoTransform().NodeFields();
    mesh.U32(vertexBuffer).U32(1).U32(strips).U32(skin);
    mesh.U32(skeletonIndex);
    if (file->v2) mesh.Bool(false).Bool(false);  // transform references, not a bone table
    uint32_t references = 0;
    for (const Binding& b : slotBindings) references += b.weight[1] ? 2 : 1;
    mesh.U32(references);
    for (size_t slot = 0; slot < slotBindings.size(); ++slot) {
        for (int i = 0; i < 2; ++i) {
            const Binding& b = slotBindings[slot];
            if (b.weight[i] == 0) continue;
            mesh.U32(bones[size_t(b.bone[i])]).U32(uint32_t(slot) * perRing).U32(perRing);
            mesh.I32(b.weight[i]);
        }
    }
    uint32_t meshIndex = file->Add(kSkinnedMesh, mesh);

    // The whole creature turns slowly about Y, once per 16000 ms.
    const float up[3] = {0.0f, 1.0f, 0.0f};
    uint32_t turn = AddSpin(file, controller, up, 32000);
    Writer group = file->NewRecord();
    group.Object3D(kGroupId, {turn}).NoTransform().NodeFields().U32(1).U32(meshIndex);
    uint32_t groupIndex = file->Add(kGroup, group);

    uint32_t backgroundIndex = AddBackground(file, 8, 16, 24);
    uint32_t camera = AddCamera(file, {0.0f, 2.6f, 7.5f}, -17.0f);
    uint32_t sun = 0, ambient = 0;
    AddLights(file, &sun, &ambient);
    Writer world = file->NewRecord();
    world.Object3D(kWorldId).NoTransform().NodeFields();
    world.U32(4).U32(camera).U32(sun).U32(ambient).U32(groupIndex);
    world.U32(camera).U32(backgroundIndex);
    file->Add(kWorld, world);
}

bool WriteWhole(const char* path, const std::vector<unsigned char>& bytes) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) remove(path);
    return ok;
}

struct Kind {
    const char* name;
    void (*build)(SceneFile*);
};
const Kind sc_kinds[] = {{"knot", BuildKnot}, {"cube", BuildCube}, {"serpent", BuildSerpent}};

}  // namespace

int main(int argc, char** argv) {
    static const char kUsage[] = "usage: m3g-scene OUT.m3g [knot|cube|serpent][2]\n";
    // Options are refused rather than taken for the name of the file to write
    // ("m3g-scene --help" once wrote a file called --help).
    std::vector<const char*> args;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0)) {
            fputs(kUsage, stdout);
            fputs("Writes an M3G scene file in the 1.0 layout, or the 2.0 layout when the kind\n"
                  "ends in 2: knot (the default), a lit, textured torus knot turned by a looping\n"
                  "animation; cube, a small static cube; serpent, a skinned serpent of 16 bones.\n"
                  "User ids: World 1, camera 10, lights 20 and 21, group 30, the knot's or cube's\n"
                  "mesh 40; the serpent's skinned mesh 60, its skeleton 99, bones 100 to 115.\n"
                  "  -h, --help  this text; -- ends the options\n",
                  stdout);
            return 0;
        } else if (options && arg[0] == '-') {
            fprintf(stderr, "m3g-scene: unknown option %s\n%s", arg, kUsage);
            return 2;
        } else {
            args.push_back(arg);
        }
    }
    const char* kind = args.size() == 2 ? args[1] : "knot";
    const Kind* found = nullptr;
    bool v2 = false;
    for (const Kind& k : sc_kinds) {
        size_t length = strlen(k.name);
        if (strncmp(kind, k.name, length) != 0) continue;
        if (kind[length] == '\0' || strcmp(kind + length, "2") == 0) {
            found = &k;
            v2 = kind[length] != '\0';
        }
    }
    if (args.empty() || args.size() > 2 || !found) {
        if (args.size() == 2 && !found) fprintf(stderr, "m3g-scene: unknown kind %s\n", kind);
        fputs(kUsage, stderr);
        return 2;
    }
    const char* out = args[0];
    SceneFile file(v2);
    found->build(&file);
    std::vector<unsigned char> bytes;
    if (!file.Build(&bytes) || !WriteWhole(out, bytes)) {
        fprintf(stderr, "m3g-scene: can't write %s\n", out);
        return 1;
    }
    printf("%s: %s, %u objects, %u bytes\n", out, kind, unsigned(file.Count()),
           unsigned(bytes.size()));
    return 0;
}
