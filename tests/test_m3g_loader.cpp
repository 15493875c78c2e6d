// Scene-file reading: the census of real files, the format's edge cases, and
// damaged input that must neither crash nor read outside its data.
#include "engine/Scene.h"
#include "io/ROMSource.h"
#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "m3g/AnimationController.h"
#include "m3g/Appearance.h"
#include "m3g/Background.h"
#include "m3g/Camera.h"
#include "m3g/CompositingMode.h"
#include "m3g/ExternalReference.h"
#include "m3g/Group.h"
#include "m3g/Image2D.h"
#include "m3g/KeyframeSequence.h"
#include "m3g/M3GLoader.h"
#include "m3g/Mesh.h"
#include "m3g/PolygonMode.h"
#include "m3g/SkinnedMesh.h"
#include "m3g/Texture2D.h"
#include "m3g/TriangleStripArray.h"
#include "m3g/VertexArray.h"
#include "m3g/VertexBuffer.h"
#include "support/M3GBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using File = std::vector<unsigned char>;
using Census = std::map<unsigned int, unsigned int>;

std::string M3GDir() { return FixturesDir() + "/m3g"; }

// The scene files kept with the tests, listed in their README; every one must
// be there.
const std::vector<std::string> kFixtures = {"cube.m3g",         "helloworld.m3g",
                                            "monkey_step1.m3g", "monkey_step2.m3g",
                                            "scene.m3g",        "teapot.m3g"};

std::vector<std::string> Fixtures() {
    for (const std::string& name : kFixtures)
        EXPECT_TRUE(FileExists(M3GDir() + "/" + name)) << "missing fixture " << name;
    return kFixtures;
}

// A loader that has read the bytes, and what the reading printed.
struct Loaded {
    explicit Loaded(const File& file) {
        unsigned char* copy = static_cast<unsigned char*>(malloc(file.size() ? file.size() : 1));
        if (!file.empty()) memcpy(copy, file.data(), file.size());
        source = new ROMSource(copy, unsigned(file.size()), true);
        loader = new M3GLoader(source);
        CaptureFd out(1);
        loader->Load();
        printed = out.Stop();
    }
    ~Loaded() {
        delete loader;
        delete source;
    }
    Census Table() const {
        Census c;
        for (M3G::Object* o : loader->objects)
            if (o) ++c[unsigned(o->GetType())];
        return c;
    }
    ROMSource* source;
    M3GLoader* loader;
    std::string printed;
};

// A record whose only contents are the common object fields.
File Plain(unsigned int type, uint32_t id) {
    return Record(type, Bytes().Object3D(id));
}

template <typename T>
std::vector<T> Span(const T* p, size_t n) {
    return p ? std::vector<T>(p, p + n) : std::vector<T>();
}

// Field values of a loaded record, in one list (doubles hold every u32 and
// float exactly).
struct Fields : std::vector<double> {
    using vector::vector;
};
template <typename... T>
Fields F(T... v) {
    return Fields{double(v)...};
}
template <typename T>
Fields operator<<(Fields f, const std::vector<T>& v) {
    f.insert(f.end(), v.begin(), v.end());
    return f;
}

template <typename T>
T* At(M3GLoader* loader, unsigned int index) {
    return dynamic_cast<T*>(loader->GetObject(index));
}

// One record written in the 1.0 or the 2.0 layout (header added), and its
// fields once loaded: those both layouts carry must read alike, and those of
// one layout alone as 1.0 defaults them or as 2.0 files give them. The 2.0
// fields hold values of their own, so that one read in the wrong place shows
// in the fields after it.
struct LayoutCase {
    const char* name;
    std::function<std::vector<File>(bool v2)> records;
    std::function<Fields(M3GLoader*)> common, own;
    Fields expected, ownOne, ownTwo;
};

}  // namespace

TEST(M3GCensus, LoaderTableMatchesTheFileWalkAndConverts) {
    std::vector<std::string> names = Fixtures();
    for (const std::string& name : names) {
        File file = ReadBytes(M3GDir() + "/" + name);
        Census walked;
        ASSERT_TRUE(WalkM3G(file, &walked)) << name;
        Loaded l(file);
        EXPECT_EQ(l.Table(), walked) << name;
        CaptureFd out(1);
        delete l.loader->CreateScene();  // and converts without a word
        EXPECT_EQ(l.printed + out.Stop(), "") << name;
    }
}

