// Mesh records.
#include "m3g/Mesh.h"

#include <cstdio>

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

// Positions and texture coordinates become floats.
void ScaledArray(AttributeArray* out, AttributeArray::Type type, VertexArray* in, const float* bias,
                 float scale) {
    *out = AttributeArray(type, NT_Float, (unsigned char)in->componentCount, false);
    out->count = in->values ? in->vertexCount : 0;
    out->data = reinterpret_cast<unsigned char*>(in->CreateElements(bias, scale));
}

// Normals and colours keep their stored type.
void CopiedArray(AttributeArray* out, AttributeArray::Type type, VertexArray* in) {
    *out = AttributeArray(type, NumericType(in->GetNumericType()),
                          (unsigned char)in->componentCount, false);
    out->count = in->values ? in->vertexCount : 0;
    out->data = in->CopyElements();
}

}  // namespace

void Mesh::Create() {
    for (unsigned int i = 0; i < submeshCount; ++i) {
        SceneNode* node = CreateAppearance(submeshes[i].appearance);
        ::Mesh* mesh = new ::Mesh();
        mesh->id = userID;
        loader->GetScene()->objects.Add(mesh);
        CreateArrays(mesh, submeshes[i].indexBuffer);
        mesh->UpdateBatches();
        node->Attach(mesh);
        sceneNode->Attach(node);
    }
}

SceneNode* Mesh::CreateAppearance(unsigned int index) {
    Appearance* appearance = static_cast<Appearance*>(loader->GetObject(index, T_Appearance));
    Scene* scene = loader->GetScene();
    SceneNode* node = new SceneNode(Vec3::ZERO, Quat::ZERO);
    scene->objects.Add(node);
    if (!appearance) return node;
    node->id = appearance->userID;
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
        TextureSamplerState* sampler = new TextureSamplerState(texture, t);
        sampler->wrapS = 0;
        sampler->wrapT = 0;
        sampler->wrapR = 0;
        sampler->magFilter = 1;
        sampler->minFilter = 1;
        sampler->mipmapFilter = 0;
        record->GetSamplerParameters(sampler);
        scene->objects.Add(state);
        scene->objects.Add(sampler);
        node->Attach(state);
        node->Attach(sampler);
    }
    return node;
}

void Mesh::CreateArrays(::Mesh* mesh, unsigned int indexBuffer) {
    VertexBuffer* buffer =
        static_cast<VertexBuffer*>(loader->GetObject(vertexBuffer, T_VertexBuffer));
    if (buffer) {
        VertexArray* positions = Usable(loader, buffer->positions);
        VertexArray* normals = Usable(loader, buffer->normals);
        VertexArray* colors = Usable(loader, buffer->colors);
        // Room for every array; unusable texture coordinates leave some unused.
        AttributeArray* arrays = new AttributeArray[size_t(buffer->texCoordCount) + 3];
        unsigned int k = 0;
        if (positions)
            ScaledArray(&arrays[k++], AttributeArray::at_Location, positions, buffer->positionBias,
                        buffer->positionScale);
        if (normals) CopiedArray(&arrays[k++], AttributeArray::at_Normal, normals);
        if (colors) CopiedArray(&arrays[k++], AttributeArray::at_Color, colors);
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
    }
    if (indexBuffer == 0) return;
    TriangleStripArray* strips =
        static_cast<TriangleStripArray*>(loader->GetObject(indexBuffer, T_TriangleStripArray));
    if (!strips) return;
    AttributeArray* lengths = new AttributeArray();
    AttributeArray* triangles = nullptr;
    unsigned int count = 0;
    unsigned int first = 0;
    strips->CreateArrays(&triangles, &count, lengths, &first);
    mesh->SetTriangleArrays(triangles, count);
    delete mesh->stripLengths;
    mesh->stripLengths = lengths;
    mesh->firstVertex = first;
}

}  // namespace M3G
