// Mesh records.
#include "m3g/Mesh.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/AttributeArray.h"
#include "engine/Mesh.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Texture2D.h"
#include "m3g/Appearance.h"
#include "m3g/Material.h"
#include "m3g/Texture.h"
#include "m3g/TriangleStripArray.h"
#include "m3g/VertexArray.h"
#include "m3g/VertexBuffer.h"
#include "math/Quat.h"
#include "math/Vec3.h"
#include "render/MaterialState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"

namespace M3G {

Mesh::Mesh(DataSource* source, Loader* loader) : Node(source, loader), submeshes(nullptr) {
    vertexBuffer = ReadU32(source);
    submeshCount = ReadU32(source);
    submeshes = NewArray<Submesh>(source, &submeshCount, 8);
    for (unsigned int i = 0; i < submeshCount; ++i) {
        submeshes[i].indexBuffer = ReadU32(source);
        submeshes[i].appearance = ReadU32(source);
    }
}

Mesh::~Mesh() {
    delete[] submeshes;
}

namespace {

// An array the engine can draw from: one to four components.
VertexArray* Usable(Loader* loader, unsigned int index) {
    VertexArray* array = static_cast<VertexArray*>(loader->GetObject(index, Object::T_VertexArray));
    if (array && (array->componentCount < 1 || array->componentCount > 4)) {
        printf("M3G::Mesh::CreateArrays(): vertex array %u has %u components, not converted\n",
               index, array->componentCount);
        return nullptr;
    }
    return array;
}

// Positions and texture coordinates become floats, one block per array,
// bias and scale for every mesh that uses them.
void ScaledArray(AttributeArray* out, AttributeArray::Type type, VertexArray* in, const float* bias,
                 float scale) {
    *out = AttributeArray(type, NT_Float, (unsigned char)in->componentCount, false);
    out->ShareData(in->SharedElements(bias, scale));
    out->count = out->data ? in->vertexCount : 0;
}

// Colours keep their stored type and share the record's block.
void SharedArray(AttributeArray* out, AttributeArray::Type type, VertexArray* in) {
    *out = AttributeArray(type, NumericType(in->GetNumericType()),
                          (unsigned char)in->componentCount, false);
    out->ShareData(in->SharedCopy());
    out->count = out->data ? in->vertexCount : 0;
}

// Normals too, but each mesh gets its own: smoothing rewrites them in place,
// mesh by mesh.
void CopiedArray(AttributeArray* out, AttributeArray::Type type, VertexArray* in, Loader* loader) {
    *out = AttributeArray(type, NumericType(in->GetNumericType()),
                          (unsigned char)in->componentCount, false);
    if (!loader->Charge(in->StoredBytes())) return;
    out->data = in->CopyElements();
    out->count = out->data ? in->vertexCount : 0;
}

// Implicit strips run over consecutive vertices from `first`; lengths past
// the last vertex (a length near 2^32 would take a skinned mesh minutes to
// walk) are cut to it.
void ClampStrips(AttributeArray* strips, unsigned int first, unsigned int vertices) {
    if (!strips->data || strips->numericType != NT_Int) return;
    unsigned int n = strips->count * strips->components;
    uint64_t running = first;
    bool clamped = false;
    unsigned char* data = strips->data;
    for (unsigned int k = 0; k < n; ++k) {
        uint32_t length;
        memcpy(&length, data + size_t(k) * 4, 4);
        uint32_t allowed =
            running >= vertices ? 0 : uint32_t(std::min<uint64_t>(length, vertices - running));
        if (allowed != length) {
            // The block is the record's and other meshes'.
            if (!clamped) data = strips->Writable();
            clamped = true;
            memcpy(data + size_t(k) * 4, &allowed, 4);
        }
        running += allowed;
    }
    if (clamped)
        printf("M3G::Mesh::CreateArrays(): strips from vertex %u run past the %u vertices, "
               "clamped\n",
               first, vertices);
}

// Every mesh uploads buffers of its own, so sharing a block saves only the
// CPU copy: the GPU copies are charged per use, as textures' are. This also
// bounds what a small file can ask each frame to draw.
bool ChargeBuffers(Loader* loader, const AttributeArray* arrays, unsigned int count) {
    unsigned long long bytes = 0;
    for (unsigned int i = 0; i < count; ++i)
        if (arrays[i].data && arrays[i].type != AttributeArray::at_StripLengths)
            bytes += (unsigned long long)arrays[i].count * arrays[i].stride;
    return loader->Charge(bytes) && !loader->overBudget;
}

}  // namespace

void Mesh::Create() {
    for (unsigned int i = 0; i < submeshCount; ++i) {
        // The mesh and its list of arrays; its batches are charged when its
        // strips are known.
        if (!loader->Charge(sizeof(::Mesh) + kVectorBytes)) return;
        SceneNode* node = CreateAppearance(submeshes[i].appearance);
        if (!node) return;
        MakeRoom(&loader->GetScene()->objects, 1);
        ::Mesh* mesh = new ::Mesh();
        mesh->id = userID;
        loader->GetScene()->objects.Add(mesh);
        if (!CreateArrays(mesh, submeshes[i].indexBuffer)) return;
        mesh->UpdateBatches();
        node->Attach(mesh);
        sceneNode->Attach(node);
    }
}

SceneNode* Mesh::CreateAppearance(unsigned int index) {
    Appearance* appearance = static_cast<Appearance*>(loader->GetObject(index, T_Appearance));
    Scene* scene = loader->GetScene();
    // A submesh names its appearance in 8 bytes, and each use makes a node
    // and states of its own.
    unsigned long long states = sizeof(MaterialState) + kVectorBytes;
    if (appearance)
        states += (unsigned long long)appearance->textureCount *
                  (sizeof(TextureState) + sizeof(TextureSamplerState) + 2 * kVectorBytes);
    if (!loader->Charge(sizeof(SceneNode) + 4 * kVectorBytes + states)) return nullptr;
    unsigned int textures = appearance ? appearance->textureCount : 0;
    MakeRoom(&scene->objects, 3 + 2 * textures);
    SceneNode* node = new SceneNode(Vec3::ZERO, Quat::ZERO);
    scene->objects.Add(node);
    if (!appearance) return node;
    node->id = appearance->userID;
    MakeRoom(&node->states, 1 + 2 * textures);
    if (appearance->material != 0) {
        if (Material* material =
                static_cast<Material*>(loader->GetObject(appearance->material, T_Material)))
            material->CreateAttachMaterialState(node);
    }
    for (unsigned int t = 0; t < appearance->textureCount; ++t) {
        Texture* record =
            static_cast<Texture*>(loader->GetObject(appearance->textures[t], T_Texture2D));
        ::Texture2D* texture = record ? record->CreateTexture() : nullptr;
        if (!texture) continue;
        TextureState* state = new TextureState(texture, t);
        scene->objects.Add(state);
        TextureSamplerState* sampler = new TextureSamplerState(texture, t);
        scene->objects.Add(sampler);
        sampler->wrapS = 0;
        sampler->wrapT = 0;
        sampler->wrapR = 0;
        sampler->magFilter = 1;
        sampler->minFilter = 1;
        sampler->mipmapFilter = 0;
        record->GetSamplerParameters(sampler);
        node->Attach(state);
        node->Attach(sampler);
    }
    return node;
}

bool Mesh::CreateArrays(::Mesh* mesh, unsigned int indexBuffer) {
    VertexBuffer* buffer =
        static_cast<VertexBuffer*>(loader->GetObject(vertexBuffer, T_VertexBuffer));
    unsigned int vertices = 0;
    if (buffer) {
        VertexArray* positions = Usable(loader, buffer->positions);
        VertexArray* normals = Usable(loader, buffer->normals);
        VertexArray* colors = Usable(loader, buffer->colors);
        // Room for every array; unusable texture coordinates leave some unused.
        size_t room = size_t(buffer->texCoordCount) + 3;
        if (!loader->Charge(room * sizeof(AttributeArray))) return false;
        AttributeArray* arrays = new AttributeArray[room];
        unsigned int k = 0;
        if (positions)
            ScaledArray(&arrays[k++], AttributeArray::at_Location, positions, buffer->positionBias,
                        buffer->positionScale);
        if (normals) CopiedArray(&arrays[k++], AttributeArray::at_Normal, normals, loader);
        if (colors) SharedArray(&arrays[k++], AttributeArray::at_Color, colors);
        for (unsigned int t = 0; t < buffer->texCoordCount; ++t) {
            const VertexBuffer::TexCoordArray& tc = buffer->texCoords[t];
            if (VertexArray* array = Usable(loader, tc.array))
                ScaledArray(&arrays[k++], AttributeArray::at_TexCoord, array, tc.bias, tc.scale);
        }
        if (k == 0) {
            delete[] arrays;
            arrays = nullptr;
        }
        mesh->SetVertexArrays(arrays, k);
        // Strips of consecutive vertices may use those every array has.
        for (unsigned int a = 0; a < k; ++a)
            if (a == 0 || arrays[a].count < vertices) vertices = arrays[a].count;
        if (!ChargeBuffers(loader, arrays, k)) return false;
    }
    if (loader->overBudget) return false;
    if (indexBuffer == 0) return true;
    TriangleStripArray* strips =
        static_cast<TriangleStripArray*>(loader->GetObject(indexBuffer, T_TriangleStripArray));
    if (!strips) return true;
    // One batch per strip of every triangle array the mesh is given.
    if (!loader->Charge((unsigned long long)strips->stripCount *
                        (sizeof(VertexBatch) + kVectorBytes)))
        return false;
    std::unique_ptr<AttributeArray> lengths(new AttributeArray());
    AttributeArray* triangles = nullptr;
    unsigned int count = 0;
    unsigned int first = 0;
    strips->CreateArrays(&triangles, &count, lengths.get(), &first);
    mesh->SetTriangleArrays(triangles, count);
    delete mesh->stripLengths;
    mesh->stripLengths = lengths.release();
    mesh->firstVertex = first;
    for (unsigned int j = 0; j < count; ++j)
        if (triangles[j].type == AttributeArray::at_StripLengths)
            ClampStrips(&triangles[j], first, vertices);
    return ChargeBuffers(loader, triangles, count);
}

}  // namespace M3G
