#include <gtest/gtest.h>

#include <new>
#include <string>
#include <system_error>
#include <thread>

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

// Memory or a thread that cannot be had, thrown where nothing catches it,
// is a fatal error like the others rather than an abort. (Thrown on a
// thread: the death test itself would catch it on this one.)
TEST(ErrorBoxTest, ResourceFailuresNobodyCatchesAreFatalErrors) {
  EXPECT_EXIT(std::thread([] {
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                        "cannot start a thread");
              }).join(),
              ::testing::ExitedWithCode(1),
              "Error in file src\\\\util\\\\error\\.cpp:[0-9]+\n\nThe system refused a resource: cannot start a thread");
  EXPECT_EXIT(std::thread([] { throw std::bad_alloc(); }).join(), ::testing::ExitedWithCode(1),
              "Error in file src\\\\util\\\\error\\.cpp:[0-9]+\n\nOut of memory\n");
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
