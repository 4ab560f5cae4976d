#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
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
  EXPECT_NE(ours.out.find(" Writing datafile out/show.tvl:\n"), std::string::npos) << ours.out;
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

  // Extracting gives the stored bytes back (the text with its 0 byte), and
  // packing those with the same list gives the same archive, however often.
  Outcome extracted = tvl("extract out/show.tvl unpacked");
  ASSERT_EQ(extracted.code, 0) << extracted.err;
  EXPECT_EQ(readFile(dir_ + "/unpacked/data/fonts/font.ttf"), std::string("glyphs and more glyphs\0", 23));
  for (const char* name : {"data/a/song.mid", "data/a/pic.raw", "data/b/spaced name.raw"}) {
    EXPECT_EQ(readFile(dir_ + "/unpacked/" + name), readFile(root_ + "/" + name)) << name;
  }
  for (int round = 0; round < 2; ++round) {
    Outcome repacked = tvl("pack --root unpacked --list list.txt again.tvl");
    ASSERT_EQ(repacked.code, 0) << repacked.err;
    EXPECT_TRUE(readFile(dir_ + "/again.tvl") == packed) << "round " << round;
    ASSERT_EQ(tvl("extract again.tvl unpacked").code, 0);
  }
  Outcome theirs2 = reference("archive --root unpacked --list list.txt reference2.tvl");
  ASSERT_EQ(theirs2.code, 0) << theirs2.err;
  EXPECT_TRUE(readFile(dir_ + "/reference2.tvl") == packed);
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

// Each failure is one line, "tvl: FILE: reason", and exit code 1.
TEST_F(TvlTest, FailuresExitWithOneLineAndOne) {
  auto expectFailure = [this](const std::string& arguments, const std::string& line) {
    Outcome outcome = tvl(arguments);
    EXPECT_EQ(outcome.code, 1) << arguments;
    EXPECT_EQ(outcome.err, line + "\n") << arguments;
  };
  writeFile(dir_ + "/missing.txt", "stream data/a/pic.raw\nstream data/a/absent.raw\n");
  expectFailure("pack --root root --list missing.txt out.tvl", "tvl: data/a/absent.raw: No such file or directory");
  writeFile(dir_ + "/badkind.txt", "stream data/a/pic.raw\npicture data/a/pic.raw\n");
  expectFailure("pack --root root --list badkind.txt out.tvl",
                "tvl: badkind.txt:2: unknown load \"picture\" (expected stream, buffer or text)");
  writeFile(dir_ + "/empty.txt", "# nothing\n");
  expectFailure("pack --root root --list empty.txt out.tvl", "tvl: out.tvl: nothing to pack");
  expectFailure("pack --root nowhere --list list.txt out.tvl", "tvl: nowhere: cannot enter: No such file or directory");
  expectFailure("pack --root root --list nolist.txt out.tvl", "tvl: nolist.txt: No such file or directory");
  fs::create_directory(root_ + "/adir");
  // Once "File adir is too large: 9223372036854775807 bytes" in five lines.
  Outcome directory = tvl("pack ../out.tvl adir", root_);
  EXPECT_EQ(directory.code, 1);
  EXPECT_EQ(directory.err, "tvl: adir: is a directory\n");

  // The data module's own fatal reports, as one line naming the file.
  writeFile(dir_ + "/junk.tvl", "Tavorlin Data Fil, or not");
  expectFailure("list junk.tvl", "tvl: junk.tvl: Unrecognized datafile header: Tavorlin Data Fil,");
  expectFailure("list nothere.tvl", "tvl: nothere.tvl: No such file or directory");
  ASSERT_EQ(tvl("pack --root root --list list.txt good.tvl").code, 0);
  std::string good = readFile(dir_ + "/good.tvl");
  writeFile(dir_ + "/cut.tvl", good.substr(0, good.size() - 5));
  expectFailure("extract cut.tvl x",
                "tvl: cut.tvl: Corrupt data file cut.tvl: the compressed stream's stored length does not fit the file.");
  EXPECT_FALSE(fs::exists(dir_ + "/x"));

  // A failure while writing leaves nothing beside the output.
  Outcome outcome = runCommand("cd " + quote(dir_) + " && TMPDIR=/nonexistent " + quote(tvl_) +
                               " pack --root root --list list.txt late.tvl");
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.err, "tvl: late.tvl: Failed to create tmpfile()\n");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }

  // Entry names that would land outside the target directory are refused.
  fs::create_directories(root_ + "/inner");
  ASSERT_EQ(tvl("pack ../../evil.tvl ../data/a/pic.raw", root_ + "/inner").code, 0);
  expectFailure("extract evil.tvl safe",
                "tvl: evil.tvl: refusing to extract the entry \"../data/a/pic.raw\": it would land outside safe");
  EXPECT_FALSE(fs::exists(dir_ + "/data/a/pic.raw"));
}

