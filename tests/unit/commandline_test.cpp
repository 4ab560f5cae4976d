#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commandline.h"

namespace {

CommandLine parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "kestrune");
  return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

// What reportCommandLine writes to one stream.
std::string readBack(FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(CommandLineTest, EveryPresetIsReadInBothSpellingsAndTheLastOneWins) {
  const CommandLine line = parse({"--size", "800x600", "--aspect=16:10", "--fullscreen", "--windowed",
                                  "--no-vsync", "--no-dialog", "--size=1920X1080"});
  ASSERT_EQ(CommandLine::Action::Run, line.action) << line.error;
  ASSERT_TRUE(line.presets.size);
  EXPECT_EQ(1920, line.presets.size->width);
  EXPECT_EQ(1080, line.presets.size->height);
  ASSERT_TRUE(line.presets.aspect);
  EXPECT_EQ(16, line.presets.aspect->numerator);
  EXPECT_EQ(10, line.presets.aspect->denominator);
  EXPECT_EQ(false, line.presets.fullscreen);
  EXPECT_EQ(false, line.presets.vsync);
  EXPECT_TRUE(line.noDialog);

  // Nothing given presets nothing: the dialog keeps its own defaults.
  const CommandLine empty = parse({});
  EXPECT_EQ(CommandLine::Action::Run, empty.action);
  EXPECT_FALSE(empty.presets.size || empty.presets.aspect || empty.presets.fullscreen ||
               empty.presets.vsync || empty.noDialog);
}

TEST(CommandLineTest, WrongArgumentsFailWithALineNamingThem) {
  const struct {
    std::vector<const char*> arguments;
    const char* error;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-h"}, "unexpected argument '-h'"},
      {{"show"}, "unexpected argument 'show'"},
      {{"--size"}, "option '--size' needs a value (WxH)"},
      {{"--windowed=yes"}, "option '--windowed' takes no value"},
      {{"--aspect", "21:9"}, "invalid value '21:9' for --aspect: expected 4:3, 16:9 or 16:10"},
      {{"--size", "800"}, "invalid value '800' for --size: expected WIDTHxHEIGHT in pixels, each 1 to 8192, "
       "at most 7680x4320 in all"},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(CommandLine::Action::Fail, line.action) << c.error;
    EXPECT_EQ(c.error, line.error);
  }
  // Sizes with anything but two whole numbers in range around one 'x'.
  for (const char* size : {"800x", "x600", "0x600", "800x0", "-800x600", "+800x600", "800x600x",
                           "800 x600", "16385x600", "800x99999999999999999999", ""}) {
    EXPECT_EQ(CommandLine::Action::Fail, parse({"--size", size}).action) << "'" << size << "'";
  }
  // What memory allows: 16384x16384 once took 12.7 GB to record. A side up
  // to 8192, the pixels of 8K UHD in all, whichever shape.
  for (const char* size : {"8193x1", "1x8193", "16384x16384", "8192x4051", "7681x4320", "4321x7680"})
    EXPECT_EQ(CommandLine::Action::Fail, parse({"--size", size}).action) << "'" << size << "'";
  for (const char* size : {"8192x1", "1x8192", "8192x4050", "7680x4320", "4320x7680"})
    EXPECT_EQ(CommandLine::Action::Run, parse({"--size", size}).action) << "'" << size << "'";
}

// Test and capture runs: any picture aspect, a fixed frame rate, beats to
// hold at; none of them in the usage.
TEST(CommandLineTest, HiddenStepOptionsParseAndRefuseBadValues) {
  const CommandLine line = parse({"--picture-aspect", "16:15", "--frame-rate=5", "--hold", "10,36.5,0"});
  ASSERT_EQ(CommandLine::Action::Run, line.action) << line.error;
  ASSERT_TRUE(line.pictureAspect);
  EXPECT_EQ(16, line.pictureAspect->numerator);
  EXPECT_EQ(15, line.pictureAspect->denominator);
  EXPECT_FALSE(line.presets.aspect);
  EXPECT_EQ(5, line.frameRate);
  EXPECT_EQ((std::vector<double>{10, 36.5, 0}), line.holdBeats);
  for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
           {"--picture-aspect", "16"}, {"--picture-aspect", "0:1"}, {"--frame-rate", "0"},
           {"--frame-rate", "5x"}, {"--hold", "10,"}, {"--hold", "-1"}, {"--hold", "nan"}, {"--hold", ""}}) {
    EXPECT_EQ(CommandLine::Action::Fail, parse(bad).action) << bad[0] << " " << bad[1];
  }
  const std::string usage = commandLineUsage();
  for (const char* hidden : {"--picture-aspect", "--frame-rate", "--hold"}) {
    EXPECT_EQ(std::string::npos, usage.find(hidden)) << hidden;
  }
}

