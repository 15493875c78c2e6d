// Scene-file loading against its yardstick: zlib's uncompress of the same
// sections into buffers allocated beforehand. The file, made at start with
// the m3g-scene writer, is about 50 MB: 350 meshes (noisy spheres of 10,000
// vertices, so that they deflate little, as scanned models do) under one
// group, 16 textures, in sections of at most 1 MB of records. Reading
// (M3GLoader::Load, records only) and the whole load with conversion into an
// engine scene (M3GLoader::Load(DataSource*)) both read from memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>
#include <zlib.h>

#include "engine/Scene.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"
#include "tools/M3GWriter.h"

using namespace m3gwriter;

namespace {

const int kMeshes = 350;
const int kTextures = 16;
const int kBands = 99, kSides = 99;  // 10,000 vertices per sphere

uint32_t Get32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Fixture {
    Fixture() {
        std::mt19937 rng(50);
        std::uniform_real_distribution<float> noise(-0.001f, 0.001f);
        SceneFile file(false);
        file.sectionBytes = 1u << 20;
        file.level = Z_DEFAULT_COMPRESSION;
        std::vector<uint32_t> appearances;
        for (int t = 0; t < kTextures; ++t) {
            Picture picture{128, 128, {}, {}};
            for (unsigned int i = 0; i < 128 * 128 * 3; ++i)
                picture.pixels.push_back((unsigned char)((i / 3) % 128 * 2 + rng() % 24));
            uint32_t texture = AddTexture(&file, picture, 1.0f, 1.0f);
            appearances.push_back(AddAppearance(&file, 200, 180 + t, 160, texture));
        }
        std::vector<uint32_t> meshes;
        for (int m = 0; m < kMeshes; ++m) {
            Vec centre = {float(m % 20) * 3.0f, float(m / 20) * 3.0f, 0.0f};
            Geometry g = MakeSphere(centre, 1.0f + 0.001f * float(m), kBands, kSides);
            for (Vec& p : g.positions) p = Add(p, {noise(rng), noise(rng), noise(rng)});
            for (Vec& n : g.normals) n = Normalize(Add(n, {noise(rng), noise(rng), noise(rng)}));
            meshes.push_back(AddMesh(&file, kMeshId + uint32_t(m), g,
                                     appearances[size_t(m) % appearances.size()]));
        }
        Writer group = file.NewRecord();
        group.Object3D(kGroupId).NoTransform().NodeFields().U32(uint32_t(meshes.size()));
        for (uint32_t mesh : meshes) group.U32(mesh);
        uint32_t groupIndex = file.Add(kGroup, group);
        uint32_t background = AddBackground(&file, 10, 10, 20);
        uint32_t camera = AddCamera(&file);
        uint32_t sun = 0, ambient = 0;
        AddLights(&file, &sun, &ambient);
        Writer world = file.NewRecord();
        world.Object3D(kWorldId).NoTransform().NodeFields();
        world.U32(4).U32(camera).U32(sun).U32(ambient).U32(groupIndex);
        world.U32(camera).U32(background);
        file.Add(kWorld, world);
        ok = file.Build(&bytes);
        records = file.Count();

        // The zlib sections, as the yardstick inflates them.
        size_t at = 12;
        while (ok && at + 13 <= bytes.size()) {
            unsigned int compression = bytes[at];
            uint32_t total = Get32(&bytes[at + 1]), plain = Get32(&bytes[at + 5]);
            if (total < 13 || total > bytes.size() - at) {
                ok = false;
                break;
            }
            if (compression == 1) {
                sections.push_back({&bytes[at + 9], total - 13, plain});
                inflated += plain;
            }
            at += total;
        }
    }

    struct Section {
        const unsigned char* stored;
        uint32_t storedSize, size;
    };
    std::vector<unsigned char> bytes;
    std::vector<Section> sections;
    size_t inflated = 0;
    size_t records = 0;
    bool ok = false;
};

Fixture& GetFixture() {
    static Fixture fixture;
    return fixture;
}

void Describe(benchmark::State& state, const Fixture& f) {
    state.counters["file_MB"] = double(f.bytes.size()) / 1e6;
    state.counters["inflated_MB"] = double(f.inflated) / 1e6;
    state.counters["sections"] = double(f.sections.size());
    state.counters["records"] = double(f.records);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.inflated));
}

void BM_ZlibUncompress_Sections(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't build the scene file");
    std::vector<std::vector<unsigned char>> out;
    for (const Fixture::Section& s : f.sections) out.emplace_back(s.size);
    for (auto _ : state) {
        for (size_t i = 0; i < f.sections.size(); ++i) {
            uLongf size = f.sections[i].size;
            if (uncompress(out[i].data(), &size, f.sections[i].stored, f.sections[i].storedSize) !=
                    Z_OK ||
                size != f.sections[i].size)
                return state.SkipWithError("uncompress failed");
        }
        benchmark::DoNotOptimize(out.data());
    }
    Describe(state, f);
}

// Records only: identifier, sections inflated, every record parsed. The
// loader (and with it every record) is deleted inside the timed loop.
void BM_M3GLoader_Read(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't build the scene file");
    size_t objects = 0;
    for (auto _ : state) {
        ROMSource source(f.bytes.data(), unsigned(f.bytes.size()), false);
        std::unique_ptr<M3GLoader> loader(new M3GLoader(&source));
        loader->Load();
        objects = loader->objects.Size();
        benchmark::DoNotOptimize(loader.get());
    }
    if (objects != f.records) state.SkipWithError("the loader did not read every record");
    Describe(state, f);
}

// Read and convert into an engine scene, which is deleted inside the loop.
void BM_M3GLoader_LoadAndConvert(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't build the scene file");
    size_t objects = 0;
    for (auto _ : state) {
        ROMSource source(f.bytes.data(), unsigned(f.bytes.size()), false);
        std::unique_ptr<Scene> scene(M3GLoader::Load(&source));
        objects = scene->objects.Size();
        benchmark::DoNotOptimize(scene.get());
    }
    if (objects < size_t(kMeshes)) state.SkipWithError("the scene lacks meshes");
    state.counters["scene_objects"] = double(objects);
    Describe(state, f);
}

BENCHMARK(BM_ZlibUncompress_Sections)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_M3GLoader_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_M3GLoader_LoadAndConvert)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
