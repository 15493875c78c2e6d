// Scene-file reading: the census of real files, the format's edge cases, and
// damaged input that must neither crash nor read outside its data.
#include "engine/Scene.h"
#include "io/ROMSource.h"
#include "m3g/Background.h"
#include "m3g/Camera.h"
#include "m3g/ExternalReference.h"
#include "m3g/Group.h"
#include "m3g/Image2D.h"
#include "m3g/KeyframeSequence.h"
#include "m3g/M3GLoader.h"
#include "m3g/Mesh.h"
#include "m3g/SkinnedMesh.h"
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
#include <sstream>
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

File Header1() {
    return Record(0, HeaderData(1));
}

// A record whose only contents are the common object fields.
File Plain(unsigned int type, uint32_t id) {
    return Record(type, Bytes().Object3D(id));
}

// 2.0 objects end their common fields with a flag.
Bytes BackgroundData(bool v2 = false) {
    Bytes b;
    b.Object3D(5);
    if (v2) b.U8(0);
    b.U8(10).U8(20).U8(30).U8(40).U32(0).U8(0x20).U8(0x20);
    b.U32(0).U32(0).U32(0).U32(0).U8(1);
    return b;
}

}  // namespace

TEST(M3GCensus, LoaderTableMatchesTheFileWalk) {
    std::vector<std::string> names = Fixtures();
    for (const std::string& name : names) {
        File file = ReadBytes(M3GDir() + "/" + name);
        Census walked;
        ASSERT_TRUE(WalkM3G(file, &walked)) << name;
        Loaded l(file);
        EXPECT_EQ(l.Table(), walked) << name;
        EXPECT_EQ(l.printed, "") << name;
    }
}

TEST(M3GCensus, ToolPrintsTheCountsInTypeOrder) {
    std::vector<std::string> names = Fixtures();
    std::string path = M3GDir() + "/" + names[0];
    Census walked;
    ASSERT_TRUE(WalkM3G(ReadBytes(path), &walked));
    CommandResult r = testsupport::Run({BinaryPath("m3g-info"), "--census", path});
    EXPECT_EQ(r.exitCode, 0);
    std::vector<unsigned int> printed, expected;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        printed.push_back(unsigned(std::stoul(line.substr(line.find(": ") + 2))));
    for (auto& entry : walked) expected.push_back(entry.second);
    EXPECT_EQ(printed, expected);
}

TEST(M3GCensus, ToolRefusesWhatItCannotRead) {
    TempDir dir;
    WriteFile(dir.File("text.m3g"), std::string("not a scene file"));
    struct Case {
        std::string path, message;
    } cases[] = {
        {dir.File("missing.m3g"), "m3g-info: can't read " + dir.File("missing.m3g") + "\n"},
        {dir.File("text.m3g"), "m3g-info: " + dir.File("text.m3g") + " is not a scene file\n"},
    };
    for (const Case& c : cases) {
        CommandResult r = testsupport::Run({BinaryPath("m3g-info"), c.path});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, c.message);
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
         M3GFile({Section({Header1(), Plain(13, 1)}, 1), Section({Plain(6, 2)}, 0)}),
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

TEST(M3GFormat, ChecksumIsNotRead) {
    File file = M3GFile({Section({Plain(13, 1)}, 1)});
    file[file.size() - 1] ^= 0xFF;
    Loaded l(file);
    EXPECT_EQ(l.Table(), (Census{{13, 1}}));
}

TEST(M3GFormat, Version20ReadsTheExtraFields) {
    // The same background in both versions: 1.0 has the colour-clear flag, 2.0
    // the stencil flag and the depth and stencil values instead.
    Bytes v1 = BackgroundData();
    v1.U8(1);
    Bytes v2 = BackgroundData(true);
    v2.U8(1).F32(0.5f).U32(0x1FF).U32(9);
    Loaded a(M3GFile({Section({Header1(), Record(4, v1)})}));
    Loaded b(M3GFile({Section({Record(0, HeaderData(2)), Record(4, v2)})}));
    ASSERT_EQ(a.loader->version, 0u);
    ASSERT_EQ(b.loader->version, 1u);
    auto* p = static_cast<M3G::Background*>(a.loader->GetObject(2, M3G::Object::T_Background));
    auto* q = static_cast<M3G::Background*>(b.loader->GetObject(2, M3G::Object::T_Background));
    ASSERT_TRUE(p && q);
    EXPECT_EQ(std::vector<int>(p->color, p->color + 4), std::vector<int>(q->color, q->color + 4));
    EXPECT_EQ(p->depthClearEnabled, q->depthClearEnabled);
    EXPECT_TRUE(p->colorClearEnabled);
    EXPECT_FALSE(p->stencilClearEnabled);
    EXPECT_EQ(p->depthClearValue, 1.0f);
    EXPECT_FALSE(q->colorClearEnabled);
    EXPECT_TRUE(q->stencilClearEnabled);
    EXPECT_EQ(q->depthClearValue, 0.5f);
    EXPECT_EQ(q->stencilClearValue, 0x1FFu);
}

TEST(M3GFormat, GetObjectByIndexAndType) {
    Loaded l(M3GFile({Section({Header1(), Record(4, BackgroundData().U8(1))})}));
    EXPECT_EQ(l.loader->GetObject(0), nullptr);
    EXPECT_EQ(l.loader->GetObject(3), nullptr);
    ASSERT_NE(l.loader->GetObject(2), nullptr);
    EXPECT_NE(l.loader->GetObject(2, M3G::Object::T_Background), nullptr);
    EXPECT_EQ(l.loader->GetObject(2, M3G::Object::T_Camera), nullptr);
}

TEST(M3GFormat, CreateNameFillsTheTable) {
    M3GLoader loader(nullptr);
    struct Case {
        M3G::Loader::NameType type;
        unsigned int index;
        const char* text;
    } cases[] = {
        {M3G::Loader::N_LightColor, 2, "Vomra_un_LightColor[2]"},
        {M3G::Loader::N_LightSpotExponent, 0, "Vomra_un_LightSpotExpotent[0]"},
        {M3G::Loader::N_MaterialAmbient, 7, "Vomra_un_MaterialAmbient"},
    };
    for (const Case& c : cases) {
        char* name = loader.CreateName(c.type, c.index);
        EXPECT_STREQ(name, c.text);
        delete[] name;
    }
    EXPECT_EQ(loader.GetUniqID(M3G::Loader::OT_Light), 0u);
    EXPECT_EQ(loader.GetUniqID(M3G::Loader::OT_Light), 1u);
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
    Loaded l(M3GFile({Section({Header1(), Record(19, keys), Record(5, generic), Record(11, strips),
                               Record(20, Bytes().Object3D(4).U8(6).U8(3).U8(0).U16(1)),
                               Record(9, Bytes().PlainNode(5).U32(0))})}));
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
        Loaded l(M3GFile({Section({Header1(), Record(c.type, c.data)})}));
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
