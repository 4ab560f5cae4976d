#pragma once

#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "util/music/song_player.h"

// The archive file `name` decoded whole to 44100 Hz interleaved stereo 16-bit
// frames; false when it is missing or holds no playable audio.
bool decodeSong(const char* name, std::vector<int16_t>& stereo);
// The same for a song's bytes; `why` (when given) gets the decoder's reason.
bool decodeSongBytes(const uint8_t* bytes, size_t size, std::vector<int16_t>& stereo, std::string* why = nullptr);

// A song decoded to mono samples, for the spectrum the analyser would see
// at any position without an audio device (stepped show clocks).
class DecodedSong {
 public:
  static constexpr int kBins = 512;

  // Decodes the archive file `name`; false when it is missing or silent.
  bool load(const char* name);
  bool loaded() const { return !mono_.empty(); }
  double seconds() const { return mono_.size() / 44100.0; }

  // The magnitudes of the 1024 samples that end at `seconds`, as the audio
  // layer computes them for the samples just heard.
  void spectrum(double seconds, float* out512) const;

 private:
  std::vector<float> mono_;  // -1..1
};

// The analysis a player hands out for an archive song: the whole song
// decoded once; null when it is missing or silent.
std::unique_ptr<SongAnalysis> analyseDecodedSong(const char* name);
