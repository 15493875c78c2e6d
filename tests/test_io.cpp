// Byte sources over memory and files: value decoding, alignment, reads at and
// past the end, the short-read report and the lifetime of handed-out blocks.
#include "io/ROMSource.h"
#include "io/SDLFileSource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>

#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::TempDir;

namespace {

enum SourceKind { kMemory, kFile };

// The same cases run over both sources, each made from the same bytes.
class SourceTest : public ::testing::TestWithParam<SourceKind> {
protected:
    std::unique_ptr<DataSource> Make(const std::string& bytes) {
        if (GetParam() == kMemory) {
            unsigned char* block = static_cast<unsigned char*>(malloc(bytes.size() + 1));
            memcpy(block, bytes.data(), bytes.size());
            return std::unique_ptr<DataSource>(new ROMSource(block, unsigned(bytes.size()), true));
        }
        std::string path = dir.File("data" + std::to_string(++made));
        EXPECT_TRUE(testsupport::WriteFile(path, bytes));
        return std::unique_ptr<DataSource>(new SDLFileSource(path.c_str()));
    }

    TempDir dir;
    int made = 0;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(char(v));
    return s;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(BothSources, SourceTest, ::testing::Values(kMemory, kFile),
                         [](const ::testing::TestParamInfo<SourceKind>& info) {
                             return std::string(info.param == kMemory ? "ROMSource" : "SDLFileSource");
                         });

TEST_P(SourceTest, ValuesAreLittleEndianAndSignExtended) {
    auto s = Make(Bytes({0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00, 0x7F, 0x80,
                         0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x34, 0x12}));
    EXPECT_EQ(s->GetLength(), 21u);
    EXPECT_EQ(s->Read8(), -1);
    EXPECT_EQ(s->GetPosition(), 1u);
    EXPECT_EQ(s->Read16(), 32767);
    EXPECT_EQ(s->GetPosition(), 3u);
    EXPECT_EQ(s->Read16(), -32768);
    EXPECT_EQ(s->Read32(), 1);
    EXPECT_EQ(s->GetPosition(), 9u);
    EXPECT_EQ(s->Read8(), 127);
    EXPECT_EQ(s->Read8(), -128);
    EXPECT_EQ(s->Read32(), 0x12345678);
    EXPECT_EQ(s->Read32(), -1);
    EXPECT_EQ(s->Read16(), 0x1234);
    EXPECT_EQ(s->GetPosition(), 21u);
}

TEST_P(SourceTest, AlignMovesUpToTheNextMultipleOnly) {
    auto s = Make(std::string(32, 'x'));
    for (unsigned int p : {0u, 4u, 8u}) {
        s->SetPosition(p);
        s->Align(4);
        EXPECT_EQ(s->GetPosition(), p);
    }
    s->SetPosition(5);
    s->Align(4);
    EXPECT_EQ(s->GetPosition(), 8u);
    s->SetPosition(9);
    s->Align(8);
    EXPECT_EQ(s->GetPosition(), 16u);
    for (unsigned int p : {0u, 3u, 7u, 31u}) {
        s->SetPosition(p);
        s->Align(1);
        EXPECT_EQ(s->GetPosition(), p);
    }
}

TEST_P(SourceTest, BlockAndBufferReadsDeliverTheBytesAndAdvance) {
    auto s = Make("abcdefghij");
    s->SetPosition(2);
    const unsigned char* block = s->Read(3u);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), 3), "cde");
    EXPECT_EQ(s->GetPosition(), 5u);
    char buffer[5] = {};
    EXPECT_EQ(s->Read(buffer, 5), buffer);
    EXPECT_EQ(std::string(buffer, 5), "fghij");
    EXPECT_EQ(s->GetPosition(), 10u);
    EXPECT_EQ(s->GetRemaining(), 0u);
}

TEST_P(SourceTest, ValueReadsPastTheEndGiveZero) {
    auto s = Make(Bytes({0x11, 0x22, 0x33}));
    s->SetPosition(2);
    EXPECT_EQ(s->Read16(), 0);
    EXPECT_EQ(s->GetPosition(), 3u);
    EXPECT_EQ(s->Read8(), 0);
    EXPECT_EQ(s->Read32(), 0);
    EXPECT_EQ(s->GetPosition(), 3u);
    s->SetPosition(0);
    EXPECT_EQ(s->Read32(), 0);
}

TEST_P(SourceTest, BlockReadsPastTheEndGiveNull) {
    auto s = Make("abcdef");
    s->SetPosition(4);
    CaptureFd out(1);
    EXPECT_EQ(s->Read(3u), nullptr);
    s->SetPosition(4);
    char buffer[8];
    EXPECT_EQ(s->Read(buffer, 3), nullptr);
    s->SetPosition(0);
    EXPECT_EQ(s->Read(0xFFFFFFFFu), nullptr);
    out.Stop();
}

TEST_P(SourceTest, EmptySourceHasNothingToRead) {
    auto s = Make("");
    EXPECT_EQ(s->GetLength(), 0u);
    EXPECT_EQ(s->GetPosition(), 0u);
    EXPECT_EQ(s->Read8(), 0);
    CaptureFd out(1);
    char buffer[1];
    EXPECT_EQ(s->Read(buffer, 1), nullptr);
    out.Stop();
    EXPECT_EQ(s->GetPosition(), 0u);
}

TEST(ROMSourceRead, BlocksPointIntoTheDataWithoutCopying) {
    unsigned char data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        // Not owned: destroying the source must not free a stack block.
        ROMSource s(data, 8, false);
        s.SetPosition(3);
        EXPECT_EQ(s.Read(2u), data + 3);
        EXPECT_EQ(s.GetPosition(), 5u);
        EXPECT_TRUE(s.IsReadOnly());
    }
    EXPECT_EQ(data[0], 1);
}

