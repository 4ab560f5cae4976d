#include "audit_model.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include "util/ascii/asciiengine.h"

namespace audit {

namespace {
// File colour number -> palette index (bits 0 and 2 swapped).
const unsigned char kFileToPalette[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
constexpr int kBlock = 219;
}  // namespace

void Screen::clear() {
  std::memset(ch, 0, sizeof ch);
  std::memset(fg, 0, sizeof fg);
  std::memset(bg, 0, sizeof bg);
}

void Screen::fillWhite() {
  std::memset(ch, 219, sizeof ch);
  std::memset(fg, 15, sizeof fg);
  std::memset(bg, 15, sizeof bg);
}

void Screen::set(int column, int row, int character, int foreground, int background) {
  if (column < 0 || column >= kCols || row < 0 || row >= kRows) return;
  const int i = row * kCols + column;
  ch[i] = static_cast<unsigned char>(character);
  fg[i] = static_cast<unsigned char>(foreground);
  bg[i] = static_cast<unsigned char>(background);
}

void Screen::text(int column, int row, const char* s, int foreground, int background) {
  for (int i = 0; s[i] != 0; ++i)
    if (s[i] != ' ') set(column + i, row, static_cast<unsigned char>(s[i]), foreground, background);
}

PicFile makePic(int w, int h, const std::function<int(int, int)>& fileColour) {
  PicFile f;
  f.pic.w = w;
  f.pic.h = h;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int c = fileColour(x, y) & 15;
      f.bytes.push_back(static_cast<char>(c));
      f.pic.v.push_back(kFileToPalette[c]);
    }
  }
  return f;
}

std::function<int(int, int)> busyPattern(int salt) {
  return [salt](int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u ^
                 static_cast<uint32_t>(salt) * 2246822519u;
    h ^= h >> 13;
    h *= 3266489917u;
    h ^= h >> 16;
    if ((h & 3) == 0) return 0;
    return 1 + static_cast<int>((h >> 4) % 15);
  };
}

void blit(Screen& s, const Pic& p, int character, int offsetX, int offsetY) {
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      const int x = c + offsetX, y = r + offsetY;
      if (x < 0 || x >= p.w || y < 0 || y >= p.h) continue;
      if (p.at(x, y) != 0) s.set(c, r, character, p.at(x, y), 0);
    }
  }
}

namespace {
template <typename Look>
void turned(Screen& s, const Pic& p, double angle, double scaleX, double scaleY, Look look) {
  const int cx = p.w / 2, cy = p.h / 2;
  for (int Y = 0; Y < std::min(50, p.h); ++Y) {
    for (int X = 0; X < std::min(80, p.w); ++X) {
      const double x = X - cx, y = Y - cy;
      const double u = cx + std::trunc((x * std::cos(angle) + y * std::sin(angle)) * scaleX);
      const double v = cy + std::trunc((y * std::cos(angle) - x * std::sin(angle)) * scaleY);
      const int value = look(u, v);
      if (value > 0) s.set(X, Y, kBlock, value, 0);
    }
  }
}
}  // namespace

void rotated(Screen& s, const Pic& p, double angle, double scaleX, double scaleY) {
  turned(s, p, angle, scaleX, scaleY, [&p](double u, double v) {
    if (u < 0 || u >= p.w || v < 0 || v >= p.h) return 0;
    return static_cast<int>(p.at(static_cast<int>(u), static_cast<int>(v)));
  });
}

void rotatedClamped(Screen& s, const Pic& p, double angle) {
  turned(s, p, angle, 1.0, 1.0, [&p](double u, double v) {
    u = std::min(std::max(u, 0.0), p.w - 1.0);
    v = std::min(std::max(v, 0.0), p.h - 1.0);
    return static_cast<int>(p.at(static_cast<int>(u), static_cast<int>(v)));
  });
}

void rowWave(Screen& s, const Pic& p, double phase, double amplitude, double frequency) {
  for (int r = 0; r < 50; ++r) {
    const double shift = amplitude * std::sin(r * frequency + phase);
    for (int c = 0; c < 80; ++c) {
      const double u = std::trunc(c + shift);
      if (u >= 0 && u <= 79) s.set(c, r, kBlock, p.v[static_cast<size_t>(p.w) * r + static_cast<int>(u)], 0);
    }
  }
}

void columnWave(Screen& s, const Pic& p, int offsetX, double phase, double amplitude, double frequency) {
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 80; ++c) {
      const double v = std::trunc(r + amplitude * std::sin(c * frequency + phase));
      const long long x = static_cast<long long>(c) + offsetX;
      if (v < 0 || v >= p.h || x < 0 || x >= p.w) continue;
      const int value = p.at(static_cast<int>(x), static_cast<int>(v));
      if (value != 0) s.set(c, r, kBlock, value, 0);
    }
  }
}

void Stars::build(Rand& r) {
  for (int i = 0; i < 30; ++i) {
    x[i] = 0;
    y[i] = r.next() % 50;
    speed[i] = r.next() % 6 + 1;
  }
}

void Stars::step(Rand& r) {
  for (int i = 0; i < 30; ++i) {
    x[i] += speed[i];
    if (x[i] < 0 || x[i] > 79) {
      x[i] = 0;
      y[i] = r.next() % 50;
      speed[i] = r.next() % 6 + 1;
    }
  }
}

void Stars::draw(Screen& s) const {
  for (int i = 0; i < 30; ++i) s.set(x[i], y[i], '.', speed[i] > 3 ? 15 : 8, 0);
}

