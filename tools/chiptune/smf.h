#pragma once

// Writes the score's notes as a Standard MIDI File: format 1, a conductor
// track (title, copyright, text, tempo, time and key signature) and one named
// track per voice with its notes, volume, pan and modulation-wheel changes.
// Only events a small sync-side reader understands are used: no program
// changes, no system-exclusive data, no markers, lyrics or cue points.

#include <cstdint>
#include <vector>

#include "score.h"

namespace chiptune {

std::vector<uint8_t> writeMidi(const Score& score);

// MIDI velocity of a score velocity (0..15).
int midiVelocity(int velocity);

}  // namespace chiptune
