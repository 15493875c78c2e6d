// m3g-scene OUT.m3g [knot|cube]: writes a complete version 1.0 scene file (a
// lit, animated torus knot, or a small static cube) for the demo and the tests.
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
    kTriangleStripArray = 11,
    kLight = 12,
    kMaterial = 13,
    kMesh = 14,
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
};

// Little-endian field appender for one record's data.
class Writer {
public:
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
        for (uint32_t t : tracks) U32(t);
        return U32(0);
    }
    // A component transform (angle in degrees about a unit axis), no matrix.
    Writer& Transform(const float t[3], float angle, const float axis[3]) {
        Bool(true).F32(t[0]).F32(t[1]).F32(t[2]).F32(1.0f).F32(1.0f).F32(1.0f);
        return F32(angle).F32(axis[0]).F32(axis[1]).F32(axis[2]).Bool(false);
    }
    Writer& NoTransform() { return Bool(false).Bool(false); }
    // Rendering and picking on, opaque, every scope, no alignment.
    Writer& NodeFields() { return Bool(true).Bool(true).U8(255).U32(0xFFFFFFFFu).Bool(false); }

    std::vector<unsigned char> bytes;
};

// The records of a file in order; Add returns the new record's object index.
class SceneFile {
public:
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
        Writer header;
        // Version 1.0: major byte 1, minor byte 0.
        header.U8(1).U8(0).Bool(false).U32(uint32_t(total)).U32(uint32_t(total));
        for (char c : kAuthoring) header.U8(static_cast<unsigned char>(c));
        std::vector<unsigned char> headerRecord;
        AppendRecord(&headerRecord, kHeader, header.bytes);

        file->assign(sc_identifier, sc_identifier + sizeof(sc_identifier));
        AppendSection(file, 0, headerRecord, headerRecord);
        AppendSection(file, 1, packed, body);
        return file->size() == total;
    }

