// Installing: cmake --install into a scratch prefix gives the programs, the
// README and the bundled demo, and the installed player finds the demo and
// its music from any folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/SDLPlatform.h"
#include "io/DataSource.h"
#include "io/ResourceLibraryWriter.h"
#include "support/Png.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// A prefix the build has been installed into.
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        CommandResult r =
            testsupport::Run({VOMRA_CMAKE_COMMAND, "--install", VOMRA_BIN_DIR, "--prefix", prefix.Path()});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        // The music plays without a sound card.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    std::string Bin(const std::string& name) const { return prefix.File("bin/" + name); }
    std::string Demo(const std::string& name) const { return prefix.File("share/vomra/" + name); }

    // Runs the installed player with elsewhere as the current folder.
    CommandResult Player(const std::string& elsewhere, const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {"/bin/sh", "-c",      "cd \"$1\" && shift && exec \"$@\"",
                                         "sh",      elsewhere, Bin("vomra"),
                                         "--width", "160",     "--height",
                                         "120"};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::Run(argv);
    }

    TempDir prefix;
};

std::string Contents(SDLPlatform& platform, const char* url) {
    return ReadAll(platform.CreateDataSourceForURL(url));
}

bool Executable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR);
}

}  // namespace

TEST_F(Installed, ProgramsReadmeAndDemoAreInPlace) {
    for (const char* program : {"vomra", "vomra-pack", "m3g-info", "m3g-scene"})
        EXPECT_TRUE(Executable(Bin(program))) << program;
    EXPECT_EQ(ReadFile(prefix.File("share/doc/vomra/README.md")),
              ReadFile(std::string(VOMRA_SOURCE_DIR) + "/README.md"));
    for (const char* name : {"vomra.res", "music.ogg"}) {
        std::string installed = ReadFile(Demo(name));
        EXPECT_FALSE(installed.empty()) << name;
        EXPECT_TRUE(installed == ReadFile(BinaryPath(name))) << name;
    }
}

TEST_F(Installed, ProgramsRunFromTheirNewPlace) {
    CommandResult help = testsupport::Run({Bin("vomra"), "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: vomra [options]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("share/vomra/vomra.res"), std::string::npos) << help.out;
    CommandResult list = testsupport::Run({Bin("vomra-pack"), "list", Demo("vomra.res")});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    for (const char* entry : {"\nscripts/init.lua\t", "\nscenes/knot.m3g\t", "\nshaders/lit.frag\t"})
        EXPECT_NE(("\n" + list.out).find(entry), std::string::npos) << entry + 1 << " in\n" << list.out;
    CommandResult census = testsupport::Run({Bin("m3g-info"), "--help"});
    EXPECT_EQ(census.exitCode, 0);
}

// Without --archive and without vomra.res in the current folder the player
// opens the installed demo.
TEST_F(Installed, PlayerFindsTheInstalledDemoFromAnyFolder) {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "the player needs an X display (run the tests under Xvfb)";
    TempDir elsewhere;
    CommandResult run = Player(elsewhere.Path(), {"--capture", "frames", "--frames", "3", "--start", "3000"});
    ASSERT_EQ(run.signal, 0);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("Can't open"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Warning"), std::string::npos) << run.out;
    for (int i = 0; i < 3; ++i) {
        RgbImage frame;
        std::string path = elsewhere.File("frames/frame-00000" + std::to_string(i) + ".png");
        ASSERT_TRUE(ReadPng(path, &frame)) << path;
        // Three seconds in, the demo's plasma fills the screen.
        long sum = 0;
        for (unsigned char c : frame.rgb) sum += c;
        EXPECT_GT(sum, long(frame.rgb.size()) * 10) << path;
    }
}

// The demo's script names its music "file://music.ogg"; a file the current
// folder lacks is taken from beside the archive.
TEST_F(Installed, InstalledDemoFindsItsMusicFromAnyFolder) {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "the player needs an X display (run the tests under Xvfb)";
    TempDir elsewhere;
    CommandResult run = Player(elsewhere.Path(), {"--frames", "3", "--fps", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.err.find("Couldn't"), std::string::npos) << run.err;
    // An archive alone in its folder has no music to find.
    ASSERT_TRUE(WriteFileMakingDirs(elsewhere.File("lone/vomra.res"), ReadFile(Demo("vomra.res"))));
    CommandResult lone =
        Player(elsewhere.Path(), {"--archive", "lone/vomra.res", "--frames", "3", "--fps", "0"});
    ASSERT_EQ(lone.exitCode, 0) << lone.out << lone.err;
    EXPECT_NE(lone.err.find("Couldn't load music.ogg"), std::string::npos) << lone.err;
}

// What the installed demo relies on, at the platform: a relative name the
// current folder lacks is read from beside the archive; the current folder wins.
TEST(ArchiveFolder, RelativeNamesFallBackToTheArchivesFolder) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("here/both.txt"), "current"));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("there/both.txt"), "beside"));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("there/pic.txt"), "picture"));
    ResourceLibraryWriter writer;
    const unsigned char entry[] = {'e'};
    writer.Add("in.txt", entry, 1);
    ASSERT_TRUE(writer.Write(dir.File("there/demo.res")));
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.File("here").c_str()), 0);
    SDLPlatform platform;
    platform.LoadResourceLibrary("../there/demo.res");
    EXPECT_EQ(Contents(platform, "file://pic.txt"), "picture");
    EXPECT_EQ(Contents(platform, "resource://pic.txt"), "picture");
    EXPECT_EQ(Contents(platform, "file://both.txt"), "current");
    EXPECT_EQ(Contents(platform, "resource://in.txt"), "e");
    EXPECT_EQ(platform.LocateFile("pic.txt"), "../there/pic.txt");
    EXPECT_EQ(platform.LocateFile("/pic.txt"), "/pic.txt");
    CaptureFd out(1);
    // A file found nowhere is reported under the name the script gave.
    EXPECT_EQ(Contents(platform, "file://none.txt"), "<null>");
    // Without an archive there is no folder to fall back to.
    platform.LoadResourceLibrary("../there/missing.res");
    EXPECT_EQ(Contents(platform, "file://pic.txt"), "<null>");
    EXPECT_EQ(out.Stop(),
              "SDLFileSource::SDLFileSource(): Can't open none.txt\n"
              "Warning: can't open ../there/missing.res\n"
              "SDLFileSource::SDLFileSource(): Can't open pic.txt\n");
    ASSERT_EQ(chdir(saved), 0);
}

// Not installed: the player in its build folder finds the archive and music
// beside it from any folder.
TEST(BuildFolder, PlayerFindsTheDemoBesideItFromAnyFolder) {
    TempDir elsewhere;
    CommandResult run = testsupport::Run({"/usr/bin/env", "-u", "DISPLAY", "-C", elsewhere.Path(), BinaryPath("vomra"),
                             "--capture", "f", "--frames", "2", "--width", "64", "--height", "48"},
                            60);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("Warning: can't open"), std::string::npos) << run.out;
    EXPECT_TRUE(FileExists(elsewhere.File("f/frame-000001.png")));
    EXPECT_TRUE(FileExists(elsewhere.File("f/audio.wav")));
}
