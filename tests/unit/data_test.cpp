#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data_test_support.h"
#include "util/boxes.h"
#include "support/test_archive.h"
#include "util/data/coder.h"
#include "util/data/data.h"
#include "util/error.h"

namespace fs = std::filesystem;
using namespace data_test;

namespace {

std::string readAll(FILE* file) {
  std::string bytes;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  return bytes;
}

std::string loadString(const char* name, bool terminate, int* size = nullptr) {
  int local = -1;
  char* data = data_load_file(name, &local, terminate);
  if (!data) return "<null>";
  std::string bytes(data, size_t(local));
  std::free(data);
  if (size) *size = local;
  return bytes;
}

std::string le32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[size_t(i)] = char(uint32_t(value) >> (8 * i));
  return bytes;
}

std::string chunk(const std::string& name, const std::string& data) {
  return std::string("TVLDFC\0", 7) + le32(int32_t(name.size())) + le32(int32_t(data.size())) + name + data;
}

std::string compressed(const std::string& payload) {
  auto state = std::make_unique<HuffState>();
  std::string out(payload.size() + kHuffWorstCaseExtra, '\0');
  int length = 0;
  huff_compress(reinterpret_cast<const uint8_t*>(payload.data()), int(payload.size()),
                reinterpret_cast<uint8_t*>(&out[0]), state.get(), &length);
  out.resize(size_t(length));
  return out;
}

const std::string kHeader("Tavorlin Data File\0\0\2", 21);

std::string archiveOf(const std::string& payload) { return kHeader + compressed(payload); }

std::vector<std::string> dirEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  return names;
}

size_t openDescriptors() {
  size_t count = 0;
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++count;
  return count;
}

// Turns the fatal report into an exception, so that many damaged archives
// can be tried in this process (the real exit is covered by death tests).
struct FatalReport {
  std::string text;
};

class ThrowingPresenter : public BoxPresenter {
 public:
  ThrowingPresenter() { setBoxPresenter(this); }
  ~ThrowingPresenter() override { setBoxPresenter(nullptr); }
  void message(const char*, const char* text) override { throw FatalReport{text}; }
  bool askOkCancel(const char*, const char* text) override { throw FatalReport{text}; }
};

// Every test runs in its own working directory with its own $TMPDIR, in disk
// mode, with the log captured.
class DataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    const char* tmp = std::getenv("TMPDIR");
    previousTmp_ = tmp ? tmp : "";
    hadTmp_ = tmp != nullptr;
    work_ = makeTestTempDir("kestrune-data");
    tmp_ = makeTestTempDir("kestrune-tmp");
    fs::current_path(work_);
    data_clear_entries();
    data_mode = DATA_MODE_DISK;
    log_ = std::tmpfile();
    data_log_output = log_;
  }

  void TearDown() override {
    data_log_output = stdout;
    std::fclose(log_);
    data_clear_entries();
    data_mode = DATA_MODE_DISK;
    if (hadTmp_) {
      setenv("TMPDIR", previousTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    fs::current_path(previous_);
    fs::remove_all(work_);
    fs::remove_all(tmp_);
  }

  std::vector<std::string> logLines() {
    std::fflush(log_);
    std::rewind(log_);
    std::vector<std::string> lines;
    std::string all = readAll(log_);
    size_t start = 0;
    for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(all.substr(start, end - start));
    }
    EXPECT_EQ(start, all.size()) << "unterminated log line";
    return lines;
  }

  // Sends the module's temporary files to the test's own directory.
  void isolateTempFiles() { setenv("TMPDIR", tmp_.c_str(), 1); }

  // Reads data.tvl (written with `bytes`, unless null) and returns the fatal
  // report, or "" when the archive loaded.
  std::string readArchive(const std::string* bytes) {
    if (bytes) writeFile("data.tvl", *bytes);
    ThrowingPresenter presenter;
    std::string report;
    try {
      data_mode = DATA_MODE_ARCHIVE;
      data_open_archive();
    } catch (const FatalReport& fatal) {
      report = fatal.text;
    }
    data_clear_entries();
    return report;
  }
  std::string readArchive(const std::string& bytes) { return readArchive(&bytes); }

  fs::path previous_;
  std::string previousTmp_;
  bool hadTmp_ = false;
  std::string work_;
  std::string tmp_;
  FILE* log_ = nullptr;
};

