#include "util/ascii/reference_renderer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "util/texture/png_loader.h"

namespace {

constexpr int kCellWidth = AsciiEngine::kTargetWidth / AsciiEngine::kColumns;   // 8
constexpr int kCellHeight = AsciiEngine::kTargetHeight / AsciiEngine::kRows;    // 12

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

void renderReference(const AsciiEngine& engine, const ChartPixels& chart, unsigned char* rgb) {
  const int width = AsciiEngine::kTargetWidth;
  if (chart.width <= 0 || chart.height <= 0 ||
      chart.rgba.size() < static_cast<size_t>(chart.width) * chart.height * 4) {
    // No chart, no glyphs: every mask samples black.
    std::memset(rgb, 0, static_cast<size_t>(width) * AsciiEngine::kTargetHeight * 3);
    return;
  }
  for (int r = 0; r < AsciiEngine::kRows; ++r) {
    const int cellBottom = (AsciiEngine::kRows - 1 - r) * kCellHeight;
    for (int x = 0; x < AsciiEngine::kColumns; ++x) {
      const int i = r * AsciiEngine::kColumns + x;
      const GlyphRect g = glyphRect(engine.chars[i]);
      const float* bgColour = engine.colour(engine.bg[i]);
      const float* fgColour = engine.colour(engine.fg[i]);
      int s[kCellWidth];
      for (int px = 0; px < kCellWidth; ++px) {
        s[px] = nearestTexel(g.u0, g.u1, (px + 0.5) / kCellWidth, chart.width);
      }
      for (int py = 0; py < kCellHeight; ++py) {
        const double fraction = (py + 0.5) / kCellHeight;
        const int tBg = nearestTexel(g.bgV0, g.bgV1, fraction, chart.height);
        const int tFg = nearestTexel(g.fgV0, g.fgV1, fraction, chart.height);
        const unsigned char* bgRow = &chart.rgba[static_cast<size_t>(tBg) * chart.width * 4];
        const unsigned char* fgRow = &chart.rgba[static_cast<size_t>(tFg) * chart.width * 4];
        unsigned char* out = rgb + (static_cast<size_t>(cellBottom + py) * width + x * kCellWidth) * 3;
        for (int px = 0; px < kCellWidth; ++px) {
          for (int c = 0; c < 3; ++c) {
            // GL_MODULATE: vertex colour times texel; GL_ONE, GL_ONE blending
            // adds the two quads into the cleared (black) target.
            const int background = toByte(bgColour[c] * (bgRow[s[px] * 4 + c] / 255.0f));
            const int foreground = toByte(fgColour[c] * (fgRow[s[px] * 4 + c] / 255.0f));
            const int sum = background + foreground;
            out[px * 3 + c] = static_cast<unsigned char>(sum > 255 ? 255 : sum);
          }
        }
      }
    }
  }
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
