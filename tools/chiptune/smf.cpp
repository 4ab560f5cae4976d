#include "smf.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace chiptune {

namespace {

struct Event {
  int64_t tick;
  int order;  // at one tick: controllers, then note offs, then note ons
  std::vector<uint8_t> bytes;
};

void putVarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t buf[4];
  int n = 0;
  buf[n++] = v & 0x7F;
  while ((v >>= 7) != 0) buf[n++] = uint8_t(0x80 | (v & 0x7F));
  while (n > 0) out.push_back(buf[--n]);
}

void putBe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

// Meta event; texts longer than 127 bytes are cut so the length fits one byte.
std::vector<uint8_t> meta(uint8_t type, std::vector<uint8_t> data) {
  if (data.size() > 127) data.resize(127);
  std::vector<uint8_t> e{0xFF, type, uint8_t(data.size())};
  e.insert(e.end(), data.begin(), data.end());
  return e;
}

std::vector<uint8_t> text(uint8_t type, const std::string& s) { return meta(type, {s.begin(), s.end()}); }

// Serialises events into an MTrk chunk, using running status between channel
// messages (never across a meta event).
void writeTrack(std::vector<uint8_t>& file, std::vector<Event> events) {
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<uint8_t> body;
  int64_t last = 0;
  int running = -1;
  for (const Event& e : events) {
    putVarLen(body, uint32_t(e.tick - last));
    last = e.tick;
    if (e.bytes[0] == 0xFF) {
      running = -1;
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    } else {
      size_t from = e.bytes[0] == running ? 1 : 0;
      running = e.bytes[0];
      body.insert(body.end(), e.bytes.begin() + long(from), e.bytes.end());
    }
  }
  putVarLen(body, 0);
  body.insert(body.end(), {0xFF, 0x2F, 0x00});
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  putBe(file, uint32_t(body.size()), 4);
  file.insert(file.end(), body.begin(), body.end());
}

}  // namespace

int midiVelocity(int velocity) { return std::max(1, std::min(127, int(std::lround(velocity * 127.0 / 15.0)))); }

std::vector<uint8_t> writeMidi(const Score& score) {
  std::vector<uint8_t> file{'M', 'T', 'h', 'd'};
  putBe(file, 6, 4);
  putBe(file, 1, 2);
  putBe(file, uint32_t(score.voices.size() + 1), 2);
  putBe(file, kTicksPerBeat, 2);

  std::vector<Event> conductor;
  if (!score.title.empty()) conductor.push_back({0, 0, text(0x03, score.title)});
  if (!score.copyright.empty()) conductor.push_back({0, 0, text(0x02, score.copyright)});
  conductor.push_back({0, 0, text(0x01, "Kestrune by Tavorlin; music rendered by the chiptune tool")});
  const uint32_t usPerBeat = uint32_t(std::lround(60000000.0 / score.tempo));
  conductor.push_back({0, 0, meta(0x51, {uint8_t(usPerBeat >> 16), uint8_t(usPerBeat >> 8), uint8_t(usPerBeat)})});
  conductor.push_back({0, 0, meta(0x58, {4, 2, 24, 8})});
  conductor.push_back({0, 0, meta(0x59, {uint8_t(int8_t(score.keySharps)), uint8_t(score.keyMinor ? 1 : 0)})});
  writeTrack(file, conductor);

  for (size_t v = 0; v < score.voices.size(); ++v) {
    const Voice& voice = score.voices[v];
    const uint8_t ch = uint8_t(voice.channel);
    std::vector<Event> ev;
    ev.push_back({0, 0, text(0x03, voice.name)});
    ev.push_back({0, 1, {uint8_t(0xB0 | ch), 7, uint8_t(std::min(127L, std::lround(voice.gain * 127.0)))}});
    ev.push_back({0, 1, {uint8_t(0xB0 | ch), 10, uint8_t(std::min(127L, std::lround((voice.pan + 1.0) * 63.5)))}});
    int lastWheel = voice.drumNote >= 0 ? -2 : -1;
    for (const Note& n : score.notes[v]) {
      if (lastWheel != -2) {
        // The modulation wheel follows the vibrato depth of the instrument.
        const double depth = score.instruments[size_t(n.instrument)].vibDepth;
        int wheel = std::min(127, int(std::lround(depth * 127.0)));
        if (wheel != lastWheel) {
          ev.push_back({n.start, 1, {uint8_t(0xB0 | ch), 1, uint8_t(wheel)}});
          lastWheel = wheel;
        }
      }
      const uint8_t vel = uint8_t(midiVelocity(n.velocity));
      for (int p : n.pitches) {
        ev.push_back({n.start, 3, {uint8_t(0x90 | ch), uint8_t(p), vel}});
        ev.push_back({n.start + std::max<int64_t>(1, n.soundingTicks()), 2, {uint8_t(0x90 | ch), uint8_t(p), 0}});
      }
    }
    writeTrack(file, ev);
  }
  return file;
}

}  // namespace chiptune
