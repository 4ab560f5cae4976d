#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Audio made by the tests themselves: PCM signals and their MP3 (LAME) and
// Ogg Vorbis (libvorbisenc) encodings, all in memory.
namespace audio_fixtures {

// Interleaved 16-bit PCM with `channels` channels.
struct Pcm {
  int channels = 2;
  int rate = 44100;
  std::vector<int16_t> samples;
  size_t frames() const { return samples.size() / channels; }
};

// A sine of `hz` at `amplitude` (1.0 = full scale) on every channel.
Pcm sine(double seconds, double hz, double amplitude, int channels = 2, int rate = 44100);

// A busy stereo signal for timing runs: chords of sines that change every
// 0.3 s with noise bursts on the beat, deterministic.
Pcm testSong(double seconds);

// A sine whose frequency is centred on bin `bin` of a 1024-point FFT at 44100 Hz.
double binFrequency(int bin);

struct Mp3Options {
  bool infoTag = true;  // the Xing/LAME frame that records delay and padding
  int bitrate = 128;
  int quality = 7;  // LAME's algorithm quality, 0 best .. 9 fastest
};
std::vector<uint8_t> encodeMp3(const Pcm& pcm, const Mp3Options& options = {});
std::vector<uint8_t> encodeOgg(const Pcm& pcm, float quality = 0.3f);

// Plays through SDL's dummy driver (real-time pace, no sound card) unless
// SDL_AUDIODRIVER already names a driver.
void useDummyAudioDevice();

// The bytes as a string, the form the test archive takes.
std::string asString(const std::vector<uint8_t>& bytes);

}  // namespace audio_fixtures
