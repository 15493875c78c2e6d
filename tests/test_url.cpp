// URL decoding and resolution: the archive first, then the file system, and
// the archive loading of the SDL platform.
#include "app/SDLPlatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "io/DataSource.h"
#include "io/ResourceLibrary.h"
#include "io/ResourceLibraryWriter.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::TempDir;

namespace {

std::string Decode(const char* s) {
    std::unique_ptr<char[]> d(SDLPlatform::Urldecode(s));
    return std::string(d.get());
}

std::string Contents(DataSource* s) {
    if (!s) return "<null>";
    std::string out(s->GetLength(), '\0');
    if (!out.empty()) s->Read(&out[0], unsigned(out.size()));
    return out;
}

// Resolves url and reads it whole; also reports whether the bytes came from
// memory (an archive entry) rather than a file.
std::string Resolve(SDLPlatform& platform, const std::string& url, bool* fromArchive = nullptr) {
    std::unique_ptr<DataSource> s(platform.CreateDataSourceForURL(url.c_str()));
    if (fromArchive) *fromArchive = s && s->IsReadOnly();
    return Contents(s.get());
}

bool WriteArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    ResourceLibraryWriter writer;
    for (const auto& e : entries)
        if (!writer.Add(e.first, reinterpret_cast<const unsigned char*>(e.second.data()), e.second.size()))
            return false;
    return writer.Write(path);
}

// Runs a test body inside a folder and comes back afterwards.
class InFolder {
public:
    explicit InFolder(const std::string& path) {
        char* cwd = getcwd(nullptr, 0);
        saved = cwd ? cwd : "/";
        free(cwd);
        EXPECT_EQ(chdir(path.c_str()), 0);
    }
    ~InFolder() { EXPECT_EQ(chdir(saved.c_str()), 0); }

private:
    std::string saved;
};

}  // namespace

TEST(UrlDecode, PlusAndEscapesBecomeTheirBytes) {
    EXPECT_EQ(Decode("my%20file"), "my file");
    EXPECT_EQ(Decode("my+file"), "my file");
    EXPECT_EQ(Decode("%41"), "A");
    EXPECT_EQ(Decode("%4a"), "J");
    EXPECT_EQ(Decode("%4A"), "J");
    EXPECT_EQ(Decode("a%2Fb%2fc"), "a/b/c");
    EXPECT_EQ(Decode("%25%2B+"), "%+ ");
    EXPECT_EQ(Decode("%C3%A9"), "\xC3\xA9");
    EXPECT_EQ(Decode("plain/path.lua"), "plain/path.lua");
    EXPECT_EQ(Decode(""), "");
}

TEST(UrlDecode, NonHexCharactersCountWithTheirOwnCode) {
    // 'G' is 71: (71 * 16 + 1) & 0xFF is 113, 'q'.
    EXPECT_EQ(Decode("%G1"), "q");
    // 'z' is 122: (122 * 16 + 122) & 0xFF is 26.
    EXPECT_EQ(Decode("%zz"), "\x1A");
}

TEST(UrlDecode, PercentWithoutTwoCharactersIsCopied) {
    EXPECT_EQ(Decode("%"), "%");
    EXPECT_EQ(Decode("a%"), "a%");
    EXPECT_EQ(Decode("a%4"), "a%4");
    EXPECT_EQ(Decode("%%"), "%%");
    // A '%' with two characters after it takes them, even a second '%':
    // ('%' * 16 + '4') & 0xFF is 84, 'T'.
    EXPECT_EQ(Decode("x%%41"), "xT1");
}

