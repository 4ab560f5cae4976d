#include "util/music/midi.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "util/data/data.h"
#include "util/error.h"
#include "util/music/modulators/modulator.h"

namespace {

// Every read checks that its bytes lie before `end` (the end of the current
// chunk, or of the file for the header), so a damaged length can never lead
// the parser outside the loaded data.
void need(uint32_t pos, uint32_t end, uint32_t count, const char* what) {
  if (pos > end || count > end - pos)
    ErrorBox("  MIDI data ends inside %s at byte %u, corrupt MIDI file? Panicking!", what, pos);
}

// Reads `bytes` (1..4) bytes, most significant first, and moves past them.
uint32_t readBigEndian(const unsigned char* data, uint32_t& pos, uint32_t end, int bytes, const char* what) {
  if (data == nullptr) ErrorBox("NULL-buffer specified");
  if (bytes < 1 || bytes > 4) ErrorBox("bytes must be in range 1..4!");
  need(pos, end, static_cast<uint32_t>(bytes), what);
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | data[pos++];
  return value;
}

// Variable-length quantity: seven bits a byte, the last byte without its top
// bit, at most four bytes. False when the fourth byte still has its top bit.
bool readVariableLength(const unsigned char* data, uint32_t& pos, uint32_t end, const char* what, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    need(pos, end, 1, what);
    const unsigned char b = data[pos++];
    value = (value << 7) | (b & 0x7Fu);
    if ((b & 0x80u) == 0) return true;
  }
  return false;
}

uint32_t readDeltaTime(const unsigned char* data, uint32_t& pos, uint32_t end) {
  uint32_t value = 0;
  if (!readVariableLength(data, pos, end, "a delta time", value)) ErrorBox("Found 4 bytes of delta time without a 0 MSB");
  return value;
}

char* copyText(const unsigned char* from, uint32_t length) {
  char* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) ErrorBox("Out of memory reading MIDI text");
  std::memcpy(text, from, length);
  text[length] = '\0';
  return text;
}

// An off is stored as -beat; the sign bit (not `< 0`) tells them apart, so an
// off at beat 0 (-0.0) still counts as an off.
bool isOff(float time) { return std::signbit(time); }

void addNoteEvent(MidiTrack& track, uint8_t pitch, uint8_t velocity, float beat) {
  ++track.noteEventCount;
  MidiNote* note = nullptr;
  for (MidiNote& n : track.notes) {
    if (n.pitch == pitch) {
      note = &n;
      break;
    }
  }
  if (note == nullptr) {
    track.notes.emplace_back();
    note = &track.notes.back();
    note->pitch = pitch;
    noteName(pitch, note->name);
    note->cursor = -1;
  }
  // Keep on and off alternating: a repeated on or off is dropped.
  if (velocity > 0) {
    if (note->times.empty() || isOff(note->times.back())) {
      note->times.push_back(beat);
      note->velocities.push_back(velocity);
    }
  } else if (note->times.empty() || !isOff(note->times.back())) {
    note->times.push_back(-beat);
    note->velocities.push_back(0);
  }
}

}  // namespace

const ControllerTrack& ControllerSet::operator[](int number) const {
  static const ControllerTrack kNoChanges;
  for (const auto& entry : tracks_) {
    if (entry.first == number) return entry.second;
  }
  return kNoChanges;
}

ControllerTrack& ControllerSet::track(int number) {
  for (auto& entry : tracks_) {
    if (entry.first == number) return entry.second;
  }
  tracks_.emplace_back(static_cast<uint8_t>(number), ControllerTrack());
  return tracks_.back().second;
}

MidiTrack::MidiTrack() : name(nullptr), noteEventCount(0), volume(0.78125f), pan(0.5f) {}

MidiTrack::~MidiTrack() {
  std::free(name);
  for (Modulator* m : modulators) delete m;
}

MidiTrack::MidiTrack(MidiTrack&& other) noexcept
    : name(other.name),
      noteEventCount(other.noteEventCount),
      notes(std::move(other.notes)),
      controllers(std::move(other.controllers)),
      volume(other.volume),
      pan(other.pan),
      modulators(std::move(other.modulators)) {
  other.name = nullptr;
  other.modulators.clear();
}

