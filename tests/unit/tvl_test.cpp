#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data_test_support.h"

namespace fs = std::filesystem;
using namespace data_test;

namespace {

// Runs the archive tool and the reference writer as the build made them; the
// paths come from the ctest environment.
class TvlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KESTRUNE_BUILD_DIR");
    if (!build || referenceScript().empty()) GTEST_SKIP() << "run through ctest";
    tvl_ = std::string(build) + "/tvl";
    dir_ = makeTestTempDir("kestrune-tvl");
    root_ = dir_ + "/root";
    // Picture-like bytes with many equal counts, a binary song, a text font.
    std::string picture;
    for (int repeat = 0; repeat < 3; ++repeat)
      for (int v = 0; v < 64; ++v) picture += char(v * 3);
    std::mt19937 rng(5);
    std::shuffle(picture.begin(), picture.end(), rng);
    std::string song(3000, '\0');
    for (char& c : song) c = char(rng() % 7 == 0 ? rng() : rng() % 4);
    addFile("data/a/pic.raw", picture);
    addFile("data/a/song.mid", song);
    addFile("data/fonts/font.ttf", "glyphs and more glyphs");
    addFile("data/b/spaced name.raw", "spaces");
    writeFile(dir_ + "/list.txt",
              "# the show's load order\n"
              "\n"
              "text data/fonts/font.ttf\n"
              "buffer data/a/song.mid\n"
              "  stream   data/b/spaced name.raw  \n"
              "stream data/a/pic.raw\n"
              "stream data/fonts/font.ttf\n");
  }

  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  void addFile(const std::string& name, const std::string& bytes) {
    fs::create_directories(fs::path(root_ + "/" + name).parent_path());
    writeFile(root_ + "/" + name, bytes);
  }

  Outcome tvl(const std::string& arguments, const std::string& cwd = "") {
    return runCommand("cd " + quote(cwd.empty() ? dir_ : cwd) + " && " + quote(tvl_) + " " + arguments);
  }

  Outcome reference(const std::string& arguments, const std::string& cwd = "") {
    return runCommand("cd " + quote(cwd.empty() ? dir_ : cwd) + " && python3 " + quote(referenceScript()) +
                      " " + arguments);
  }

  std::string tvl_;
  std::string dir_;
  std::string root_;
};

