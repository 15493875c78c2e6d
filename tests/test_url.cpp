// URL decoding and resolution: the archive first, then the file system, and
// the archive loading of the SDL platform.
#include "app/SDLPlatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "io/DataSource.h"
#include "io/ResourceLibraryWriter.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::TempDir;

namespace {

// Resolves url and reads it whole; fromArchive tells whether the bytes came
// from memory (an archive entry) rather than a file.
std::string Resolve(SDLPlatform& platform, const std::string& url, bool* fromArchive = nullptr) {
    DataSource* s = platform.CreateDataSourceForURL(url.c_str());
    if (fromArchive) *fromArchive = s && s->IsReadOnly();
    return testsupport::ReadAll(s);
}

bool WriteArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    ResourceLibraryWriter writer;
    for (const auto& e : entries)
        writer.Add(e.first, reinterpret_cast<const unsigned char*>(e.second.data()), e.second.size());
    return writer.Write(path);
}

}  // namespace

TEST(UrlDecode, EscapesAndPlusWithoutReadingPastTheTerminator) {
    // Each string ends right before an inaccessible page: one byte too far
    // and the process faults.
    size_t page = size_t(sysconf(_SC_PAGESIZE));
    char* block =
        static_cast<char*>(mmap(nullptr, page * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(block, MAP_FAILED);
    ASSERT_EQ(mprotect(block + page, page, PROT_NONE), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"my%20file", "my file"}, {"my+file", "my file"}, {"%41", "A"}, {"%4a", "J"}, {"%4A", "J"},
        {"%25%2B+", "%+ "}, {"%C3%A9", "\xC3\xA9"}, {"", ""},
        // Not a hex digit: the character's own code counts, so ('G' * 16 + 1) & 0xFF is 'q'.
        {"%G1", "q"}, {"x%%41", "xT1"},
        // A '%' without two characters after it is copied.
        {"%", "%"}, {"a%", "a%"}, {"a%4", "a%4"}};
    for (const auto& c : cases) {
        size_t n = strlen(c.first) + 1;
        char* at = static_cast<char*>(memcpy(block + page - n, c.first, n));
        std::unique_ptr<char[]> decoded(SDLPlatform::Urldecode(at));
        EXPECT_STREQ(decoded.get(), c.second) << c.first;
    }
    munmap(block, page * 2);
}

TEST(UrlResolve, ArchiveFirstThenFileSystemAndNothingForOtherSchemes) {
    TempDir dir;
    const std::string root = dir.Path();
    ASSERT_TRUE(WriteArchive(dir.File("vomra.res"),
                             {{root + "/scripts/init.lua", "from archive"}, {"my file.txt", "spaced"}, {"J", "jay"}}));
    testsupport::WriteFileMakingDirs(dir.File("scripts/init.lua"), "from disk");
    testsupport::WriteFileMakingDirs(dir.File("only/on disk.txt"), "disk only");
    SDLPlatform platform;
    platform.LoadResourceLibrary(dir.File("vomra.res").c_str());
    struct Case { std::string url, contents; bool fromArchive; };
    const Case cases[] = {{"resource://" + root + "/scripts/init.lua", "from archive", true},
                          {"file://" + root + "/scripts/init.lua", "from disk", false},
                          {"resource://my%20file.txt", "spaced", true},
                          {"resource://my+file.txt", "spaced", true},
                          {"resource://%4a", "jay", true},
                          {"resource://" + root + "/only/on+disk.txt", "disk only", false},
                          {"file://" + root + "/only/on%20disk.txt", "disk only", false}};
    for (const Case& c : cases) {
        bool fromArchive = !c.fromArchive;
        EXPECT_EQ(Resolve(platform, c.url, &fromArchive), c.contents) << c.url;
        EXPECT_EQ(fromArchive, c.fromArchive) << c.url;
    }
    CaptureFd out(1);
    for (const char* url : {"zip://a.lua", "http://x/y", "resource:/x", "File://x", "/etc/hostname", "", "resource://",
                            "file://", static_cast<const char*>(nullptr)})
        EXPECT_EQ(platform.CreateDataSourceForURL(url), nullptr) << (url ? url : "null");
    EXPECT_EQ(out.Stop(), "");
}

TEST(PlatformArchive, MissingOrDamagedArchiveIsReportedAndDropsTheOldOne) {
    TempDir dir;
    ASSERT_TRUE(WriteArchive(dir.File("1.res"), {{"one", "1"}}));
    testsupport::WriteFile(dir.File("bad.res"), std::string("\xFF\xFF\xFF\xFF", 4) + "junk");
    SDLPlatform platform;
    platform.LoadResourceLibrary(dir.File("1.res").c_str());
    EXPECT_EQ(Resolve(platform, "resource://one"), "1");
    CaptureFd out(1);
    platform.LoadResourceLibrary(dir.File("none.res").c_str());
    EXPECT_EQ(platform.GetResourceLibrary(), nullptr);
    EXPECT_EQ(Resolve(platform, "resource://one"), "<null>");
    platform.LoadResourceLibrary(dir.File("1.res").c_str());
    platform.LoadResourceLibrary(dir.File("bad.res").c_str());
    EXPECT_EQ(platform.GetResourceLibrary(), nullptr);
    EXPECT_EQ(out.Stop(), "Warning: can't open " + dir.File("none.res") +
                              "\nSDLFileSource::SDLFileSource(): Can't open one\n"
                              "ResourceLibrary::ResourceLibrary(): 4294967295 entries cannot fit in 8 bytes\n");
}

TEST(PlatformContent, FoldersAreSearchedInOrderAndWhatWasReadIsNoted) {
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileMakingDirs(dir.File("src/scripts/init.lua"), "source"));
    ASSERT_TRUE(testsupport::WriteFileMakingDirs(dir.File("src/both.txt"), "first"));
    ASSERT_TRUE(testsupport::WriteFileMakingDirs(dir.File("built/both.txt"), "second"));
    ASSERT_TRUE(testsupport::WriteFileMakingDirs(dir.File("built/scenes/a b.m3g"), "scene"));
    ASSERT_EQ(mkdir(dir.File("src/folder.txt").c_str(), 0755), 0);
    ASSERT_TRUE(testsupport::WriteFileMakingDirs(dir.File("built/folder.txt"), "a file at last"));
    ASSERT_TRUE(WriteArchive(dir.File("vomra.res"), {{"scripts/init.lua", "archive"}}));
    SDLPlatform platform;
    CaptureFd out(1);
    platform.AddContentFolder(dir.File("src").c_str());
    platform.AddContentFolder(dir.File("missing").c_str());
    platform.AddContentFolder((dir.File("built") + "/").c_str());
    EXPECT_EQ(out.Stop(), "Warning: can't open the content folder " + dir.File("missing") + "\n");
    platform.SetRecordingReads(true);

    EXPECT_EQ(Resolve(platform, "resource://scripts/init.lua"), "source");
    EXPECT_EQ(Resolve(platform, "resource://both.txt"), "first");
    EXPECT_EQ(Resolve(platform, "resource://scenes/a%20b.m3g"), "scene");
    EXPECT_EQ(Resolve(platform, "resource://folder.txt"), "a file at last");  // files only
    EXPECT_EQ(Resolve(platform, "resource://scripts/init.lua"), "source");  // noted once
    CaptureFd missing(1);
    EXPECT_EQ(Resolve(platform, "resource://shaders/new.frag"), "<null>");
    EXPECT_EQ(missing.Stop(), "SDLFileSource::SDLFileSource(): Can't open shaders/new.frag\n");
    EXPECT_EQ(platform.TakeFilesRead(),
              (std::vector<std::string>{dir.File("src/scripts/init.lua"), dir.File("src/both.txt"),
                                        dir.File("built/scenes/a b.m3g"), dir.File("built/folder.txt"),
                                        // Not there: noted where an author would make it.
                                        dir.File("src/shaders/new.frag"), "shaders/new.frag"}));
    EXPECT_TRUE(platform.TakeFilesRead().empty());

    // A loaded archive comes first (the player opens none with --content); noted for its entries.
    platform.LoadResourceLibrary(dir.File("vomra.res").c_str());
    EXPECT_EQ(Resolve(platform, "resource://scripts/init.lua"), "archive");
    EXPECT_EQ(Resolve(platform, "file://" + dir.File("src/both.txt")), "first");
    EXPECT_EQ(platform.TakeFilesRead(),
              (std::vector<std::string>{dir.File("vomra.res"), dir.File("src/both.txt")}));
    EXPECT_EQ(platform.FileOfURL("file://my%20song.ogg"), "my song.ogg");
    EXPECT_EQ(platform.FileOfURL("resource://song.ogg"), "");
    // Not recording: nothing is kept.
    platform.SetRecordingReads(false);
    Resolve(platform, "resource://both.txt");
    EXPECT_TRUE(platform.TakeFilesRead().empty());
}