TEST_F(DataTest, ServesPackedFilesByExactName) {
  const std::string binary("\x00\x01\xFF\x00zz", 6);
  TestArchive archive({{"data/a/first.raw", "first file"},
                       {"data/a/second.bin", binary},
                       {"data/b/First.raw", "case matters"}});
  ASSERT_EQ(data_entries.size(), 3u);
  EXPECT_EQ(data_entries[0]->name, "data/a/first.raw");
  EXPECT_EQ(data_entries[1]->name, "data/a/second.bin");

  FILE* file = data_open_file("data/a/second.bin");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), binary);
  std::fclose(file);

  int size = 0;
  EXPECT_EQ(loadString("data/b/First.raw", false, &size), "case matters");
  EXPECT_EQ(size, 12);
  // The terminate flag changes nothing for archive entries.
  EXPECT_EQ(loadString("data/a/first.raw", true, &size), "first file");
  EXPECT_EQ(size, 10);
  char* noSize = data_load_file("data/a/first.raw", nullptr, false);
  EXPECT_NE(noSize, nullptr);
  std::free(noSize);

  // No disk fallback and no near matches.
  writeFile("data/a/missing.raw", "on disk");
  EXPECT_EQ(data_open_file("data/a/missing.raw"), nullptr);
  EXPECT_EQ(data_load_file("data/a/FIRST.raw", &size, false), nullptr);
  EXPECT_EQ(data_open_file("data/a/first.ra"), nullptr);
  EXPECT_EQ(data_open_file("data/a/first.raw2"), nullptr);
}

TEST_F(DataTest, TestArchiveDirectoriesGoWithTheProcessThatMadeThem) {
  TestArchive mine({{"kept.raw", "k"}});
  // A child that dies by a fatal report removes its own archive directory
  // but leaves its parent's alone.
  Outcome outcome = runInChild([] {
    TestArchive theirs({{"gone.raw", "g"}});
    std::printf("%s", theirs.dir().c_str());
    ErrorBox("stopping inside a test");
  });
  EXPECT_EQ(outcome.code, 1);
  ASSERT_FALSE(outcome.out.empty());
  EXPECT_FALSE(fs::exists(outcome.out));
  EXPECT_TRUE(fs::exists(mine.archivePath()));
  EXPECT_EQ(loadString("kept.raw", false), "k");
}