TEST_F(TvlTest, PackedListMatchesTheIndependentWriter) {
  Outcome ours = tvl("pack --root root --list list.txt out/show.tvl", "");
  // The output directory must exist; the tool writes beside the output.
  EXPECT_EQ(ours.code, 1);
  fs::create_directory(dir_ + "/out");
  ours = tvl("pack --root root --list list.txt out/show.tvl");
  ASSERT_EQ(ours.code, 0) << ours.err;
  Outcome theirs = reference("archive --root root --list list.txt reference.tvl");
  ASSERT_EQ(theirs.code, 0) << theirs.err;
  const std::string packed = readFile(dir_ + "/out/show.tvl");
  EXPECT_FALSE(packed.empty());
  EXPECT_TRUE(packed == readFile(dir_ + "/reference.tvl"));

  // The data module did the writing, and nothing is left behind.
  EXPECT_NE(ours.out.find(" Writing datafile data.tvl:\n"), std::string::npos) << ours.out;
  EXPECT_NE(ours.out.find(" [DATA] Skipping duplicate entry for data/fonts/font.ttf\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ + "/data.tvl"));
  for (const auto& entry : fs::directory_iterator(dir_ + "/out")) EXPECT_EQ(entry.path().filename(), "show.tvl");

  // Listing: size and name of every entry in load order.
  Outcome listed = tvl("list out/show.tvl");
  ASSERT_EQ(listed.code, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "        23  data/fonts/font.ttf\n"
            "      3000  data/a/song.mid\n"
            "         6  data/b/spaced name.raw\n"
            "       192  data/a/pic.raw\n");

  // Extracting gives the stored bytes back (the text with its 0 byte).
  Outcome extracted = tvl("extract out/show.tvl unpacked");
  ASSERT_EQ(extracted.code, 0) << extracted.err;
  EXPECT_EQ(readFile(dir_ + "/unpacked/data/fonts/font.ttf"), std::string("glyphs and more glyphs\0", 23));
  for (const char* name : {"data/a/song.mid", "data/a/pic.raw", "data/b/spaced name.raw"}) {
    EXPECT_EQ(readFile(dir_ + "/unpacked/" + name), readFile(root_ + "/" + name)) << name;
  }
}

TEST_F(TvlTest, PlainPackMatchesTheIndependentWriter) {
  const std::string out = dir_ + "/plain.tvl";
  Outcome ours = tvl("pack " + quote(out) + " data/a/pic.raw data/a/song.mid data/a/pic.raw", root_);
  ASSERT_EQ(ours.code, 0) << ours.err;
  Outcome theirs = reference("archive-files ../ref.tvl data/a/pic.raw data/a/song.mid data/a/pic.raw", root_);
  ASSERT_EQ(theirs.code, 0) << theirs.err;
  EXPECT_TRUE(readFile(out) == readFile(dir_ + "/ref.tvl"));
  Outcome extracted = tvl("extract plain.tvl");
  ASSERT_EQ(extracted.code, 0) << extracted.err;
  EXPECT_EQ(readFile(dir_ + "/data/a/song.mid"), readFile(root_ + "/data/a/song.mid"));
}

TEST_F(TvlTest, BadUsageExitsWithTwo) {
  for (const char* arguments : {"", "frobnicate", "pack", "pack out.tvl", "pack --root root out.tvl",
                                "pack --root root --list list.txt", "pack --root root --list list.txt a b",
                                "pack --bogus x --root root --list list.txt out.tvl", "list",
                                "list a b", "extract", "extract a b c"}) {
    Outcome outcome = tvl(arguments);
    EXPECT_EQ(outcome.code, 2) << arguments;
    EXPECT_NE(outcome.err.find("usage:\n  tvl pack --root"), std::string::npos) << arguments;
  }
  EXPECT_EQ(tvl("--help").code, 0);
}

TEST_F(TvlTest, FailuresExitWithOne) {
  auto expectFailure = [this](const std::string& arguments, const std::string& message) {
    Outcome outcome = tvl(arguments);
    EXPECT_EQ(outcome.code, 1) << arguments;
    EXPECT_NE(outcome.err.find(message), std::string::npos) << arguments << ":\n" << outcome.err;
  };
  writeFile(dir_ + "/missing.txt", "stream data/a/pic.raw\nstream data/a/absent.raw\n");
  expectFailure("pack --root root --list missing.txt out.tvl", "tvl: cannot open data/a/absent.raw");
  writeFile(dir_ + "/badkind.txt", "stream data/a/pic.raw\npicture data/a/pic.raw\n");
  expectFailure("pack --root root --list badkind.txt out.tvl", "badkind.txt:2: unknown load \"picture\"");
  writeFile(dir_ + "/empty.txt", "# nothing\n");
  expectFailure("pack --root root --list empty.txt out.tvl", "tvl: nothing to pack");
  expectFailure("pack --root nowhere --list list.txt out.tvl", "tvl: cannot enter nowhere");

  // The data module's own fatal reports pass through.
  addFile("data/zero.raw", "");
  writeFile(dir_ + "/zero.txt", "stream data/zero.raw\n");
  expectFailure("pack --root root --list zero.txt out.tvl",
                "Error in file src\\util\\data\\data.cpp:");
  expectFailure("pack --root root --list zero.txt out.tvl", "\n\nTried to read 0 bytes from data/zero.raw, got 0\n");
  writeFile(dir_ + "/junk.tvl", "Tavorlin Data Fil, or not");
  expectFailure("list junk.tvl", "\n\nUnrecognized datafile header: Tavorlin Data Fil, \n");
  expectFailure("list nothere.tvl", "\n\nFailed to open data file nothere.tvl for reading.\n");
  ASSERT_EQ(tvl("pack --root root --list list.txt good.tvl").code, 0);
  std::string good = readFile(dir_ + "/good.tvl");
  writeFile(dir_ + "/cut.tvl", good.substr(0, good.size() - 5));
  expectFailure("extract cut.tvl x", "\n\nCorrupt data file cut.tvl: ");
  EXPECT_FALSE(fs::exists(dir_ + "/x"));

  // A failure while writing leaves no work directory beside the output.
  Outcome outcome = runCommand("cd " + quote(dir_) + " && TMPDIR=/nonexistent " + quote(tvl_) +
                               " pack --root root --list list.txt late.tvl");
  EXPECT_EQ(outcome.code, 1);
  EXPECT_NE(outcome.err.find("\n\nFailed to create tmpfile()\n"), std::string::npos) << outcome.err;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".tvl-pack", 0), std::string::npos) << entry.path();
  }

  // Entry names that would land outside the target directory are refused.
  fs::create_directories(root_ + "/inner");
  ASSERT_EQ(tvl("pack ../../evil.tvl ../data/a/pic.raw", root_ + "/inner").code, 0);
  expectFailure("extract evil.tvl safe", "refusing to extract the entry \"../data/a/pic.raw\"");
  EXPECT_FALSE(fs::exists(dir_ + "/data/a/pic.raw"));
}

TEST_F(TvlTest, ShowArchiveMatchesTheIndependentWriter) {
  // The archive the build packed from the staged content and the load order.
  const char* archive = std::getenv("KESTRUNE_DATA_TVL");
  if (!archive || !fs::exists(archive)) GTEST_SKIP() << "no data.tvl built";
  const std::string stage = fs::path(archive).parent_path().string() + "/content";
  if (!fs::exists(stage)) GTEST_SKIP() << "no staged content beside " << archive;
  Outcome theirs = reference("archive --root " + quote(stage) + " --list " +
                             quote(sourceDir() + "/assets/load_order.txt") + " show.tvl");
  ASSERT_EQ(theirs.code, 0) << theirs.err;
  EXPECT_TRUE(readFile(archive) == readFile(dir_ + "/show.tvl"));
}

}  // namespace
