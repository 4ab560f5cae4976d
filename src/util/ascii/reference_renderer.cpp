#include "util/ascii/reference_renderer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "util/image/png_decoder.h"

namespace {

constexpr int kCellWidth = GlyphAtlas::kCellWidth;
constexpr int kCellHeight = GlyphAtlas::kCellHeight;

// Float colour to an 8-bit framebuffer value, rounded to nearest.
int toByte(float value) {
  const float scaled = value * 255.0f + 0.5f;
  if (scaled <= 0.0f) return 0;
  if (scaled >= 255.0f) return 255;
  return static_cast<int>(scaled);
}

// The texel a fragment at `fraction` (0..1 across the quad, a pixel centre)
// samples with nearest filtering between texture coordinates a and b, clamped
// to the edge.
int nearestTexel(float a, float b, double fraction, int size) {
  const double coordinate = a + (static_cast<double>(b) - a) * fraction;
  const int texel = static_cast<int>(std::floor(coordinate * size));
  return texel < 0 ? 0 : texel >= size ? size - 1 : texel;
}

}  // namespace

bool loadChartPixels(const char* name, ChartPixels* chart) {
  RawPngDecoder decoder;
  if (decoder.decode(name) != PngDecoder::Result::kDecoded || decoder.pixels == nullptr) return false;
  chart->width = decoder.width;
  chart->height = decoder.height;
  chart->rgba.assign(decoder.pixels, decoder.pixels + static_cast<size_t>(decoder.width) * decoder.height * 4);
  return true;
}

ChartPixels chartFromTopDownRgb(int width, int height, const unsigned char* rgb) {
  ChartPixels chart;
  chart.width = width;
  chart.height = height;
  chart.rgba.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const unsigned char* in = rgb + static_cast<size_t>(height - 1 - y) * width * 3;
    unsigned char* out = &chart.rgba[static_cast<size_t>(y) * width * 4];
    for (int x = 0; x < width; ++x) {
      out[x * 4 + 0] = in[x * 3 + 0];
      out[x * 4 + 1] = in[x * 3 + 1];
      out[x * 4 + 2] = in[x * 3 + 2];
      out[x * 4 + 3] = 255;
    }
  }
  return chart;
}

GlyphAtlas buildGlyphAtlas(const ChartPixels& chart) {
  GlyphAtlas atlas;
  atlas.rgb.assign(static_cast<size_t>(GlyphAtlas::kWidth) * GlyphAtlas::kHeight * 3, 0);
  if (chart.width <= 0 || chart.height <= 0 ||
      chart.rgba.size() < static_cast<size_t>(chart.width) * chart.height * 4) {
    return atlas;  // no chart, no glyphs: every mask samples black
  }
  for (int glyph = 0; glyph < 256; ++glyph) {
    const GlyphRect g = glyphRect(glyph);
    for (int py = 0; py < kCellHeight; ++py) {
      const double fraction = (py + 0.5) / kCellHeight;
      const int rows[2] = {nearestTexel(g.fgV0, g.fgV1, fraction, chart.height),
                           nearestTexel(g.bgV0, g.bgV1, fraction, chart.height)};
      for (int mask = 0; mask < 2; ++mask) {
        const unsigned char* in = &chart.rgba[static_cast<size_t>(rows[mask]) * chart.width * 4];
        unsigned char* out =
            &atlas.rgb[(static_cast<size_t>(mask * kCellHeight + py) * GlyphAtlas::kWidth + glyph * kCellWidth) * 3];
        for (int px = 0; px < kCellWidth; ++px) {
          const int s = nearestTexel(g.u0, g.u1, (px + 0.5) / kCellWidth, chart.width);
          std::memcpy(out + px * 3, in + s * 4, 3);
        }
      }
    }
  }
  return atlas;
}

int maskedLevel(float colour, int texel) { return toByte(colour * (texel / 255.0f)); }

void renderReference(const AsciiEngine& engine, const ChartPixels& chart, unsigned char* rgb) {
  renderReference(engine, buildGlyphAtlas(chart), rgb);
}

MaskedLevels::MaskedLevels(const AsciiEngine& engine) {
  for (int p = 0; p < 16; ++p)
    for (int c = 0; c < 3; ++c)
      for (int t = 0; t < 256; ++t) level[p][c][t] = static_cast<unsigned char>(maskedLevel(engine.colour(p)[c], t));
}

