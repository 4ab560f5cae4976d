// Texture rules that need no GL context: extension dispatch, the
// unsupported-format notice, the fatal load message and the guards of
// create and resize.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/test_images.h"
#include "util/texture/texture.h"

namespace {

using ::testing::ExitedWithCode;

class TextureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("KESTRUNE_NO_BOXES", "1", 0); }

  // A copy of a test picture under a new name (for upper-case extensions).
  static std::string copyAs(const char* from, const char* to) {
    const std::string target = testImagePath(to);
    std::ofstream(target, std::ios::binary) << readTestFile(testImagePath(from));
    return target;
  }

  static void load(const std::string& name) {
    Texture texture;
    texture.load(name.c_str(), GL_NEAREST, GL_NEAREST, false);
  }
};

// The fatal box on standard error: its title, then its text (title, empty
// line, message).
#define TEXTURE_CAPTION "Error in file src\\\\util\\\\texture\\\\texture\\.cpp:[0-9]+"
const char* const kFatalLoad = TEXTURE_CAPTION "\n" TEXTURE_CAPTION "\n\nFailed to load image ";

TEST_F(TextureTest, DefaultState) {
  Texture t;
  EXPECT_EQ(nullptr, t.imageData);
  EXPECT_EQ(0, t.bpp);
  EXPECT_EQ(0, t.width);
  EXPECT_EQ(0, t.height);
  EXPECT_EQ(0u, t.format);
  EXPECT_EQ(0u, t.texID);
  EXPECT_EQ(static_cast<GLenum>(GL_CLAMP_TO_EDGE), t.wrap);
  EXPECT_EQ(0, t.internalFormat);
  EXPECT_FALSE(t.mipmaps);
  EXPECT_EQ(static_cast<GLenum>(GL_LINEAR), t.minFilter);
  EXPECT_EQ(static_cast<GLenum>(GL_LINEAR), t.magFilter);
  EXPECT_EQ(0, t.samples);
}

TEST_F(TextureTest, UnsupportedExtensionShowsTheNoticeThenStops) {
  const std::string gif = testImagePath("picture.gif");
  EXPECT_EXIT(load(gif), ExitedWithCode(1),
              "^Unsupported image format!\nSorry, image format \\.gif is not yet supported\\.\nTry \\.tga or \\.png\\.\n" +
                  std::string(kFatalLoad) + ".*picture\\.gif!");
  // Shorter than four characters: the whole name is shown.
  EXPECT_EXIT(load("ab"), ExitedWithCode(1),
              "^Unsupported image format!\nSorry, image format ab is not yet supported\\.\n");
  // ".jpe" is not ".jpeg".
  EXPECT_EXIT(load("x.jpe"), ExitedWithCode(1), "Sorry, image format \\.jpe is not");
}

TEST_F(TextureTest, ExtensionsChooseTheirDecoderWhateverTheCase) {
  // Each decoder shows itself by how it fails.
  EXPECT_EXIT(load(testImagePath("missing.TGA")), ExitedWithCode(1),
              std::string("^ERROR\nCould not open texture file\n") + kFatalLoad + ".*missing\\.TGA!");
  EXPECT_EXIT(load(copyAs("huge.png", "huge.PNG")), ExitedWithCode(1),
              "^ERROR at src\\\\util\\\\texture\\\\png_loader\\.cpp:[0-9]+\nInvalid texture information\n");
  EXPECT_EXIT(load(copyAs("not_a_jpeg.jpg", "bad.JPG")), ExitedWithCode(1), "Not a JPEG file");
  EXPECT_EXIT(load(copyAs("not_a_jpeg.jpg", "bad.JPEG")), ExitedWithCode(1), "Not a JPEG file");
  EXPECT_EXIT(load(copyAs("not_a_jpeg.jpg", "bad.jpeg")), ExitedWithCode(1), "Not a JPEG file");
  EXPECT_EXIT(load(copyAs("bmp_zero_height.bmp", "flat.BmP")), ExitedWithCode(1),
              "^ERROR at src\\\\util\\\\texture\\\\bmp_loader\\.cpp:[0-9]+\nInvalid texture information\n");
}

TEST_F(TextureTest, SilentDecoderFailureIsTheFatalLoadMessageAlone) {
  EXPECT_EXIT(load(testImagePath("bmp_8bit.bmp")), ExitedWithCode(1),
              std::string("^") + kFatalLoad + ".*bmp_8bit\\.bmp!\n$");
}

TEST_F(TextureTest, CreateAndResizeGuards) {
  EXPECT_EXIT(
      {
        Texture t;
        t.texID = 7;
        t.create();
      },
      ExitedWithCode(1), "Attempt to create an already initialized texture!");
  EXPECT_EXIT(
      {
        Texture t;
        t.texID = 7;
        t.imageData = static_cast<unsigned char*>(std::malloc(4));
        t.resize(2, 2);
      },
      ExitedWithCode(1), "texture\\.cpp:[0-9]+\n\nAttempted to resize a texture with current imageData");
  EXPECT_EXIT(
      {
        Texture t;
        t.resize(2, 2);
      },
      ExitedWithCode(1), "Attempted to resize a texture that is not initialized!");
}

TEST_F(TextureTest, AtiFamilyNeedsTheTrailingBlank) {
  EXPECT_TRUE(texture_vendor_is_ati("ATI Technologies Inc."));
  EXPECT_TRUE(texture_vendor_is_ati("Ati tech"));
  EXPECT_FALSE(texture_vendor_is_ati("ATI"));
  EXPECT_FALSE(texture_vendor_is_ati("Mesa/X.org"));
  EXPECT_FALSE(texture_vendor_is_ati("Advanced Micro Devices, Inc."));
  EXPECT_FALSE(texture_vendor_is_ati(nullptr));
}

TEST_F(TextureTest, MissingLoadingLogoIsFatal) {
  EXPECT_EXIT(data_load_loading_texture(), ExitedWithCode(1),
              "Failed to load image data/common/images/tavorlin_logo_transp\\.png!");
}

}  // namespace
