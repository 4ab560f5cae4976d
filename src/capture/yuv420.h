#pragma once

#include <cstdint>

// Two rows of B, G, R, A pixels (width even) to the 4:2:0 planes H.264 takes:
// studio-range BT.709, as the recordings are tagged. Luma per pixel; each
// colour sample from the 2 x 2 pixels it covers.
void bgraRowsToYuv420(const uint8_t* upper, const uint8_t* lower, int width, uint8_t* lumaUpper, uint8_t* lumaLower,
                      uint8_t* blueDifference, uint8_t* redDifference);
