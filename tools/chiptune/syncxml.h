#pragma once

// The XML sync configuration of the song and its rate-table templates: the
// configuration names the MP3 and the MIDI file (relative to its own folder)
// and binds envelopes, oscillators and arpeggiators to the voice tracks.

#include <string>

#include "score.h"

namespace chiptune {

// Both return false with a message when a binding is incomplete or invalid.
bool writeSyncConfig(const Score& score, std::string& xml, std::string& error);
bool writeSyncTemplate(const Score& score, const std::string& file, std::string& xml, std::string& error);

}  // namespace chiptune