TEST(M3GFormat, SectionsAndMessages) {
    File garbage = Section({Plain(13, 1)});
    garbage[0] = 1;  // claims zlib, but holds nothing to read
    garbage[5] = garbage[6] = garbage[7] = garbage[8] = 0;
    File badZlib = Section({Plain(13, 1)});
    badZlib[0] = 1;
    struct Case {
        const char* name;
        File file;
        std::vector<int> types;  // table, -1 for an empty entry
        std::string printed;
    } cases[] = {
        {"identifier only", M3GFile({}), {}, ""},
        {"wrong identifier",
         File{0xAB, 0x4A, 0x53, 0x00},
         {},
         "Identifier char 3 is 0x00, should be 0x52\n"},
        {"short identifier",
         File{0xAB, 0x4A},
         {},
         "M3GLoader::Load(): file ends after 2 identifier bytes\n"},
        {"zlib and plain sections in order",
         M3GFile({Section({Record(0, HeaderData(1)), Plain(13, 1)}, 1), Section({Plain(6, 2)}, 0)}),
         {0, 13, 6},
         ""},
        {"uncompressed length 0 skipped", M3GFile({garbage, Section({Plain(13, 1)})}), {13}, ""},
        {"compression byte 2 reads plain", M3GFile({Section({Plain(13, 1)}, 2)}), {13}, ""},
        {"fog keeps its index",
         M3GFile({Section({Record(7, Bytes().U8(1).U8(2).U8(3)), Plain(13, 1)})}),
         {-1, 13},
         "usupported object 7, 3 B\n"},
        {"external reference",
         M3GFile({Section({Record(255, Bytes().Text("other.m3g"))})}),
         {255},
         "ExternalReference::ExternalReference() -> other.m3g\n"},
        {"damaged zlib section, next one read",
         M3GFile({badZlib, Section({Plain(13, 1)})}),
         {13},
         "M3GLoader::DecompressSection(): decompression failed: -3\n"},
    };
    for (const Case& c : cases) {
        Loaded l(c.file);
        std::vector<int> types;
        for (M3G::Object* o : l.loader->objects) types.push_back(o ? int(o->GetType()) : -1);
        EXPECT_EQ(types, c.types) << c.name;
        EXPECT_EQ(l.printed, c.printed) << c.name;
    }
}

