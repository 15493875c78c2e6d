// Bone batching of a large skinned character: SkinnedMesh::UpdateBatches
// against the literal procedure, which scans every reference for every
// element and so takes time elements x references. 100,000 vertices in
// strips of 1000, 200,000 references over 40 bones (the layout of
// SkinBatching.HundredThousandVerticesInWellUnderASecond in
// tests/test_skinned_mesh.cpp, whose smaller twin compares the two results
// in full). The literal run is timed once: it takes tens of seconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/AttributeArray.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/VertexBatch.h"

namespace {

const unsigned int kVertices = 100000;
const unsigned int kBones = 40;
const unsigned int kStrip = 1000;

// The mesh: implicit strips over the vertices, two references per vertex
// pair, each over three vertices, to neighbouring bones that change every
// 2500 vertices.
struct Rig {
    Rig() : bones(kBones) {
        for (auto& bone : bones) {
            bone.reset(new SceneNode);
            skeleton.Attach(bone.get());
        }
        AttributeArray* arrays = new AttributeArray[1];
        arrays[0].count = kVertices;
        arrays[0].data = new unsigned char[size_t(kVertices) * 12]();
        mesh.SetVertexArrays(arrays, 1);
        AttributeArray* strips = new AttributeArray[1];
        strips[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
        strips[0].count = kVertices / kStrip;
        strips[0].data = new unsigned char[size_t(strips[0].count) * 4];
        for (unsigned int i = 0; i < strips[0].count; ++i)
            memcpy(strips[0].data + i * 4, &kStrip, 4);
        mesh.SetTriangleArrays(strips, 1);
        const unsigned int count = 2 * kVertices;
        TransformReference* refs = new TransformReference[count];
        for (uint32_t r = 0; r < count; ++r) {
            uint32_t first = r / 2;
            refs[r] = {bones[(first / 2500 + r % 2) % kBones].get(), first, 3, int(1 + r % 7)};
        }
        mesh.SetTransformReferences(&skeleton, refs, count);
    }
    SceneNode skeleton;
    std::vector<std::unique_ptr<SceneNode>> bones;
    SkinnedMesh mesh;
};

struct BatchInfo {
    unsigned int first, count, maxInfluences;
    std::vector<SceneNode*> bones;
    bool operator==(const BatchInfo& o) const {
        return first == o.first && count == o.count && maxInfluences == o.maxInfluences &&
               bones == o.bones;
    }
};

struct SkinResult {
    std::vector<BatchInfo> batches;
    std::vector<unsigned char> slots;  // 4 per vertex
    std::vector<float> weights;        // 4 per vertex
};

// The literal procedure, a copy of the reference in tests/test_skinned_mesh.cpp
// for non-indexed strips: for each element, every reference not yet in the
// sub-batch is tested; the sub-batch ends when a ninth bone would join, and
// the next starts three elements back.
class ReferenceSkinning {
public:
    explicit ReferenceSkinning(SkinnedMesh& m) : mesh(m) {}

    SkinResult Run() {
        numVertices = mesh.vertexArrays[0].count;
        result.slots.assign(size_t(numVertices) * 4, 0);
        result.weights.assign(size_t(numVertices) * 4, 0.0f);
        Vector<VertexBatch*> plain;
        mesh.CreateTriangleArrayBatches(&plain);
        for (VertexBatch* batch : plain) TransformBatches(batch);
        Mesh::ClearBatches(&plain);
        return result;
    }

private:
    bool Covers(const TransformReference* r, unsigned int v) {
        return r->firstVertex <= v && uint64_t(v) < uint64_t(r->firstVertex) + r->vertexCount;
    }