TEST_F(DataTest, PackModeRecordsFirstLoadsAndWritesThemOut) {
  writeFile("text.txt", "hello");
  writeFile("raw.bin", std::string("\x01\x00\x03", 3));
  data_mode = DATA_MODE_PACK;

  int size = 0;
  EXPECT_EQ(loadString("text.txt", true, &size), std::string("hello\0", 6));
  EXPECT_EQ(size, 6);
  FILE* file = data_open_file("raw.bin");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), std::string("\x01\x00\x03", 3));
  std::fclose(file);
  // Second loads come from disk as usual but are not recorded again.
  file = data_open_file("text.txt");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), "hello");
  std::fclose(file);
  EXPECT_EQ(loadString("raw.bin", true, &size), std::string("\x01\x00\x03\x00", 4));
  EXPECT_EQ(data_open_file("absent.txt"), nullptr);
  EXPECT_EQ(data_load_file("absent.txt", &size, true), nullptr);

  ASSERT_EQ(data_entries.size(), 2u);
  EXPECT_EQ(data_entries[0]->name, "text.txt");
  EXPECT_EQ(std::string(data_entries[0]->data, size_t(data_entries[0]->size)), std::string("hello\0", 6));
  EXPECT_EQ(data_entries[1]->name, "raw.bin");
  EXPECT_EQ(data_entries[1]->size, 3);

  data_write_archive();
  const int u = (15 + 8 + 6) + (15 + 7 + 3);
  const int k = int(fs::file_size("data.tvl")) - 21;
  EXPECT_EQ(readFile("data.tvl").substr(0, 21), kHeader);

  const size_t stampWidth = 24;  // "YYYY-MM-DD hh:mm:ss:mmm "
  char rate[64];
  std::snprintf(rate, sizeof rate, " ..compression rate:      %7.2f %%", (u - k) * 100.0 / u);
  const std::vector<std::string> expected = {
      "[DATA] Skipping duplicate entry for text.txt",
      "[DATA] Skipping duplicate entry for raw.bin",
      "Writing datafile data.tvl:",
      "..file: text.txt, 6 bytes",
      "..file: raw.bin, 3 bytes",
      "Done writing datafile \"data.tvl\" of 0.0MB!",
      " ..original file size:         54 bytes",
      " ..compressed file size:" + std::string(9 - std::to_string(k).size(), ' ') + std::to_string(k) + " bytes",
      " ..lost in compression: " + std::string(9 - std::to_string(u - k).size(), ' ') + std::to_string(u - k) + " bytes",
      rate};
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_GE(lines[i].size(), stampWidth) << lines[i];
    EXPECT_THAT(lines[i].substr(0, stampWidth),
                testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [ 0-9][0-9]:[0-9]{2}:[0-9]{2}:[0-9]{3} "));
    EXPECT_EQ(lines[i].substr(stampWidth), expected[i]);
  }

  // The archive serves the stored bytes, terminator included.
  data_clear_entries();
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  EXPECT_EQ(loadString("text.txt", false, &size), std::string("hello\0", 6));
  EXPECT_EQ(loadString("raw.bin", true, &size), std::string("\x01\x00\x03", 3));
}

TEST_F(DataTest, DiskModeReadsLooseFilesAndRecordsNothing) {
  writeFile("notes.txt", "abc");
  writeFile("empty.bin", "");
  int size = 0;
  EXPECT_EQ(loadString("notes.txt", true, &size), std::string("abc\0", 4));
  EXPECT_EQ(size, 4);
  EXPECT_EQ(loadString("notes.txt", false, &size), "abc");
  EXPECT_EQ(size, 3);
  EXPECT_EQ(data_load_file("nothing.txt", &size, false), nullptr);
  EXPECT_EQ(data_open_file("nothing.txt"), nullptr);
  // An empty file opens as a stream without complaint.
  FILE* file = data_open_file("empty.bin");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), "");
  std::fclose(file);

  size_t temps = data_temp_files.size();
  data_open_archive();
  data_write_archive();
  data_remove_temp_files();
  EXPECT_TRUE(data_entries.empty());
  EXPECT_EQ(data_temp_files.size(), temps);
  EXPECT_FALSE(fs::exists("data.tvl"));
  EXPECT_TRUE(logLines().empty());
}

// An empty file is a file: it loads, packs and comes back out of the archive.
TEST_F(DataTest, EmptyFilesLoadAndPack) {
  writeFile("empty.bin", "");
  writeFile("empty.txt", "");
  int size = -1;
  EXPECT_EQ(loadString("empty.txt", true, &size), std::string("\0", 1));
  EXPECT_EQ(size, 1);
  data_mode = DATA_MODE_PACK;
  FILE* file = data_open_file("empty.bin");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(loadString("empty.txt", false, &size), "");
  EXPECT_EQ(size, 0);
  data_write_archive();
  data_clear_entries();
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  ASSERT_EQ(data_entries.size(), 2u);
  EXPECT_EQ(loadString("empty.bin", false, &size), "");
  EXPECT_EQ(size, 0);
  file = data_open_file("empty.txt");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), "");
  std::fclose(file);
}

