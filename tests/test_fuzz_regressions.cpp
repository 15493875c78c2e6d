// Replays every input kept under fuzz/regressions/<target>/ through the same
// entry points the fuzzers use; each one once crashed, hung or misread memory.
#include "fuzz/FuzzTargets.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Inputs(const std::string& target) {
    std::vector<std::string> paths;
    std::string dir = std::string(VOMRA_FUZZ_REGRESSIONS) + "/" + target;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') paths.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    return paths;
}

void Replay(const std::string& target, int (*entry)(const unsigned char*, size_t)) {
    std::vector<std::string> inputs = Inputs(target);
    ASSERT_FALSE(inputs.empty()) << "no inputs kept for " << target;
    for (const std::string& path : inputs) {
        SCOPED_TRACE(path);
        std::string bytes = testsupport::ReadFile(path);
        testsupport::CaptureFd out(1), err(2);  // the content's own complaints
        EXPECT_EQ(entry(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), 0);
    }
}

}  // namespace

TEST(FuzzRegressions, ArchiveInputs) { Replay("archive", FuzzArchive); }

TEST(FuzzRegressions, ScriptInputs) { Replay("script", FuzzScript); }

TEST(FuzzRegressions, M3GInputs) { Replay("m3g", FuzzM3G); }
