// Bone batching of a large skinned character: SkinnedMesh::UpdateBatches
// against the literal procedure of tests/support/SkinReference.h, which scans
// every reference for every element and so takes time elements x references.
// 100,000 vertices in strips of 1000, 200,000 references over 40 bones (the
// layout of SkinBatching.HundredThousandVerticesInWellUnderASecond in
// tests/test_skinned_mesh.cpp, whose smaller twin compares the two results in
// full). The literal run is timed once: it takes tens of seconds.
#include <benchmark/benchmark.h>

#include <vector>

#include "tests/support/SkinReference.h"

using namespace testsupport;

namespace {

const unsigned int kVertices = 100000;
const unsigned int kBones = 40;

// Strips of 1000 vertices; neighbouring bones change every 2500 vertices.
struct Rig : SkinRig {
    Rig() : SkinRig(kVertices, kBones, CharacterRefs(kVertices, kBones, 2500),
                    std::vector<uint32_t>(kVertices / 1000, 1000)) {}
};

void BM_UpdateBatches(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.mesh.UpdateBatches();
        benchmark::DoNotOptimize(rig.mesh.batches.Data());
    }
    state.counters["batches"] = rig.mesh.batches.Size();
    state.counters["references"] = rig.mesh.numReferences;
}

// Timed once; then the indexed batching of the same mesh must give the very
// same batches, slots and weights.
void BM_LiteralProcedure(benchmark::State& state) {
    Rig rig;
    SkinResult literal;
    for (auto _ : state) {
        literal = ReferenceSkinning(rig.mesh).Run();
        benchmark::DoNotOptimize(literal.batches.data());
    }
    rig.mesh.UpdateBatches();
    SkinResult indexed = SkinOf(rig.mesh);
    if (!(indexed.batches == literal.batches) || indexed.slots != literal.slots ||
        indexed.weights != literal.weights)
        state.SkipWithError("UpdateBatches differs from the literal procedure");
    state.counters["batches"] = double(literal.batches.size());
    state.counters["references"] = rig.mesh.numReferences;
}

BENCHMARK(BM_UpdateBatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralProcedure)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
