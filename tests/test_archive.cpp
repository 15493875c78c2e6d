// The resource archive: index reading, lookup, inflation, damaged archives,
// and the vomra-pack tool built on the same reader.
#include "io/ResourceLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "io/ROMSource.h"
#include "io/ResourceLibraryWriter.h"
#include "io/SDLFileSource.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::CommandResult;
using testsupport::TempDir;

namespace {

std::string Deflate(const std::string& data, int level = Z_BEST_COMPRESSION) {
    uLongf n = compressBound(uLong(data.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(data.data()),
              uLong(data.size()), level);
    out.resize(n);
    return out;
}

std::string PseudoRandom(size_t n, unsigned int seed) {
    std::string s(n, '\0');
    unsigned int x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        // Runs of repeated bytes make part of it compressible.
        s[i] = (i / 4096) % 2 ? char(x >> 24) : char('a' + (i / 512) % 26);
    }
    return s;
}

void Put32(std::string& out, unsigned int v) {
    for (int i = 0; i < 4; ++i) out.push_back(char(v >> (8 * i)));
}

void Set32(std::string& bytes, size_t at, unsigned int v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
}

// One index record as stored: nameBytes is written as it stands (callers add
// the terminator), offset 0 means "where Layout puts the data".
struct Record {
    std::string nameBytes;
    std::string stored;
    unsigned int size;
};

Record Entry(const std::string& name, const std::string& content) {
    return Record{name + '\0', Deflate(content), unsigned(content.size())};
}

// count, the records, then every record's stored bytes in order.
std::string Layout(const std::vector<Record>& records) {
    size_t indexEnd = 4;
    for (const Record& r : records) indexEnd += 4 + r.nameBytes.size() + 12;
    std::string out;
    Put32(out, unsigned(records.size()));
    size_t offset = indexEnd;
    for (const Record& r : records) {
        Put32(out, unsigned(r.nameBytes.size()));
        out += r.nameBytes;
        Put32(out, unsigned(offset));
        Put32(out, unsigned(r.stored.size()));
        Put32(out, r.size);
        offset += r.stored.size();
    }
    for (const Record& r : records) out += r.stored;
    return out;
}

// Position of record i's nameLength field in an archive made by Layout.
size_t RecordAt(const std::vector<Record>& records, size_t i) {
    size_t at = 4;
    for (size_t k = 0; k < i; ++k) at += 4 + records[k].nameBytes.size() + 12;
    return at;
}

// A library over an in-memory archive; the bytes outlive both.
struct Opened {
    explicit Opened(const std::string& archive)
        : bytes(archive),
          source(reinterpret_cast<const unsigned char*>(bytes.data()), unsigned(bytes.size()), false),
          library(&source) {}
    std::string bytes;
    ROMSource source;
    ResourceLibrary library;
};

std::string Contents(DataSource* s) {
    if (!s) return "<null>";
    s->SetPosition(0);
    std::string out(s->GetLength(), '\0');
    if (!out.empty()) s->Read(&out[0], unsigned(out.size()));
    return out;
}

std::string Lookup(ResourceLibrary& library, const char* name) {
    std::unique_ptr<DataSource> s(library.GetResource(name));
    return Contents(s.get());
}

// Opens an archive and returns what the library printed while doing so.
std::string OpenQuietly(const std::string& archive, bool* valid) {
    CaptureFd out(1);
    Opened o(archive);
    *valid = o.library.IsValid();
    return out.Stop();
}

}  // namespace

