// Decoders against pictures made by an independent encoder
// (tests/support/make_test_images.py: Python's zlib and ImageMagick).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/recording_presenter.h"
#include "support/test_archive.h"
#include "support/test_images.h"
#include "util/texture/bmp_loader.h"
#include "util/texture/decoder_support.h"
#include "util/texture/jpg_loader.h"
#include "util/texture/png_loader.h"
#include "util/texture/texture.h"
#include "util/texture/tga_loader.h"

namespace {

using ::testing::ExitedWithCode;
using ::testing::MatchesRegex;

using Decoder = bool (*)(const char*, Texture*);

class ImageDecoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("KESTRUNE_NO_BOXES", "1", 0); }

  static std::string path(const char* name) { return testImagePath(name); }

  // Decodes `file` and compares with the encoder's own pixels, which are
  // stored top row first; the decoders deliver bottom row first.
  static void expectDecodes(Decoder decoder, const char* file, const char* expected, int bpp, int tolerance = 0) {
    SCOPED_TRACE(file);
    RecordingPresenter boxes;
    Texture texture;
    ASSERT_TRUE(decoder(path(file).c_str(), &texture));
    EXPECT_TRUE(boxes.boxes.empty());
    const ExpectedImage want = expectedImage(expected);
    ASSERT_EQ(want.width, texture.width);
    ASSERT_EQ(want.height, texture.height);
    ASSERT_EQ(bpp, texture.bpp);
    EXPECT_EQ(bpp == 32 ? GL_RGBA : GL_RGB, static_cast<int>(texture.format));
    ASSERT_NE(nullptr, texture.imageData);
    const int n = bpp / 8;
    const int w = want.width;
    const int h = want.height;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const unsigned char* got = texture.imageData + ((h - 1 - y) * w + x) * n;
        const unsigned char* ref = want.pixel(x, y);
        for (int c = 0; c < n; ++c) {
          if (std::abs(got[c] - ref[c]) > tolerance) {
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": got " << int(got[c])
                          << " want " << int(ref[c]);
            std::free(texture.imageData);
            return;
          }
        }
        if (n == 3) {
          EXPECT_EQ(255, ref[3]);
        }
      }
    }
    std::free(texture.imageData);
  }

  // A failed decode: no pixels, and exactly the given boxes (title regex, text).
  static void expectFails(Decoder decoder, const char* file, std::vector<std::pair<std::string, std::string>> want) {
    SCOPED_TRACE(file);
    RecordingPresenter boxes;
    Texture texture;
    // Absolute names are files of the source tree, others generated pictures.
    EXPECT_FALSE(decoder(file[0] == '/' ? file : path(file).c_str(), &texture));
    EXPECT_EQ(nullptr, texture.imageData);
    ASSERT_EQ(want.size(), boxes.boxes.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_THAT(boxes.boxes[i].title, MatchesRegex(want[i].first));
      EXPECT_EQ(want[i].second, boxes.boxes[i].text);
    }
  }
};

const std::pair<std::string, std::string> kPngInvalid{"ERROR at src\\\\util\\\\texture\\\\png_loader\\.cpp:[0-9]+",
                                                      "Invalid texture information"};
const std::pair<std::string, std::string> kBmpInvalid{"ERROR at src\\\\util\\\\texture\\\\bmp_loader\\.cpp:[0-9]+",
                                                      "Invalid texture information"};

const std::pair<std::string, std::string> kJpgInvalid{"ERROR at src\\\\util\\\\texture\\\\jpg_loader\\.cpp:[0-9]+",
                                                      "Invalid texture information"};

const std::pair<std::string, std::string> kTgaInvalid{"ERROR at src\\\\util\\\\texture\\\\tga_loader\\.cpp:[0-9]+",
                                                      "Invalid texture information"};

std::pair<std::string, std::string> tgaError(const char* text) { return {"ERROR", text}; }

