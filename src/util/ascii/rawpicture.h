#pragma once

class AsciiEngine;

// A text-screen picture: width x height palette indices (0 = transparent),
// row-major with row 0 at the top, drawn into the engine it was loaded for.
// The files (".raw") carry no header; the caller supplies the size. Their
// colour numbers have red in bit 0 and blue in bit 2, so loading swaps those
// two bits through `remap`.
class RawPicture {
 public:
  RawPicture();
  ~RawPicture();
  RawPicture(const RawPicture&) = delete;
  RawPicture& operator=(const RawPicture&) = delete;

  AsciiEngine* engine;
  int width;
  int height;
  unsigned char remap[16];
  unsigned char* data;

  // Fills this picture from the archive file `fileName` and returns it.
  // A missing, short, long or corrupt file is fatal.
  RawPicture* load(AsciiEngine* engine, int width, int height, const char* fileName);

  // Screen cell (c, r) shows element (c + offsetX, r + offsetY) as
  // `character` on black; transparent elements leave the cell alone.
  void draw(int character, int offsetX, int offsetY);

  // The effect blits below draw full blocks (219) in the element's colour on
  // black over the screen area columns 0..min(80, width)-1 and rows
  // 0..min(50, height)-1 (wave blits: the whole screen).

  // Rotation (radians) and scaling about the picture's centre; a scale above
  // 1 shows more of the picture. Outside the picture and on 0 the cell stays.
  void drawRotated(double angle, double scaleX, double scaleY);
  // Rotation without scaling; coordinates outside the picture are clamped to
  // its border, so the edge elements stretch outwards.
  void drawRotatedClamped(double angle);
  // Row r shows the picture shifted sideways by amplitude*sin(r*frequency +
  // phase) columns. Not transparent: 0 elements draw black blocks.
  void drawRowWave(double phase, double amplitude, double frequency);
  // Column c shows the picture (scrolled left by offsetX) shifted vertically
  // by amplitude*sin(c*frequency + phase) rows; 0 elements are transparent.
  void drawColumnWave(int offsetX, double phase, double amplitude, double frequency);
};
