// Animation builder, double-precision reference matrices and scene
// descriptions for scene tests.
#include "support/SceneTestUtil.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <map>
#include <sstream>

#include "engine/Camera.h"
#include "engine/KeyframeSequence.h"
#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/Technique.h"
#include "engine/Texture2D.h"
#include "engine/Uniform.h"
#include "engine/VertexBatch.h"
#include "render/GenericState.h"
#include "render/MaterialState.h"
#include "render/TextureSamplerState.h"
#include "render/UniformState.h"
#include "support/TestSupport.h"

namespace testsupport {

ConvertedScene::ConvertedScene(const std::vector<unsigned char>& file)
    : source(file.data(), unsigned(file.size()), false), loader(&source) {
    auto start = std::chrono::steady_clock::now();
    CaptureFd out(1);
    loader.Load();
    scene = loader.CreateScene();
    printed = out.Stop();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

SceneNode* ConvertedScene::NodeWithId(unsigned int id) const { return testsupport::NodeWithId(scene, id); }

std::unique_ptr<Animation> MakeAnimation(unsigned int componentCount, unsigned int interpolation,
                                         unsigned int repeatMode, float duration,
                                         std::initializer_list<AnimKey> keys) {
    std::unique_ptr<Animation> animation(new Animation());
    KeyframeSequence* sequence = new KeyframeSequence(componentCount);
    for (const AnimKey& key : keys) sequence->AddKey(key.time, key.values.data());
    sequence->duration = duration;
    animation->sequence = sequence;
    animation->interpolation = interpolation;
    animation->repeatMode = repeatMode;
    return animation;
}

RefMat3 Ref(const Mat3& m) {
    RefMat3 r;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) r.a[row][col] = m.m[col * 3 + row];
    return r;
}

RefMat4 Ref(const Mat4& m) {
    RefMat4 r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) r.a[row][col] = m.m[col * 4 + row];
    return r;
}

RefMat4 RefScale(double x, double y, double z) {
    return RefMat4{{{x, 0, 0, 0}, {0, y, 0, 0}, {0, 0, z, 0}, {0, 0, 0, 1}}};
}

RefMat4 RefTranslate(double x, double y, double z) {
    return RefMat4{{{1, 0, 0, x}, {0, 1, 0, y}, {0, 0, 1, z}, {0, 0, 0, 1}}};
}

RefMat3 RefRotation(double angle, double x, double y, double z) {
    // R = cI + s[k]x + (1 - c)kk^T for the unit axis k.
    double len = std::sqrt(x * x + y * y + z * z);
    double k[3] = {x / len, y / len, z / len};
    double cross[3][3] = {{0, -k[2], k[1]}, {k[2], 0, -k[0]}, {-k[1], k[0], 0}};
    double c = std::cos(angle), s = std::sin(angle);
    RefMat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.a[i][j] = (i == j ? c : 0.0) + s * cross[i][j] + (1.0 - c) * k[i] * k[j];
    return r;
}

RefMat4 RefRotate(double angle, double x, double y, double z) {
    RefMat3 r = RefRotation(angle, x, y, z);
    RefMat4 out = RefScale(1, 1, 1);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) out.a[row][col] = r.a[row][col];
    return out;
}

double MaxDiff(const Mat4& a, const RefMat4& b) {
    double d = 0.0;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) d = std::fmax(d, std::fabs(a.m[col * 4 + row] - b.a[row][col]));
    return d;
}

double InverseTransposeError(const Mat3& n, const RefMat4& a) {
    // transpose(n) x a: row `row` of transpose(n) is column `row` of n.
    RefMat3 nr = Ref(n);
    double d = 0.0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k) sum += nr.a[k][row] * a.a[k][col];
            d = std::fmax(d, std::fabs(sum - (row == col ? 1.0 : 0.0)));
        }
    return d;
}

