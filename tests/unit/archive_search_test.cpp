#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_archive.h"
#include "util/data/archive_search.h"

namespace fs = std::filesystem;

namespace {

using Places = std::vector<std::string>;

// Runs the test body inside a fresh directory, then goes back.
class ArchiveSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ = makeTestTempDir("kestrune-search");
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  fs::path previous_;
  std::string dir_;
};

TEST_F(ArchiveSearchTest, PlacesRunFromTheWorkingDirectoryToTheInstallationEachFileOnce) {
  EXPECT_EQ((Places{"data.tvl", "/opt/kestrune/bin/data.tvl", "/opt/kestrune/share/kestrune/data.tvl"}),
            archivePlaces("data.tvl", "/opt/kestrune/bin"));
  EXPECT_EQ(Places{"data.tvl"}, archivePlaces("data.tvl", ""));
  // Started from its own directory the program's two first places are one.
  EXPECT_EQ((Places{"data.tvl", fs::path(dir_).parent_path().string() + "/share/kestrune/data.tvl"}),
            archivePlaces("data.tvl", dir_));
}

TEST_F(ArchiveSearchTest, TheFirstPlaceHoldingAFileWinsAndTheMissedOnesAreReported) {
  fs::create_directories("bin");
  fs::create_directories("share/kestrune");
  fs::create_directory("data.tvl");  // a directory of that name is no archive
  const Places places = archivePlaces("data.tvl", dir_ + "/bin");

  ArchiveSearch none = searchArchive(places);
  EXPECT_EQ("", none.found);
  EXPECT_EQ(dir_ + "/data.tvl: Is a directory\n" + dir_ + "/bin/data.tvl: No such file or directory\n" +
                dir_ + "/share/kestrune/data.tvl: No such file or directory\n",
            none.report);

  std::ofstream(dir_ + "/share/kestrune/data.tvl") << "x";
  EXPECT_EQ(dir_ + "/share/kestrune/data.tvl", searchArchive(places).found);
  std::ofstream(dir_ + "/bin/data.tvl") << "x";
  const ArchiveSearch beside = searchArchive(places);
  EXPECT_EQ(dir_ + "/bin/data.tvl", beside.found);
  EXPECT_EQ(dir_ + "/data.tvl: Is a directory\n", beside.report);

  // In the working directory the archive keeps its bare name.
  fs::remove("data.tvl");
  std::ofstream("data.tvl") << "x";
  EXPECT_EQ("data.tvl", searchArchive(places).found);
}

}  // namespace
