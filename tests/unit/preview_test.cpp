// The preview tool on a small archive made here: frames at chosen beats,
// pictures of scenes that share a beat added up, PNG files and the sheet.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "show/show_core.h"
#include "util/ascii/asciiengine.h"
#include "util/texture/png_writer.h"
#include "scenes_b_support.h"
#include "sheet.h"
#include "show.h"
#include "support/test_archive.h"

using scenes_b_test::ManualClock;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A chart whose foreground masks are all white and background masks all
// black: every cell then shows its foreground colour over the whole cell.
std::string solidChartPng() {
  const int width = 640, height = 120;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
  for (int y = 0; y < 48; ++y)  // the top four bands hold the foreground masks
    std::fill(rgb.begin() + static_cast<size_t>(y) * width * 3, rgb.begin() + static_cast<size_t>(y + 1) * width * 3, 255);
  const std::string path = makeTestTempDir("kestrune-chart") + "/chart.png";
  EXPECT_TRUE(writePng(path, width, height, 3, rgb));
  std::string bytes = readFile(path);
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
  return bytes;
}

std::vector<TestArchiveFile> previewFiles() {
  using scenes_b_test::rawPicture;
  using scenes_b_test::solidPicture;
  std::vector<TestArchiveFile> files{{AsciiEngine::kChartFile, solidChartPng()}};
  for (int k = 1; k <= 8; ++k)  // name k: column 10 + k in colour 3
    files.push_back({"data/textraster/nick" + std::to_string(k) + ".raw",
                     rawPicture(80, 50, [k](int x, int) { return x == 10 + k ? 3 : 0; })});
  files.push_back({"data/textraster/fastintro.raw", solidPicture(800, 50, 0)});
  files.push_back({"data/texttalkingv/vexmask.raw", solidPicture(80, 50, 0)});
  files.push_back({"data/textsnake/snakeinterface.raw", solidPicture(80, 50, 0)});
  for (const char* name : {"tolvek", "code", "music", "sunvira", "drimbo00"})
    files.push_back({std::string("data/textending/") + name + ".raw", solidPicture(80, 50, 0)});
  return files;
}

// RGB of the centre pixel of text cell (column, row).
const uint8_t* cellPixel(const RgbImage& frame, int column, int row) { return frame.at(column * 8 + 4, row * 12 + 6); }

// Rows of a column that show dark cyan (the bars may cover a few).
int darkCyanRows(const RgbImage& frame, int column) {
  int n = 0;
  for (int row = 0; row < 50; ++row) {
    const uint8_t* p = cellPixel(frame, column, row);
    n += p[0] == 0 && p[1] > 100 && p[1] < 160 && p[1] == p[2];
  }
  return n;
}

class PreviewTool : public ::testing::Test {
 protected:
  PreviewTool() : archive_(previewFiles()) {
    options_.archive = archive_.archivePath();
    options_.outDir = archive_.dir() + "/out";
    options_.song = "";
  }
  ManualClock clock_;
  TestArchive archive_;
  PreviewOptions options_;
};

TEST_F(PreviewTool, RendersTheFrameOfTheBeatThroughTheReferenceRenderer) {
  options_.only = {"TextRaster"};
  ShowPreview show(options_);
  EXPECT_EQ(show.sceneCount(), 1);
  std::vector<double> seen;
  std::vector<RgbImage> frames;
  show.render({208.0, 204.0}, [&](double beat, const RgbImage& frame) {
    seen.push_back(beat);
    frames.push_back(frame);
  });
  ASSERT_EQ(seen, (std::vector<double>{204.0, 208.0}));
  ASSERT_EQ(frames[1].width, 640);
  ASSERT_EQ(frames[1].height, 600);
  // Beat 208 shows nick1 (column 11), beat 204 nick7 (column 17).
  EXPECT_GT(darkCyanRows(frames[1], 11), 30);
  EXPECT_EQ(darkCyanRows(frames[1], 17), 0);
  EXPECT_GT(darkCyanRows(frames[0], 17), 30);
  EXPECT_EQ(darkCyanRows(frames[0], 11), 0);
  // The tick count moved with the music: about 4 beats x 300 ms between them.
  EXPECT_TRUE(TextRaster::shared(show.show().screen()).scrollerStart.started);
  EXPECT_EQ(TextRaster::shared(show.show().screen()).scrollerStart.time, options_.startTick + 178u * 300u);
}

TEST_F(PreviewTool, ScenesSharingABeatAddTheirPictures) {
  options_.only = {"TextEnding", "TextSnake"};
  ShowPreview show(options_);
  EXPECT_EQ(show.sceneCount(), 3);
  RgbImage at557;
  show.render({557.0}, [&](double, const RgbImage& frame) { at557 = frame; });
  // Both hints start with "(" in dark red at column 0: added, they saturate.
  EXPECT_EQ(cellPixel(at557, 0, 49)[0], 255);
  // Column 1 holds "F" from the ending; the snake's title leaves it blank.
  EXPECT_GT(cellPixel(at557, 1, 49)[0], 100);
  EXPECT_LT(cellPixel(at557, 1, 49)[0], 200);
  EXPECT_TRUE(TextSnake::shared(show.show().screen()).titleStart.started);
  EXPECT_TRUE(TextEnding::shared(show.show().screen()).fallbackStart.started);
}