TEST(M3GLayouts, BothLayoutsReadTheSameFields) {
    const LayoutCase cases[] = {
        {"common fields, transforms, node and group",
         [](bool v2) {
             Bytes b(v2);
             b.U32(7).U32(2).U32(3);  // user id 7, tracks 3 and 4
             if (v2) b.U32(50);
             b.U32(4);
             if (v2) b.U32(60);
             b.U32(1).U32(9).U32(2).U8(0xAB).U8(0xCD);  // one parameter of two bytes
             if (v2) b.U8(1);
             b.U8(1).F32(1).F32(2).F32(3).F32(4).F32(5).F32(6).F32(90).F32(0).F32(0).F32(1).U8(1);
             for (int i = 0; i < 16; ++i) b.F32(float(i));
             b.U8(1).U8(0).U8(128).U32(5).U8(1).U8(144).U8(145).U32(3).U32(4);  // aligned
             if (v2) b.U32(2).U32(11).U32(12);
             return std::vector<File>{Record(9, b.U32(2).U32(5).U32(6))};
         },
         [](M3GLoader* l) {
             auto* g = At<M3G::Group>(l, 2);
             if (!g || g->userParameterCount != 1) return Fields();
             const M3G::Object3D::UserParameter& p = g->userParameters[0];
             Fields f = F(g->userID, p.id, g->renderingEnabled, g->pickingEnabled, g->alphaFactor,
                          g->scope, g->hasAlignment, g->zTarget, g->yTarget, g->zReference,
                          g->yReference);
             f = f << Span(g->animationTracks, g->animationTrackCount) << Span(p.value, p.length)
               << Span(g->translation, 3) << Span(g->scale, 3) << Span(g->orientationAxis, 3)
               << F(g->orientationAngle) << Span(g->matrix, 16);
             return f << Span(g->children, g->childCount);
         },
         [](M3GLoader* l) {
             auto* g = At<M3G::Group>(l, 2);
             if (!g) return Fields();
             unsigned int tracks = g->animationTrackExtras ? g->animationTrackCount : 0;
             return F(g->trailingFlag) << Span(g->animationTrackExtras, tracks)
                                       << Span(g->extras, g->extraCount);
         },
         F(7, 9, 1, 0, 128, 5, 1, 144, 145, 3, 4, 3, 4, 0xAB, 0xCD, 1, 2, 3, 4, 5, 6, 0, 0, 1, 90,
           0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 5, 6),
         F(0), F(1, 50, 60, 11, 12)},
        {"texture filters before (2.0) or after (1.0) the 2D fields",
         [](bool v2) {
             Bytes b(v2);
             b.Object3D(1).U8(0).U8(0).U32(4);
             if (v2) b.U8(210).U8(209);
             b.U8(1).U8(2).U8(3).U8(4).U8(228).U8(240).U8(241);
             if (!v2) b.U8(210).U8(209);
             return std::vector<File>{Record(17, b)};
         },
         [](M3GLoader* l) {
             auto* t = At<M3G::Texture2D>(l, 2);
             return t ? F(t->image, t->levelFilter, t->imageFilter, t->blending, t->wrappingS,
                          t->wrappingT) << Span(t->blendColor, 4)
                      : Fields();
         },
         [](M3GLoader*) { return Fields(); },
         F(4, 210, 209, 228, 240, 241, 1, 2, 3, 4), {}, {}},
        {"appearance: polygon mode (1.0) or three further values (2.0)",
         [](bool v2) {
             Bytes b(v2);
             b.Object3D(1).U8(3).U32(5);
             if (v2) b.U32(21).U32(22);
             b.U32(6).U32(v2 ? 23 : 7).U32(8).U32(2).U32(9).U32(10);
             return std::vector<File>{Record(3, b)};
         },
         [](M3GLoader* l) {
             auto* a = At<M3G::Appearance>(l, 2);
             return a ? F(a->layer, a->compositingMode, a->fog, a->material)
                            << Span(a->textures, a->textureCount)
                      : Fields();
         },
         [](M3GLoader* l) {
             auto* a = At<M3G::Appearance>(l, 2);
             return a ? F(a->polygonMode, a->extra1, a->extra2, a->extraIndex) : Fields();
         },
         F(3, 5, 6, 8, 9, 10), F(7, 0, 0, 0), F(0, 21, 22, 23)},
        {"keyframes: a channel count (2.0) before 16-bit values with bias and scale",
         [](bool v2) {
             Bytes b(v2);
             b.Object3D(1).U8(178).U8(193).U8(2).U32(500).U32(1).U32(2).U32(2).U32(2);
             if (v2) b.U32(1);
             b.F32(1).F32(-1).F32(0.5f).F32(2).U32(0).U16(2).U16(3).U32(250).U16(4).U16(1000);
             return std::vector<File>{Record(19, b)};
         },
         [](M3GLoader* l) {
             auto* k = At<M3G::KeyframeSequence>(l, 2);
             if (!k) return Fields();
             return F(k->interpolation, k->repeatMode, k->encoding, k->duration,
                      k->validRangeFirst, k->validRangeLast, k->componentCount, k->channelCount)
                    << Span(k->times, k->keyframeCount) << Span(k->values, 2 * k->keyframeCount);
         },
         [](M3GLoader*) { return Fields(); },
         F(178, 193, 2, 500, 1, 2, 2, 1, 0, 250, 2, 5, 3, 1999), {}, {}},
        {"vertex buffer: named attributes (2.0) after the texture coordinates",
         [](bool v2) {
             Bytes b(v2);
             b.Object3D(1).U8(1).U8(2).U8(3).U8(4).U32(5).F32(0.5f).F32(1).F32(2).F32(3).U32(6);
             b.U32(7).U32(1).U32(8).F32(4).F32(5).F32(6).F32(7);
             if (v2) {
                 b.U32(31).U32(32).U32(2).Text("Tangent").U32(9).U8(1).U8(0);
                 for (int i = 0; i < 16; ++i) b.U8(i);
                 b.Text("").U32(10).U8(0).U8(1).Raw(File(16, 0xEE));
             }
             return std::vector<File>{Record(21, b)};
         },
         [](M3GLoader* l) {
             auto* v = At<M3G::VertexBuffer>(l, 2);
             if (!v || v->texCoordCount != 1) return Fields();
             return F(v->positions, v->positionScale, v->normals, v->colors, v->texCoords[0].array,
                      v->texCoords[0].scale)
                    << Span(v->defaultColor, 4) << Span(v->positionBias, 3)
                    << Span(v->texCoords[0].bias, 3);
         },
         [](M3GLoader* l) {
             auto* v = At<M3G::VertexBuffer>(l, 2);
             if (!v) return Fields();
             Fields f = F(v->extra1, v->extra2, v->attributeCount);
             for (unsigned int i = 0; i < v->attributeCount; ++i) {
                 const M3G::VertexBuffer::NamedAttribute& a = v->attributes[i];
                 f = f << F(strlen(a.name), a.name[0], a.array, a.flag1, a.flag2, a.further[0],
                            a.further[15]);
             }
             return f;
         },
         F(5, 3, 6, 7, 8, 7, 1, 2, 3, 4, 0.5, 1, 2, 4, 5, 6), F(0, 0, 0),
         F(31, 32, 2, 7, 'T', 9, 1, 0, 0, 15, 0, 0, 10, 0, 1, 0xEE, 0xEE)},
        {"image: further levels (2.0) after the pixels",
         [](bool v2) {
             Bytes b(v2);
             b.Object3D(1).U8(97).U8(1).U32(2).U32(1).U32(3).U8(5).U8(6).U8(7).U32(2).U8(0).U8(2);
             if (v2) b.U8(1).U8(2).U8(1).U32(3).U8(7).U8(8).U8(9).U8(2).U32(0);
             return std::vector<File>{Record(10, b)};
         },
         [](M3GLoader* l) {
             auto* i = At<M3G::Image2D>(l, 2);
             return i ? F(i->format, i->isMutable, i->width, i->height)
                            << Span(i->palette, i->paletteLength) << Span(i->pixels, i->pixelLength)
                      : Fields();
         },
         [](M3GLoader* l) {
             auto* i = At<M3G::Image2D>(l, 2);
             if (!i) return Fields();
             Fields f = F(i->flag, i->levelCount);
             for (unsigned int k = 0; k < i->levelCount; ++k)
                 f = f << F(i->levels[k].kind) << Span(i->levels[k].data, i->levels[k].length);
             return f;
         },
         F(97, 1, 2, 1, 5, 6, 7, 0, 2), F(0, 0), F(1, 2, 1, 7, 8, 9, 2)},
        {"skinned mesh: two flags (2.0) before the transform references",
         [](bool v2) {
             Bytes b(v2);
             b.PlainNode(1).U32(3).U32(1).U32(4).U32(5).U32(6);
             if (v2) b.U8(0).U8(1);
             b.U32(2).U32(7).U32(1).U32(2).U32(3).U32(8).U32(0).U32(4).U32(uint32_t(-5));
             return std::vector<File>{Record(16, b)};
         },
         [](M3GLoader* l) {
             auto* m = At<M3G::SkinnedMesh>(l, 2);
             if (!m || m->submeshCount != 1) return Fields();
             Fields f = F(m->vertexBuffer, m->submeshes[0].indexBuffer, m->submeshes[0].appearance,
                          m->skeleton, m->referenceCount);
             for (unsigned int r = 0; r < m->referenceCount; ++r) {
                 const M3G::SkinnedMesh::TransformReference& t = m->references[r];
                 f = f << F(t.node, t.firstVertex, t.vertexCount, t.weight);
             }
             return f;
         },
         [](M3GLoader* l) {
             auto* m = At<M3G::SkinnedMesh>(l, 2);
             return m ? F(m->perVertexBones, m->secondFlag) : Fields();
         },
         F(3, 4, 5, 6, 2, 7, 1, 2, 3, 8, 0, 4, -5), F(0, 0), F(0, 1)},
        {"compositing mode: write masks (1.0) or five further values (2.0)",
         [](bool v2) {
             std::vector<File> records;
             for (int colourWrites : {0, 1}) {
                 Bytes b(v2);
                 b.Object3D(1).U8(1).U8(0);
                 if (!v2) b.U8(colourWrites).U8(1);
                 b.U8(66).U8(128).F32(0.5f).F32(-2);
                 if (v2) b.U8(3).U8(4).U32(5).U32(6).U32(7);
                 records.push_back(Record(6, b));
             }
             return records;
         },
         [](M3GLoader* l) {
             auto* c = At<M3G::CompositingMode>(l, 2);
             return c ? F(c->depthTestEnabled, c->depthWriteEnabled, c->blending, c->alphaThreshold,
                          c->depthOffsetFactor, c->depthOffsetUnits)
                      : Fields();
         },
         [](M3GLoader* l) {
             Fields f;
             for (unsigned int i : {2, 3})
                 if (auto* c = At<M3G::CompositingMode>(l, i))
                     f = f << F(c->colorWriteEnabled, c->alphaWriteEnabled, c->extra1, c->extra2,
                            c->extra3, c->extra4, c->extra5);
             return f;
         },
         F(1, 0, 66, 128, 0.5, -2), F(0, 1, 518, 518, 0, 0, 0xFFFFFFFF, 1, 1, 518, 518, 0, 0, 0),
         F(1, 1, 3, 4, 5, 6, 7, 1, 1, 3, 4, 5, 6, 7)},
        {"polygon mode and animation controller: the common fields only",
         [](bool v2) {
             Bytes p(v2), c(v2);
             p.Object3D(1, {9}).U8(161).U8(165).U8(169).U8(1).U8(0).U8(1);
             c.Object3D(2).F32(1.5f).F32(0.25f).U32(uint32_t(-10)).U32(20).F32(3).U32(uint32_t(-4));
             return std::vector<File>{Record(8, p), Record(1, c)};
         },
         [](M3GLoader* l) {
             auto* p = At<M3G::PolygonMode>(l, 2);
             auto* c = At<M3G::AnimationController>(l, 3);
             if (!p || !c) return Fields();
             return F(p->culling, p->shading, p->winding, p->twoSidedLighting,
                      p->localCameraLighting, p->perspectiveCorrection, c->speed, c->weight,
                      c->activeIntervalStart, c->activeIntervalEnd, c->referenceSequenceTime,
                      c->referenceWorldTime);
         },
         [](M3GLoader*) { return Fields(); },
         F(161, 165, 169, 1, 0, 1, 1.5, 0.25, -10, 20, 3, -4), {}, {}},
        {"background: colour clear (1.0) or stencil and clear values (2.0)",
         [](bool v2) { return std::vector<File>{Record(4, Background(v2))}; },
         [](M3GLoader* l) {
             auto* b = At<M3G::Background>(l, 2);
             return b ? F(b->depthClearEnabled, b->imageModeX) << Span(b->color, 4) : Fields();
         },
         [](M3GLoader* l) {
             auto* b = At<M3G::Background>(l, 2);
             return b ? F(b->colorClearEnabled, b->stencilClearEnabled, b->depthClearValue,
                          b->stencilClearValue, b->extra)
                      : Fields();
         },
         F(1, 0x20, 10, 20, 30, 40), F(1, 0, 1, 0, 0), F(0, 1, 0.5, 0x1FF, 9)},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded a(SceneFile(c.records(false))), b(SceneFile(c.records(true), 0, 2));
        ASSERT_EQ(a.loader->version, 0u);
        ASSERT_EQ(b.loader->version, 1u);
        EXPECT_EQ(a.printed + b.printed, "");
        EXPECT_EQ(c.common(a.loader), c.expected);
        EXPECT_EQ(c.common(b.loader), c.expected);
        EXPECT_EQ(c.own(a.loader), c.ownOne);
        EXPECT_EQ(c.own(b.loader), c.ownTwo);
    }
}

