// Skinned mesh records.
#include "m3g/SkinnedMesh.h"

#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "m3g/Group.h"
#include "m3g/VertexArray.h"
#include "m3g/VertexBuffer.h"

namespace M3G {

SkinnedMesh::SkinnedMesh(DataSource* source, Loader* loader)
    : Mesh(source, loader),
      perVertexBones(false),
      secondFlag(false),
      referenceCount(0),
      references(nullptr),
      boneCount(0),
      furtherCount(0),
      bones(nullptr),
      boneTable(nullptr),
      boneTableRows(0) {
    skeleton = ReadU32(source);
    if (loader->GetVersion() == 1) {
        perVertexBones = ReadBool(source);
        secondFlag = ReadBool(source);
    }
    if (!perVertexBones) {
        referenceCount = ReadU32(source);
        references = NewArray<TransformReference>(source, &referenceCount, 16);
        for (unsigned int i = 0; i < referenceCount; ++i) {
            references[i].node = ReadU32(source);
            references[i].firstVertex = ReadU32(source);
            references[i].vertexCount = ReadU32(source);
            references[i].weight = ReadI32(source);
        }
        return;
    }
    boneCount = ReadU32(source);
    furtherCount = ReadU32(source);
    bones = ReadU32Array(source, &boneCount);
    // The row count is the vertex count of the positions, which must have
    // been read before this record.
    VertexBuffer* buffer =
        static_cast<VertexBuffer*>(loader->GetObject(vertexBuffer, T_VertexBuffer));
    VertexArray* positions =
        buffer ? static_cast<VertexArray*>(loader->GetObject(buffer->positions, T_VertexArray))
               : nullptr;
    if (!positions || boneCount == 0) return;
    unsigned int rowSize = boneCount <= 256 ? boneCount : 0;
    if (boneCount > 256) rowSize = Fits(source, boneCount, 4) ? boneCount * 4 : 0;
    boneTableRows = positions->vertexCount;
    if (rowSize == 0) boneTableRows = 0;
    boneTable = ReadBlock(source, &boneTableRows, rowSize);
}

SkinnedMesh::~SkinnedMesh() {
    delete[] references;
    delete[] bones;
    delete[] boneTable;
}

void SkinnedMesh::Create() {
    // Every bone node must exist before the references name them. The
    // skeleton is attached by the rules of a group's children.
    if (Group* skeletonRecord = static_cast<Group*>(loader->GetObject(skeleton, T_Group)))
        AttachChild(skeletonRecord, skeleton, "M3G::SkinnedMesh::Create");
    for (unsigned int i = 0; i < submeshCount; ++i) {
        // Each submesh copies the references and gets bone data per vertex and
        // sub-batches of its own.
        if (!loader->Charge(sizeof(::SkinnedMesh) + kVectorBytes +
                            (unsigned long long)referenceCount * sizeof(::TransformReference)))
            return;
        SceneNode* node = CreateAppearance(submeshes[i].appearance);
        if (!node) return;
        MakeRoom(&loader->GetScene()->objects, 1);
        ::SkinnedMesh* mesh = new ::SkinnedMesh();
        loader->GetScene()->objects.Add(mesh);
        if (!CreateArrays(mesh, submeshes[i].indexBuffer)) return;
        CreateTransformReferences(mesh);
        if (!loader->Charge((unsigned long long)BoneDataVertices(mesh) *
                            ::SkinnedMesh::kBoneDataBytes))
            return;
        mesh->batchBytesLimit = loader->budget;
        mesh->UpdateBatches();
        if (!loader->Charge(mesh->batchBytes)) return;
        node->Attach(mesh);
        sceneNode->Attach(node);
    }
}

void SkinnedMesh::CreateTransformReferences(::SkinnedMesh* mesh) {
    Group* skeletonRecord = static_cast<Group*>(loader->GetObject(skeleton, T_Group));
    SceneNode* skeletonNode = skeletonRecord ? skeletonRecord->CreateSceneNode() : nullptr;
    ::TransformReference* refs =
        referenceCount ? new ::TransformReference[referenceCount] : nullptr;
    unsigned int n = 0;
    for (unsigned int i = 0; i < referenceCount; ++i) {
        // Any node record may be a bone; anything else names no node.
        Node* bone = dynamic_cast<Node*>(loader->GetObject(references[i].node));
        if (!bone) continue;
        refs[n++] = {bone->CreateSceneNode(), references[i].firstVertex, references[i].vertexCount,
                     references[i].weight};
    }
    mesh->SetTransformReferences(skeletonNode, refs, n);
}

unsigned int SkinnedMesh::BoneDataVertices(::SkinnedMesh* mesh) {
    for (unsigned int i = 0; i < mesh->numVertexArrays; ++i)
        if (mesh->vertexArrays[i].type == AttributeArray::at_Location)
            return mesh->vertexArrays[i].count;
    return 0;
}

}  // namespace M3G
