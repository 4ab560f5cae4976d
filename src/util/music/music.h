#pragma once

#include <cstdint>
#include <string>

class MidiSong;
class SongPlayer;

// The song the show plays, a file of the data archive.
extern const char* const music_file;

// The song and the show's only clock: the stream position in beats.
class Music {
 public:
  // Loads the configured song from the data archive, to play on `player`.
  explicit Music(SongPlayer& player);
  // Loads `fileName` instead: ".mp3" and ".ogg" as a stream, ".xml" as a
  // sync configuration (the extension compared in lower case).
  Music(const char* fileName, SongPlayer& player);
  // Stepped clocks and tests: a song without sound whose position (and
  // spectrum) the caller sets by hand.
  struct Manual {};
  explicit Music(Manual);
  // Nothing loaded yet: loadStream() or a sync configuration loads the song
  // to play on `player` (the fuzzing harness feeds one configuration after another).
  struct Unloaded {};
  Music(Unloaded, SongPlayer& player);
  // Frees the stream (the player stops playing it), its bytes and the
  // MIDI song with its modulators.
  ~Music();
  Music(const Music&) = delete;
  Music& operator=(const Music&) = delete;

  MidiSong* midi;
  float bpm;
  float beatOffset;
  float beatWindow[10];
  float beatStep;
  int32_t posWindow[10];
  int32_t posStep;
  uint32_t stream;  // the player's; 0 for none (a manual song has none)
  int32_t lengthSeconds;
  uint64_t lengthBytes;

  void loadStream(const char* name);
  void loadMidi(const char* name);
  void play();
  void update();
  // Position in seconds x 1/60 x bpm + beatOffset, read fresh from the stream.
  float beatTime() const;
  void fillSpectrum(float* out);

  // Volume 0..1 of the playing stream.
  void setVolume(float volume);
  // The stream's length in seconds; negative when unknown (no stream, a manual song).
  double exactLengthSeconds() const;

  // Manual songs only.
  void setManualPosition(double seconds);
  void setManualSpectrum(const float* magnitudes512);

  static constexpr int kSpectrumBins = 512;

 private:
  void resetFields();
  uint64_t positionBytes() const;
  double secondsOf(uint64_t bytes) const;

  SongPlayer* player_;  // null: a manual song
  char* streamBytes_;  // malloc'd; the stream plays from it
  std::string streamFailure_;  // why loadStream made no stream
  uint64_t manualBytes_;
  float manualSpectrum_[kSpectrumBins];

};