// Per-vertex bones (2.0 only): a row per position of the mesh's vertex
// buffer, a byte per bone up to 256 bones, four bytes per bone past that.
TEST(M3GLayouts, PerVertexBoneRowsFollowThePositions) {
    for (unsigned int bones : {2u, 257u}) {
        SCOPED_TRACE(bones);
        Bytes positions(true), buffer(true), skin(true);
        positions.Object3D(1).U8(1).U8(3).U8(0).U16(3).Raw(File(9, 0));
        buffer.Object3D(2).U32(0).U32(2).F32(0).F32(0).F32(0).F32(1).U32(0).U32(0).U32(0);
        buffer.U32(0).U32(0).U32(0);
        skin.PlainNode(3).U32(3).U32(0).U32(9).U8(1).U8(0).U32(bones).U32(7);
        for (unsigned int k = 0; k < bones; ++k) skin.U32(10 + k);
        const unsigned int row = bones <= 256 ? bones : bones * 4;
        for (unsigned int i = 0; i < 3 * row; ++i) skin.U8(i % 251);
        skin.U32(0xDEADBEEF);  // past the table: not read
        Loaded l(SceneFile({Record(20, positions), Record(21, buffer), Record(16, skin)}, 0, 2));
        auto* s = At<M3G::SkinnedMesh>(l.loader, 4);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(std::vector<unsigned>({s->perVertexBones, s->boneCount, s->furtherCount,
                                         s->referenceCount, s->boneTableRows}),
                  std::vector<unsigned>({1, bones, 7, 0, 3}));
        EXPECT_EQ(s->bones[bones - 1], 9 + bones);
        ASSERT_NE(s->boneTable, nullptr);
        EXPECT_EQ(unsigned(s->boneTable[3 * row - 1]), (3 * row - 1) % 251);
    }
}

