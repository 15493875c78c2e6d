// Replays every input kept under fuzz/regressions/<target>/ through the same
// entry points the fuzzers use; each one once crashed, hung or misread memory.
#include "fuzz/FuzzTargets.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void Replay(const std::string& target, int (*entry)(const unsigned char*, size_t)) {
    const std::string dir = std::string(VOMRA_FUZZ_REGRESSIONS) + "/" + target;
    std::vector<std::string> inputs = testsupport::FolderEntries(dir);
    ASSERT_FALSE(inputs.empty()) << "no inputs kept for " << target;
    for (const std::string& name : inputs) {
        SCOPED_TRACE(name);
        std::string bytes = testsupport::ReadFile(dir + "/" + name);
        testsupport::CaptureFd out(1), err(2);  // the content's own complaints
        EXPECT_EQ(entry(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), 0);
    }
}

}  // namespace

TEST(FuzzRegressions, ArchiveInputs) { Replay("archive", FuzzArchive); }

TEST(FuzzRegressions, ScriptInputs) { Replay("script", FuzzScript); }

TEST(FuzzRegressions, M3GInputs) { Replay("m3g", FuzzM3G); }
