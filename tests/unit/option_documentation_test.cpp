#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "commandline.h"

namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return in ? text.str() : "";
}

std::string roffName(const std::string& option) {
  std::string out;
  for (char c : option) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

// Every option --help lists has an entry of its own in the manual page the
// build makes (a line that starts with it in bold) and is named in the
// README, so neither lags the program when an option is added.
TEST(OptionDocumentation, EveryListedOptionIsInTheManualPageAndTheReadme) {
  const char* source = std::getenv("KESTRUNE_SOURCE_DIR");
  const char* build = std::getenv("KESTRUNE_BUILD_DIR");
  ASSERT_TRUE(source && build) << "the test environment names the source and build trees";
  const std::string manualPath = std::string(build) + "/packaging/kestrune.6";
  const std::string manual = fileText(manualPath);
  const std::string readme = fileText(std::string(source) + "/README.md");
  ASSERT_FALSE(manual.empty()) << "no manual page at " << manualPath << " (the build makes it)";
  ASSERT_FALSE(readme.empty()) << "no README.md in " << source;

  const std::vector<std::string> options = documentedOptions();
  ASSERT_GE(options.size(), 10u);
  for (const std::string& option : options) {
    const std::string roff = roffName(option);
    const bool entry = manual.find("\n.B " + roff + "\n") != std::string::npos ||
                       manual.find("\n.BI " + roff + " ") != std::string::npos;
    EXPECT_TRUE(entry) << option << " has no entry in " << manualPath;
    EXPECT_NE(readme.find("`" + option), std::string::npos) << option << " is not named in the README";
  }
  // The hidden options of tests stay out of the manual.
  EXPECT_EQ(manual.find("\\-\\-hold"), std::string::npos);
}

// The entries say what --help says, with its first letter capitalised.
TEST(OptionDocumentation, ManualEntriesCarryTheHelpText) {
  const std::string entries = manualOptionEntries();
  EXPECT_NE(entries.find(".TP\n.BI \\-\\-capture \" FILE\"\n\\&Record the show to an MP4 video (H.264, AAC) instead.\n"),
            std::string::npos)
      << entries;
  EXPECT_NE(entries.find(".TP\n.B \\-\\-no\\-dialog\n\\&Start at once"), std::string::npos) << entries;
}

}  // namespace