// Two channels of a 2.0 sequence are stored channel by channel, and each
// can be evaluated from the engine sequence made of it.
TEST(M3GLayouts, KeyframeChannelsFollowEachOther) {
    Bytes keys(true);
    keys.Object3D(1).U8(176).U8(192).U8(0).U32(100).U32(0).U32(0).U32(2).U32(2).U32(2);
    keys.U32(0).F32(0).F32(1).F32(10).F32(11).U32(100).F32(2).F32(3).F32(20).F32(21);
    Loaded l(SceneFile({Record(19, keys)}, 0, 2));
    auto* k = At<M3G::KeyframeSequence>(l.loader, 2);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(Span(k->values, 8), (std::vector<float>{0, 1, 10, 11, 2, 3, 20, 21}));
    std::unique_ptr<::KeyframeSequence> sequence(k->CreateKeyframeSequence());
    Animation animation;
    animation.sequence = sequence.release();
    float first[2], second[2];
    animation.GetChannelValues(50, first, 0, 1, 0);
    animation.GetChannelValues(50, second, 0, 1, 1);
    EXPECT_EQ(std::vector<float>(first, first + 2), (std::vector<float>{1, 2}));
    EXPECT_EQ(std::vector<float>(second, second + 2), (std::vector<float>{15, 16}));
}