TEST(ROMSourceRead, PositionSetBeyondTheEndIsKeptAndReadsNothing) {
    unsigned char data[4] = {1, 2, 3, 4};
    ROMSource s(data, 4, false);
    s.SetPosition(100);
    EXPECT_EQ(s.GetPosition(), 100u);
    EXPECT_EQ(s.Read8(), 0);
    EXPECT_EQ(s.Read(1u), nullptr);
    EXPECT_EQ(s.GetPosition(), 100u);
    EXPECT_EQ(s.GetRemaining(), 0u);
    // A position near the top of the range must not wrap into the block.
    s.SetPosition(0xFFFFFFFEu);
    EXPECT_EQ(s.Read32(), 0);
    EXPECT_EQ(s.Read(4u), nullptr);
}

TEST(ROMSourceRead, FailedBufferReadLeavesTheBufferAlone) {
    unsigned char data[2] = {9, 9};
    ROMSource s(data, 2, false);
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(s.Read(buffer, 4), nullptr);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(s.GetPosition(), 2u);
}

static std::string ShortReadReport(unsigned int got, unsigned int expected) {
    return "SDLFileSource::Read(): Got " + std::to_string(got) + " bytes, expecting " +
           std::to_string(expected) + "\n\terror = " + strerror(0) + " (0), EOF\n";
}

TEST(FileSourceShortRead, ReportsGotExpectedErrorAndEof) {
    TempDir dir;
    testsupport::WriteFile(dir.File("f"), "abc");
    SDLFileSource s(dir.File("f").c_str());
    char buffer[5] = {};
    CaptureFd out(1);
    void* r = s.Read(buffer, 5);
    std::string printed = out.Stop();
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(printed, ShortReadReport(3, 5));
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(s.GetPosition(), 3u);
}

TEST(FileSourceShortRead, BlockReadReportsTheSameAndReturnsNull) {
    TempDir dir;
    testsupport::WriteFile(dir.File("f"), std::string(10000, 'z'));
    SDLFileSource s(dir.File("f").c_str());
    s.SetPosition(9990);
    CaptureFd out(1);
    unsigned char* r = s.Read(4000000000u);
    std::string printed = out.Stop();
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(printed, ShortReadReport(10, 4000000000u));
    EXPECT_EQ(s.GetPosition(), 10000u);
}

#if defined(__SANITIZE_ADDRESS__)
#define VOMRA_WITH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOMRA_WITH_ASAN 1
#endif
#endif

#ifndef VOMRA_WITH_ASAN
// A request far beyond the file must fail without allocating what it asks
// for: under a 256 MiB address-space limit a 3 GB allocation would abort.
static void ReadHugeBlockUnderAMemoryLimit(const std::string& path) {
    struct rlimit limit = {256u << 20, 256u << 20};
    setrlimit(RLIMIT_AS, &limit);
    SDLFileSource s(path.c_str());
    fclose(stdout);
    exit(s.Read(3000000000u) == nullptr ? 0 : 1);
}
#endif

TEST(FileSourceShortRead, HugeBlockRequestDoesNotAllocate) {
#ifdef VOMRA_WITH_ASAN
    GTEST_SKIP() << "an address-space limit is incompatible with AddressSanitizer";
#else
    TempDir dir;
    testsupport::WriteFile(dir.File("f"), "0123456789");
    std::string path = dir.File("f");
    EXPECT_EXIT(ReadHugeBlockUnderAMemoryLimit(path), ::testing::ExitedWithCode(0), "");
#endif
}

TEST(FileSourceBlocks, StayValidUntilTheSourceIsDeleted) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes.push_back(char(i * 7 + i / 256));
    testsupport::WriteFile(dir.File("f"), bytes);
    SDLFileSource s(dir.File("f").c_str());
    EXPECT_FALSE(s.IsReadOnly());
    std::vector<unsigned char*> blocks;
    for (int round = 0; round < 50; ++round) {
        s.SetPosition(0);
        for (int i = 0; i < 16; ++i) blocks.push_back(s.Read(256u));
    }
    // Every block still holds its own bytes after all the later reads.
    for (size_t b = 0; b < blocks.size(); ++b) {
        ASSERT_NE(blocks[b], nullptr);
        EXPECT_EQ(memcmp(blocks[b], bytes.data() + (b % 16) * 256, 256), 0) << "block " << b;
        for (size_t c = 0; c < b; ++c) ASSERT_NE(blocks[b], blocks[c]);
    }
}

TEST(FileSourceUnopenable, ReportsAndReadsAsEmpty) {
    TempDir dir;
    std::string path = dir.File("missing.bin");
    CaptureFd out(1);
    SDLFileSource s(path.c_str());
    char buffer[4];
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.GetPosition(), 0u);
    EXPECT_EQ(s.Read8(), 0);
    EXPECT_EQ(s.Read16(), 0);
    EXPECT_EQ(s.Read32(), 0);
    EXPECT_EQ(s.Read(buffer, 4), nullptr);
    EXPECT_EQ(s.Read(4u), nullptr);
    s.SetPosition(10);
    s.Align(4);
    EXPECT_EQ(s.GetPosition(), 0u);
    EXPECT_EQ(out.Stop(), "SDLFileSource::SDLFileSource(): Can't open " + path + "\n");
}

TEST(FileSourceUnopenable, AFolderIsNotOpened) {
    TempDir dir;
    CaptureFd out(1);
    SDLFileSource s(dir.Path().c_str());
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.Read(1000000u), nullptr);
    EXPECT_EQ(out.Stop(), "SDLFileSource::SDLFileSource(): Can't open " + dir.Path() + "\n");
}