TEST_F(PreviewTool, WritesFramesAndAContactSheet) {
  options_.only = {"TextRaster"};
  options_.beats = {208.0};
  options_.sheet = true;
  options_.sheetFrom = 204;
  options_.sheetTo = 210;
  options_.sheetStep = 2;
  ASSERT_EQ(runPreview(options_), 0);

  const std::string frame = readFile(options_.outDir + "/beat_208.png");
  ASSERT_GT(frame.size(), 24u);
  EXPECT_EQ(frame.substr(1, 3), "PNG");
  auto be32 = [](const std::string& s, size_t at) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8) | static_cast<uint8_t>(s[at + 3]);
  };
  EXPECT_EQ(be32(frame, 16), 640u);
  EXPECT_EQ(be32(frame, 20), 600u);
  // Four frames of 160 x 150 in one row, each under an 18-pixel label strip.
  const std::string sheet = readFile(options_.outDir + "/contact_sheet.png");
  ASSERT_GT(sheet.size(), 24u);
  EXPECT_EQ(be32(sheet, 16), 4u + 4u * (160u + 4u));
  EXPECT_EQ(be32(sheet, 20), 4u + 18u + 150u + 4u);
}

TEST(PreviewArgs, ParsesListsRangesAndRejectsBadInput) {
  PreviewOptions options;
  std::string error;
  bool help = false;
  const char* good[] = {"preview", "--beat", "208,430.5", "--sheet", "176:232:2", "--only", "TextRaster,TextEnding",
                        "--key1-from", "560", "--fps", "30"};
  ASSERT_TRUE(parsePreviewArgs(11, const_cast<char**>(good), options, error, help)) << error;
  EXPECT_EQ(options.beats, (std::vector<double>{208.0, 430.5}));
  EXPECT_TRUE(options.sheet);
  EXPECT_EQ(options.sheetFrom, 176.0);
  EXPECT_EQ(options.sheetStep, 2.0);
  EXPECT_EQ(options.only.size(), 2u);
  EXPECT_EQ(options.digit1From, 560.0);
  EXPECT_EQ(options.fps, 30);

  PreviewOptions defaults;
  const char* none[] = {"preview"};
  ASSERT_TRUE(parsePreviewArgs(1, const_cast<char**>(none), defaults, error, help));
  EXPECT_TRUE(defaults.sheet);  // nothing asked: the whole show on one sheet

  for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
           {"preview", "--beat", "12x"},
           {"preview", "--beat", "-1"},
           {"preview", "--sheet", "10:5:1"},
           {"preview", "--sheet", "0:100000:0.001"},
           {"preview", "--only", "TextNothing"},
           {"preview", "--fps", "0"},
           {"preview", "--data"},
           {"preview", "--frobnicate"}}) {
    PreviewOptions o;
    error.clear();
    EXPECT_FALSE(parsePreviewArgs(static_cast<int>(bad.size()), const_cast<char**>(bad.data()), o, error, help))
        << bad[1];
    EXPECT_FALSE(error.empty());
  }
}

TEST(PreviewSheet, LabelsAreDrawnAndFramesShrinkByAverage) {
  RgbImage frame(8, 4);
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 4; ++y) frame.at(x, y)[0] = 200;
  const RgbImage half = shrink(frame, 2);
  ASSERT_EQ(half.width, 4);
  EXPECT_EQ(half.at(0, 0)[0], 200);
  EXPECT_EQ(half.at(3, 1)[0], 0);

  RgbImage a(2, 1), b(2, 1);
  a.at(0, 0)[0] = 200;
  b.at(0, 0)[0] = 100;
  b.at(1, 0)[1] = 7;
  addImage(a, b);
  EXPECT_EQ(a.at(0, 0)[0], 255);
  EXPECT_EQ(a.at(1, 0)[1], 7);

  RgbImage label(40, 20);
  const uint8_t white[3] = {255, 255, 255};
  drawLabel(label, 0, 0, "1", 1, white);
  int lit = 0;
  for (size_t i = 0; i < label.pixels.size(); i += 3) lit += label.pixels[i] == 255;
  EXPECT_EQ(lit, 10);  // the 5 x 7 "1" has ten pixels
  drawLabel(label, 0, 10, "?", 1, white);  // unknown: a gap
  int after = 0;
  for (size_t i = 0; i < label.pixels.size(); i += 3) after += label.pixels[i] == 255;
  EXPECT_EQ(after, 10);
}

}  // namespace