TEST(ArchiveRead, InflatesEachEntryByName) {
    std::string big(50000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char((i * 31) ^ (i >> 7));
    Opened o(Layout({Entry("scripts/init.lua", "print('hi')\n"), Entry("shaders/a.vert", big),
                     Entry("x", "y")}));
    ASSERT_TRUE(o.library.IsValid());
    EXPECT_EQ(o.library.GetResourceCount(), 3u);
    EXPECT_EQ(Lookup(o.library, "scripts/init.lua"), "print('hi')\n");
    EXPECT_EQ(Lookup(o.library, "shaders/a.vert"), big);
    EXPECT_EQ(Lookup(o.library, "x"), "y");
    EXPECT_EQ(Lookup(o.library, "scripts"), "<null>");
    EXPECT_EQ(Lookup(o.library, ""), "<null>");
    EXPECT_EQ(o.library.GetResource(nullptr), nullptr);
}

TEST(ArchiveRead, EmptyArchiveFindsNothing) {
    CaptureFd out(1);
    Opened o(std::string(4, '\0'));
    EXPECT_TRUE(o.library.IsValid());
    EXPECT_EQ(o.library.GetResourceCount(), 0u);
    EXPECT_EQ(o.library.GetResource("scripts/init.lua"), nullptr);
    EXPECT_EQ(out.Stop(), "");
}

TEST(ArchiveRead, FirstOfDuplicateNamesWins) {
    Opened o(Layout({Entry("a.txt", "first"), Entry("b.txt", "other"), Entry("a.txt", "second")}));
    EXPECT_EQ(Lookup(o.library, "a.txt"), "first");
}

TEST(ArchiveRead, NamesMatchCaseSensitively) {
    Opened o(Layout({Entry("scripts/init.lua", "lower")}));
    EXPECT_EQ(Lookup(o.library, "Scripts/init.lua"), "<null>");
    EXPECT_EQ(Lookup(o.library, "scripts/init.LUA"), "<null>");
    EXPECT_EQ(Lookup(o.library, "scripts/init.lua"), "lower");
}

TEST(ArchiveRead, EmptyEntryGivesAnEmptySource) {
    Opened o(Layout({Entry("empty", ""), Entry("after", "z")}));
    std::unique_ptr<DataSource> s(o.library.GetResource("empty"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetLength(), 0u);
    EXPECT_EQ(s->GetPosition(), 0u);
    EXPECT_EQ(Lookup(o.library, "after"), "z");
}

TEST(ArchiveRead, OnlyTheOffsetsBindWhereDataLies) {
    // Two records share one stream that lies after a gap of junk.
    std::string stored = Deflate("shared bytes");
    std::string archive;
    Put32(archive, 2);
    for (const char* name : {"one", "two"}) {
        Put32(archive, unsigned(strlen(name) + 1));
        archive += name;
        archive.push_back('\0');
        Put32(archive, 0);  // patched below
        Put32(archive, unsigned(stored.size()));
        Put32(archive, 12);
    }
    archive += "junk junk junk";
    unsigned int at = unsigned(archive.size());
    archive += stored;
    Set32(archive, 4 + 4 + 4, at);
    Set32(archive, 4 + 20 + 4 + 4, at);
    Opened o(archive);
    ASSERT_TRUE(o.library.IsValid());
    EXPECT_EQ(Lookup(o.library, "one"), "shared bytes");
    EXPECT_EQ(Lookup(o.library, "two"), "shared bytes");
}

TEST(ArchiveRead, SourcesOutliveTheLibraryAndAreIndependent) {
    auto o = std::make_unique<Opened>(Layout({Entry("a", "alpha")}));
    DataSource* first = o->library.GetResource("a");
    DataSource* second = o->library.GetResource("a");
    o.reset();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first->Read(2u);
    EXPECT_EQ(first->GetPosition(), 2u);
    EXPECT_EQ(second->GetPosition(), 0u);
    EXPECT_TRUE(first->IsReadOnly());
    EXPECT_EQ(Contents(first), "alpha");
    delete first;
    EXPECT_EQ(Contents(second), "alpha");
    delete second;
}

TEST(ArchiveRead, ReadsThroughAFileSource) {
    TempDir dir;
    testsupport::WriteFile(dir.File("a.res"), Layout({Entry("dir/file.txt", "on disk")}));
    SDLFileSource file(dir.File("a.res").c_str());
    ResourceLibrary library(&file);
    EXPECT_TRUE(library.IsValid());
    EXPECT_EQ(Lookup(library, "dir/file.txt"), "on disk");
}

TEST(ArchiveInflate, DataThatIsNotZlibIsReportedWithDataError) {
    Record bad{std::string("bad") + '\0', "this is not a zlib stream", 40};
    Opened o(Layout({bad, Entry("good", "fine")}));
    ASSERT_TRUE(o.library.IsValid());
    CaptureFd out(1);
    EXPECT_EQ(o.library.GetResource("bad"), nullptr);
    EXPECT_EQ(out.Stop(), "ResourceLibrary::GetDecompressed(): decompression failed: -3\n");
    EXPECT_EQ(Lookup(o.library, "good"), "fine");
}

TEST(ArchiveInflate, StreamEndingEarlyLeavesZerosNotGarbage) {
    std::string content(100, 'q');
    // Stored (level 0) blocks inflate byte for byte, so a cut stream yields an
    // exact prefix.
    Record cut{std::string("cut") + '\0', Deflate(content, 0).substr(0, 2 + 5 + 60), 100};
    Record longer{std::string("longer") + '\0', Deflate(content), 150};
    Opened o(Layout({cut, longer}));
    ASSERT_TRUE(o.library.IsValid());
    EXPECT_EQ(Lookup(o.library, "cut"), std::string(60, 'q') + std::string(40, '\0'));
    EXPECT_EQ(Lookup(o.library, "longer"), content + std::string(50, '\0'));
}

TEST(ArchiveInflate, SizeSmallerThanTheStreamKeepsWhatFits) {
    Record r{std::string("r") + '\0', Deflate("0123456789"), 4};
    Opened o(Layout({r}));
    EXPECT_EQ(Lookup(o.library, "r"), "0123");
}

TEST(ArchiveInflate, StoredBytesGoneSinceOpeningAreRefused) {
    TempDir dir;
    // Larger than the stream's buffer, so the read reaches the file itself.
    std::string archive = Layout({Entry("a", PseudoRandom(20000, 5))});
    std::string path = dir.File("a.res");
    testsupport::WriteFile(path, archive);
    SDLFileSource file(path.c_str());
    ResourceLibrary library(&file);
    ASSERT_TRUE(library.IsValid());
    ASSERT_EQ(truncate(path.c_str(), off_t(archive.size() - 3)), 0);
    CaptureFd out(1);
    EXPECT_EQ(library.GetResource("a"), nullptr);
    unsigned int stored = library.GetResourceAt(0)->compressedSize;
    EXPECT_EQ(out.Stop(), "SDLFileSource::Read(): Got " + std::to_string(stored - 3) + " bytes, expecting " +
                              std::to_string(stored) + "\n\terror = " + strerror(0) + " (0), EOF\n");
}

TEST(ArchiveCorrupt, TooShortForTheCount) {
    for (size_t n = 0; n < 4; ++n) {
        bool valid = true;
        EXPECT_EQ(OpenQuietly(std::string(n, '\0'), &valid),
                  "ResourceLibrary::ResourceLibrary(): archive too short (" + std::to_string(n) + " bytes)\n");
        EXPECT_FALSE(valid);
    }
}

TEST(ArchiveCorrupt, CountLargerThanTheFileCanHold) {
    std::vector<Record> records = {Entry("a", "a")};
    std::string archive = Layout(records);
    for (unsigned int count : {2u, 1000u, 0x10000000u, 0xFFFFFFFFu}) {
        Set32(archive, 0, count);
        bool valid = true;
        EXPECT_EQ(OpenQuietly(archive, &valid), "ResourceLibrary::ResourceLibrary(): " + std::to_string(count) +
                                                    " entries cannot fit in " + std::to_string(archive.size()) +
                                                    " bytes\n");
        EXPECT_FALSE(valid);
    }
}

TEST(ArchiveCorrupt, IndexEndingBeforeItsLastRecord) {
    // Room for two minimal records by count, but the first uses it up.
    std::string archive;
    Put32(archive, 2);
    Put32(archive, 20);
    archive += std::string(19, 'n') + '\0';
    Put32(archive, 0);
    Put32(archive, 0);
    Put32(archive, 0);
    bool valid = true;
    EXPECT_EQ(OpenQuietly(archive, &valid),
              "ResourceLibrary::ResourceLibrary(): entry 1: index runs past the end of the archive\n");
    EXPECT_FALSE(valid);
}

TEST(ArchiveCorrupt, NameLengthRunningPastTheEnd) {
    std::vector<Record> records = {Entry("name", "data")};
    std::string archive = Layout(records);
    size_t remaining = archive.size() - 4;
    // The largest length that still leaves room for the three fields passes
    // this check (and fails the terminator check); one more must not.
    for (unsigned int length : {unsigned(remaining - 15), 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Set32(archive, 4, length);
        bool valid = true;
        EXPECT_EQ(OpenQuietly(archive, &valid),
                  "ResourceLibrary::ResourceLibrary(): entry 0: name runs past the end of the archive\n")
            << length;
        EXPECT_FALSE(valid);
    }
    Set32(archive, 4, unsigned(remaining - 16));
    archive[8 + remaining - 16 - 1] = 'x';
    bool valid = true;
    EXPECT_EQ(OpenQuietly(archive, &valid),
              "ResourceLibrary::ResourceLibrary(): entry 0: name is not zero-terminated\n");
}

TEST(ArchiveCorrupt, NameWithoutItsTerminator) {
    Record unterminated{"abc", Deflate("x"), 1};
    Record empty{"", Deflate("x"), 1};
    for (const Record& r : {unterminated, empty}) {
        bool valid = true;
        EXPECT_EQ(OpenQuietly(Layout({Entry("ok", "ok"), r}), &valid),
                  "ResourceLibrary::ResourceLibrary(): entry 1: name is not zero-terminated\n");
        EXPECT_FALSE(valid);
    }
}

TEST(ArchiveCorrupt, DamageLaterInTheIndexDropsEveryEntry) {
    std::vector<Record> records = {Entry("first", "1"), Entry("second", "2")};
    std::string archive = Layout(records);
    Set32(archive, RecordAt(records, 1) + 4 + 7 + 4, 0x7FFFFFFF);  // second compressedSize
    CaptureFd out(1);
    Opened o(archive);
    out.Stop();
    EXPECT_FALSE(o.library.IsValid());
    EXPECT_EQ(o.library.GetResourceCount(), 0u);
    EXPECT_EQ(o.library.GetResource("first"), nullptr);
}

TEST(ArchiveCorrupt, DataBeyondTheEndOfTheFile) {
    std::vector<Record> records = {Entry("e", "entry data")};
    std::string archive = Layout(records);
    const size_t offsetAt = 4 + 4 + 2, storedAt = offsetAt + 4;
    const unsigned int stored = unsigned(records[0].stored.size());
    const unsigned int length = unsigned(archive.size());
    struct Case { unsigned int offset, stored; bool valid; };
    const Case cases[] = {
        {length - stored, stored, true},        // ends exactly at the end
        {length - stored + 1, stored, false},   // one byte beyond
        {length + 1, 0, false},                 // starts beyond
        {0xFFFFFF00u, 0x200u, false},           // offset + size wraps around
        {0, 0xFFFFFFFFu, false},
    };
    for (const Case& c : cases) {
        Set32(archive, offsetAt, c.offset);
        Set32(archive, storedAt, c.stored);
        bool valid = !c.valid;
        std::string printed = OpenQuietly(archive, &valid);
        EXPECT_EQ(valid, c.valid) << c.offset << " " << c.stored;
        EXPECT_EQ(printed, c.valid ? "" : "ResourceLibrary::ResourceLibrary(): entry 0: data lies beyond the end of the archive\n");
    }
}

TEST(ArchiveCorrupt, SizeBeyondWhatDeflateCanExpandTo) {
    std::vector<Record> records = {Entry("e", "entry data")};
    std::string archive = Layout(records);
    const size_t sizeAt = 4 + 4 + 2 + 8;
    const unsigned int stored = unsigned(records[0].stored.size());
    for (unsigned int size : {stored * ResourceLibrary::kMaxInflateRatio + ResourceLibrary::kMaxInflateRatio,
                              0x80000000u, 0xFFFFFFFFu}) {
        Set32(archive, sizeAt, size);
        bool valid = true;
        EXPECT_EQ(OpenQuietly(archive, &valid), "ResourceLibrary::ResourceLibrary(): entry 0: size " +
                                                    std::to_string(size) + " is impossible for " +
                                                    std::to_string(stored) + " compressed bytes\n");
        EXPECT_FALSE(valid);
    }
    Set32(archive, sizeAt, stored * ResourceLibrary::kMaxInflateRatio);
    bool valid = false;
    EXPECT_EQ(OpenQuietly(archive, &valid), "");
    EXPECT_TRUE(valid);
}

TEST(ArchiveCorrupt, EveryTruncationIsRejected) {
    std::string archive = Layout({Entry("a", "first entry"), Entry("dir/b", std::string(3000, 'b')),
                                  Entry("c", "last")});
    for (size_t n = 0; n < archive.size(); ++n) {
        CaptureFd out(1);
        Opened o(archive.substr(0, n));
        std::string printed = out.Stop();
        EXPECT_FALSE(o.library.IsValid()) << n;
        EXPECT_EQ(o.library.GetResource("c"), nullptr);
        EXPECT_EQ(printed.rfind("ResourceLibrary::ResourceLibrary(): ", 0), 0u) << n;
    }
}

TEST(ArchiveCorrupt, FlippedBytesNeverYieldMoreThanTheIndexPromises) {
    std::vector<Record> records = {Entry("a", "first entry"), Entry("b", std::string(300, 'b'))};
    const std::string archive = Layout(records);
    int accepted = 0;
    for (size_t at = 0; at < archive.size(); ++at) {
        for (int mask : {0x01, 0x80, 0xFF}) {
            std::string damaged = archive;
            damaged[at] = char(damaged[at] ^ mask);
            CaptureFd out(1);
            Opened o(damaged);
            for (unsigned int i = 0; i < o.library.GetResourceCount(); ++i) {
                ResourceLibrary::Resource* r = o.library.GetResourceAt(i);
                ASSERT_LE(size_t(r->offset) + r->compressedSize, damaged.size());
                std::unique_ptr<DataSource> s(o.library.GetDecompressed(r));
                if (s) {
                EXPECT_EQ(s->GetLength(), r->size);
            }
            }
            out.Stop();
            if (o.library.IsValid()) ++accepted;
        }
    }
    // Flips inside the stored data leave the index intact.
    EXPECT_GE(accepted, int(3 * (records[0].stored.size() + records[1].stored.size())));
}

TEST(ArchiveCorrupt, UnopenableArchiveFile) {
    TempDir dir;
    std::string path = dir.File("none.res");
    CaptureFd out(1);
    SDLFileSource file(path.c_str());
    ResourceLibrary library(&file);
    EXPECT_EQ(out.Stop(), "SDLFileSource::SDLFileSource(): Can't open " + path +
                              "\nResourceLibrary::ResourceLibrary(): archive too short (0 bytes)\n");
    EXPECT_FALSE(library.IsValid());
    EXPECT_EQ(library.GetResource("a"), nullptr);
}

// ---- the packing tool ----

namespace {

std::string Pack() { return testsupport::BinaryPath("vomra-pack"); }


// name, size and compressed size as the library reads them.
std::string ExpectedListing(const std::string& archive) {
    SDLFileSource file(archive.c_str());
    ResourceLibrary library(&file);
    std::string out;
    for (unsigned int i = 0; i < library.GetResourceCount(); ++i) {
        ResourceLibrary::Resource* r = library.GetResourceAt(i);
        out += std::string(r->name) + "\t" + std::to_string(r->size) + "\t" + std::to_string(r->compressedSize) + "\n";
    }
    return out;
}

}  // namespace

TEST(ArchiveTool, CreateListAndExtractRoundTrip) {
    TempDir dir;
    std::string content = dir.File("content");
    testsupport::WriteFileMakingDirs(content + "/scripts/init.lua", "print('init')\n");
    testsupport::WriteFileMakingDirs(content + "/b.txt", "bee");
    testsupport::WriteFileMakingDirs(content + "/A/z.bin", PseudoRandom(70000, 3));
    std::string archive = dir.File("out.res");
    CommandResult created = testsupport::Run({Pack(), "create", archive, content});
    ASSERT_EQ(created.exitCode, 0) << created.err;

    CommandResult listed = testsupport::Run({Pack(), "list", archive});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.err, "");
    std::string listing = ExpectedListing(archive);
    EXPECT_EQ(listed.out, listing);
    // Sorted byte-wise, relative, forward slashes.
    EXPECT_EQ(listing.substr(0, listing.find('\t')), "A/z.bin");
    EXPECT_NE(listing.find("\nb.txt\t3\t"), std::string::npos);
    EXPECT_NE(listing.find("\nscripts/init.lua\t14\t"), std::string::npos);

    CommandResult toStdout = testsupport::Run({Pack(), "extract", archive, "A/z.bin"});
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_EQ(toStdout.out, PseudoRandom(70000, 3));
    CommandResult toFile = testsupport::Run({Pack(), "extract", archive, "scripts/init.lua", dir.File("init.lua")});
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(testsupport::ReadFile(dir.File("init.lua")), "print('init')\n");
}

TEST(ArchiveTool, ArchivesAreReproducible) {
    TempDir dir;
    for (const char* name : {"q", "b/c", "a", "b/a"})
        testsupport::WriteFileMakingDirs(dir.File(std::string("in/") + name), name);
    ASSERT_EQ(testsupport::Run({Pack(), "create", dir.File("1.res"), dir.File("in")}).exitCode, 0);
    ASSERT_EQ(testsupport::Run({Pack(), "create", dir.File("2.res"), dir.File("in")}).exitCode, 0);
    EXPECT_EQ(testsupport::ReadFile(dir.File("1.res")), testsupport::ReadFile(dir.File("2.res")));
}

TEST(ArchiveTool, AHundredFilesComeBackByteForByte) {
    TempDir dir;
    std::string content = dir.File("content");
    std::vector<std::pair<std::string, std::string>> files;
    files.push_back({"empty.dat", ""});
    files.push_back({"big/ten megabytes.bin", PseudoRandom(10 * 1024 * 1024, 7)});
    files.push_back({"with space/my file.txt", "spaced out\n"});
    for (int i = 0; files.size() < 100; ++i) {
        std::string name = "level" + std::to_string(i % 3) + "/sub" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".txt";
        files.push_back({name, PseudoRandom(size_t(i) * 97 + 1, unsigned(i))});
    }
    for (const auto& f : files) ASSERT_TRUE(testsupport::WriteFileMakingDirs(content + "/" + f.first, f.second));
    std::string archive = dir.File("all.res");
    CommandResult created = testsupport::Run({Pack(), "create", archive, content});
    ASSERT_EQ(created.exitCode, 0) << created.err;

    CommandResult listed = testsupport::Run({Pack(), "list", archive});
    ASSERT_EQ(listed.exitCode, 0);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 100);
    for (const auto& f : files) {
        std::string line = f.first + "\t" + std::to_string(f.second.size()) + "\t";
        EXPECT_NE(listed.out.find(line), std::string::npos) << f.first;
        std::string out = dir.File("extracted");
        CommandResult extracted = testsupport::Run({Pack(), "extract", archive, f.first, out});
        ASSERT_EQ(extracted.exitCode, 0) << f.first << ": " << extracted.err;
        EXPECT_TRUE(testsupport::ReadFile(out) == f.second) << f.first;
    }
}

TEST(ArchiveTool, ListOfADamagedArchiveFailsWithAMessage) {
    TempDir dir;
    std::vector<Record> records = {Entry("a", "aaaa"), Entry("b", "bbbb")};
    std::string good = Layout(records);
    std::string unterminated = good;
    unterminated[4 + 4 + 1] = 'x';
    std::string hugeCount = good;
    Set32(hugeCount, 0, 0xFFFFFFFFu);
    std::string hugeSize = good;
    Set32(hugeSize, 4 + 4 + 2 + 8, 0xFFFFFFF0u);
    const std::string damaged[] = {good.substr(0, good.size() - 1), good.substr(0, 10), unterminated, hugeCount, hugeSize,
                                   std::string()};
    for (const std::string& bytes : damaged) {
        std::string path = dir.File("bad.res");
        testsupport::WriteFile(path, bytes);
        for (std::vector<std::string> args : {std::vector<std::string>{Pack(), "list", path},
                                              std::vector<std::string>{Pack(), "extract", path, "a"}}) {
            CommandResult r = testsupport::Run(args);
            EXPECT_EQ(r.signal, 0);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "vomra-pack: " + path + ": damaged archive index\n");
            EXPECT_EQ(r.out.rfind("ResourceLibrary::ResourceLibrary(): ", 0), 0u) << r.out;
        }
    }
}

