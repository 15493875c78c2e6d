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

#include "M3GWriter.h"

using namespace m3gwriter;

namespace {

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