// FIFOs, pipes, directories and devices are no files to load: refused at
// once (a FIFO without a writer used to block the open for good; a directory
// claimed a length of 2^63 - 1). The child ends by SIGALRM if anything blocks.
TEST_F(DataTest, OnlyRegularFilesAreRead) {
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  ASSERT_EQ(mkfifo("data.tvl", 0600), 0);
  fs::create_directory("adir");
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const std::string pipePath = "/proc/self/fd/" + std::to_string(pipeEnds[0]);
  Outcome outcome = runInChild([&] {
    alarm(20);
    for (int mode : {DATA_MODE_DISK, DATA_MODE_PACK}) {
      data_mode = mode;
      for (const char* name : {"fifo", "adir", pipePath.c_str(), "/dev/null"}) {
        int size = -1;
        if (data_open_file(name) != nullptr || data_load_file(name, &size, true) != nullptr) {
          std::printf("loaded %s", name);
          std::exit(3);
        }
      }
    }
    if (!data_entries.empty()) std::exit(4);
    data_mode = DATA_MODE_ARCHIVE;
    data_open_archive();
  });
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  EXPECT_EQ(outcome.code, 1) << outcome.out << outcome.err;
  EXPECT_NE(outcome.err.find("/data.tvl: not a regular file\n"), std::string::npos) << outcome.err;
  // Read by name (as the tools do), the same.
  outcome = runInChild([] {
    alarm(20);
    data_read_archive("fifo");
  });
  EXPECT_EQ(outcome.code, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("\n\nFailed to open data file fifo for reading.\n"), std::string::npos) << outcome.err;
}

// What this process has read from files so far (bytes through read()).
uint64_t bytesReadByThisProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  ADD_FAILURE() << "no rchar in /proc/self/io";
  return 0;
}

// A valid archive header on a large sparse file used to be read whole (and
// allocated) before the coder's header said the stream could not be right;
// a good stream with junk behind it costs no more than the stream.
TEST_F(DataTest, CoderHeaderIsCheckedAgainstTheFileBeforeTheStreamIsRead) {
  constexpr off_t kSparse = off_t{256} << 20;
  writeFile("data.tvl", kHeader);
  ASSERT_EQ(truncate("data.tvl", kSparse), 0);
  uint64_t before = bytesReadByThisProcess();
  EXPECT_NE(readArchive(nullptr).find(
                "\n\nCorrupt data file data.tvl: the compressed stream's stored length does not fit the file."),
            std::string::npos);
  EXPECT_LT(bytesReadByThisProcess() - before, uint64_t{1} << 20);

  writeFile("data.tvl", archiveOf(chunk("a.txt", "alpha")));
  ASSERT_EQ(truncate("data.tvl", kSparse), 0);
  before = bytesReadByThisProcess();
  ThrowingPresenter presenter;
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  EXPECT_LT(bytesReadByThisProcess() - before, uint64_t{1} << 20);
  EXPECT_EQ(loadString("a.txt", false), "alpha");
}

