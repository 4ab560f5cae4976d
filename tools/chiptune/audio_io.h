#pragma once

// PCM in and out: WAV files for analysis, MP3 encoding with LAME (fixed
// settings, so the same PCM always gives the same bytes) and MP3 decoding with
// libmpg123 for checking what a player will hear.

#include <cstdint>
#include <string>
#include <vector>

namespace chiptune {

// 16-bit stereo 44100 Hz RIFF/WAVE.
std::vector<uint8_t> encodeWav(const std::vector<int16_t>& interleaved);
// Reads a 16-bit PCM WAV; false with a message for anything else.
bool decodeWav(const std::vector<uint8_t>& file, std::vector<int16_t>& interleaved, int& channels, int& rate,
               std::string& error);

// CBR 160 kbit/s joint stereo, quality 3, with a LAME/Info tag that records
// the encoder delay and padding so decoders can trim them.
bool encodeMp3(const std::vector<int16_t>& interleaved, std::vector<uint8_t>& mp3, std::string& error);

// Decodes to 44100 Hz stereo 16-bit. With gapless on, the encoder delay and
// padding recorded in the tag are removed (the player's view of the stream).
bool decodeMp3(const std::vector<uint8_t>& mp3, bool gapless, std::vector<int16_t>& interleaved,
               std::string& error);

bool readBinaryFile(const std::string& path, std::vector<uint8_t>& out);
bool writeBinaryFile(const std::string& path, const void* data, size_t size);

}  // namespace chiptune