TEST(M3GRecords, FieldsAsRead) {
    Bytes keys;  // encoding 1, bias 1, scale 0.5, keys at 0 and 10 with q 4 and 6
    keys.Object3D(1).U8(176).U8(193).U8(1).U32(20).U32(0).U32(1).U32(1).U32(2);
    keys.F32(1.0f).F32(0.5f).U32(0).U8(4).U32(10).U8(6);
    Bytes generic;  // a generic camera: 16 floats and nothing after them
    generic.PlainNode(2).U8(48);
    for (int i = 0; i < 16; ++i) generic.F32(float(i));
    Bytes strips;  // encoding 1: a one-byte first index
    strips.Object3D(3).U8(1).U8(7).U32(2).U32(3).U32(4);
    Loaded l(SceneFile({Record(19, keys), Record(5, generic), Record(11, strips),
                        Record(20, Bytes().Object3D(4).U8(6).U8(3).U8(0).U16(1)), Record(9, Group(5, {}))}));
    auto* k = static_cast<M3G::KeyframeSequence*>(
        l.loader->GetObject(2, M3G::Object::T_KeyframeSequence));
    auto* c = static_cast<M3G::Camera*>(l.loader->GetObject(3, M3G::Object::T_Camera));
    auto* s = static_cast<M3G::TriangleStripArray*>(
        l.loader->GetObject(4, M3G::Object::T_TriangleStripArray));
    auto* v = static_cast<M3G::VertexArray*>(l.loader->GetObject(5, M3G::Object::T_VertexArray));
    auto* g = static_cast<M3G::Group*>(l.loader->GetObject(6, M3G::Object::T_Group));
    ASSERT_TRUE(k && c && s && v && g);
    ASSERT_EQ(k->keyframeCount, 2u);
    EXPECT_EQ(std::vector<float>(k->values, k->values + 2), (std::vector<float>{3.0f, 4.0f}));
    EXPECT_EQ(k->times[1], 10u);
    EXPECT_EQ(c->matrix[15], 15.0f);
    EXPECT_EQ(s->firstIndex, 7u);
    EXPECT_EQ(std::vector<unsigned>(s->stripLengths, s->stripLengths + 2),
              (std::vector<unsigned>{3, 4}));
    EXPECT_EQ(v->values, nullptr);
    EXPECT_EQ(g->childCount, 0u);
    EXPECT_EQ(g->children, nullptr);
    EXPECT_EQ(l.printed, "unsupported component type 6\n");
}