MidiTrack& MidiTrack::operator=(MidiTrack&& other) noexcept {
  if (this == &other) return *this;
  std::free(name);
  for (Modulator* m : modulators) delete m;
  name = other.name;
  noteEventCount = other.noteEventCount;
  notes = std::move(other.notes);
  controllers = std::move(other.controllers);
  volume = other.volume;
  pan = other.pan;
  modulators = std::move(other.modulators);
  other.name = nullptr;
  other.modulators.clear();
  return *this;
}

MidiSong::MidiSong(const char* name)
    : copyright(nullptr),
      text(nullptr),
      tempo(120.0f),
      numerator(4),
      denominator(4),
      clocksPerClick(24),
      thirtySecondsPerQuarter(8),
      keySharps(0),
      keyMinor(false) {
  int size = 0;
  // Owned here so that a report that does not end the process (the fuzz
  // harness turns them into exceptions) still frees the file.
  const std::unique_ptr<char, void (*)(void*)> data(data_load_file(name, &size, true), std::free);
  if (data == nullptr) ErrorBox("NULL-buffer specified");
  parse(reinterpret_cast<const unsigned char*>(data.get()), static_cast<uint32_t>(size));
}

MidiSong::~MidiSong() {
  std::free(copyright);
  std::free(text);
}

void MidiSong::parse(const unsigned char* data, uint32_t size) {
  if (size < 5 || std::memcmp(data, "MThd", 5) != 0)
    ErrorBox("  Unknown header info, MIDI file format not recognized\n");

  // The header is taken to be 6 bytes long whatever its length field says;
  // the format word is not needed.
  uint32_t pos = 10;
  const uint32_t trackCount = readBigEndian(data, pos, size, 2, "the header");
  const uint16_t division = static_cast<uint16_t>(readBigEndian(data, pos, size, 2, "the header"));
  if (division == 0) ErrorBox("  Time division of 0 ticks per quarter note, corrupt MIDI file? Panicking!");

  for (uint32_t t = 0; t < trackCount; ++t) {
    need(pos, size, 4, "a track chunk header");
    if (std::memcmp(data + pos, "MTrk", 4) != 0)
      ErrorBox(" Could not find track chunk header, unrecognized file format!\n");
    pos += 4;
    const uint32_t length = readBigEndian(data, pos, size, 4, "a track chunk header");
    if (length > size - pos)
      ErrorBox("  Track chunk %u claims %u bytes but the file has %u left, corrupt MIDI file? Panicking!", t + 1,
               length, size - pos);
    parseTrack(data, pos, pos + length, division);
    pos += length;
  }
}

void MidiSong::parseTrack(const unsigned char* data, uint32_t start, uint32_t end, uint16_t division) {
  MidiTrack track;
  uint32_t pos = start;
  uint32_t ticks = 0;
  unsigned char status = 0;

  // The chunk length ends the track, not the end-of-track event.
  while (pos < end) {
    ticks += readDeltaTime(data, pos, end);
    const float beat = static_cast<float>(ticks) / static_cast<float>(division);

    need(pos, end, 1, "an event");
    if (data[pos] & 0x80u) status = data[pos++];  // otherwise running status

    if (status == 0xF0 || status == 0xF7) ErrorBox("  Got SysEx event, not supported yet, panicking!");
    if (status == 0xFF) {
      parseMeta(data, pos, end, track);
      continue;
    }

    switch (status >> 4) {
      case 0x8:
      case 0x9: {
        need(pos, end, 2, "a note event");
        const uint8_t pitch = data[pos];
        // A note off is a note on with velocity 0; its own velocity is not used.
        const uint8_t velocity = (status >> 4) == 0x9 ? data[pos + 1] : 0;
        pos += 2;
        addNoteEvent(track, pitch, velocity, beat);
        break;
      }
      case 0xA:  // polyphonic aftertouch
      case 0xE:  // pitch bend
        need(pos, end, 2, "a channel event");
        pos += 2;
        break;
      case 0xB: {
        need(pos, end, 2, "a controller change");
        const uint8_t number = data[pos];
        const uint8_t value = data[pos + 1];
        if (number > 127) ErrorBox("  Controller number %u out of range, corrupt MIDI file? Panicking!", number);
        pos += 2;
        if (number == 7) {
          track.volume = value;
        } else if (number == 10) {
          track.pan = value;
        } else {
          ControllerTrack& changes = track.controllers.track(number);
          changes.times.push_back(beat);
          changes.values.push_back(value);
        }
        break;
      }
      case 0xC:  // program change: the instrument is the sync configuration's business
      case 0xD:  // channel aftertouch
        need(pos, end, 1, "a channel event");
        pos += 1;
        break;
      default: {
        // No status yet, or a system message other than SysEx and meta.
        const unsigned char here = pos < end ? data[pos] : status;
        ErrorBox("Unknown event %x from %x, corrupt MIDI file? Panicking!", here >> 4, here);
      }
    }
  }

  if (track.noteEventCount >= 1) tracks.push_back(std::move(track));
}