template <int kPixelStep>
void renderReferenceCell(const GlyphAtlas& atlas, const MaskedLevels& levels, int glyph, int fg, int bg,
                         unsigned char* out, std::ptrdiff_t rowStep) {
  const unsigned char(*bgLevels)[256] = levels.level[bg & 15];
  const unsigned char(*fgLevels)[256] = levels.level[fg & 15];
  for (int py = 0; py < kCellHeight; ++py, out += rowStep) {
    for (int px = 0; px < kCellWidth; ++px) {
      const unsigned char* bgMask = atlas.background(glyph, px, py);
      const unsigned char* fgMask = atlas.foreground(glyph, px, py);
      for (int c = 0; c < 3; ++c) {
        // GL_ONE, GL_ONE blending adds the two quads into the cleared
        // (black) target, saturating at 255.
        const int sum = bgLevels[c][bgMask[c]] + fgLevels[c][fgMask[c]];
        out[px * kPixelStep + c] = static_cast<unsigned char>(sum > 255 ? 255 : sum);
      }
    }
  }
}
template void renderReferenceCell<3>(const GlyphAtlas&, const MaskedLevels&, int, int, int, unsigned char*,
                                     std::ptrdiff_t);
template void renderReferenceCell<4>(const GlyphAtlas&, const MaskedLevels&, int, int, int, unsigned char*,
                                     std::ptrdiff_t);

void renderReference(const AsciiEngine& engine, const GlyphAtlas& atlas, unsigned char* rgb) {
  // Worked out once a frame rather than for every pixel.
  const MaskedLevels levels(engine);
  const int width = AsciiEngine::kTargetWidth;
  for (int r = 0; r < AsciiEngine::kRows; ++r) {
    const int cellBottom = (AsciiEngine::kRows - 1 - r) * kCellHeight;
    for (int x = 0; x < AsciiEngine::kColumns; ++x) {
      const int i = r * AsciiEngine::kColumns + x;
      renderReferenceCell<3>(atlas, levels, engine.chars[i], engine.fg[i], engine.bg[i],
                             rgb + (static_cast<size_t>(cellBottom) * width + x * kCellWidth) * 3, width * 3);
    }
  }
}

std::vector<unsigned char> resampleBilinear(const unsigned char* rgb, int width, int height, int outWidth,
                                            int outHeight) {
  struct Tap {
    int low, high;
    double weight;  // of `high`
  };
  auto taps = [](int size, int outSize) {
    std::vector<Tap> result(static_cast<size_t>(outSize));
    for (int i = 0; i < outSize; ++i) {
      const double at = (i + 0.5) * size / outSize - 0.5;
      const int low = static_cast<int>(std::floor(at));
      auto clamped = [size](int index) { return index < 0 ? 0 : index >= size ? size - 1 : index; };
      Tap& tap = result[static_cast<size_t>(i)];
      tap.weight = at - low;
      tap.low = clamped(low);
      tap.high = clamped(low + 1);
    }
    return result;
  };
  const std::vector<Tap> across = taps(width, outWidth);
  const std::vector<Tap> down = taps(height, outHeight);
  std::vector<unsigned char> out(static_cast<size_t>(outWidth) * outHeight * 3);
  auto texel = [&](int x, int y, int c) { return rgb[(static_cast<size_t>(y) * width + x) * 3 + c]; };
  for (int y = 0; y < outHeight; ++y) {
    const Tap& v = down[static_cast<size_t>(y)];
    for (int x = 0; x < outWidth; ++x) {
      const Tap& u = across[static_cast<size_t>(x)];
      for (int c = 0; c < 3; ++c) {
        const double lower = texel(u.low, v.low, c) * (1 - u.weight) + texel(u.high, v.low, c) * u.weight;
        const double upper = texel(u.low, v.high, c) * (1 - u.weight) + texel(u.high, v.high, c) * u.weight;
        out[(static_cast<size_t>(y) * outWidth + x) * 3 + c] =
            static_cast<unsigned char>(std::lround(lower * (1 - v.weight) + upper * v.weight));
      }
    }
  }
  return out;
}

ReferenceRenderer::ReferenceRenderer(ChartPixels chartPixels)
    : chart(std::move(chartPixels)),
      picture(static_cast<size_t>(AsciiEngine::kTargetWidth) * AsciiEngine::kTargetHeight * 3, 0) {}

void ReferenceRenderer::present(const AsciiEngine& engine) {
  renderReference(engine, chart, picture.data());
  ++frames;
}

const unsigned char* ReferenceRenderer::pixel(int x, int y) const {
  return &picture[(static_cast<size_t>(y) * AsciiEngine::kTargetWidth + x) * 3];
}