// Counts that claim more than the record holds leave the array empty.
TEST(M3GCorrupt, CountsBeyondTheRecord) {
    const uint32_t kHuge = 0x40000001;  // x4 wraps to 4 in 32 bits
    struct Case {
        const char* name;
        unsigned int type;
        Bytes data;
        std::function<unsigned(M3G::Object*)> count;
    } cases[] = {
        {"vertex count", 20, Bytes().Object3D(1).U8(4).U8(3).U8(0).U16(60000).F32(1),
         [](M3G::Object* o) { return static_cast<M3G::VertexArray*>(o)->vertexCount; }},
        {"key count", 19,
         Bytes().Object3D(1).U8(176).U8(192).U8(0).U32(0).U32(0).U32(0).U32(1).U32(kHuge),
         [](M3G::Object* o) { return static_cast<M3G::KeyframeSequence*>(o)->keyframeCount; }},
        {"component count", 19,
         Bytes().Object3D(1).U8(176).U8(192).U8(0).U32(0).U32(0).U32(0).U32(kHuge).U32(1),
         [](M3G::Object* o) { return static_cast<M3G::KeyframeSequence*>(o)->keyframeCount; }},
        {"index count", 11, Bytes().Object3D(1).U8(128).U32(kHuge).U32(0).U32(0),
         [](M3G::Object* o) { return static_cast<M3G::TriangleStripArray*>(o)->indexCount; }},
        {"strip count", 11, Bytes().Object3D(1).U8(0).U32(0).U32(kHuge).U32(3),
         [](M3G::Object* o) { return static_cast<M3G::TriangleStripArray*>(o)->stripCount; }},
        {"child count", 9, Bytes().PlainNode(1).U32(kHuge).U32(1),
         [](M3G::Object* o) { return static_cast<M3G::Group*>(o)->childCount; }},
        {"submesh count", 14, Bytes().PlainNode(1).U32(0).U32(0x20000001).U32(1).U32(1),
         [](M3G::Object* o) { return static_cast<M3G::Mesh*>(o)->submeshCount; }},
        {"transform reference count", 16,
         Bytes().PlainNode(1).U32(0).U32(0).U32(0).U32(0x10000001).U32(1),
         [](M3G::Object* o) { return static_cast<M3G::SkinnedMesh*>(o)->referenceCount; }},
        {"pixel length", 10,
         Bytes().Object3D(1).U8(99).U8(0).U32(1).U32(1).U32(0).U32(0xFFFFFFFF).U8(1),
         [](M3G::Object* o) { return static_cast<M3G::Image2D*>(o)->pixelLength; }},
        {"texture coordinate count", 21,
         Bytes().Object3D(1).U32(0).U32(0).F32(0).F32(0).F32(0).F32(1).U32(0).U32(0).U32(kHuge),
         [](M3G::Object* o) { return static_cast<M3G::VertexBuffer*>(o)->texCoordCount; }},
        {"animation track count", 13, Bytes().U32(1).U32(kHuge).U32(2),
         [](M3G::Object* o) { return static_cast<M3G::Object3D*>(o)->animationTrackCount; }},
    };
    for (const Case& c : cases) {
        Loaded l(SceneFile({Record(c.type, c.data)}));
        M3G::Object* o = l.loader->GetObject(2, M3G::Object::Type(c.type));
        ASSERT_NE(o, nullptr) << c.name;
        EXPECT_EQ(c.count(o), 0u) << c.name;
    }
}

