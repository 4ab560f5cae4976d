#include <gtest/gtest.h>

#include <string>

#include "platform/messagebox.h"
#include "util/error.h"

namespace {

TEST(ErrorBoxTest, FormatsCaptionBodyAndExitsWithOne) {
  // Without a display the box goes to standard error.
  EXPECT_EXIT(ErrorBox("Video mode set failed: %s\n", "no mode"), ::testing::ExitedWithCode(1),
              "Error in file tests\\\\unit\\\\error_test\\.cpp:[0-9]+\n"
              "Error in file tests\\\\unit\\\\error_test\\.cpp:[0-9]+\n\nVideo mode set failed: no mode\n");
}

TEST(ErrorBoxTest, LongTextsAreCutSafely) {
  const std::string huge(20000, 'x');
  EXPECT_EXIT(ErrorBox("%s", huge.c_str()), ::testing::ExitedWithCode(1), "Error in file");
}

TEST(ErrorBoxTest, LocationOnlyBoxIsTitledError) {
  EXPECT_EXIT(LocationErrorBox(), ::testing::ExitedWithCode(1),
              "^Error\nError in file tests\\\\unit\\\\error_test\\.cpp:[0-9]+\n");
}

TEST(ErrorBoxTest, SourcePathUsesBackslashesAndFitsTheBuffer) {
  char out[12];
  formatSourcePath("src/util/data/data.cpp", out, sizeof out);
  EXPECT_STREQ("src\\util\\da", out);
  // As a compiler cache with a base folder passes it from build/tests.
  formatSourcePath("../../src/util/data/data.cpp", out, sizeof out);
  EXPECT_STREQ("src\\util\\da", out);
}

TEST(ErrorBoxTest, LocationCaptionsKeepTheirFirst99Characters) {
  EXPECT_STREQ("ERROR at src\\util\\texture\\png_loader.cpp:42",
               formatLocationCaption("ERROR at", "src/util/texture/png_loader.cpp", 42).text);

  // A deep path: the title is cut, the line number and all, at 99 characters.
  const std::string deep = "src/" + std::string(120, 'd') + "/file.cpp";
  const std::string title = formatLocationCaption("Error in file", deep.c_str(), 7).text;
  EXPECT_EQ(99u, title.size());
  EXPECT_EQ("Error in file src\\" + std::string(81, 'd'), title);
}

}  // namespace