TEST_F(DataTest, StreamsUseFreshTemporaryFilesThatNeverOutliveTheProcess) {
  TestArchive archive({{"pic.raw", "pixels"}});
  isolateTempFiles();
  size_t before = data_temp_files.size();
  FILE* first = data_open_file("pic.raw");
  FILE* second = data_open_file("pic.raw");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(data_temp_files.size(), before + 2);
  const std::string& a = data_temp_files[before];
  const std::string& b = data_temp_files[before + 1];
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(tmp_ + "/kestrune-", 0), 0u) << a;
  // Both streams work, and neither name is left on disk.
  EXPECT_EQ(readAll(first), "pixels");
  EXPECT_EQ(readAll(second), "pixels");
  EXPECT_TRUE(dirEntries(tmp_).empty());
  std::fclose(first);
  std::fclose(second);

  // A name handed back to the system may be reused by another program;
  // shutdown must not delete that file.
  writeFile(a, "someone else's");
  data_remove_temp_files();
  EXPECT_EQ(readFile(a), "someone else's");
  std::remove(a.c_str());

  // However the process ends, nothing stays behind.
  for (int way = 0; way < 3; ++way) {
    Outcome outcome = runInChild([way] {
      FILE* file = data_open_file("pic.raw");
      if (!file) std::exit(3);
      if (way == 0) std::exit(0);
      if (way == 1) ErrorBox("stopping with %s open", "pic.raw");
      std::raise(SIGKILL);
    });
    EXPECT_EQ(outcome.code, way == 0 ? 0 : way == 1 ? 1 : 128 + SIGKILL);
    EXPECT_TRUE(dirEntries(tmp_).empty()) << "after way " << way;
  }

  // Without a usable temporary directory a stream cannot be made, and the
  // message says so rather than leaving the caller to blame its file.
  setenv("TMPDIR", (tmp_ + "/missing").c_str(), 1);
  EXPECT_EXIT(data_open_file("pic.raw"), ::testing::ExitedWithCode(1),
              "\nFailed to create a temporary file for pic\\.raw in .*/missing \\(TMPDIR\\): "
              "No such file or directory\n");
  // Unusable in another way, with the system's own reason.
  writeFile(tmp_ + "/a-file", "");
  setenv("TMPDIR", (tmp_ + "/a-file").c_str(), 1);
  EXPECT_EXIT(data_open_file("pic.raw"), ::testing::ExitedWithCode(1),
              "\nFailed to create a temporary file for pic\\.raw in .*/a-file \\(TMPDIR\\): Not a directory\n");
  std::remove((tmp_ + "/a-file").c_str());
}

TEST_F(DataTest, WritingFailuresAreFatal) {
  isolateTempFiles();
  data_mode = DATA_MODE_PACK;
  EXPECT_EXIT(data_write_archive(), ::testing::ExitedWithCode(1),
              std::string(kDataErrorPattern) + "\nNegative or zero file length: 0\n");

  writeFile("file.txt", "contents");
  std::free(data_load_file("file.txt", nullptr, false));
  fs::create_directory("data.tvl");
  EXPECT_EXIT(data_write_archive(), ::testing::ExitedWithCode(1),
              "\nFailed to open data file data\\.tvl for writing\\. Gimme permissions, bitch!\n\n");
  fs::remove("data.tvl");
  fs::create_symlink("/dev/full", "data.tvl");
  EXPECT_EXIT(data_write_archive(), ::testing::ExitedWithCode(1), "\nFailed to write file contents!\n");
  fs::remove("data.tvl");
  setenv("TMPDIR", (tmp_ + "/missing").c_str(), 1);
  EXPECT_EXIT(data_write_archive(), ::testing::ExitedWithCode(1), "\nFailed to create tmpfile\\(\\)\n");
}

TEST_F(DataTest, DuplicateNamesLoadButCannotBeLookedUp) {
  writeFile("data.tvl", archiveOf(chunk("a", "one") + chunk("b", "bee") + chunk("a", "two")));
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  ASSERT_EQ(data_entries.size(), 3u);
  EXPECT_EQ(loadString("b", false), "bee");
  const char* message = "\nOuch, found more than one entry for a in datafile\\. Duplicates make no sense here\\.\n";
  EXPECT_EXIT(data_load_file("a", nullptr, false), ::testing::ExitedWithCode(1), message);
  EXPECT_EXIT(data_open_file("a"), ::testing::ExitedWithCode(1), message);
}

