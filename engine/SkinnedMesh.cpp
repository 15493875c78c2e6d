// Skinning at load time: bone slots and weights per vertex, batches of at most
// eight bones, and the bind matrices of each batch's bones.
#include "engine/SkinnedMesh.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/SceneNode.h"
#include "engine/VertexBatch.h"
#include "math/Mat3.h"
#include "math/Mat4.h"

namespace {

// Work per element, reference and vertex that batching may take (and a floor
// for small meshes) before it gives the mesh up: references that overlap in
// every way a file can make them would otherwise cost time quadratic in
// their number.
const uint64_t kWorkPerItem = 64;
const uint64_t kWorkFloor = uint64_t(1) << 24;

// What one sub-batch costs: the batch, its first bone list and per bone a
// bind matrix and a normal matrix.
uint64_t SubBatchBytes(unsigned int bones) {
    return sizeof(VertexBatch) + 10 * sizeof(SceneNode*) + bones * (sizeof(Mat4) + sizeof(Mat3));
}

// Slots and weights of one vertex, from the references that cover it in the
// order of their sub-batch.
struct Influence {
    unsigned char index[SkinnedMesh::kMaxInfluences];
    float weight[SkinnedMesh::kMaxInfluences];
    unsigned int used;
    bool dropped;  // a fifth bone was dropped or replaced another
};

// The sub-batch's reference list for one vertex: slot and weight of each
// covering reference, in sub-batch order. Up to four slots are kept; a fifth
// replaces the smallest accumulated weight when it is larger.
void Accumulate(const unsigned int* slots, const int* weights, size_t n, Influence* out) {
    const unsigned int kMax = SkinnedMesh::kMaxInfluences;
    int64_t w[kMax] = {0, 0, 0, 0};
    int64_t total = 0;
    unsigned int used = 0;
    out->dropped = false;
    for (size_t k = 0; k < n; ++k) {
        unsigned int s = slots[k];
        unsigned int p = used;
        for (unsigned int q = 0; q < used; ++q) {
            if (out->index[q] == s) {
                p = q;
                break;
            }
        }
        if (p >= kMax) {
            out->dropped = true;
            int64_t smallest = int64_t(1) << 30;
            int m = -1;
            for (unsigned int q = 0; q < used; ++q) {
                if (w[q] < smallest) {
                    smallest = w[q];
                    m = int(q);
                }
            }
            if (m < 0 || w[m] >= weights[k]) continue;
            total -= w[m];
            w[m] = 0;
            p = unsigned(m);
        }
        w[p] += weights[k];
        out->index[p] = (unsigned char)s;
        if (p == used) ++used;
        total += weights[k];
    }
    for (unsigned int p = 0; p < kMax; ++p) {
        if (p < used) {
            out->weight[p] = total != 0 ? float(w[p]) / float(total) : 0.0f;
        } else {
            out->index[p] = 0;
            out->weight[p] = 0.0f;
        }
    }
    out->used = used;
}

void Store(const Influence& in, unsigned char* index, float* weight) {
    memcpy(index, in.index, sizeof(in.index));
    memcpy(weight, in.weight, sizeof(in.weight));
}

}  // namespace

// The references indexed by vertex, and the state of the batching walk.
//
// Every range end cuts the vertex axis: between two cuts (a segment) every
// vertex is covered by the same references. A sweep over the cuts gives each
// segment its distinct bones (when there are at most eight), so that whether
// an element fits its sub-batch costs a lookup, and a tree over the
// references finds those covering a segment in time linear in their number.
// A segment's references join the sub-batch's list once, and each segment's
// vertex influence is computed once per sub-batch: vertices of one segment
// see the same references in the same order.
struct SkinnedMesh::SkinWork {
    SkinWork(const TransformReference* refs, unsigned int n, uint64_t workLimit);

    unsigned int Segment(uint64_t v) const {
        return unsigned(std::upper_bound(bounds.begin(), bounds.end(), v) - bounds.begin()) - 1;
    }
    // The references covering segment s, ascending; false past the work limit.
    bool Cover(unsigned int s, std::vector<uint32_t>* out);
    void Collect(unsigned int node, unsigned int lo, unsigned int hi, unsigned int prefix,
                 uint64_t at, std::vector<uint32_t>* out) const;

    // A new accepted list for the next sub-batch.
    void StartRun();
    // Whether the bones of the list and of segment s number at most eight.
    bool Fits(unsigned int s) const;
    // Adds the references of segment s missing from the list, ascending;
    // false past the work limit.
    bool Merge(unsigned int s);

    const TransformReference* refs;
    unsigned int numRefs;
    uint64_t workLeft;
    bool failed;  // the work limit was reached

