// The resource archive: index reading, lookup, inflation, damaged archives,
// and the vomra-pack tool built on the same reader.
#include "io/ResourceLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "io/ROMSource.h"
#include "io/SDLFileSource.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::TempDir;
using namespace std::string_literals;

namespace {

std::string Deflate(const std::string& data) {
    uLongf n = compressBound(uLong(data.size()));
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()));
    out.resize(n);
    return out;
}

// Alternating random and repetitive stretches, so that part of it compresses.
std::string PseudoRandom(size_t n, unsigned int x) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i, x = x * 1664525u + 1013904223u)
        s[i] = (i / 4096) % 2 ? char(x >> 24) : char('a' + (i / 512) % 26);
    return s;
}

void Set32(std::string& bytes, size_t at, unsigned int v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
}

// One index record as stored; nameBytes is written as it stands.
struct Record {
    std::string nameBytes, stored;
    unsigned int size;
};

Record Entry(const std::string& name, const std::string& content) {
    return Record{name + '\0', Deflate(content), unsigned(content.size())};
}

// count, the records, then every record's stored bytes in order.
std::string Layout(const std::vector<Record>& records) {
    size_t offset = 4;
    for (const Record& r : records) offset += 4 + r.nameBytes.size() + 12;
    std::string out;
    auto put = [&out](size_t v) { out.append(4, '\0'), Set32(out, out.size() - 4, unsigned(v)); };
    put(records.size());
    for (const Record& r : records) {
        put(r.nameBytes.size());
        out += r.nameBytes;
        for (size_t v : {offset, r.stored.size(), size_t(r.size)}) put(v);
        offset += r.stored.size();
    }
    for (const Record& r : records) out += r.stored;
    return out;
}

// A library over an in-memory archive; the bytes outlive both.
struct Opened {
    explicit Opened(const std::string& archive) : bytes(archive), library(&source) {}
    std::string bytes;
    ROMSource source{reinterpret_cast<const unsigned char*>(bytes.data()), unsigned(bytes.size()), false};
    ResourceLibrary library;
};

const auto Contents = testsupport::ReadAll;

std::string Pack() { return testsupport::BinaryPath("vomra-pack"); }

}  // namespace

TEST(ArchiveRead, LookupInflatesTheFirstEntryOfExactlyThatName) {
    const std::string big = PseudoRandom(50000, 1);
    // A size above what the stream holds is zero-filled, one below it cuts.
    Opened o(Layout({Entry("scripts/init.lua", "print('hi')\n"), Entry("a.txt", "first"), Entry("big", big),
                     Entry("a.txt", "second"), Entry("empty", ""), Record{"longer\0"s, Deflate("abc"), 5},
                     Record{"shorter\0"s, Deflate("0123456789"), 4}}));
    ASSERT_TRUE(o.library.IsValid());
    const std::pair<const char*, std::string> cases[] = {
        {"scripts/init.lua", "print('hi')\n"}, {"Scripts/init.lua", "<null>"}, {"scripts/init.LUA", "<null>"},
        {"scripts", "<null>"}, {"", "<null>"}, {"a.txt", "first"}, {"big", big}, {"empty", ""},
        {"longer", "abc\0\0"s}, {"shorter", "0123"}};
    for (const auto& c : cases) EXPECT_TRUE(Contents(o.library.GetResource(c.first)) == c.second) << c.first;
    EXPECT_EQ(o.library.GetResource(nullptr), nullptr);
}

// Lookups search the names in order: every name of a large index is found,
// names that prefix each other are told apart, absent names between present
// ones miss, and of equal names spread over the index the first one wins.
TEST(ArchiveRead, ManyNamesEachFoundAndTheFirstOfEqualNamesWins) {
    std::vector<Record> records;
    std::vector<std::string> names;
    for (unsigned int i = 0; i < 600; ++i) {
        // Scrambled order, shared prefixes, and names that are prefixes of others.
        unsigned int k = (i * 389u) % 600u;
        std::string name = "dir" + std::to_string(k % 7) + "/f" + std::to_string(k);
        if (k % 5 == 0) name = name.substr(0, name.size() - 1);
        names.push_back(name);
        records.push_back(Entry(name, "#" + std::to_string(i)));
    }
    records.insert(records.begin() + 100, Entry(names[400], "early twin"));
    records.push_back(Entry(names[20], "late twin"));
    Opened o(Layout(records));
    ASSERT_TRUE(o.library.IsValid());
    for (unsigned int i = 0; i < names.size(); ++i) {
        std::string first = "#" + std::to_string(i);
        // Equal names made by the truncation above: the earlier entry is found.
        for (unsigned int j = 0; j < i; ++j)
            if (names[j] == names[i]) first = "#" + std::to_string(j);
        if (i == 400) first = "early twin";
        EXPECT_EQ(Contents(o.library.GetResource(names[i].c_str())), first) << names[i];
    }
    for (const char* absent : {"dir0/", "dir3/f", "dir9/f1", "dir6/f599x", "a", "zzz"})
        EXPECT_EQ(o.library.GetResource(absent), nullptr) << absent;
}