TEST_F(DataTest, OddButValidArchivesLoad) {
  data_mode = DATA_MODE_ARCHIVE;
  // No chunks at all.
  writeFile("data.tvl", archiveOf(""));
  data_open_archive();
  EXPECT_TRUE(data_entries.empty());
  // A 0 byte ends a name early; empty files and the stream's own tag are not checked.
  std::string archive = archiveOf(chunk(std::string("ab\0cd", 5), "x") + chunk("empty", ""));
  archive[21] = 'X';
  writeFile("data.tvl", archive);
  data_open_archive();
  ASSERT_EQ(data_entries.size(), 2u);
  EXPECT_EQ(data_entries[0]->name, "ab");
  EXPECT_EQ(loadString("ab", false), "x");
  int size = -1;
  EXPECT_EQ(loadString("empty", true, &size), "");
  EXPECT_EQ(size, 0);
  FILE* file = data_open_file("empty");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), "");
  std::fclose(file);
}

TEST_F(DataTest, BrokenArchivesStopWithTheirMessage) {
  const std::string good = chunk("a.txt", "alpha");
  auto withStream = [](uint32_t symbols, uint32_t length) {
    std::string stream = compressed("abc");
    std::string n = le32(int32_t(symbols)), u = le32(int32_t(length));
    stream.replace(4, 4, n);
    stream.replace(8, 4, u);
    return kHeader + stream;
  };
  std::string overrun = archiveOf(good);
  overrun.pop_back();
  overrun.pop_back();
  std::string streamLength = le32(int32_t(overrun.size() - 21));
  overrun.replace(21 + 12, 4, streamLength);

  struct Case {
    std::string bytes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", "Negative or zero file length: 0"},
      {"Tavorlin", "Failed to read header!"},
      {std::string("Tavorlin Data Filx\0\0\2", 21) + compressed(good), "Unrecognized datafile header: Tavorlin Data Filx"},
      {std::string("Tavorlin Data FileX\0\2", 21) + compressed(good), "Unrecognized datafile header: Tavorlin Data FileX"},
      // Bytes that are not printable text are shown escaped, not raw.
      {std::string("\x89PNG\r\n\x1a\nTavo\\rlin\0\0\2", 21) + compressed(good),
       "Unrecognized datafile header: \\x89PNG\\x0D\\x0A\\x1A\\x0ATavo\\x5Crlin"},
      {kHeader.substr(0, 19), "Failed to read major version!"},
      {kHeader.substr(0, 20), "Failed to read minor version!"},
      {std::string("Tavorlin Data File\0\0\1", 21) + compressed(good), "Expected datafile format 0.2, got 0.1\n"},
      {std::string("Tavorlin Data File\0\1\2", 21) + compressed(good), "Expected datafile format 0.2, got 1.2\n"},
      {kHeader, "Corrupt data file data.tvl: the compressed stream is shorter than its header."},
      {withStream(257, 3), "Corrupt data file data.tvl: the compressed stream claims more than 256 symbols."},
      {withStream(3, 1000), "Corrupt data file data.tvl: the stored uncompressed length is impossible for the stream."},
      {archiveOf(good).substr(0, 40), "Corrupt data file data.tvl: the compressed stream's stored length does not fit the file."},
      {overrun, "Corrupt data file data.tvl: the compressed codes run past the end of the stream."},
      {archiveOf(good + "TVLDFX" + std::string(20, '\0')), "Unrecognized chunk header: TVLDFX. \nRead 1 chunks, 0.0 MB before this\n"},
      {archiveOf("TVLDFCX" + good), "Unrecognized chunk header: TVLDFCX. \nRead 0 chunks, 0.0 MB before this\n"},
      {archiveOf(good + good.substr(0, 14)), "Corrupt data file data.tvl: chunk 2 is cut off inside its header."},
      {archiveOf(std::string("TVLDFC\0", 7) + le32(100) + le32(1) + "name"), "Corrupt data file data.tvl: the name of chunk 1 runs past the end of the data."},
      {archiveOf(std::string("TVLDFC\0", 7) + le32(-1) + le32(1) + "name"), "Corrupt data file data.tvl: the name of chunk 1 runs past the end of the data."},
      {archiveOf(good + std::string("TVLDFC\0", 7) + le32(1) + le32(2) + "bx"), "Corrupt data file data.tvl: the contents of b (chunk 2) run past the end of the data."},
      {archiveOf(std::string("TVLDFC\0", 7) + le32(1) + le32(-5) + "bxxxxxx"), "Corrupt data file data.tvl: the contents of b (chunk 1) run past the end of the data."},
  };
  // Every failure closes the archive it opened: a long fuzzing run of the
  // reader once died of "Too many open files".
  const size_t descriptors = openDescriptors();
  for (const Case& c : cases) {
    std::string report = readArchive(c.bytes);
    EXPECT_EQ(report.rfind(kDataErrorText, 0), 0u) << c.message << " got: " << report;
    EXPECT_NE(report.find("\n\n" + c.message), std::string::npos) << report;
    EXPECT_EQ(report.size(), report.find("\n\n") + 2 + c.message.size()) << "extra text: " << report;
  }
  EXPECT_EQ(descriptors, openDescriptors());

  fs::remove("data.tvl");
  fs::create_directory("data.tvl");
  EXPECT_EQ(readArchive(nullptr).rfind(kDataErrorText, 0), 0u);
  fs::remove("data.tvl");
  EXPECT_NE(readArchive(nullptr).find("\n\nFailed to open data file data.tvl for reading.\n"), std::string::npos);
  // The real report ends the process with exit code 1.
  EXPECT_EXIT(
      {
        data_mode = DATA_MODE_ARCHIVE;
        data_open_archive();
      },
      ::testing::ExitedWithCode(1), std::string(kDataErrorPattern) + "\nFailed to open data file data\\.tvl for reading\\.\n");
}