TEST(UrlDecode, NeverReadsPastTheTerminator) {
    // Each string ends right before an inaccessible page: one byte too far
    // and the process faults.
    long page = sysconf(_SC_PAGESIZE);
    char* block = static_cast<char*>(mmap(nullptr, size_t(page) * 2, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(block, MAP_FAILED);
    ASSERT_EQ(mprotect(block + page, size_t(page), PROT_NONE), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"%", "%"}, {"a%", "a%"}, {"%4", "%4"}, {"a%4", "a%4"}, {"%41", "A"}, {"+", " "}, {"", ""}};
    for (const auto& c : cases) {
        size_t n = strlen(c.first) + 1;
        char* at = block + page - n;
        memcpy(at, c.first, n);
        EXPECT_EQ(Decode(at), c.second);
    }
    munmap(block, size_t(page) * 2);
}

TEST(UrlResolve, UnknownSchemesGiveNullSilently) {
    SDLPlatform platform;
    CaptureFd out(1);
    for (const char* url : {"zip://scripts/a.lua", "http://x/y", "resource:/x", "File://x", "/etc/hostname", ""})
        EXPECT_EQ(platform.CreateDataSourceForURL(url), nullptr) << url;
    EXPECT_EQ(platform.CreateDataSourceForURL(nullptr), nullptr);
    EXPECT_EQ(out.Stop(), "");
}

TEST(UrlResolve, EmptyPathAfterTheSchemeGivesNullSilently) {
    SDLPlatform platform;
    CaptureFd out(1);
    EXPECT_EQ(platform.CreateDataSourceForURL("resource://"), nullptr);
    EXPECT_EQ(platform.CreateDataSourceForURL("file://"), nullptr);
    EXPECT_EQ(out.Stop(), "");
}

TEST(UrlResolve, FileSchemeOpensTheDecodedPath) {
    TempDir dir;
    testsupport::WriteFile(dir.File("my file.txt"), "file bytes");
    SDLPlatform platform;
    bool fromArchive = true;
    EXPECT_EQ(Resolve(platform, "file://" + dir.Path() + "/my%20file.txt", &fromArchive), "file bytes");
    EXPECT_FALSE(fromArchive);
    EXPECT_EQ(Resolve(platform, "file://" + dir.Path() + "/my+file.txt"), "file bytes");
}

TEST(UrlResolve, MissingFileIsReportedAndGivesNull) {
    TempDir dir;
    SDLPlatform platform;
    CaptureFd out(1);
    EXPECT_EQ(platform.CreateDataSourceForURL(("file://" + dir.Path() + "/no%20such").c_str()), nullptr);
    EXPECT_EQ(platform.CreateDataSourceForURL(("resource://" + dir.Path() + "/gone").c_str()), nullptr);
    EXPECT_EQ(out.Stop(), "SDLFileSource::SDLFileSource(): Can't open " + dir.Path() + "/no such\n" +
                              "SDLFileSource::SDLFileSource(): Can't open " + dir.Path() + "/gone\n");
}

TEST(UrlResolve, ResourceWithoutArchiveGoesToTheFileSystem) {
    TempDir dir;
    testsupport::WriteFileMakingDirs(dir.File("scripts/init.lua"), "from disk");
    InFolder in(dir.Path());
    SDLPlatform platform;
    bool fromArchive = true;
    EXPECT_EQ(Resolve(platform, "resource://scripts/init.lua", &fromArchive), "from disk");
    EXPECT_FALSE(fromArchive);
}

TEST(UrlResolve, ResourceComesFromTheArchiveFirst) {
    TempDir dir;
    ASSERT_TRUE(WriteArchive(dir.File("vomra.res"), {{"scripts/init.lua", "from archive"},
                                                      {"my file.txt", "spaced"},
                                                      {"J", "jay"}}));
    testsupport::WriteFileMakingDirs(dir.File("scripts/init.lua"), "from disk");
    testsupport::WriteFileMakingDirs(dir.File("only/on disk.txt"), "disk only");
    InFolder in(dir.Path());
    SDLPlatform platform;
    platform.LoadResourceLibrary("vomra.res");
    ASSERT_NE(platform.GetResourceLibrary(), nullptr);
    bool fromArchive = false;
    EXPECT_EQ(Resolve(platform, "resource://scripts/init.lua", &fromArchive), "from archive");
    EXPECT_TRUE(fromArchive);
    EXPECT_EQ(Resolve(platform, "resource://my%20file.txt"), "spaced");
    EXPECT_EQ(Resolve(platform, "resource://my+file.txt"), "spaced");
    EXPECT_EQ(Resolve(platform, "resource://%4a"), "jay");
    // Not in the archive: the file of that path.
    EXPECT_EQ(Resolve(platform, "resource://only/on+disk.txt", &fromArchive), "disk only");
    EXPECT_FALSE(fromArchive);
    // "file://" never looks into the archive.
    EXPECT_EQ(Resolve(platform, "file://scripts/init.lua", &fromArchive), "from disk");
    EXPECT_FALSE(fromArchive);
}

TEST(PlatformArchive, MissingArchiveWarnsAndLeavesNone) {
    TempDir dir;
    testsupport::WriteFile(dir.File("a.txt"), "disk");
    SDLPlatform platform;
    std::string path = dir.File("vomra.res");
    CaptureFd out(1);
    platform.LoadResourceLibrary(path.c_str());
    EXPECT_EQ(out.Stop(), "Warning: can't open " + path + "\n");
    EXPECT_EQ(platform.GetResourceLibrary(), nullptr);
    EXPECT_EQ(Resolve(platform, "resource://" + dir.File("a.txt")), "disk");
}

TEST(PlatformArchive, LoadingAnotherArchiveReplacesTheFirst) {
    TempDir dir;
    ASSERT_TRUE(WriteArchive(dir.File("1.res"), {{"one", "1"}}));
    ASSERT_TRUE(WriteArchive(dir.File("2.res"), {{"two", "2"}}));
    SDLPlatform platform;
    platform.LoadResourceLibrary(dir.File("1.res").c_str());
    EXPECT_EQ(Resolve(platform, "resource://one"), "1");
    platform.LoadResourceLibrary(dir.File("2.res").c_str());
    EXPECT_EQ(Resolve(platform, "resource://two"), "2");
    CaptureFd out(1);
    EXPECT_EQ(platform.CreateDataSourceForURL("resource://one"), nullptr);
    // A failed load drops the archive that was there.
    platform.LoadResourceLibrary(dir.File("3.res").c_str());
    EXPECT_EQ(platform.GetResourceLibrary(), nullptr);
    EXPECT_EQ(platform.CreateDataSourceForURL("resource://two"), nullptr);
    EXPECT_EQ(out.Stop(), "SDLFileSource::SDLFileSource(): Can't open one\nWarning: can't open " +
                              dir.File("3.res") + "\nSDLFileSource::SDLFileSource(): Can't open two\n");
}

TEST(PlatformArchive, DamagedArchiveIsReportedAndDropped) {
    TempDir dir;
    testsupport::WriteFile(dir.File("bad.res"), std::string("\xFF\xFF\xFF\xFF", 4) + "junk");
    SDLPlatform platform;
    CaptureFd out(1);
    platform.LoadResourceLibrary(dir.File("bad.res").c_str());
    EXPECT_EQ(out.Stop(), "ResourceLibrary::ResourceLibrary(): 4294967295 entries cannot fit in 8 bytes\n");
    EXPECT_EQ(platform.GetResourceLibrary(), nullptr);
}

TEST(PlatformArchive, EntrySourcesOutliveThePlatform) {
    TempDir dir;
    ASSERT_TRUE(WriteArchive(dir.File("a.res"), {{"a", "kept"}}));
    DataSource* s;
    {
        SDLPlatform platform;
        platform.LoadResourceLibrary(dir.File("a.res").c_str());
        s = platform.CreateDataSourceForURL("resource://a");
    }
    EXPECT_EQ(Contents(s), "kept");
    delete s;
}
