// Normal smoothing of a 200,000-vertex mesh whose positions repeat, and the
// plain quadratic grouping scan on smaller meshes for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "demo/Scene.h"
#include "engine/AttributeArray.h"
#include "engine/Mesh.h"
#include "engine/Scene.h"
#include "tests/support/SmoothReference.h"

namespace {

// count vertices on count / share positions in scrambled order; the
// normals at a position come from two directions 60 degrees apart, with a
// little noise, so that smoothing at 30 degrees forms two clusters.
void MakeVertices(unsigned int count, unsigned int share, std::vector<Vec3>* positions,
                  std::vector<Vec3>* normals) {
    std::mt19937 rng(2024);
    std::vector<unsigned int> order(count);
    for (unsigned int v = 0; v < count; ++v) order[v] = v;
    std::shuffle(order.begin(), order.end(), rng);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    positions->assign(count, Vec3());
    normals->assign(count, Vec3());
    for (unsigned int k = 0; k < count; ++k) {
        unsigned int spot = k / share;
        unsigned int v = order[k];
        (*positions)[v] = Vec3(float(spot % 500), float(spot / 500), 0.0f);
        Vec3 base = k % 2 ? Vec3(0.0f, 0.0f, 1.0f) : Vec3(0.866f, 0.0f, 0.5f);
        (*normals)[v] = base + Vec3(noise(rng), noise(rng), noise(rng));
    }
}

Mesh* MakeMesh(const std::vector<Vec3>& positions, const std::vector<Vec3>& normals) {
    AttributeArray* arrays = new AttributeArray[2];
    for (int a = 0; a < 2; ++a) {
        arrays[a] = AttributeArray(a == 0 ? AttributeArray::at_Location : AttributeArray::at_Normal,
                                   NT_Float, 3, false);
        arrays[a].count = unsigned(positions.size());
        arrays[a].data = new unsigned char[positions.size() * 12];
        memcpy(arrays[a].data, (a == 0 ? positions : normals).data(), positions.size() * 12);
    }
    Mesh* mesh = new Mesh();
    mesh->SetVertexArrays(arrays, 2);
    return mesh;
}

void BM_Smooth(benchmark::State& state) {
    const unsigned int count = unsigned(state.range(0));
    const unsigned int share = unsigned(state.range(1));
    std::vector<Vec3> positions, normals;
    MakeVertices(count, share, &positions, &normals);
    Mesh* mesh = MakeMesh(positions, normals);
    Demo::Scene scene(new ::Scene());
    for (auto _ : state) {
        // Every round starts from the unsmoothed normals.
        memcpy(mesh->GetVertexArray(1)->data, normals.data(), normals.size() * 12);
        scene.Smooth(mesh, 30.0f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
    delete mesh;
}
BENCHMARK(BM_Smooth)->Args({200000, 4})->Args({200000, 8})->Unit(benchmark::kMillisecond);

void BM_GroupEqualPositions(benchmark::State& state) {
    const unsigned int count = unsigned(state.range(0));
    std::vector<Vec3> positions, normals;
    MakeVertices(count, 4, &positions, &normals);
    Vector<unsigned int> members, ends;
    for (auto _ : state) {
        Demo::Scene::GroupEqualPositions(positions.data(), count, &members, &ends);
        benchmark::DoNotOptimize(members.Data());
    }
}
BENCHMARK(BM_GroupEqualPositions)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The scan as first written (tests/support/SmoothReference.h): every leader
// sweeps all remaining vertices.
void BM_GroupQuadraticScan(benchmark::State& state) {
    const unsigned int count = unsigned(state.range(0));
    std::vector<Vec3> positions, normals;
    MakeVertices(count, 4, &positions, &normals);
    for (auto _ : state) benchmark::DoNotOptimize(testsupport::ReferenceGroups(positions).data());
}
BENCHMARK(BM_GroupQuadraticScan)->Arg(20000)->Unit(benchmark::kMillisecond);
// One round is seconds long.
BENCHMARK(BM_GroupQuadraticScan)->Arg(200000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