TEST(CommandLineTest, RecordingOptionsAreReadAndBelongToARecording) {
  const CommandLine line =
      parse({"--capture", "show.mp4", "--frames=shots", "--fps", "30", "--from", "12.5", "--to=44"});
  ASSERT_EQ(CommandLine::Action::Run, line.action) << line.error;
  EXPECT_TRUE(line.records());
  EXPECT_EQ("show.mp4", line.captureFile);
  EXPECT_EQ("shots", line.framesDir);
  EXPECT_EQ(30, line.fps.value_or(0));
  EXPECT_EQ(12.5, line.fromBeat.value_or(-1));
  EXPECT_EQ(44.0, line.toBeat.value_or(-1));
  EXPECT_FALSE(parse({"--no-dialog"}).records());

  const struct {
    std::vector<const char*> arguments;
    const char* error;
  } cases[] = {
      {{"--fps", "30"}, "--fps, --from and --to belong to a recording (--capture or --frames)"},
      {{"--frames", "d", "--from", "44", "--to", "44"}, "--to must come after --from"},
      {{"--capture", ""}, "invalid value '' for --capture: expected a path (write one that starts with -- as ./--NAME)"},
      {{"--capture", "a.mp4", "--fps", "0"}, "invalid value '0' for --fps: expected frames per second, 1 to 240"},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(CommandLine::Action::Fail, line.action) << c.error;
    EXPECT_EQ(c.error, line.error);
  }
  for (const char* beat : {"-1", "1e9", "nan", "inf", "12b", "", " 3", "0x10"}) {
    EXPECT_EQ(CommandLine::Action::Fail, parse({"--capture", "a.mp4", "--from", beat}).action) << "'" << beat << "'";
  }
}

// Recordings that could only fail at their end (after the whole show was
// drawn) are refused before anything starts.
TEST(CommandLineTest, RecordingsThatCannotSucceedAreRefusedUpFront) {
  const std::vector<std::vector<const char*>> refused = {
      {"--capture", "out", "--frames", "out"},
      {"--capture", "out", "--frames", "./out/"},
      {"--capture", "out", "--frames", "out/inner"},
      {"--capture", "--frames", "x"},
      {"--frames", "--capture", "x.mp4"},
      {"--frames=--x"},
      {"--capture", "odd.mp4", "--size", "1279x720"},
      {"--size", "1280x721", "--capture", "odd.mp4"},
  };
  for (const auto& arguments : refused) {
    std::string shown;
    for (const char* argument : arguments) shown += std::string(argument) + " ";
    const CommandLine line = parse(arguments);
    EXPECT_EQ(CommandLine::Action::Fail, line.action) << shown;
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    EXPECT_EQ(2, reportCommandLine(line, out, err)) << shown;
    std::fclose(out);
    std::fclose(err);
  }
  EXPECT_EQ("--capture needs an even --size (H.264 video), got 1279x720",
            parse({"--capture", "odd.mp4", "--size", "1279x720"}).error);
  // Still fine: a path spelled past its dashes, odd frames without a video,
  // a video inside the frames' directory.
  for (const auto& arguments : std::vector<std::vector<const char*>>{{"--capture", "./--x.mp4"},
                                                                     {"--frames", "shots", "--size", "1279x721"},
                                                                     {"--frames", "shots", "--capture", "shots/v.mp4"}}) {
    const CommandLine line = parse(arguments);
    EXPECT_EQ(CommandLine::Action::Run, line.action) << line.error;
  }
}

TEST(CommandLineTest, HelpVersionAndFaultsPrintToTheirStreamsWithTheirExitCodes) {
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  ASSERT_TRUE(out && err);

  // The first of help, version or a fault decides.
  EXPECT_EQ(CommandLine::Action::Help, parse({"--size=1x1", "--help", "--bogus"}).action);
  EXPECT_EQ(0, reportCommandLine(parse({"--help"}), out, err));
  const std::string help = readBack(out);
  EXPECT_EQ(0u, help.find("Usage: kestrune [OPTION]...\n"));
  EXPECT_NE(std::string::npos, help.find("size in pixels, e.g. 1280x720; at most 8192 a side, 7680x4320 in all\n"));
  for (const char* option : {"--size WxH", "--aspect RATIO", "--windowed", "--fullscreen", "--vsync",
                             "--no-vsync", "--no-dialog", "--help", "--version", "Exit status",
                             "Defaults: the largest mode the display lists, full screen, vertical\n"
                             "sync and a 4:3 picture"}) {
    EXPECT_NE(std::string::npos, help.find(option)) << option;
  }
  EXPECT_EQ("", readBack(err));

  FILE* versionOut = std::tmpfile();
  EXPECT_EQ(0, reportCommandLine(parse({"--version", "--bogus"}), versionOut, err));
  const std::string version = readBack(versionOut);
  EXPECT_EQ(0u, version.find("kestrune ")) << version;
  EXPECT_EQ(std::string::npos, version.find_first_not_of("0123456789.\n", 9)) << version;

  EXPECT_EQ(2, reportCommandLine(parse({"--bogus", "--help"}), out, err));
  EXPECT_EQ("kestrune: unknown option '--bogus'\n" + commandLineUsage(), readBack(err));

  EXPECT_EQ(-1, reportCommandLine(parse({"--no-dialog"}), out, err));
  for (FILE* file : {out, err, versionOut}) std::fclose(file);
}

}  // namespace
