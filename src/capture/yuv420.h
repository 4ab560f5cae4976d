#pragma once

#include <cstddef>
#include <cstdint>

// Two rows of B, G, R, A pixels (width even) to the 4:2:0 planes H.264 takes:
// studio-range BT.709, as the recordings are tagged. Luma per pixel; each
// colour sample from the 2 x 2 pixels it covers.
void bgraRowsToYuv420(const uint8_t* upper, const uint8_t* lower, int width, uint8_t* lumaUpper, uint8_t* lumaLower,
                      uint8_t* blueDifference, uint8_t* redDifference);

// One pixel of B, G, R, A to Y, Cb, Cr, 0, as bgraToYuvPixels does.
void bgraPixelToYuv(const uint8_t* bgra, uint8_t* yuv);

// Pixels of B, G, R, A to pixels of Y, Cb, Cr, 0 (the same conversion, with
// colour at every pixel): a picture converted before it is magnified costs
// its own pixels' conversions instead of the frame's.
void bgraToYuvPixels(const uint8_t* bgra, size_t count, uint8_t* yuv);

// Two rows of such Y, Cb, Cr, 0 pixels (width even) to the 4:2:0 planes:
// luma as it is, each colour sample the mean of its 2 x 2 pixels.
void yuvRowsToYuv420(const uint8_t* upper, const uint8_t* lower, int width, uint8_t* lumaUpper, uint8_t* lumaLower,
                     uint8_t* blueDifference, uint8_t* redDifference);