void starsUpdate(Stars& stars, Clock& clock, uint32_t now, Rand& r, Screen& s) {
  if (!clock.started) {
    clock.started = true;
    clock.time = now;
  }
  while (clock.time < now) {
    clock.time += 20;
    stars.step(r);
  }
  stars.draw(s);
}

Roto::Roto(const Pic& texture) : tex(texture) {
  for (int i = 0; i < 256; ++i) {
    const double s = std::sin(i * 1.41176 * 0.0174532);
    dir[i] = static_cast<int>((s + 0.8) * 4096);
    zt[i] = static_cast<int>(s * 2.0 * 4096.0);
  }
}

void Roto::draw(Screen& s) const {
  const int p = dir[angle];
  const int q = dir[(angle + 128) % 256];
  const int z = 10 * zt[zoom];
  const int A = (p * z) >> 12;
  const int B = (q * z) >> 12;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 80; ++x) {
      const int u = x * A - y * B;
      const int v = x * B + y * A;
      const int texel = tex.at((u >> 12) & 255, (v >> 12) & 255);
      int column = x, row = y;
      if (mirror == 1) row = 49 - y;
      if (mirror == 2) column = 79 - x;
      if (mirror == 3) {
        row = 49 - y;
        column = 79 - x;
      }
      s.set(column, row, kBlock, texel, 0);
    }
  }
}

void Roto::advance(Clock& clock, uint32_t now) {
  if (!clock.started) {
    clock.started = true;
    clock.time = now;
  }
  if (clock.time < now) {
    const uint32_t n = (now - clock.time - 1) / 20 + 1;
    clock.time += 20 * n;
    angle = static_cast<int>(((angle - static_cast<long long>(n)) % 256 + 256) % 256);
    zoom = static_cast<int>((zoom + n) % 256);
  }
}

void Fire::drift() {
  if (rate > 0 && target < cooling) cooling -= rate;
  if (rate <= 0 && cooling < target) cooling -= rate;
}

void Fire::tick(Rand& r) {
  const int W3 = 3 * width, H2 = 2 * height;
  drift();
  for (int y = 1; y <= H2 - 1; ++y) {
    for (int x = 0; x <= W3 - 1; ++x) {
      int sum = 0, n = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          if (y + dy > H2 - 1 || x + dx < 0 || x + dx > W3 - 1) continue;
          sum += at(y + dy, x + dx);
          ++n;
        }
      }
      at(y - 1, x) = static_cast<unsigned char>(static_cast<int>(sum / (n + cooling)));
    }
  }
  for (int i = 0; i < sparks; ++i) {
    for (int k = 0; k < 3; ++k) at(H2 - 1, r.next() * (W3 - 1) / 32767) = 0;
    if (!stopped)
      at(H2 - 1, r.next() * (W3 - 1) / 32767) = 255;
    else
      at(H2 - 1, W3 - 1) = 0;
  }
}

void Fire::tickShaded(Rand& r, uint32_t tickAt, bool f8, bool f9) {
  const int W3 = 3 * width, H2 = 2 * height;
  drift();
  if (f9) stopped = 1;
  if (f8) stopped = 0;
  for (int y = 2; y <= H2 - 2; ++y) {
    for (int x = 2; x <= W3 - 2; ++x) {
      cooling = 0.25 - 0.2 * std::sin(tickAt * 0.01);
      const int sy = y < H2 / 2 ? y + 1 : y - 1;
      const int sx = x < W3 / 2 ? x + 2 : x - 2;
      int sum = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (dx != 0 || dy != 0) sum += at(sy + dy, sx + dx);
      at(y, x) = static_cast<unsigned char>(static_cast<int>(sum / (8 + cooling)));
    }
  }
  for (int i = 0; i < sparks; ++i) {
    for (int k = 0; k < 3; ++k) {
      const int row = H2 / 2 - 6 + r.next() % 12;
      const int column = W3 / 2 - 6 + r.next() % 12;
      at(row, column) = 0;
    }
    if (!stopped) {
      const int row = H2 / 2 - 6 + r.next() % 12;
      const int column = W3 / 2 - 6 + r.next() % 12;
      at(row, column) = 255;
    } else {
      heat.back() = 0;
    }
  }
}

void Fire::draw(Screen& s, int character) {
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      int v = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 3; ++dx) v += at(2 * r + dy, 3 * c + dx);
      v = (v / 3) % 256;
      const int level = (v / 10) % 25;
      if (level == 0) continue;
      const int ramp = level == 1 ? 0x04 : level <= 6 ? 0x0C : level <= 15 ? 0x0E : 0x0F;
      s.set(c, r, character == -1 ? 136 + v / 4 : character, ramp & 15, ramp >> 4);
    }
  }
}

::testing::AssertionResult sameScreen(const AsciiEngine& e, const Screen& want) {
  std::ostringstream out;
  int differing = 0;
  for (int i = 0; i < kCells; ++i) {
    if (e.chars[i] == want.ch[i] && e.fg[i] == want.fg[i] && e.bg[i] == want.bg[i]) continue;
    if (++differing <= 5) {
      out << " (" << i % kCols << "," << i / kCols << "): got " << int(e.chars[i]) << "/" << int(e.fg[i]) << "/"
          << int(e.bg[i]) << " want " << int(want.ch[i]) << "/" << int(want.fg[i]) << "/" << int(want.bg[i]) << ";";
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " cells differ:" << out.str();
}

}  // namespace audit
