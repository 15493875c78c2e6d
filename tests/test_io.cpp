// Byte sources over memory and files: value decoding, reads at and past the
// end, the short-read report and the lifetime of handed-out blocks.
#include "io/ROMSource.h"
#include "io/SDLFileSource.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::TempDir;
using namespace std::string_literals;

namespace {

// The same cases run over both sources (true: a file), each made from the same bytes.
class SourceTest : public ::testing::TestWithParam<bool> {
protected:
    std::unique_ptr<DataSource> Make(const std::string& bytes) {
        kept = bytes;
        EXPECT_TRUE(testsupport::WriteFile(dir.File("data"), bytes));
        if (GetParam()) return std::make_unique<SDLFileSource>(dir.File("data").c_str());
        return std::make_unique<ROMSource>(reinterpret_cast<const unsigned char*>(kept.data()), unsigned(kept.size()),
                                           false);
    }

    TempDir dir;
    std::string kept;
};

std::string ShortReadReport(unsigned int got, unsigned int expected) {
    return "SDLFileSource::Read(): Got " + std::to_string(got) + " bytes, expecting " + std::to_string(expected) +
           "\n\terror = " + strerror(0) + " (0), EOF\n";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(BothSources, SourceTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "SDLFileSource" : "ROMSource"); });

TEST_P(SourceTest, ValuesAreLittleEndianAndSignExtended) {
    auto s = Make("\xFF\xFF\x7F\x00\x80\x01\x00\x00\x00\x80\x78\x56\x34\x12\xFF\xFF\xFF\xFF" "abcdefgh"s);
    const int expected[] = {-1, 32767, -32768, 1, -128, 0x12345678, -1};
    const int width[] = {1, 2, 2, 4, 1, 4, 4};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(width[i] == 1 ? s->Read8() : width[i] == 2 ? s->Read16() : s->Read32(), expected[i]) << i;
    const unsigned char* block = s->Read(3u);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), 3), "abc");
    char buffer[5] = {};
    EXPECT_EQ(s->Read(buffer, 5), buffer);
    EXPECT_EQ(std::string(buffer, 5), "defgh");
    EXPECT_EQ(s->GetPosition(), 26u);
}

TEST_P(SourceTest, ReadsPastTheEndGiveZeroOrNull) {
    auto s = Make("\x11\x22\x33");
    CaptureFd out(1);
    s->SetPosition(2);
    EXPECT_EQ(s->Read16(), 0);
    EXPECT_EQ(s->Read32(), 0);
    char buffer[8];
    s->SetPosition(1);
    EXPECT_EQ(s->Read(buffer, 3), nullptr);
    s->SetPosition(0);
    EXPECT_EQ(s->Read(0xFFFFFFFFu), nullptr);
    // A position near the top of the range must not wrap back into the data.
    s->SetPosition(0xFFFFFFFEu);
    EXPECT_EQ(s->Read32(), 0);
    EXPECT_EQ(s->Read(4u), nullptr);
    out.Stop();
}

#if defined(__SANITIZE_ADDRESS__)
#define VOMRA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOMRA_ASAN 1
#endif
#endif

TEST(FileSourceShortRead, ReportsGotExpectedErrorAndEof) {
    TempDir dir;
    testsupport::WriteFile(dir.File("f"), std::string(10000, 'z'));
    SDLFileSource s(dir.File("f").c_str());
    char buffer[5] = {};
    s.SetPosition(9997);
    CaptureFd out(1);
    EXPECT_EQ(s.Read(buffer, 5), nullptr);
    EXPECT_EQ(std::string(buffer, 3), "zzz");
    s.SetPosition(9990);
    EXPECT_EQ(s.Read(4000000000u), nullptr);
    EXPECT_EQ(out.Stop(), ShortReadReport(3, 5) + ShortReadReport(10, 4000000000u));
    EXPECT_EQ(s.GetPosition(), 10000u);
#ifndef VOMRA_ASAN  // the sanitizer's shadow memory does not fit the limit
    // Under a 256 MiB address-space limit a 3 GB block would abort the child.
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = 256u << 20;
    EXPECT_EXIT((setrlimit(RLIMIT_AS, &limit), fclose(stdout), exit(s.Read(3000000000u) ? 1 : 0)),
                ::testing::ExitedWithCode(0), "");
#endif
}

TEST(FileSourceBlocks, StayValidUntilTheSourceIsDeleted) {
    TempDir dir;
    std::string bytes(4096, '\0');
    for (int i = 0; i < 4096; ++i) bytes[i] = char(i * 7 + i / 256);
    testsupport::WriteFile(dir.File("f"), bytes);
    SDLFileSource s(dir.File("f").c_str());
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 800; ++i) {
        s.SetPosition(unsigned(i % 16) * 256);
        blocks.push_back(s.Read(256u));
    }
    for (size_t b = 0; b < blocks.size(); ++b) {
        ASSERT_NE(blocks[b], nullptr);
        EXPECT_EQ(memcmp(blocks[b], bytes.data() + (b % 16) * 256, 256), 0) << "block " << b;
    }
}

TEST(FileSourceUnopenable, ReportsAndReadsAsEmpty) {
    TempDir dir;
    // Only regular files open: a folder fails every read, a FIFO would block
    // in open and a device never ends.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> rows[] = {
        {dir.File("missing.bin"), "Can't open " + dir.File("missing.bin")},
        {dir.Path(), dir.Path() + " is not a regular file"},
        {fifo, fifo + " is not a regular file"},
        {"/dev/zero", "/dev/zero is not a regular file"}};
    for (const auto& row : rows) {
        CaptureFd out(1);
        SDLFileSource s(row.first.c_str());
        char buffer[4];
        EXPECT_FALSE(s.IsOpen());
        EXPECT_EQ(s.Read32(), 0);
        EXPECT_EQ(s.Read(buffer, 4), nullptr);
        EXPECT_EQ(s.Read(1000000u), nullptr);
        EXPECT_EQ(out.Stop(), "SDLFileSource::SDLFileSource(): " + row.second + "\n");
    }
}