TEST(M3GCorrupt, SectionsThatDoNotAddUp) {
    File section = Section({Plain(13, 1), Plain(13, 2)});
    File pastSection = section;
    pastSection[9 + 17 + 1] = 200;  // the second record (17 B in all) claims 200 B
    File shortTail = Section({Plain(13, 1)});
    shortTail[5] += 3;  // three bytes more than the record, left unaccounted for
    File bare = Section({Plain(13, 1)});
    bare.insert(bare.end() - 4, {0, 0, 0});  // now the tail really holds three bytes
    bare[1] += 3;
    bare[5] += 3;
    File zeroLength = Section({Plain(13, 1)});
    zeroLength[1] = zeroLength[2] = zeroLength[3] = zeroLength[4] = 0;
    File ratio = Section({Plain(13, 1)}, 1);
    ratio[5] = ratio[6] = ratio[7] = 0xFF;
    ratio[8] = 0x7F;
    File whole = M3GFile({section});
    File tail = M3GFile({Section({Plain(13, 1)})});
    tail.insert(tail.end(), {1, 2, 3, 4, 5});
    struct Case {
        const char* name;
        File file;
        unsigned int records;
        std::string printed;
    } cases[] = {
        {"record past its section", M3GFile({pastSection}), 1,
         "M3GLoader::LoadSection(): object of type 13 and 200 B runs past its section (12 B "
         "left)\n"},
        {"fewer than 5 bytes left", M3GFile({bare}), 1,
         "M3GLoader::LoadSection(): 3 B left, too few for an object\n"},
        {"uncompressed length past the section keeps the whole records", M3GFile({shortTail}), 1,
         "M3GLoader::Load(): section at 12 holds 20 B of objects in 17 B\n"},
        {"a tail too short for a section", tail, 1,
         "M3GLoader::Load(): 5 B after the last section, too few for one\n"},
        {"section length 0", M3GFile({zeroLength}), 0,
         "M3GLoader::Load(): section at 12 claims 0 B, 30 B left\n"},
        {"section cut in its checksum keeps its records", File(whole.begin(), whole.end() - 1), 2,
         "M3GLoader::Load(): section at 12 claims 47 B, 46 B left\n"},
        {"impossible inflation", M3GFile({ratio}), 0,
         std::string("M3GLoader::DecompressSection(): ") + std::to_string(ratio.size() - 13) +
             " B cannot inflate to 2147483647 B\n"},
    };
    for (const Case& c : cases) {
        Loaded l(c.file);
        EXPECT_EQ(l.loader->objects.Size(), c.records) << c.name;
        EXPECT_EQ(l.printed, c.printed) << c.name;
    }
}

// Every prefix and many single-byte changes of the real files load without a
// crash (the sanitizer build checks the reads), never growing the table.
TEST(M3GCorrupt, TruncationAndByteFlipSweeps) {
    std::vector<std::string> names = Fixtures();
    CaptureFd quiet(1);
    for (const std::string& name : names) {
        File file = ReadBytes(M3GDir() + "/" + name);
        Census walked;
        ASSERT_TRUE(WalkM3G(file, &walked));
        unsigned int total = 0;
        for (auto& e : walked) total += e.second;
        size_t step = file.size() / 400 + 1;
        for (size_t n = 0; n < file.size(); n += step) {
            Loaded l(File(file.begin(), file.begin() + n));
            ASSERT_LE(l.loader->objects.Size(), total) << name << " cut at " << n;
        }
        for (size_t i = 12; i < file.size(); i += step) {
            for (unsigned char mask : {0xFF, 0x80, 0x01}) {
                File flipped = file;
                flipped[i] ^= mask;
                ROMSource source(flipped.data(), unsigned(flipped.size()), false);
                Scene* scene = M3GLoader::Load(&source);
                ASSERT_NE(scene, nullptr) << name << " byte " << i;
                delete scene;
            }
        }
    }
    quiet.Stop();
}