TEST(ArchiveTool, ExtractOfAnUnknownNameFails) {
    TempDir dir;
    testsupport::WriteFile(dir.File("a.res"), Layout({Entry("scripts/init.lua", "x")}));
    CommandResult r = testsupport::Run({Pack(), "extract", dir.File("a.res"), "Scripts/init.lua"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vomra-pack: no entry Scripts/init.lua in " + dir.File("a.res") + "\n");
}

TEST(ArchiveTool, ExtractOfACorruptEntryFails) {
    TempDir dir;
    Record bad{std::string("bad") + '\0', "not zlib at all", 10};
    testsupport::WriteFile(dir.File("a.res"), Layout({bad}));
    CommandResult r = testsupport::Run({Pack(), "extract", dir.File("a.res"), "bad", dir.File("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "ResourceLibrary::GetDecompressed(): decompression failed: -3\n");
    EXPECT_EQ(r.err, "vomra-pack: can't inflate bad\n");
}

TEST(ArchiveTool, MissingArchiveOrFolderFails) {
    TempDir dir;
    CommandResult list = testsupport::Run({Pack(), "list", dir.File("none.res")});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_EQ(list.err, "vomra-pack: can't open " + dir.File("none.res") + ": No such file or directory\n");
    CommandResult create = testsupport::Run({Pack(), "create", dir.File("x.res"), dir.File("nofolder")});
    EXPECT_EQ(create.exitCode, 1);
    EXPECT_EQ(create.err, "vomra-pack: " + dir.File("nofolder") + " is not a folder\n");
    EXPECT_FALSE(testsupport::FileExists(dir.File("x.res")));
}

TEST(ArchiveTool, EmptyFolderMakesAnEmptyArchive) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("in").c_str(), 0755), 0);
    ASSERT_EQ(testsupport::Run({Pack(), "create", dir.File("e.res"), dir.File("in")}).exitCode, 0);
    EXPECT_EQ(testsupport::ReadFile(dir.File("e.res")), std::string(4, '\0'));
    CommandResult r = testsupport::Run({Pack(), "list", dir.File("e.res")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

TEST(ArchiveTool, WrongArgumentsPrintUsage) {
    const std::vector<std::vector<std::string>> calls = {
        {}, {"pack"}, {"create", "a.res"}, {"list"}, {"list", "a", "b"}, {"extract", "a.res"},
        {"extract", "a", "b", "c", "d"}};
    for (const auto& call : calls) {
        std::vector<std::string> args = {Pack()};
        args.insert(args.end(), call.begin(), call.end());
        CommandResult r = testsupport::Run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.rfind("usage: vomra-pack create OUT.res DIR\n", 0), 0u);
    }
}
