#pragma once

// The song as written in assets/music: instruments, voices, patterns and the
// order list, flattened into one list of notes per voice. The notation is
// described in assets/music/README.md.

#include <cstdint>
#include <utility>
#include <string>
#include <vector>

namespace chiptune {

// Score time unit: ticks per beat (quarter note). Also the MIDI division.
constexpr int kTicksPerBeat = 480;

enum class Wave { Pulse, Triangle, Noise, None };
enum class ArpMode { Up, Down, UpDown };

struct Instrument {
  std::string name;
  Wave wave = Wave::Pulse;
  // Duty cycle steps: duty[0] at the note start, then the next entry every
  // dutyStep seconds; the last one holds.
  std::vector<double> duty{0.5};
  double dutyStep = 0.05;
  // Envelope (seconds, sustain level 0..1). Attack and release never go
  // below the click-free minimums of the synthesiser.
  double attack = 0.002, decay = 0.2, sustain = 0.6, release = 0.03;
  // Vibrato: depth in semitones, rate in Hz, delay in seconds before it fades in.
  double vibDepth = 0.0, vibRate = 6.0, vibDelay = 0.15;
  // Pitch sweep at the note start: from +sweepSemis to 0 over sweepTime seconds.
  double sweepSemis = 0.0, sweepTime = 0.05;
  // Fixed pitch in Hz for drum voices (0 = use the note's pitch).
  double freq = 0.0;
  // Noise: clock rate of the shift register and its short (metallic) mode.
  double noiseRate = 16000.0;
  bool noiseShort = false;
  // Extra noise layer with its own exponential decay (drums).
  double noiseLevel = 0.0, noiseDecay = 0.05;
  // Arpeggio step for chords, in beats.
  double arpStep = 1.0 / 12.0;
  ArpMode arpMode = ArpMode::Up;
  // One-pole filters (Hz; 0 = off).
  double lowpass = 0.0, highpass = 0.0;
  // Share of the voice sent to the echo.
  double echo = 0.0;
  double gain = 1.0;
};

struct Voice {
  std::string name;
  int channel = 0;         // MIDI channel 0..15
  int drumNote = -1;       // drum voices: the MIDI note of every hit
  double pan = 0.0;        // -1 left .. 1 right
  double gain = 0.5;
  int instrument = 0;      // default instrument index
  std::vector<int> choke;  // voices silenced when this one strikes
};

struct Note {
  int64_t start = 0;           // ticks
  int64_t length = 0;          // ticks from start to the next event slot
  int gate = 8;                // sounding share of length, in eighths
  std::vector<int> pitches;    // MIDI note numbers; more than one = chord
  int velocity = 12;           // 0..15
  int instrument = 0;
  // Sounding length in ticks (gate applied).
  int64_t soundingTicks() const { return length * gate / 8; }
};

// One binding of the sync configuration: a modulator on a voice track.
struct SyncBinding {
  std::string element;  // XML element name
  std::string voice;    // track it is bound to
  std::string kind;     // "envelope", "lfo" or "arp"
  std::vector<std::pair<std::string, std::string>> params;  // key=value, in order
  const std::string* param(const std::string& key) const;
};

struct SyncTemplate {
  std::string file;
  struct Range { int min, max; std::string length; };
  std::vector<Range> ranges;
};

struct Score {
  std::string title;
  std::string copyright;
  double tempo = 200.0;
  int lengthBeats = 0;
  int keySharps = 0;
  bool keyMinor = false;
  double echoDelayBeats = 0.75, echoFeedback = 0.3, echoMix = 1.0, echoLowpass = 4000.0;
  double peakDb = -3.0;  // the mix is scaled to this peak before encoding
  double limitDb = 0.0;  // drive into the limiter: peaks this far above peakDb are held down
  std::vector<Instrument> instruments;
  std::vector<Voice> voices;
  std::vector<std::vector<Note>> notes;  // per voice, sorted by start
  std::vector<SyncBinding> sync;
  std::vector<SyncTemplate> templates;
  std::string syncStream, syncMidi;

  int findVoice(const std::string& name) const;
  int findInstrument(const std::string& name) const;
  int64_t lengthTicks() const { return int64_t(lengthBeats) * kTicksPerBeat; }
};

// Parses a score. On failure returns false and sets error to "line N: ...".
bool parseScore(const std::string& text, Score& score, std::string& error);

// Reads a whole text file; false when it cannot be read.
bool readTextFile(const std::string& path, std::string& out);

// Note length in ticks of a note value (4 = quarter); 0 when it does not fit
// the tick grid.
int64_t noteValueTicks(int value, int dots);

}  // namespace chiptune
