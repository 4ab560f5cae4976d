#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class Modulator;

// One note pitch of a track: its on and off times alternate, an on stored as
// +beat and an off as -beat; `velocities` holds the note-on velocity of each
// on and 0 for each off.
struct MidiNote {
  uint8_t pitch;
  char name[7];  // "C5", "C#5", ...
  int32_t cursor;
  std::vector<float> times;
  std::vector<uint8_t> velocities;
};

// The changes of one controller: beats and values (0..127).
struct ControllerTrack {
  std::vector<float> times;
  std::vector<uint8_t> values;
};

// The controller changes of a track, held only for the controllers that
// change: a file of many tracks must not cost 128 empty lists per track.
class ControllerSet {
 public:
  // The changes of controller `number` (0..127); empty when it never changes.
  const ControllerTrack& operator[](int number) const;
  // The changes of controller `number`, made on first use.
  ControllerTrack& track(int number);
  // Controllers that change.
  size_t used() const { return tracks_.size(); }

 private:
  std::vector<std::pair<uint8_t, ControllerTrack>> tracks_;
};

class MidiTrack {
 public:
  MidiTrack();
  ~MidiTrack();
  MidiTrack(MidiTrack&& other) noexcept;
  MidiTrack& operator=(MidiTrack&& other) noexcept;
  MidiTrack(const MidiTrack&) = delete;
  MidiTrack& operator=(const MidiTrack&) = delete;

  char* name;  // track name (malloc'd) or null
  int32_t noteEventCount;
  std::vector<MidiNote> notes;  // in order of each pitch's first event
  ControllerSet controllers;  // every controller but volume and pan
  float volume;  // raw value of the last controller 7 change
  float pan;     // raw value of the last controller 10 change
  std::vector<Modulator*> modulators;  // owned; bound by the sync configuration
};

// A Standard MIDI File read into beats: per track the on/off times of every
// pitch and the controller changes, per song tempo, signatures and texts.
// Every error in the file is fatal.
class MidiSong {
 public:
  // Parses the archive file `name` (data_load_file).
  explicit MidiSong(const char* name);
  ~MidiSong();
  MidiSong(const MidiSong&) = delete;
  MidiSong& operator=(const MidiSong&) = delete;

  std::vector<MidiTrack> tracks;  // tracks with at least one note event, in file order
  char* copyright;  // malloc'd or null
  char* text;       // malloc'd or null
  float tempo;      // beats per minute
  uint8_t numerator;
  uint8_t denominator;  // the note value (4 = quarter)
  uint8_t clocksPerClick;
  uint8_t thirtySecondsPerQuarter;
  int8_t keySharps;  // negative: flats
  bool keyMinor;

 private:
  void parse(const unsigned char* data, uint32_t size);
  void parseTrack(const unsigned char* data, uint32_t start, uint32_t end, uint16_t division);
  void parseMeta(const unsigned char* data, uint32_t& pos, uint32_t end, MidiTrack& track);
};

// Name of note number `pitch`: "C0" for 0, "C5" for 60, "C#5" for 61.
// `out` holds at least 7 bytes.
void noteName(uint8_t pitch, char* out);