private:
    struct Record {
        RecordType type;
        std::vector<unsigned char> data;
    };

    static void AppendRecord(std::vector<unsigned char>* out, RecordType type,
                             const std::vector<unsigned char>& data) {
        Writer w;
        w.U8(type).U32(uint32_t(data.size())).Raw(data);
        out->insert(out->end(), w.bytes.begin(), w.bytes.end());
    }

    // The checksum is the Adler-32 of every section byte before it.
    static void AppendSection(std::vector<unsigned char>* out, unsigned int compression,
                              const std::vector<unsigned char>& stored,
                              const std::vector<unsigned char>& plain) {
        Writer w;
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
// doubled so that texture coordinates run 0..1 without wrapping.
const int kKnotSegments = 192;
const int kKnotSides = 16;

Vec KnotPoint(float t) {
    const float p = 2.0f, q = 3.0f, radius = 1.2f, tube = 0.45f;
    float r = radius + tube * std::cos(q * t);
    return {r * std::cos(p * t), r * std::sin(p * t), tube * std::sin(q * t)};
}

Geometry MakeKnot() {
    const float kTwoPi = 6.28318530718f, kTubeRadius = 0.22f;
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

int Quantize(float v, float limit) {
    float q = std::floor(v + 0.5f);
    return int(q > limit ? limit : (q < -limit ? -limit : q));
}

// Writes the vertex arrays, buffer and strips of g; returns the buffer's and
// the strips' indices.
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
    Writer positions;
    positions.Object3D(kPositionsId).U8(2).U8(3).U8(0).U16(count);
    for (const Vec& p : g.positions)
        positions.I16(Quantize((p.x - bias.x) / scale, 32767.0f))
            .I16(Quantize((p.y - bias.y) / scale, 32767.0f))
            .I16(Quantize((p.z - bias.z) / scale, 32767.0f));
    uint32_t positionArray = file->Add(kVertexArray, positions);

    Writer normals;
    normals.Object3D(kNormalsId).U8(1).U8(3).U8(0).U16(count);
    for (const Vec& n : g.normals)
        normals.U8(uint8_t(Quantize(n.x * 127.0f, 127.0f)))
            .U8(uint8_t(Quantize(n.y * 127.0f, 127.0f)))
            .U8(uint8_t(Quantize(n.z * 127.0f, 127.0f)));
    uint32_t normalArray = file->Add(kVertexArray, normals);

    // 16-bit texture coordinates in steps of 1/2048 (up to 16 repeats).
    const float texScale = 1.0f / 2048.0f;
    Writer texCoords;
    texCoords.Object3D(kTexCoordsId).U8(2).U8(2).U8(0).U16(count);
    for (float c : g.texCoords) texCoords.I16(Quantize(c / texScale, 32767.0f));
    uint32_t texCoordArray = file->Add(kVertexArray, texCoords);

    Writer buffer;
    buffer.Object3D(kVertexBufferId).RGBA(255, 255, 255, 255);
    buffer.U32(positionArray).F32(bias.x).F32(bias.y).F32(bias.z).F32(scale);
    buffer.U32(normalArray).U32(0);
    buffer.U32(1).U32(texCoordArray).F32(0.0f).F32(0.0f).F32(0.0f).F32(texScale);
    *vertexBuffer = file->Add(kVertexBuffer, buffer);

    // Explicit indices in the narrowest encoding that holds them.
    Writer stripArray;
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

// Material, polygon mode and appearance; returns the appearance's index.
uint32_t AddAppearance(SceneFile* file, unsigned int r, unsigned int g, unsigned int b) {
    Writer material;
    material.Object3D(kMaterialId).RGB(r / 3, g / 3, b / 3).RGBA(r, g, b, 255);
    material.RGB(0, 0, 0).RGB(255, 255, 255).F32(48.0f).Bool(false);
    uint32_t materialIndex = file->Add(kMaterial, material);
    // Back-face culling, smooth shading, counter-clockwise front faces.
    Writer polygonMode;
    polygonMode.Object3D(kPolygonModeId).U8(160).U8(165).U8(168);
    polygonMode.Bool(false).Bool(false).Bool(true);
    uint32_t polygonModeIndex = file->Add(kPolygonMode, polygonMode);
    Writer appearance;
    appearance.Object3D(kAppearanceId).U8(0).U32(0);  // layer 0, no compositing mode
    appearance.U32(0).U32(polygonModeIndex).U32(materialIndex).U32(0);  // no fog, no texture
    return file->Add(kAppearance, appearance);
}

uint32_t AddCamera(SceneFile* file) {
    static const float sc_position[3] = {0.0f, 0.0f, 6.0f}, sc_axis[3] = {0.0f, 1.0f, 0.0f};
    // Unrotated, so it looks down -Z at the origin; perspective, 45 degrees.
    Writer camera;
    camera.Object3D(kCameraId).Transform(sc_position, 0.0f, sc_axis).NodeFields();
    camera.U8(50).F32(45.0f).F32(4.0f / 3.0f).F32(0.1f).F32(100.0f);
    return file->Add(kCamera, camera);
}

// mode 128 ambient, 129 directional (shining down its -Z).
uint32_t AddLight(SceneFile* file, uint32_t id, unsigned int mode, unsigned int grey,
                  float angle, const float axis[3]) {
    static const float sc_origin[3] = {0.0f, 0.0f, 0.0f};
    Writer light;
    light.Object3D(id).Transform(sc_origin, angle, axis).NodeFields();
    light.F32(1.0f).F32(0.0f).F32(0.0f).RGB(grey, grey, grey).U8(mode);
    light.F32(1.0f).F32(45.0f).F32(0.0f);
    return file->Add(kLight, light);
}

uint32_t AddMesh(SceneFile* file, const Geometry& g, unsigned int r, unsigned int gr,
                 unsigned int b) {
    uint32_t vertexBuffer = 0, strips = 0;
    AddGeometry(file, g, &vertexBuffer, &strips);
    uint32_t appearance = AddAppearance(file, r, gr, b);
    Writer mesh;
    mesh.Object3D(kMeshId).NoTransform().NodeFields();
    mesh.U32(vertexBuffer).U32(1).U32(strips).U32(appearance);
    return file->Add(kMesh, mesh);
}

// Two full turns per 4000 ms loop, keys every 180 degrees: consecutive keys
// are a quarter circle apart in quaternion space and the last key slerps
// forward into the first, since 720 degrees brings the quaternion back to
// itself (a single turn would end on its negation).
uint32_t AddSpin(SceneFile* file) {
    const float axis[3] = {0.28f, 0.96f, 0.0f};  // unit length
    Writer controller;
    controller.Object3D(kControllerId).F32(1.0f).F32(1.0f).I32(0).I32(0).F32(0.0f).I32(0);
    uint32_t controllerIndex = file->Add(kAnimationController, controller);

    Writer sequence;
    sequence.Object3D(kSequenceId).U8(177).U8(193).U8(0);  // slerp, loop, floats
    sequence.U32(4000).U32(0).U32(3).U32(4).U32(4);
    static const float sc_halfTurn[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};  // sin, cos
    for (unsigned int k = 0; k < 4; ++k) {
        float s = sc_halfTurn[k][0];
        sequence.U32(k * 1000).F32(axis[0] * s).F32(axis[1] * s).F32(axis[2] * s);
        sequence.F32(sc_halfTurn[k][1]);
    }
    uint32_t sequenceIndex = file->Add(kKeyframeSequence, sequence);

    Writer track;
    track.Object3D(kTrackId).U32(sequenceIndex).U32(controllerIndex).U32(268);  // orientation
    return file->Add(kAnimationTrack, track);
}

void BuildKnot(SceneFile* file) {
    uint32_t spin = AddSpin(file);
    Writer background;
    background.Object3D(kBackgroundId).RGBA(20, 22, 40, 255).U32(0).U8(32).U8(32);
    background.I32(0).I32(0).I32(0).I32(0).Bool(true).Bool(true);
    uint32_t backgroundIndex = file->Add(kBackground, background);
    uint32_t camera = AddCamera(file);
    const float sunAxis[3] = {-0.6f, 0.8f, 0.0f};
    uint32_t sun = AddLight(file, kDirectionalLightId, 129, 255, 40.0f, sunAxis);
    const float noAxis[3] = {0.0f, 0.0f, 1.0f};
    uint32_t ambient = AddLight(file, kAmbientLightId, 128, 64, 0.0f, noAxis);
    uint32_t mesh = AddMesh(file, MakeKnot(), 230, 140, 40);
    Writer group;
    group.Object3D(kGroupId, {spin}).NoTransform().NodeFields().U32(1).U32(mesh);
    uint32_t groupIndex = file->Add(kGroup, group);
    Writer world;
    world.Object3D(kWorldId).NoTransform().NodeFields();
    world.U32(4).U32(camera).U32(sun).U32(ambient).U32(groupIndex);
    world.U32(camera).U32(backgroundIndex);
    file->Add(kWorld, world);
}

void BuildCube(SceneFile* file) {
    uint32_t camera = AddCamera(file);
    const float sunAxis[3] = {-0.6f, 0.8f, 0.0f};
    uint32_t sun = AddLight(file, kDirectionalLightId, 129, 255, 40.0f, sunAxis);
    uint32_t mesh = AddMesh(file, MakeCube(), 200, 200, 200);
    Writer world;
    world.Object3D(kWorldId).NoTransform().NodeFields();
    world.U32(3).U32(camera).U32(sun).U32(mesh).U32(camera).U32(0);
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

}  // namespace

int main(int argc, char** argv) {
    static const char kUsage[] = "usage: m3g-scene OUT.m3g [knot|cube]\n";
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
            fputs("Writes an M3G 1.0 scene file: knot (the default), a lit torus knot turned by a\n"
                  "looping animation, or cube, a small static cube. User ids of the knot: World 1,\n"
                  "camera 10, lights 20 and 21, group 30, mesh 40; the cube has the World, the\n"
                  "camera, light 20 and mesh 40.\n"
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
    bool knot = strcmp(kind, "knot") == 0;
    if (args.empty() || args.size() > 2 || (!knot && strcmp(kind, "cube") != 0)) {
        if (args.size() == 2) fprintf(stderr, "m3g-scene: unknown kind %s\n", kind);
        fputs(kUsage, stderr);
        return 2;
    }
    const char* out = args[0];
    SceneFile file;
    if (knot)
        BuildKnot(&file);
    else
        BuildCube(&file);
    std::vector<unsigned char> bytes;
    if (!file.Build(&bytes) || !WriteWhole(out, bytes)) {
        fprintf(stderr, "m3g-scene: can't write %s\n", out);
        return 1;
    }
    printf("%s: %s, %u objects, %u bytes\n", out, kind, unsigned(file.Count()),
           unsigned(bytes.size()));
    return 0;
}