// Names from an archive never reach the terminal raw: an escape sequence in
// an entry's name once retitled or cleared it.
TEST_F(TvlTest, EntryNamesAreEscapedWherePrinted) {
  const std::string name = "data/\x1b]0;owned\x07\x1b[2Jx.raw";
  addFile(name, "bytes");
  ASSERT_EQ(tvl("pack ../named.tvl " + quote(name), root_).code, 0);
  Outcome listed = tvl("list named.tvl");
  ASSERT_EQ(listed.code, 0) << listed.err;
  EXPECT_EQ(listed.out, "         5  data/\\x1B]0;owned\\x07\\x1B[2Jx.raw\n");
  fs::create_directories(dir_ + "/into/data/\x1b]0;owned\x07\x1b[2Jx.raw");
  Outcome blocked = tvl("extract named.tvl into");
  EXPECT_EQ(blocked.code, 1);
  EXPECT_EQ(blocked.err.find('\x1b'), std::string::npos) << blocked.err;
  EXPECT_NE(blocked.err.find("\\x1B[2Jx.raw"), std::string::npos) << blocked.err;
}

// An empty file is a file: it packs, lists and comes back out.
TEST_F(TvlTest, EmptyFilesPack) {
  addFile("data/zero.raw", "");
  writeFile(dir_ + "/zero.txt", "stream data/zero.raw\ntext data/a/pic.raw\n");
  Outcome packed = tvl("pack --root root --list zero.txt zero.tvl");
  ASSERT_EQ(packed.code, 0) << packed.err;
  EXPECT_NE(tvl("list zero.tvl").out.find("         0  data/zero.raw\n"), std::string::npos);
  ASSERT_EQ(tvl("extract zero.tvl out").code, 0);
  EXPECT_TRUE(fs::is_regular_file(dir_ + "/out/data/zero.raw"));
  EXPECT_EQ(fs::file_size(dir_ + "/out/data/zero.raw"), 0u);
}

