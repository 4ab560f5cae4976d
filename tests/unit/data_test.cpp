#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_archive.h"
#include "util/data/data.h"

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

TEST(DataArchiveTest, ServesPackedFilesByExactName) {
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
  EXPECT_EQ(data_load_file("data/a/first.raw", nullptr, false) != nullptr, true);

  EXPECT_EQ(data_open_file("data/a/missing.raw"), nullptr);
  EXPECT_EQ(data_load_file("data/a/FIRST.raw", &size, false), nullptr);
  EXPECT_EQ(data_open_file("data/a/first.ra"), nullptr);
}

}  // namespace