TEST(ArchiveRead, DataIsFoundThroughTheOffsetsAndOutlivesTheLibrary) {
    std::string archive = Layout({Entry("one", "first"), Entry("two", "second!")});
    // Swap the records' offset and sizes: the data no longer lies in index order.
    const size_t one = 4 + 4 + 4, two = one + 12 + 4 + 4;
    const std::string fields = archive.substr(one, 12);
    archive.replace(one, 12, archive.substr(two, 12));
    archive.replace(two, 12, fields);
    auto o = std::make_unique<Opened>(archive);
    DataSource* a = o->library.GetResource("one");
    DataSource* b = o->library.GetResource("one");
    DataSource* c = o->library.GetResource("two");
    o.reset();
    EXPECT_EQ(Contents(a), "second!");
    EXPECT_EQ(Contents(b), "second!");
    EXPECT_EQ(Contents(c), "first");
}

TEST(ArchiveRead, DataThatIsNotZlibIsReportedAndGivesNull) {
    Opened o(Layout({Record{"bad\0"s, "this is not a zlib stream", 40}, Entry("good", "fine")}));
    CaptureFd out(1);
    EXPECT_EQ(o.library.GetResource("bad"), nullptr);
    EXPECT_EQ(out.Stop(), "ResourceLibrary::GetDecompressed(): decompression failed: -3\n");
    EXPECT_EQ(Contents(o.library.GetResource("good")), "fine");
}

// The library and `vomra-pack list`, which reads through it.
TEST(ArchiveCorrupt, EachDamageIsReportedAndLeavesNoEntry) {
    TempDir dir;
    const std::string good = Layout({Entry("a", "first"), Entry("b", "second")});
    // Record b: nameLength at 22, name "b" at 26, offset at 28, compressedSize at 32, size at 36.
    const unsigned int length = unsigned(good.size()), stored = length - 40 - unsigned(Deflate("first").size());
    auto with = [](std::string s, size_t at, unsigned int v) { return Set32(s, at, v), s; };
    const std::pair<std::string, std::string> cases[] = {
        {good, ""},  // b's data ends exactly at the end of the file
        {std::string(4, '\0'), ""},
        {with(good, 36, stored * ResourceLibrary::kMaxInflateRatio), ""},
        {good.substr(0, 3), "archive too short (3 bytes)"},
        {with(good, 0, 0xFFFFFFFFu), "4294967295 entries cannot fit in " + std::to_string(length) + " bytes"},
        {with(Layout({Record{std::string(19, 'n') + '\0', "", 0}}), 0, 2),
         "entry 1: index runs past the end of the archive"},
        // One byte more than leaves room for the fields after the name; then a
        // length that wraps around if those 16 bytes are added to it.
        {with(good, 22, length - 22 - 15), "entry 1: name runs past the end of the archive"},
        {with(good, 22, 0xFFFFFFF8u), "entry 1: name runs past the end of the archive"},
        {with(good, 22, 0), "entry 1: name is not zero-terminated"},
        {with(good, 24, 0x78620000u), "entry 1: name is not zero-terminated"},  // "bx"
        {with(good, 28, length - stored + 1), "entry 1: data lies beyond the end of the archive"},
        {with(with(good, 28, 0xFFFFFFF0u), 32, 0x20), "entry 1: data lies beyond the end of the archive"},
        {with(good, 36, 0xFFFFFFFFu),
         "entry 1: size 4294967295 is impossible for " + std::to_string(stored) + " compressed bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        CaptureFd out(1);
        Opened o(c.first);
        const std::string message = c.second.empty() ? "" : "ResourceLibrary::ResourceLibrary(): " + c.second + "\n";
        EXPECT_EQ(out.Stop(), message);
        EXPECT_EQ(o.library.IsValid(), c.second.empty());
        // Damage in the second record drops the intact first one as well.
        EXPECT_TRUE(c.second.empty() || o.library.GetResourceCount() == 0);
        if (c.second.empty()) continue;
        testsupport::WriteFile(dir.File("bad.res"), c.first);
        auto r = testsupport::Run({Pack(), "list", dir.File("bad.res")});
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, message);
        EXPECT_EQ(r.err, "vomra-pack: " + dir.File("bad.res") + ": damaged archive index\n");
    }
}

TEST(ArchiveCorrupt, EveryTruncationIsRejected) {
    const std::string archive = Layout({Entry("a", "first"), Entry("dir/b", std::string(3000, 'b')), Entry("c", "")});
    for (size_t n = 0; n < archive.size(); ++n) {
        CaptureFd out(1);
        Opened o(archive.substr(0, n));
        EXPECT_EQ(out.Stop().rfind("ResourceLibrary::ResourceLibrary(): ", 0), 0u) << n;
        EXPECT_FALSE(o.library.IsValid()) << n;
    }
}

