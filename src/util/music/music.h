#pragma once

#include <cstdint>
#include <string>

class MidiSong;

// The song the show plays, a file of the data archive.
extern const char* const music_file;

// The song and the show's only clock: the stream position in beats.
class Music {
 public:
  // Loads the configured song from the data archive.
  Music();
  // Loads `fileName` instead: ".mp3" and ".ogg" as a stream, ".xml" as a
  // sync configuration (the extension compared in lower case).
  explicit Music(const char* fileName);
  // Tests and the preview tool: a stream without an audio device whose
  // position (and spectrum) the caller sets by hand.
  struct Manual {};
  explicit Music(Manual);
  // Frees the stream (the audio layer stops playing it), its bytes and the
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
  uint32_t stream;
  int32_t lengthSeconds;
  uint64_t lengthBytes;

  void loadStream(const char* name);
  void loadMidi(const char* name);
  void play();
  void update();
  // Position in seconds x 1/60 x bpm + beatOffset, read fresh from the stream.
  float beatTime() const;
  void fillSpectrum(float* out);

  // Manual streams only.
  void setManualPosition(double seconds);
  void setManualSpectrum(const float* magnitudes512);

 private:
  void resetFields();
  char* streamBytes_;  // malloc'd; the stream plays from it
  std::string streamFailure_;  // why loadStream made no stream

};