namespace {

class SceneWriter {
public:
    explicit SceneWriter(Scene* scene) {
        for (unsigned int i = 0; i < scene->objects.Size(); ++i) {
            SceneObject* o = scene->objects[i];
            places[o] = i;
            // Nodes are also named through their spatial base (parents, uniforms).
            if (auto* node = dynamic_cast<SceneNode*>(o))
                places[static_cast<SceneSpatial*>(node)] = i;
        }
        for (unsigned int i = 0; i < scene->objects.Size(); ++i) {
            out << i << ' ';
            Object(scene->objects[i]);
            out << '\n';
        }
    }
    std::string Text() const { return out.str(); }

private:
    std::string Ref(const void* p) const {
        if (!p) return "-";
        auto at = places.find(p);
        return at == places.end() ? "?" : "#" + std::to_string(at->second);
    }
    template <class List>
    void Refs(const char* label, const List& list) {
        out << ' ' << label << '[';
        for (auto* p : list) out << Ref(static_cast<const SceneObject*>(p)) << ' ';
        out << ']';
    }
    void Floats(const float* f, size_t n) {
        out << std::setprecision(9);
        for (size_t i = 0; i < n; ++i) out << ' ' << f[i];
    }
    void Block(const unsigned char* data, size_t n) {
        uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (size_t i = 0; data && i < n; ++i) h = (h ^ data[i]) * 1099511628211ull;
        out << ' ' << (data ? n : 0) << "B:" << std::hex << h << std::dec;
    }
    void Array(const AttributeArray* a) {
        out << " {" << a->type << ' ' << a->numericType << ' ' << a->components << ' ' << a->stride
            << ' ' << a->count << ' ' << a->dynamic;
        Block(a->data, size_t(a->count) * a->stride);
        out << '}';
    }
    void Object(SceneObject* o) {
        out << "id " << o->id << ' ';
        if (auto* n = dynamic_cast<SceneNode*>(o)) {
            out << "node parent " << Ref(n->parent) << " camera "
                << Ref(static_cast<SceneObject*>(n->camera)) << " hidden " << n->hidden;
            Refs("children", n->children);
            Refs("meshes", n->meshes);
            Refs("states", n->states);
            Refs("bindings", std::vector<Animation*>(n->bindings, n->bindings + 3));
            const Transform& t = n->transform;
            Floats(&t.translation.x, 3);
            Floats(&t.rotation.x, 4);
            Floats(t.rotationMatrix.m, 9);
            Floats(&t.scale.x, 3);
            Floats(t.matrix.m, 16);
        } else if (auto* c = dynamic_cast<Camera*>(o)) {
            const float values[4] = {c->fov, c->aspect, c->near, c->far};
            out << "camera";
            Floats(values, 4);
            Floats(c->projection.m, 16);
        } else if (auto* m = dynamic_cast<Mesh*>(o)) {
            out << "mesh first " << m->firstVertex << " count " << m->vertexCount << " primitive "
                << m->primitive;
            for (unsigned int i = 0; i < m->GetNumVertexArrays(); ++i) Array(m->GetVertexArray(i));
            out << " triangles";
            for (unsigned int i = 0; i < m->GetNumTriangleArrays(); ++i)
                Array(m->GetTriangleArray(i));
            if (m->stripLengths) Array(m->stripLengths);
            for (VertexBatch* b : m->batches) {
                out << " {" << b->primitive << ' ' << b->indexed << ' ' << b->firstVertex << ' '
                    << b->triangleArray << ' ' << b->firstIndex << ' ' << b->count << ' '
                    << b->maxInfluences;
                Refs("bones", b->bones);
                for (unsigned int k = 0; k < b->bones.Size(); ++k) {
                    Floats(b->boneMatrices[k].m, 16);
                    Floats(b->boneNormalMatrices[k].m, 9);
                }
                out << '}';
            }
            if (auto* s = dynamic_cast<SkinnedMesh*>(m)) {
                out << " skeleton " << Ref(static_cast<SceneObject*>(s->skeleton));
                for (unsigned int r = 0; r < s->numReferences; ++r)
                    out << " {" << Ref(static_cast<SceneObject*>(s->references[r].node)) << ' '
                        << s->references[r].firstVertex << ' ' << s->references[r].vertexCount
                        << ' ' << s->references[r].weight << '}';
            }
        } else if (auto* t = dynamic_cast<Texture2D*>(o)) {
            size_t pixel =
                t->format < Texture::kFormatCount ? Texture::textureFormatSizes[t->format] : 0;
            size_t row = (size_t(t->width) * pixel + 3) / 4 * 4;  // rows padded for GL
            out << "texture " << t->format << ' ' << t->mipmapped << ' ' << t->width << 'x'
                << t->height;
            Block(t->pixels, row * t->height);
            Floats(t->textureMatrix.m, 16);
        } else if (auto* u = dynamic_cast<Uniform*>(o)) {
            unsigned int n = u->count * Uniform::ComponentCount(u->elementType);
            out << "uniform " << (u->name ? u->name : "(null)") << ' ' << u->elementType << ' '
                << u->count;
            if (!u->data)
                out << " none";
            else if (u->elementType >= Uniform::ET_WorldTransform)
                out << ' ' << Ref(u->data);
            else if (u->elementType >= Uniform::ET_Float)
                Floats(static_cast<const float*>(u->data), n);
            else
                for (unsigned int i = 0; i < n; ++i)
                    out << ' ' << static_cast<const int*>(u->data)[i];
        } else if (auto* ms = dynamic_cast<MaterialState*>(o)) {
            out << "material";
            Floats(&ms->ambient.x, 4);
            Floats(&ms->diffuse.x, 4);
            Floats(&ms->specular.x, 4);
            Floats(&ms->emission.x, 4);
            Floats(&ms->base.x, 4);
            Floats(&ms->shininess, 1);
        } else if (auto* ss = dynamic_cast<TextureSamplerState*>(o)) {
            out << "sampler " << Ref(static_cast<SceneObject*>(ss->texture)) << ' ' << ss->unit
                << ' ' << ss->wrapS << ' ' << ss->wrapT << ' ' << ss->wrapR << ' '
                << ss->magFilter << ' ' << ss->minFilter << ' ' << ss->mipmapFilter;
        } else if (auto* ts = dynamic_cast<TextureState*>(o)) {
            out << "texture state " << Ref(static_cast<SceneObject*>(ts->texture)) << ' '
                << ts->unit;
        } else if (auto* us = dynamic_cast<UniformState*>(o)) {
            out << "uniform state " << Ref(static_cast<SceneObject*>(us->uniform));
        } else if (auto* gs = dynamic_cast<GenericState*>(o)) {
            out << "switch " << gs->capability << ' ' << gs->enabled;
        } else if (auto* a = dynamic_cast<Animation*>(o)) {
            out << "animation " << a->interpolation << ' ' << a->repeatMode;
            if (const KeyframeSequence* k = a->sequence) {
                out << ' ' << k->componentCount << 'x' << k->channelCount << ' ' << k->duration;
                for (const KeyframeSequence::Key& key : k->keys) {
                    out << " {" << key.time << ':';
                    Floats(key.values, k->KeySize());
                    out << '}';
                }
            }
        } else if (auto* tq = dynamic_cast<Technique*>(o)) {
            out << "technique";
            Refs("passes", tq->passes);
        } else if (auto* p = dynamic_cast<Pass*>(o)) {
            out << "pass scene " << Ref(static_cast<SceneObject*>(p->scene)) << " camera "
                << Ref(static_cast<SceneObject*>(p->cameraNode)) << " clear "
                << p->clearColorEnabled << p->clearDepthEnabled << p->clearStencilEnabled << ' '
                << unsigned(p->clearStencil) << ' ' << p->enabled;
            Floats(&p->clearColor.x, 4);
            Floats(&p->clearDepth, 1);
            Refs("states", p->states);
        } else {
            out << "object " << o->GetObjectType();
        }
    }

    std::map<const void*, unsigned int> places;
    std::ostringstream out;
};

}  // namespace

std::string DescribeScene(Scene* scene) {
    return SceneWriter(scene).Text();
}

}  // namespace testsupport