TEST(ArchiveCorrupt, UnopenableOrShrunkFileIsReported) {
    TempDir dir;
    const std::string path = dir.File("a.res"), archive = Layout({Entry("a", PseudoRandom(20000, 5))});
    CaptureFd missing(1);
    SDLFileSource none(path.c_str());
    EXPECT_FALSE(ResourceLibrary(&none).IsValid());
    EXPECT_EQ(missing.Stop(), "SDLFileSource::SDLFileSource(): Can't open " + path +
                                  "\nResourceLibrary::ResourceLibrary(): archive too short (0 bytes)\n");
    // Stored bytes gone since the index was read: refused, not inflated from garbage.
    testsupport::WriteFile(path, archive);
    SDLFileSource file(path.c_str());
    ResourceLibrary library(&file);
    ASSERT_EQ(truncate(path.c_str(), off_t(archive.size() - 3)), 0);
    CaptureFd out(1);
    EXPECT_EQ(library.GetResource("a"), nullptr);
    const unsigned int stored = library.GetResourceAt(0)->compressedSize;
    EXPECT_EQ(out.Stop(), "SDLFileSource::Read(): Got " + std::to_string(stored - 3) + " bytes, expecting " +
                              std::to_string(stored) + "\n\terror = " + strerror(0) + " (0), EOF\n");
}

TEST(ArchiveTool, AHundredFilesRoundTripByteForByte) {
    TempDir dir;
    const std::string content = dir.File("content"), archive = dir.File("all.res");
    std::vector<std::pair<std::string, std::string>> files = {{"empty.dat", ""},
                                                              {"big/ten megabytes.bin", PseudoRandom(10 << 20, 7)},
                                                              {"with space/my file.txt", "spaced out\n"}};
    for (int i = 0; files.size() < 100; ++i)
        files.push_back({"level" + std::to_string(i % 3) + "/sub" + std::to_string(i % 5) + "/f" + std::to_string(i),
                         PseudoRandom(size_t(i) * 97 + 1, unsigned(i))});
    for (const auto& f : files) ASSERT_TRUE(testsupport::WriteFileMakingDirs(content + "/" + f.first, f.second));
    for (const std::string& out : {archive, dir.File("again.res")}) {
        auto created = testsupport::Run({Pack(), "create", out, content});
        ASSERT_EQ(created.exitCode, 0) << created.err;
    }
    EXPECT_TRUE(testsupport::ReadFile(archive) == testsupport::ReadFile(dir.File("again.res")));

    // Listed in byte-wise name order with size and stored size.
    std::sort(files.begin(), files.end());
    SDLFileSource file(archive.c_str());
    ResourceLibrary library(&file);
    ASSERT_EQ(library.GetResourceCount(), 100u);
    std::string listing;
    for (unsigned int i = 0; i < 100; ++i)
        listing += files[i].first + "\t" + std::to_string(files[i].second.size()) + "\t" +
                   std::to_string(library.GetResourceAt(i)->compressedSize) + "\n";
    EXPECT_EQ(testsupport::Run({Pack(), "list", archive}).out, listing);
    for (const auto& f : files) {
        auto extracted = testsupport::Run({Pack(), "extract", archive, f.first, dir.File("out")});
        ASSERT_EQ(extracted.exitCode, 0) << f.first << ": " << extracted.err;
        EXPECT_TRUE(testsupport::ReadFile(dir.File("out")) == f.second) << f.first;
    }
    EXPECT_EQ(testsupport::Run({Pack(), "extract", archive, "with space/my file.txt"}).out, "spaced out\n");
}

TEST(ArchiveTool, FailuresExitWithAMessage) {
    TempDir dir;
    const std::string a = dir.File("a.res"), usage = "usage: vomra-pack create OUT.res DIR\n"
                                                     "       vomra-pack list ARCHIVE\n"
                                                     "       vomra-pack extract ARCHIVE NAME [OUT]\n";
    testsupport::WriteFile(a, Layout({Entry("scripts/init.lua", "x"), Record{"bad\0"s, "not zlib at all", 10}}));
    struct Case { std::vector<std::string> args; int exitCode; std::string out, err; };
    const Case cases[] = {
        {{"extract", a, "Scripts/init.lua"}, 1, "", "vomra-pack: no entry Scripts/init.lua in " + a + "\n"},
        {{"extract", a, "bad", dir.File("out")}, 1, "ResourceLibrary::GetDecompressed(): decompression failed: -3\n",
         "vomra-pack: can't inflate bad\n"},
        {{"list", dir.File("no.res")}, 1, "",
         "vomra-pack: can't open " + dir.File("no.res") + ": No such file or directory\n"},
        {{"create", dir.File("x.res"), dir.File("nofolder")}, 1, "",
         "vomra-pack: " + dir.File("nofolder") + " is not a folder\n"},
        {{}, 2, "", usage}, {{"list", a, "b"}, 2, "", usage}, {{"extract", a}, 2, "", usage},
        {{"create", a}, 2, "", usage}};
    for (const Case& c : cases) {
        std::vector<std::string> args = {Pack()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = testsupport::Run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_FALSE(testsupport::FileExists(dir.File("x.res")));
}