// A minimised hostile file kept beside the fuzz targets.
std::string regressionFile(const char* decoder, const char* name) {
  const char* source = std::getenv("KESTRUNE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/fuzz/regressions/" + decoder + "/" + name;
}

// ---------------------------------------------------------------- PNG

TEST_F(ImageDecoderTest, PngEveryEightBitColourType) {
  for (const char* name : {"rgba8", "rgb8", "grey8", "greyalpha8", "palette8"}) {
    expectDecodes(load_png, (std::string(name) + ".png").c_str(), name, 32);
  }
}

TEST_F(ImageDecoderTest, PngTransparencyKeysAndPaletteAlpha) {
  expectDecodes(load_png, "grey8_trns.png", "grey8_trns", 32);
  expectDecodes(load_png, "rgb8_trns.png", "rgb8_trns", 32);
  // palette8 has alpha for its first seven entries only.
  expectDecodes(load_png, "palette8.png", "palette8", 32);
  // Indices past the palette leave their pixels as allocated: zero.
  expectDecodes(load_png, "palette_short.png", "palette_short", 32);
}

TEST_F(ImageDecoderTest, PngAdam7IncludingEmptyPasses) {
  for (const char* name : {"interlaced_13x11", "interlaced_1x1", "interlaced_3x2", "interlaced_9x1", "im_interlaced"}) {
    expectDecodes(load_png, (std::string(name) + ".png").c_str(), name, 32);
  }
}

TEST_F(ImageDecoderTest, PngStoredFixedDynamicBlocksAndSmallWindowGiveTheSamePicture) {
  for (const char* name : {"blocks_stored", "blocks_fixed", "blocks_dynamic", "blocks_window512"}) {
    expectDecodes(load_png, (std::string(name) + ".png").c_str(), name, 32);
  }
}

TEST_F(ImageDecoderTest, PngFirstFourBytesAreTheLowerLeftPixel) {
  Texture texture;
  ASSERT_TRUE(load_png(path("rgba8.png").c_str(), &texture));
  // Lower-left pixel (0, 10) of the 13 x 11 pattern.
  const unsigned char want[4] = {(0 * 37 + 10 * 11) & 255, (10 * 71) & 255, (10 * 29 + 7) & 255, (10 * 3 + 50) & 255};
  EXPECT_EQ(0, std::memcmp(want, texture.imageData, 4));
  std::free(texture.imageData);
}

TEST_F(ImageDecoderTest, PngOtherBitDepthsAreRefused) {
  for (const char* name : {"rgb16.png", "rgba16.png", "palette4.png", "grey1.png"}) {
    expectFails(load_png, name, {kPngInvalid});
  }
}

TEST_F(ImageDecoderTest, PngWithoutSignatureOrWithBadPaletteFailsSilently) {
  for (const char* name : {"bad_signature.png", "short.png", "bad_plte.png", "missing.png"}) {
    expectFails(load_png, name, {});
  }
}

TEST_F(ImageDecoderTest, PngCorruptDataIsInvalidTextureInformation) {
  // No IHDR, sizes whose buffer would not fit or with a side over 65535, a chunk running past the end
  // of the file, a match reaching before the start of the output, a reserved
  // block type, an over-subscribed code and an unknown scanline filter.
  for (const char* name : {"no_ihdr.png", "huge.png", "wide.png", "long_side.png", "idat_past_end.png", "truncated_idat.png",
                           "backref_before_start.png", "reserved_block.png", "oversubscribed.png",
                           "bad_filter.png"}) {
    expectFails(load_png, name, {kPngInvalid});
  }
}

TEST_F(ImageDecoderTest, PngDataEndingEarlyLeavesTheRestEmpty) {
  expectDecodes(load_png, "partial.png", "partial", 32);
  // A preset dictionary inflates nothing at all.
  Texture texture;
  ASSERT_TRUE(load_png(path("dictionary.png").c_str(), &texture));
  for (int i = 0; i < texture.width * texture.height * 4; ++i) ASSERT_EQ(0, texture.imageData[i]);
  std::free(texture.imageData);
}

TEST_F(ImageDecoderTest, PngPastThePixelCapOrWithAnEmptyPaletteIsInvalid) {
  expectFails(load_png, regressionFile("png", "2gb-65535x8191.png").c_str(), {kPngInvalid});
  expectFails(load_png, regressionFile("png", "ubsan-nonnull-plte.png").c_str(), {kPngInvalid});
}

TEST_F(ImageDecoderTest, PixelCapIsTwoToTheTwentySixth) {
  EXPECT_TRUE(imageSizeAllowed(8192, 8192));
  EXPECT_TRUE(imageSizeAllowed(int64_t{1} << 26, 1));
  EXPECT_FALSE(imageSizeAllowed(8192, 8193));
  EXPECT_FALSE(imageSizeAllowed((int64_t{1} << 26) + 1, 1));
  EXPECT_FALSE(imageSizeAllowed(0, 10));
  EXPECT_FALSE(imageSizeAllowed(int64_t{1} << 40, int64_t{1} << 40));
}

TEST_F(ImageDecoderTest, PngFromTheArchive) {
  TestArchive archive({{"data/common/images/test.png", readTestFile(path("rgb8.png"))}});
  Texture texture;
  ASSERT_TRUE(load_png("data/common/images/test.png", &texture));
  EXPECT_EQ(13, texture.width);
  EXPECT_EQ(11, texture.height);
  std::free(texture.imageData);
}

TEST_F(ImageDecoderTest, ShowPicturesDecodeFromTheShowsArchive) {
  const char* tvl = std::getenv("KESTRUNE_DATA_TVL");
  if (!tvl || !std::ifstream(tvl).good()) GTEST_SKIP() << "the show's data.tvl has not been built";
  TestArchive archive(ExistingArchive{tvl});
  for (const char* name : {"data/common/images/tavorlin_logo_transp.png", "data/common/images/asciichart.png"}) {
    SCOPED_TRACE(name);
    RecordingPresenter boxes;
    Texture texture;
    ASSERT_TRUE(load_png(name, &texture));
    EXPECT_GT(texture.width, 0);
    EXPECT_GT(texture.height, 0);
    EXPECT_TRUE(boxes.boxes.empty());
    std::free(texture.imageData);
  }
}

// ---------------------------------------------------------------- TGA

TEST_F(ImageDecoderTest, TgaPlainAndRunLengthIn24And32Bits) {
  expectDecodes(load_tga, "tga24_plain.tga", "tga24_plain", 24);
  expectDecodes(load_tga, "tga24_rle.tga", "tga24_rle", 24);
  expectDecodes(load_tga, "tga32_plain.tga", "tga32_plain", 32);
  expectDecodes(load_tga, "tga32_rle.tga", "tga32_rle", 32);
  expectDecodes(load_tga, "im_tga24.tga", "im_tga24", 24);
  expectDecodes(load_tga, "im_tga32_rle.tga", "im_tga32_rle", 32);
}

TEST_F(ImageDecoderTest, TgaHeaderFailures) {
  expectFails(load_tga, "missing.tga", {tgaError("Could not open texture file")});
  expectFails(load_tga, "tga_short_header.tga", {tgaError("Could not read file header")});
  expectFails(load_tga, "tga_type3.tga", {{"Invalid Image", "TGA file be type 2 or type 10 "}});
  expectFails(load_tga, "tga_image_id.tga", {{"Invalid Image", "TGA file be type 2 or type 10 "}});
  expectFails(load_tga, "tga_short_info.tga", {tgaError("Could not read info header")});
  expectFails(load_tga, "tga_16bit.tga", {kTgaInvalid});
  expectFails(load_tga, "tga_zero_width.tga", {kTgaInvalid});
}

TEST_F(ImageDecoderTest, TgaDataFailures) {
  expectFails(load_tga, "tga_truncated.tga", {tgaError("Could not read image data")});
  // 65535 x 65535 pixels promised by a few bytes: past the pixel cap.
  expectFails(load_tga, "tga_huge.tga", {kTgaInvalid});
  expectFails(load_tga, "tga_huge_rle.tga", {kTgaInvalid});
  expectFails(load_tga, "tga_rle_no_header.tga", {tgaError("Could not read RLE header")});
  expectFails(load_tga, "tga_rle_short_run.tga", {tgaError("Could not read from file")});
  expectFails(load_tga, "tga_rle_short_raw.tga", {tgaError("Could not read image data")});
  expectFails(load_tga, "tga_rle_too_many.tga", {tgaError("Too many pixels read")});
}

std::string littleEndian16(int value) { return std::string{char(value & 0xFF), char(value >> 8)}; }

// A file of `bytes` beginning with `head` and holding zeros after it, without
// writing them (a sparse file).
std::string sparseFile(const char* name, const std::string& head, off_t bytes) {
  const std::string file = testImagePath(name);
  std::ofstream(file, std::ios::binary) << head;
  EXPECT_EQ(0, truncate(file.c_str(), bytes));
  return file;
}

// One pixel past the cap (8193 x 8192) is refused from the header, before a
// byte is decoded: the decoder once took 16384 x 16384 run-length pixels
// (1 GB) from 10 MB of file, and allowed 65535 x 65535.
TEST_F(ImageDecoderTest, TgaPastThePixelCapIsInvalid) {
  const std::string size = littleEndian16(8193) + littleEndian16(8192) + std::string("\x18\x00", 2);
  // Complete run-length packets of 128 pixels each (2 MB).
  std::string runs = std::string("\0\0\x0A\0\0\0\0\0\0\0\0\0", 12) + size;
  const std::string packet("\xFF\x10\x20\x30", 4);
  for (int64_t pixels = 0; pixels < int64_t{8193} * 8192; pixels += 128) runs += packet;
  std::ofstream(testImagePath("over_cap_rle.tga"), std::ios::binary) << runs;
  expectFails(load_tga, "over_cap_rle.tga", {kTgaInvalid});
  sparseFile("over_cap_plain.tga", std::string("\0\0\x02\0\0\0\0\0\0\0\0\0", 12) + size,
             18 + off_t{8193} * 8192 * 3);
  expectFails(load_tga, "over_cap_plain.tga", {kTgaInvalid});
  expectFails(load_tga, regressionFile("tga", "over-cap-65535x65535-rle.tga").c_str(), {kTgaInvalid});
}

// ---------------------------------------------------------------- BMP

TEST_F(ImageDecoderTest, Bmp24WithRowPadding) {
  expectDecodes(load_bmp, "bmp24.bmp", "bmp24", 32);
  expectDecodes(load_bmp, "im_bmp24.bmp", "im_bmp24", 32);
}

TEST_F(ImageDecoderTest, BmpUnsupportedOrBrokenFilesFailSilently) {
  for (const char* name : {"missing.bmp", "bmp_8bit.bmp", "bmp_rle.bmp", "bmp_palette_counts.bmp",
                           "bmp_top_down.bmp", "bmp_size_zero.bmp", "bmp_absurd_skip.bmp", "bmp_huge.bmp",
                           "bmp_truncated.bmp", "bmp_short_header.bmp", "bmp_short_info.bmp"}) {
    expectFails(load_bmp, name, {});
  }
}

TEST_F(ImageDecoderTest, BmpZeroHeightIsInvalidTextureInformation) {
  expectFails(load_bmp, "bmp_zero_height.bmp", {kBmpInvalid});
}

// Each once hung for minutes, asked for gigabytes or overflowed an int.
TEST_F(ImageDecoderTest, BmpHostileHeadersFailAtOnce) {
  expectFails(load_bmp, regressionFile("bmp", "hang-zero-width.bmp").c_str(), {kBmpInvalid});
  expectFails(load_bmp, regressionFile("bmp", "oom-offset-past-eof.bmp").c_str(), {});
  expectFails(load_bmp, regressionFile("bmp", "ubsan-overflow-line53.bmp").c_str(), {});
}

// A whole 8193 x 8192 picture (a sparse file of 201 MB): past the cap, it
// fails before a pixel is read.
TEST_F(ImageDecoderTest, BmpPastThePixelCapFailsSilently) {
  auto le32 = [](uint32_t v) { return littleEndian16(int(v & 0xFFFF)) + littleEndian16(int(v >> 16)); };
  const uint32_t pixelBytes = 8193u * 8192u * 3u;
  const std::string head = "BM" + le32(54 + pixelBytes) + le32(0) + le32(54) +  // file header
                           le32(40) + le32(8193) + le32(8192) + littleEndian16(1) + littleEndian16(24) + le32(0) +
                           le32(pixelBytes) + le32(2835) + le32(2835) + le32(0) + le32(0);
  sparseFile("over_cap.bmp", head, 54 + off_t{pixelBytes});
  expectFails(load_bmp, "over_cap.bmp", {});
}

// ---------------------------------------------------------------- JPEG

TEST_F(ImageDecoderTest, JpegDecodesCloseToTheSource) {
  expectDecodes(load_jpg, "photo.jpg", "photo", 32, 6);
}

// A cut file would otherwise be completed with invented grey rows, however
// many its header claims.
TEST_F(ImageDecoderTest, JpegMissingFailsSilentlyAndTruncatedIsRefused) {
  expectFails(load_jpg, "missing.jpg", {});
  expectFails(load_jpg, "truncated.jpg", {{"ERROR", "Premature end of JPEG file"}});
  // 245 bytes claiming 256 x 64576 pixels took the fuzzer's whole timeout.
  expectFails(load_jpg, regressionFile("jpeg", "slow-cut-256x64576.jpg").c_str(),
              {{"ERROR", "Corrupt JPEG data: premature end of data segment"}});
}

TEST_F(ImageDecoderTest, JpegCorruptDataShowsTheLibrarysMessageAndFails) {
  expectFails(load_jpg, "not_a_jpeg.jpg", {{"ERROR", "Not a JPEG file: starts with 0x47 0x49"}});
}

// The header alone would have cost 6.4 GB before any check.
TEST_F(ImageDecoderTest, JpegPastThePixelCapIsRefusedFromItsHeader) {
  expectFails(load_jpg, regressionFile("jpeg", "oom-23170x23170.jpg").c_str(), {kJpgInvalid});
}

// ---------------------------------------------------------------- all

// Many damaged copies of good pictures: whatever each decoder makes
// of them, it never reads or writes out of bounds (the sanitizer build runs
// this too) and never leaves pixels behind on failure.
TEST_F(ImageDecoderTest, DamagedPicturesNeverCrash) {
  struct Source {
    const char* name;
    Decoder decoder;
  };
  const Source sources[] = {{"rgba8.png", load_png},       {"palette8.png", load_png},
                            {"interlaced_13x11.png", load_png}, {"blocks_fixed.png", load_png},
                            {"tga32_rle.tga", load_tga},   {"tga24_plain.tga", load_tga},
                            {"bmp24.bmp", load_bmp}};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  RecordingPresenter boxes;
  int decoded = 0;
  int refused = 0;
  for (const Source& source : sources) {
    const std::string good = readTestFile(path(source.name));
    ASSERT_FALSE(good.empty());
    const std::string damaged = testImagePath(std::string("damaged_") + source.name);
    for (int round = 0; round < 200; ++round) {
      std::string bytes = good;
      if (round % 4 == 3) {
        bytes.resize(next(static_cast<uint32_t>(bytes.size())));
      } else {
        // Spare the signature now and then so the damage reaches the data.
        const uint32_t from = round % 2 ? 8 : 0;
        for (uint32_t k = 1 + next(4); k > 0; --k) {
          bytes[from + next(static_cast<uint32_t>(bytes.size()) - from)] = static_cast<char>(next(256));
        }
      }
      std::ofstream(damaged, std::ios::binary | std::ios::trunc) << bytes;
      Texture texture;
      if (source.decoder(damaged.c_str(), &texture)) {
        ASSERT_NE(nullptr, texture.imageData);
        ++decoded;
      } else {
        ASSERT_EQ(nullptr, texture.imageData) << source.name << " round " << round;
        ++refused;
      }
      std::free(texture.imageData);
    }
  }
  // Both outcomes occur: the damage is neither always fatal nor always harmless.
  EXPECT_GT(decoded, 50);
  EXPECT_GT(refused, 50);
}

}  // namespace