    std::vector<uint64_t> bounds;      // segment k is [bounds[k], bounds[k + 1])
    std::vector<uint8_t> boneCount;    // distinct bones per segment, at most 9
    std::vector<uint32_t> boneStart;   // a segment's bones in `bones`, when 8 or fewer
    std::vector<SceneNode*> bones;
    std::vector<uint32_t> byFirst;     // references ordered by first vertex
    std::vector<uint64_t> firstSorted; // their first vertices
    std::vector<uint64_t> maxEnd;      // tree over byFirst: largest range end below
    unsigned int leaves;

    // The accepted list of the current run: references in list order, their
    // distinct bones in first-seen order (the slots), and stamps telling
    // what belongs to the run.
    uint32_t run;
    std::vector<uint32_t> list;
    std::vector<SceneNode*> slots;
    std::vector<uint32_t> refRun;
    std::vector<uint32_t> rank;
    std::vector<uint32_t> segmentRun;

    // Influence of a segment's vertices in the current sub-batch.
    uint32_t subBatch;
    std::vector<uint32_t> influenceStamp;
    std::vector<Influence> influence;

    std::vector<uint32_t> scratch;
};

SkinnedMesh::SkinWork::SkinWork(const TransformReference* refs_, unsigned int n,
                                uint64_t workLimit)
    : refs(refs_), numRefs(n), workLeft(workLimit), failed(false), leaves(1), run(0),
      subBatch(0) {
    bounds.reserve(size_t(n) * 2 + 1);
    bounds.push_back(0);
    for (unsigned int r = 0; r < n; ++r) {
        bounds.push_back(refs[r].firstVertex);
        bounds.push_back(uint64_t(refs[r].firstVertex) + refs[r].vertexCount);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    size_t segments = bounds.size();

    // The sweep: references enter at their first vertex and leave at their end.
    struct Event {
        uint64_t at;
        uint32_t ref;
        bool enters;
    };
    std::vector<Event> events;
    events.reserve(size_t(n) * 2);
    for (unsigned int r = 0; r < n; ++r) {
        if (refs[r].vertexCount == 0) continue;
        events.push_back({refs[r].firstVertex, r, true});
        events.push_back({uint64_t(refs[r].firstVertex) + refs[r].vertexCount, r, false});
    }
    std::sort(events.begin(), events.end(),
              [](const Event& a, const Event& b) { return a.at < b.at; });
    std::unordered_map<SceneNode*, uint32_t> active;
    boneCount.resize(segments);
    boneStart.resize(segments);
    size_t e = 0;
    for (size_t k = 0; k < segments; ++k) {
        for (; e < events.size() && events[e].at == bounds[k]; ++e) {
            SceneNode* node = refs[events[e].ref].node;
            if (events[e].enters) {
                ++active[node];
            } else {
                auto it = active.find(node);
                if (--it->second == 0) active.erase(it);
            }
        }
        boneStart[k] = uint32_t(bones.size());
        if (active.size() > kMaxBatchBones) {
            boneCount[k] = kMaxBatchBones + 1;
            continue;
        }
        boneCount[k] = uint8_t(active.size());
        for (auto& entry : active) bones.push_back(entry.first);
    }

    byFirst.resize(n);
    for (unsigned int r = 0; r < n; ++r) byFirst[r] = r;
    std::stable_sort(byFirst.begin(), byFirst.end(), [this](uint32_t a, uint32_t b) {
        return refs[a].firstVertex < refs[b].firstVertex;
    });
    firstSorted.resize(n);
    while (leaves < n) leaves *= 2;
    maxEnd.assign(size_t(leaves) * 2, 0);
    for (unsigned int i = 0; i < n; ++i) {
        const TransformReference& r = refs[byFirst[i]];
        firstSorted[i] = r.firstVertex;
        maxEnd[leaves + i] = uint64_t(r.firstVertex) + r.vertexCount;
    }
    for (unsigned int i = leaves; i-- > 1;) maxEnd[i] = std::max(maxEnd[2 * i], maxEnd[2 * i + 1]);

    refRun.assign(n, 0);
    rank.assign(n, 0);
    segmentRun.assign(segments, 0);
    influenceStamp.assign(segments, 0);
    influence.resize(segments);
}

void SkinnedMesh::SkinWork::Collect(unsigned int node, unsigned int lo, unsigned int hi,
                                    unsigned int prefix, uint64_t at,
                                    std::vector<uint32_t>* out) const {
    if (lo >= prefix || maxEnd[node] <= at) return;
    if (hi - lo == 1) {
        out->push_back(byFirst[lo]);
        return;
    }
    unsigned int mid = lo + (hi - lo) / 2;
    Collect(2 * node, lo, mid, prefix, at, out);
    Collect(2 * node + 1, mid, hi, prefix, at, out);
}

bool SkinnedMesh::SkinWork::Cover(unsigned int s, std::vector<uint32_t>* out) {
    out->clear();
    if (numRefs == 0 || failed) return !failed;
    uint64_t at = bounds[s];
    auto end = std::upper_bound(firstSorted.begin(), firstSorted.end(), at);
    unsigned int prefix = unsigned(end - firstSorted.begin());
    Collect(1, 0, leaves, prefix, at, out);
    uint64_t cost = out->size() + 1;
    if (cost > workLeft) {
        failed = true;
        return false;
    }
    workLeft -= cost;
    std::sort(out->begin(), out->end());
    return true;
}

void SkinnedMesh::SkinWork::StartRun() {
    ++run;
    list.clear();
    slots.clear();
}

bool SkinnedMesh::SkinWork::Fits(unsigned int s) const {
    if (boneCount[s] > kMaxBatchBones) return false;
    unsigned int count = unsigned(slots.size());
    for (unsigned int k = 0; k < boneCount[s]; ++k) {
        SceneNode* bone = bones[boneStart[s] + k];
        if (std::find(slots.begin(), slots.end(), bone) == slots.end()) ++count;
    }
    return count <= kMaxBatchBones;
}

bool SkinnedMesh::SkinWork::Merge(unsigned int s) {
    if (segmentRun[s] == run) return true;
    if (!Cover(s, &scratch)) return false;
    for (uint32_t r : scratch) {
        if (refRun[r] == run) continue;
        refRun[r] = run;
        rank[r] = uint32_t(list.size());
        list.push_back(r);
        if (std::find(slots.begin(), slots.end(), refs[r].node) == slots.end())
            slots.push_back(refs[r].node);
    }
    segmentRun[s] = run;
    return true;
}

SkinnedMesh::SkinnedMesh()
    : batchBytesLimit(~0ull),
      batchBytes(0),
      skeleton(nullptr),
      references(nullptr),
      numReferences(0),
      numVertices(0),
      boneIndices(AttributeArray::at_BoneIndex, NT_Byte, 4, false),
      boneWeights(AttributeArray::at_BoneWeight, NT_Float, 4, false),
      work(nullptr) {}

SkinnedMesh::~SkinnedMesh() {
    delete[] references;
}

unsigned int SkinnedMesh::GetNumVertexArrays() {
    return numVertexArrays + 2;
}

AttributeArray* SkinnedMesh::GetVertexArray(unsigned int i) {
    if (i < numVertexArrays) return &vertexArrays[i];
    return i == numVertexArrays ? &boneIndices : &boneWeights;
}

void SkinnedMesh::SetTransformReferences(SceneNode* skeleton_, TransformReference* refs,
                                         unsigned int count) {
    if (refs != references) delete[] references;
    skeleton = skeleton_;
    references = refs;
    numReferences = refs ? count : 0;
}

bool SkinnedMesh::Covers(const TransformReference* r, unsigned int v) const {
    // In 64 bits: first vertex + count may pass 2^32 in a damaged file.
    return r->firstVertex <= v && uint64_t(v) < uint64_t(r->firstVertex) + r->vertexCount;
}

void SkinnedMesh::UpdateBatches() {
    if (numVertexArrays == 0) return;
    AttributeArray* positions = nullptr;
    for (unsigned int i = 0; i < numVertexArrays && !positions; ++i)
        if (vertexArrays[i].type == AttributeArray::at_Location) positions = &vertexArrays[i];
    if (!positions || positions->count == 0) {
        numVertices = 0;
        return;
    }
    numVertices = positions->count;
    delete[] boneIndices.data;
    delete[] boneWeights.data;
    boneIndices.data = nullptr;
    boneWeights.data = nullptr;
    boneIndices.data = new unsigned char[size_t(numVertices) * 4]();
    boneWeights.data = new unsigned char[size_t(numVertices) * 16]();
    boneIndices.count = numVertices;
    boneWeights.count = numVertices;

    ClearBatches(&batches);
    batchBytes = 0;
    Vector<VertexBatch*> plain;
    CreateTriangleArrayBatches(&plain);
    uint64_t elements = 0;
    for (VertexBatch* batch : plain) elements += batch->count;
    uint64_t limit = kWorkPerItem * (elements + numReferences + numVertices) + kWorkFloor;
    std::unique_ptr<SkinWork> walk(new SkinWork(references, numReferences, limit));
    work = walk.get();
    bool complete = true;
    for (VertexBatch* batch : plain) {
        complete = CreateTransformBatches(batch, &batches);
        if (!complete) break;
    }
    work = nullptr;
    ClearBatches(&plain);
    if (complete) return;
    ClearBatches(&batches);
    if (batchBytes > batchBytesLimit)
        printf("SkinnedMesh::UpdateBatches(): bone batches need more than %llu B, the mesh is "
               "not drawn\n",
               (unsigned long long)batchBytesLimit);
    else
        printf("SkinnedMesh::UpdateBatches(): %u bone references overlap too much to batch, the "
               "mesh is not drawn\n",
               numReferences);
}

unsigned int SkinnedMesh::BatchElement(VertexBatch* batch, unsigned int i) {
    if (!batch->indexed) return batch->firstVertex + i;
    if (batch->triangleArray >= numTriangleArrays) return 0;
    const AttributeArray& array = triangleArrays[batch->triangleArray];
    uint64_t at = uint64_t(batch->firstIndex) + i;
    if (!array.data || at >= uint64_t(array.count) * array.components) return 0;
    switch (array.numericType) {
    case NT_Byte:
        return array.data[at];
    case NT_Short: {
        uint16_t v;
        memcpy(&v, array.data + at * 2, 2);
        return v;
    }
    case NT_Int: {
        uint32_t v;
        memcpy(&v, array.data + at * 4, 4);
        return v;
    }
    default:
        return 0;
    }
}

bool SkinnedMesh::CreateTransformBatches(VertexBatch* batch, Vector<VertexBatch*>* out) {
    // Called on its own, the walk has no index yet.
    std::unique_ptr<SkinWork> own;
    SkinWork* w = work;
    if (!w) {
        own.reset(new SkinWork(references, numReferences, ~0ull));
        w = own.get();
    }
    w->StartRun();
    unsigned int n = batch->count;
    if (n < 1) return CreateSubBatch(w, batch, 0, 0, out);
    unsigned int start = 0;
    unsigned int i = 0;
    while (i < n) {
        unsigned int s = w->Segment(BatchElement(batch, i));
        if (w->Fits(s)) {
            if (!w->Merge(s)) return false;
            ++i;
            continue;
        }
        // The sub-batch ends before element i - 1 and the next one starts three
        // elements back, so that a strip goes on without a gap.
        if (i >= start + 4) {
            if (!CreateSubBatch(w, batch, start, (i - 1) - start, out)) return false;
            w->StartRun();
            start = i = i - 3;
            continue;
        }
        printf("Warning: too short batch\n");
        w->StartRun();
        // Restart one element back, but always past the current start, or the
        // same overflow would come round forever; an element that alone needs
        // more than eight bones is skipped.
        unsigned int restart = i >= 2 ? i - 1 : i;
        if (restart <= start) restart = i > start ? i : i + 1;
        start = i = restart;
    }
    return CreateSubBatch(w, batch, start, n - start, out);
}

VertexBatch* SkinnedMesh::NewSubBatch(VertexBatch* batch, SceneNode* const* bones,
                                      unsigned int numBones, unsigned int first,
                                      unsigned int count) {
    std::unique_ptr<VertexBatch> sub(new VertexBatch);
    sub->primitive = batch->primitive;
    sub->indexed = batch->indexed;
    if (batch->indexed) {
        sub->triangleArray = batch->triangleArray;
        sub->firstIndex = batch->firstIndex + first;
    } else {
        sub->firstVertex = batch->firstVertex + first;
    }
    sub->count = count;
    for (unsigned int j = 0; j < numBones; ++j) sub->bones.Add(bones[j]);
    if (numBones) {
        sub->boneMatrices = new Mat4[numBones];
        sub->boneNormalMatrices = new Mat3[numBones];
        for (unsigned int j = 0; j < numBones; ++j)
            CalculateBindingMatrix(skeleton, bones[j], &sub->boneMatrices[j],
                                   &sub->boneNormalMatrices[j]);
    }
    return sub.release();
}

bool SkinnedMesh::CreateSubBatch(SkinWork* w, VertexBatch* batch, unsigned int first,
                                 unsigned int count, Vector<VertexBatch*>* out) {
    unsigned int numBones = unsigned(w->slots.size());
    batchBytes += SubBatchBytes(numBones);
    if (batchBytes > batchBytesLimit) return false;
    std::unique_ptr<VertexBatch> sub(NewSubBatch(batch, w->slots.data(), numBones, first, count));
    ++w->subBatch;
    std::vector<unsigned int> slotOf;
    std::vector<int> weights;
    for (unsigned int e = 0; e < count; ++e) {
        unsigned int v = BatchElement(sub.get(), e);
        // Indices from a file may name vertices the arrays do not have.
        if (v >= numVertices) continue;
        unsigned int s = w->Segment(v);
        Influence& in = w->influence[s];
        if (w->influenceStamp[s] != w->subBatch) {
            // Every reference covering an element of the sub-batch is in its
            // list: the vertex takes them in list order.
            if (!w->Cover(s, &w->scratch)) return false;
            std::sort(w->scratch.begin(), w->scratch.end(),
                      [w](uint32_t a, uint32_t b) { return w->rank[a] < w->rank[b]; });
            slotOf.clear();
            weights.clear();
            for (uint32_t r : w->scratch) {
                SceneNode* node = references[r].node;
                slotOf.push_back(
                    unsigned(std::find(w->slots.begin(), w->slots.end(), node) - w->slots.begin()));
                weights.push_back(references[r].weight);
            }
            Accumulate(slotOf.data(), weights.data(), slotOf.size(), &in);
            w->influenceStamp[s] = w->subBatch;
            if (in.dropped)
                printf("Warning: too many bones per vertex, dropping smallest weight\n");
        }
        Store(in, boneIndices.data + size_t(v) * 4,
              reinterpret_cast<float*>(boneWeights.data + size_t(v) * 16));
        if (in.used > sub->maxInfluences) sub->maxInfluences = in.used;
    }
    // Doubling: sub-batches can number in the hundreds of thousands.
    if (out->Size() == out->Capacity() && !out->Reserve(out->Capacity() * 2 + 10))
        throw std::bad_alloc();
    out->Add(sub.get());
    sub.release();
    return true;
}

void SkinnedMesh::CreateSubBatch(VertexBatch* batch, Vector<TransformReference*>* refs,
                                 unsigned int first, unsigned int count,
                                 Vector<VertexBatch*>* out) {
    // The bones are the distinct nodes of refs in first-seen order.
    std::vector<SceneNode*> bones;
    std::vector<unsigned int> slots;
    for (TransformReference* ref : *refs) {
        auto at = std::find(bones.begin(), bones.end(), ref->node);
        slots.push_back(unsigned(at - bones.begin()));
        if (at == bones.end()) bones.push_back(ref->node);
    }
    std::unique_ptr<VertexBatch> sub(
        NewSubBatch(batch, bones.data(), unsigned(bones.size()), first, count));
    std::vector<unsigned int> slotOf;
    std::vector<int> weights;
    for (unsigned int e = 0; e < count; ++e) {
        unsigned int v = BatchElement(sub.get(), e);
        if (v >= numVertices) continue;
        slotOf.clear();
        weights.clear();
        for (unsigned int k = 0; k < refs->Size(); ++k) {
            if (!Covers((*refs)[k], v)) continue;
            slotOf.push_back(slots[k]);
            weights.push_back((*refs)[k]->weight);
        }
        Influence in;
        Accumulate(slotOf.data(), weights.data(), slotOf.size(), &in);
        if (in.dropped) printf("Warning: too many bones per vertex, dropping smallest weight\n");
        Store(in, boneIndices.data + size_t(v) * 4,
              reinterpret_cast<float*>(boneWeights.data + size_t(v) * 16));
        if (in.used > sub->maxInfluences) sub->maxInfluences = in.used;
    }
    out->Add(sub.get());
    sub.release();
}
void SkinnedMesh::CalculateBindingMatrix(SceneNode* skeleton_, SceneNode* bone, Mat4* matrix,
                                         Mat3* normalMatrix) {
    if (!bone) return;
    // Bring the dirty ancestors up to date from the top down.
    Vector<SceneSpatial*> chain;
    for (const SceneSpatial* s = bone; s; s = s->parent) chain.Add(const_cast<SceneSpatial*>(s));
    for (unsigned int k = chain.Size(); k-- > 0;)
        if (chain[k]->dirty) chain[k]->UpdateWorldTransform();

    Mat4 parentWorld;
    Mat3 parentNormal;
    if (skeleton_ && skeleton_->parent) {
        parentWorld = skeleton_->parent->world;
        parentNormal = skeleton_->parent->normalMatrix;
    }
    Mat4 inverse = bone->world;
    inverse.LoadInverse();
    Mat4::MatrixMultiplication(*matrix, inverse, parentWorld);
    Mat3 inverseNormal = bone->normalMatrix;
    inverseNormal.LoadInverse();
    Mat3::MatrixMultiplication(*normalMatrix, inverseNormal, parentNormal);
}