// FIFOs, devices and directories are neither read (a FIFO blocked the tool
// for good) nor replaced (renaming over /dev/null would make it a file); a
// link is written through and stays a link.
TEST_F(TvlTest, OnlyRegularFilesAreReadOrReplaced) {
  ASSERT_EQ(mkfifo((dir_ + "/fifo.tvl").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((root_ + "/fifo.raw").c_str(), 0600), 0);
  for (const std::string& arguments : {std::string("list fifo.tvl"), std::string("extract fifo.tvl x")}) {
    Outcome outcome = runCommand("cd " + quote(dir_) + " && timeout 20 " + quote(tvl_) + " " + arguments);
    EXPECT_EQ(outcome.code, 1) << arguments;
    EXPECT_EQ(outcome.err, "tvl: fifo.tvl: is a FIFO, not a regular file\n") << arguments;
  }
  Outcome input = runCommand("cd " + quote(root_) + " && timeout 20 " + quote(tvl_) + " pack ../in.tvl fifo.raw");
  EXPECT_EQ(input.code, 1);
  EXPECT_EQ(input.err, "tvl: fifo.raw: is a FIFO, not a regular file\n");

  Outcome output = tvl("pack ../fifo.tvl data/a/pic.raw", root_);
  EXPECT_EQ(output.code, 1);
  EXPECT_EQ(output.err, "tvl: ../fifo.tvl: is a FIFO, not a regular file; refusing to replace it\n");
  struct stat status {};
  ASSERT_EQ(lstat((dir_ + "/fifo.tvl").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  ASSERT_EQ(symlink("fifo.tvl", (dir_ + "/to-fifo.tvl").c_str()), 0);
  EXPECT_EQ(tvl("pack ../to-fifo.tvl data/a/pic.raw", root_).code, 1);

  writeFile(dir_ + "/real.tvl", "older");
  ASSERT_EQ(symlink("real.tvl", (dir_ + "/link.tvl").c_str()), 0);
  ASSERT_EQ(tvl("pack ../link.tvl data/a/pic.raw", root_).code, 0);
  ASSERT_EQ(lstat((dir_ + "/link.tvl").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(tvl("list real.tvl").out, "       192  data/a/pic.raw\n");
}

// Extraction checks every target first and moves the files in as one set:
// an entry that cannot be written leaves the target as it was.
TEST_F(TvlTest, ExtractIsAllOrNothing) {
  ASSERT_EQ(tvl("pack --root root --list list.txt show.tvl").code, 0);
  fs::create_directories(dir_ + "/out/data/a");
  writeFile(dir_ + "/out/data/fonts", "a file where a directory must go");
  writeFile(dir_ + "/out/data/a/pic.raw", "older picture");
  Outcome blocked = tvl("extract show.tvl out");
  EXPECT_EQ(blocked.code, 1);
  EXPECT_EQ(blocked.err.find('\n'), blocked.err.size() - 1) << blocked.err;
  EXPECT_NE(blocked.err.find("data/fonts"), std::string::npos) << blocked.err;
  EXPECT_EQ(readFile(dir_ + "/out/data/a/pic.raw"), "older picture");
  EXPECT_FALSE(fs::exists(dir_ + "/out/data/a/song.mid"));
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir_ + "/out")) names.push_back(entry.path().string());
  EXPECT_EQ(names.size(), 4u);

  // A link inside the target could lead out of it: refused too.
  fs::remove(dir_ + "/out/data/fonts");
  fs::create_directory(dir_ + "/elsewhere");
  fs::create_directory_symlink("../../elsewhere", dir_ + "/out/data/fonts");
  blocked = tvl("extract show.tvl out");
  EXPECT_EQ(blocked.code, 1);
  EXPECT_TRUE(fs::is_empty(dir_ + "/elsewhere"));
  EXPECT_EQ(readFile(dir_ + "/out/data/a/pic.raw"), "older picture");

  fs::remove(dir_ + "/out/data/fonts");
  Outcome done = tvl("extract show.tvl out");
  ASSERT_EQ(done.code, 0) << done.err;
  EXPECT_EQ(readFile(dir_ + "/out/data/a/pic.raw"), readFile(root_ + "/data/a/pic.raw"));
  for (const auto& entry : fs::recursive_directory_iterator(dir_ + "/out")) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

// Every file below `dir`, with its bytes (a digest of long ones).
std::map<std::string, std::string> treeOf(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(entry.path(), dir).string();
    std::string bytes = entry.is_regular_file() ? readFile(entry.path().string()) : "(directory)";
    if (bytes.size() > 40) bytes = std::to_string(bytes.size()) + " bytes #" + std::to_string(std::hash<std::string>()(bytes));
    files[name] = bytes;
  }
  return files;
}

// A signal while the entries move into the target, before the first, in
// the middle or before the last, puts the target back as it was; a run
// killed outright there leaves the files it replaced for the next run to
// put back, never to delete.
TEST_F(TvlTest, InterruptedExtractLeavesTheTargetAsItWas) {
  ASSERT_EQ(tvl("pack --root root --list list.txt show.tvl").code, 0);
  ASSERT_EQ(tvl("pack other.tvl data/b/spaced\\ name.raw", root_).code, 0);
  fs::rename(root_ + "/other.tvl", dir_ + "/other.tvl");
  fs::create_directories(dir_ + "/out/data/a");
  fs::create_directories(dir_ + "/out/data/fonts");
  writeFile(dir_ + "/out/data/fonts/font.ttf", "older font");
  writeFile(dir_ + "/out/data/a/pic.raw", "older picture");
  writeFile(dir_ + "/out/mine.txt", "the user's own");
  const auto before = treeOf(dir_ + "/out");

  // Stopped before moving entry `at` (of 4), then sent `signal`; prints the
  // exit status.
  auto extractStoppedAt = [&](int at, const std::string& signal, const std::string& archive) {
    return runCommand("cd " + quote(dir_) + " && (env --default-signal=INT TVL_PAUSE_BEFORE_ENTRY=" +
                      std::to_string(at) + " " + quote(tvl_) + " extract " + archive +
                      " out & pid=$!; for i in $(seq 1 1000); do "
                      "grep -q '^[0-9]* ([^)]*) T' /proc/$pid/stat && break; sleep 0.01; done; "
                      "kill -" + signal + " $pid; kill -CONT $pid; wait $pid; echo $?)");
  };
  auto leftovers = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ + "/out")) {
      if (entry.path().filename().string().rfind(".tvl-extract-", 0) == 0) names.push_back(entry.path());
    }
    return names;
  };
  const std::map<std::string, int> codes = {{"INT", 130}, {"TERM", 143}, {"HUP", 129}};
  for (const auto& [signal, code] : codes) {
    for (int at : {0, 2, 3}) {
      Outcome outcome = extractStoppedAt(at, signal, "show.tvl");
      EXPECT_EQ(outcome.out, std::to_string(code) + "\n") << signal << " at " << at << ": " << outcome.err;
      EXPECT_EQ(treeOf(dir_ + "/out"), before) << signal << " at " << at;
      EXPECT_TRUE(leftovers().empty()) << signal << " at " << at;
    }
  }

  // Killed after it replaced the font: the old one waits aside, and the next
  // extract (of another archive) puts it back before it begins.
  Outcome killed = extractStoppedAt(2, "KILL", "show.tvl");
  EXPECT_EQ(killed.out, "137\n");
  EXPECT_NE(readFile(dir_ + "/out/data/fonts/font.ttf"), "older font");
  ASSERT_EQ(leftovers().size(), 1u);
  Outcome next = tvl("extract other.tvl out");
  ASSERT_EQ(next.code, 0) << next.err;
  EXPECT_EQ(readFile(dir_ + "/out/data/fonts/font.ttf"), "older font");
  EXPECT_EQ(readFile(dir_ + "/out/data/a/pic.raw"), "older picture");
  EXPECT_TRUE(leftovers().empty());

  Outcome done = tvl("extract show.tvl out");
  ASSERT_EQ(done.code, 0) << done.err;
  EXPECT_EQ(readFile(dir_ + "/out/data/a/pic.raw"), readFile(root_ + "/data/a/pic.raw"));
  EXPECT_EQ(readFile(dir_ + "/out/mine.txt"), "the user's own");
}