    void TransformBatches(VertexBatch* batch) {
        std::vector<TransformReference*> accepted, fresh;
        unsigned int n = batch->count;
        if (n < 1) return SubBatch(batch, accepted, 0, 0);
        std::vector<bool> isAccepted(mesh.numReferences, false);
        std::vector<SceneNode*> nodes;
        unsigned int start = 0, i = 0;
        while (i < n) {
            unsigned int v = mesh.BatchElement(batch, i);
            fresh.clear();
            std::vector<SceneNode*> freshNodes;
            for (unsigned int r = 0; r < mesh.numReferences; ++r) {
                TransformReference* ref = &mesh.references[r];
                if (isAccepted[r] || !Covers(ref, v)) continue;
                fresh.push_back(ref);
                if (std::find(nodes.begin(), nodes.end(), ref->node) == nodes.end() &&
                    std::find(freshNodes.begin(), freshNodes.end(), ref->node) == freshNodes.end())
                    freshNodes.push_back(ref->node);
            }
            if (nodes.size() + freshNodes.size() <= 8) {
                for (TransformReference* ref : fresh) {
                    accepted.push_back(ref);
                    isAccepted[ref - mesh.references] = true;
                }
                nodes.insert(nodes.end(), freshNodes.begin(), freshNodes.end());
                ++i;
                continue;
            }
            for (TransformReference* ref : accepted) isAccepted[ref - mesh.references] = false;
            nodes.clear();
            if (i >= start + 4) {
                SubBatch(batch, accepted, start, (i - 1) - start);
                accepted.clear();
                start = i = i - 3;
                continue;
            }
            accepted.clear();
            unsigned int restart = i >= 2 ? i - 1 : i;
            if (restart <= start) restart = i > start ? i : i + 1;
            start = i = restart;
        }
        SubBatch(batch, accepted, start, n - start);
    }

    void SubBatch(VertexBatch* batch, const std::vector<TransformReference*>& refs,
                  unsigned int first, unsigned int count) {
        BatchInfo info = {batch->firstVertex + first, count, 0, {}};
        std::vector<unsigned int> slots;
        for (TransformReference* ref : refs) {
            auto at = std::find(info.bones.begin(), info.bones.end(), ref->node);
            slots.push_back(unsigned(at - info.bones.begin()));
            if (at == info.bones.end()) info.bones.push_back(ref->node);
        }
        VertexBatch sub;
        sub.indexed = batch->indexed;
        sub.triangleArray = batch->triangleArray;
        sub.firstIndex = batch->firstIndex + first;
        sub.firstVertex = batch->firstVertex + first;
        for (unsigned int e = 0; e < count; ++e) {
            unsigned int v = mesh.BatchElement(&sub, e);
            if (v >= numVertices) continue;
            unsigned char* index = &result.slots[size_t(v) * 4];
            float* weight = &result.weights[size_t(v) * 4];
            int64_t w[4] = {0, 0, 0, 0};
            int64_t total = 0;
            unsigned int used = 0;
            for (size_t k = 0; k < refs.size(); ++k) {
                TransformReference* ref = refs[k];
                if (!Covers(ref, v)) continue;
                unsigned int s = slots[k], p = used;
                for (unsigned int q = 0; q < used; ++q)
                    if (index[q] == s) {
                        p = q;
                        break;
                    }
                if (p >= 4) {
                    int64_t smallest = int64_t(1) << 30;
                    int m = -1;
                    for (unsigned int q = 0; q < used; ++q)
                        if (w[q] < smallest) {
                            smallest = w[q];
                            m = int(q);
                        }
                    if (m < 0 || w[m] >= ref->weight) continue;
                    total -= w[m];
                    w[m] = 0;
                    p = unsigned(m);
                }
                w[p] += ref->weight;
                index[p] = (unsigned char)s;
                if (p == used) ++used;
                total += ref->weight;
            }
            for (unsigned int p = 0; p < 4; ++p) {
                if (p < used) {
                    weight[p] = total != 0 ? float(w[p]) / float(total) : 0.0f;
                } else {
                    index[p] = 0;
                    weight[p] = 0.0f;
                }
            }
            info.maxInfluences = std::max(info.maxInfluences, used);
        }
        result.batches.push_back(info);
    }

    SkinnedMesh& mesh;
    unsigned int numVertices = 0;
    SkinResult result;
};

SkinResult FromMesh(SkinnedMesh& mesh) {
    SkinResult r;
    for (VertexBatch* b : mesh.batches)
        r.batches.push_back({b->firstVertex, b->count, b->maxInfluences,
                             std::vector<SceneNode*>(b->bones.begin(), b->bones.end())});
    r.slots.assign(mesh.boneIndices.data, mesh.boneIndices.data + size_t(mesh.numVertices) * 4);
    const float* w = reinterpret_cast<const float*>(mesh.boneWeights.data);
    r.weights.assign(w, w + size_t(mesh.numVertices) * 4);
    return r;
}

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
    SkinResult indexed = FromMesh(rig.mesh);
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