void MidiSong::parseMeta(const unsigned char* data, uint32_t& pos, uint32_t end, MidiTrack& track) {
  need(pos, end, 1, "a meta event");
  const unsigned char type = data[pos++];
  // A variable-length quantity like the delta times; below 128 it is one byte.
  uint32_t length = 0;
  if (!readVariableLength(data, pos, end, "a meta event", length))
    ErrorBox("  Meta event 0x%02X has a length of more than 4 bytes, corrupt MIDI file? Panicking!", type);

  switch (type) {
    case 0x01:
      if (length == 0 || text != nullptr) ErrorBox("Retrieving text info failed!");
      need(pos, end, length, "a text event");
      text = copyText(data + pos, length);
      break;
    case 0x02:
      if (length == 0 || copyright != nullptr) ErrorBox("Retrieving copyright info failed!");
      need(pos, end, length, "a copyright event");
      copyright = copyText(data + pos, length);
      break;
    case 0x03:
      if (length == 0 || track.name != nullptr) ErrorBox("Retrieving track name failed!");
      need(pos, end, length, "a track name event");
      track.name = copyText(data + pos, length);
      break;
    case 0x2F:
      if (length != 0x00) ErrorBox("Expected 0x00");
      break;
    case 0x51: {
      if (length != 0x03) ErrorBox("Expected 0x03");
      uint32_t at = pos;
      const uint32_t microseconds = readBigEndian(data, at, end, 3, "a tempo event");
      if (microseconds == 0)
        ErrorBox("  Tempo of 0 microseconds per quarter note, corrupt MIDI file? Panicking!");
      const double bpm = 60000000.0 / microseconds;
      tempo = static_cast<float>(std::floor(bpm * 100.0 + 0.5) / 100.0);
      break;
    }
    case 0x58: {
      if (length != 0x04) ErrorBox("Expected 0x04");
      need(pos, end, 4, "a time signature");
      numerator = data[pos];
      // 2 to the power of the byte; past 2^7 nothing fits in a byte.
      denominator = data[pos + 1] < 8 ? static_cast<uint8_t>(1u << data[pos + 1]) : 0;
      clocksPerClick = data[pos + 2];
      thirtySecondsPerQuarter = data[pos + 3];
      break;
    }
    case 0x59:
      if (length != 0x02) ErrorBox("Expected 0x02");
      need(pos, end, 2, "a key signature");
      keySharps = static_cast<int8_t>(data[pos]);
      keyMinor = data[pos + 1] == 1;
      break;
    // Common in files from any sequencer and of no use to the show: skipped
    // whole, by their length.
    case 0x00:  // sequence number
    case 0x04:  // instrument name
    case 0x05:  // lyric
    case 0x06:  // marker
    case 0x07:  // cue point
    case 0x08:  // program name
    case 0x09:  // device name
    case 0x20:  // channel prefix
    case 0x21:  // port
    case 0x54:  // SMPTE offset
    case 0x7F:  // sequencer-specific
      need(pos, end, length, "a meta event");
      break;
    default:
      ErrorBox("  Unknown meta event, panicking!");
  }
  pos += length;
}

void noteName(uint8_t pitch, char* out) {
  static const char* const formats[12] = {"C%i",  "C#%i", "D%i",  "D#%i", "E%i",  "F%i",
                                          "F#%i", "G%i",  "G#%i", "A%i",  "A#%i", "B%i"};
  std::snprintf(out, 7, formats[pitch % 12], pitch / 12);
}