// However pack ends (a signal, or SIGKILL with no chance to clean up), it
// leaves nothing beside its output: it once left a hidden work directory.
TEST_F(TvlTest, InterruptedPackLeavesNothingBehind) {
  std::string big(24 << 20, '\0');
  uint32_t seed = 7;
  for (char& c : big) c = char((seed = seed * 1103515245u + 12345u) >> 24);
  addFile("data/big.raw", big);
  fs::create_directory(dir_ + "/out");
  for (const char* signal : {"KILL", "INT", "TERM", "HUP"}) {
    // Stopped once its output is open in the output directory (a background
    // job of a shell ignores SIGINT unless told otherwise).
    const std::string script =
        "cd " + quote(root_) + " && (env --default-signal=INT " + quote(tvl_) +
        " pack ../out/big.tvl data/big.raw data/big.raw >/dev/null & "
        "pid=$!; for i in $(seq 1 500); do "
        "ls -l /proc/$pid/fd 2>/dev/null | grep -q " + quote(fs::canonical(dir_ + "/out").string()) + " && break; "
        "[ -d /proc/$pid/cwd ] && readlink /proc/$pid/cwd | grep -q /out/ && break; sleep 0.01; done; "
        "kill -" + signal + " $pid; wait $pid; echo $?)";
    Outcome outcome = runCommand(script);
    EXPECT_NE(outcome.out, "0\n") << signal << ": finished before the signal";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir_ + "/out")) left.push_back(entry.path().filename());
    EXPECT_TRUE(left.empty()) << signal << ": " << (left.empty() ? "" : left[0]);
  }
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