// Damaged copies of a good archive either load or stop with the module's
// fatal report; never a crash, a hang or a stray read (the sanitizer build
// checks the last).
void expectLoadsOrStops(const std::string& report, const std::string& what) {
  if (!report.empty()) {
    EXPECT_EQ(report.rfind(kDataErrorText, 0), 0u) << what << ": " << report;
  }
}

TEST_F(DataTest, DamagedArchivesNeverCrash) {
  const std::string payload = chunk("data/one.raw", "first picture bytes") +
                              chunk("data/two.txt", std::string("text\0", 5)) + chunk("c", "zz");
  const std::string good = archiveOf(payload);
  ASSERT_EQ(readArchive(good), "");

  // Every truncation stops.
  for (size_t length = 0; length < good.size(); ++length) {
    EXPECT_EQ(readArchive(good.substr(0, length)).rfind(kDataErrorText, 0), 0u) << "cut at " << length;
  }
  // Flips anywhere in the file: headers, coder table, code bits.
  for (size_t at = 0; at < good.size(); ++at) {
    for (int mask : {0x01, 0x10, 0x80, 0xFF}) {
      std::string damaged = good;
      damaged[at] = char(damaged[at] ^ mask);
      expectLoadsOrStops(readArchive(damaged), "flip " + std::to_string(mask) + " at " + std::to_string(at));
    }
  }
  // Flips in the chunk headers, inside the payload before compression.
  const size_t chunkStarts[] = {0, 15 + 12 + 19, 15 + 12 + 19 + 15 + 12 + 5};
  for (size_t start : chunkStarts) {
    for (size_t at = start; at < start + 15; ++at) {
      for (int mask : {0x01, 0x40, 0x80, 0xFF}) {
        std::string damaged = payload;
        damaged[at] = char(damaged[at] ^ mask);
        expectLoadsOrStops(readArchive(archiveOf(damaged)), "payload flip at " + std::to_string(at));
      }
    }
  }
}

}  // namespace
