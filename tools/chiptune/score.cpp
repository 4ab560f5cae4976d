#include "score.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace chiptune {

namespace {

constexpr int64_t kMaxBeats = 20000;
constexpr size_t kMaxPatternEvents = 200000;
constexpr size_t kMaxVoiceNotes = 1000000;

struct PatternEvent {
  int64_t start = 0, length = 0;
  int gate = 8;
  std::vector<int> pitches;  // empty for grid hits (the voice's drum note)
  int velocity = 12;
  int instrument = -1;       // -1 = the voice's default
  int voice = -1;            // grid patterns name their voice per line
};

struct Pattern {
  bool grid = false;
  int64_t length = 0;
  std::vector<PatternEvent> events;
};

struct Failure {
  int line;
  std::string message;
};

[[noreturn]] void fail(int line, const std::string& message) { throw Failure{line, message}; }

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, f);
  vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

bool parseDouble(const std::string& s, double& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return end && *end == 0 && std::isfinite(out);
}

bool parseInt(const std::string& s, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 10);
  return end && *end == 0;
}

// "0.25", "1/12" or "3/8" as a real number.
bool parseFraction(const std::string& s, double& out) {
  size_t slash = s.find('/');
  if (slash == std::string::npos) return parseDouble(s, out);
  double a, b;
  if (!parseDouble(s.substr(0, slash), a) || !parseDouble(s.substr(slash + 1), b) || b == 0) return false;
  out = a / b;
  return true;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

// A comment starts at a '#' that begins a word; elsewhere '#' is a sharp.
std::string stripComment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) return line.substr(0, i);
  return line;
}

// Splits a line into words; a double-quoted word keeps its blanks.
std::vector<std::string> words(const std::string& line, int lineNo) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    if (line[i] == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string::npos) fail(lineNo, "unterminated string");
      out.push_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    out.push_back(line.substr(start, i - start));
  }
  return out;
}

double realArg(const std::string& v, int line, const std::string& key, double lo, double hi) {
  double d;
  if (!parseFraction(v, d) || d < lo || d > hi)
    fail(line, fmt("%s: expected a number in %g..%g, got '%s'", key.c_str(), lo, hi, v.c_str()));
  return d;
}

std::vector<double> realList(const std::string& v, int line, const std::string& key, double lo, double hi,
                             size_t minCount, size_t maxCount) {
  std::vector<double> out;
  for (const std::string& part : split(v, ',')) out.push_back(realArg(part, line, key, lo, hi));
  if (out.size() < minCount || out.size() > maxCount)
    fail(line, fmt("%s: expected %zu to %zu values", key.c_str(), minCount, maxCount));
  return out;
}

int64_t beatsToTicks(const std::string& s, int line) {
  double beats;
  if (!parseFraction(s, beats) || beats < 0 || beats > kMaxBeats) fail(line, "bad beat position '" + s + "'");
  double ticks = beats * kTicksPerBeat;
  int64_t t = static_cast<int64_t>(std::llround(ticks));
  if (std::fabs(ticks - double(t)) > 1e-6) fail(line, "beat position '" + s + "' is off the tick grid");
  return t;
}

void parseInstrument(const std::vector<std::string>& w, int line, Score& score) {
  if (w.size() < 2) fail(line, "instrument needs a name");
  if (score.findInstrument(w[1]) >= 0) fail(line, "instrument '" + w[1] + "' defined twice");
  Instrument in;
  in.name = w[1];
  for (size_t i = 2; i < w.size(); ++i) {
    size_t eq = w[i].find('=');
    if (eq == std::string::npos) fail(line, "expected key=value, got '" + w[i] + "'");
    std::string k = w[i].substr(0, eq), v = w[i].substr(eq + 1);
    if (k == "wave") {
      if (v == "pulse") in.wave = Wave::Pulse;
      else if (v == "triangle") in.wave = Wave::Triangle;
      else if (v == "noise") in.wave = Wave::Noise;
      else if (v == "none") in.wave = Wave::None;
      else fail(line, "unknown wave '" + v + "'");
    } else if (k == "duty") {
      in.duty = realList(v, line, k, 0.05, 0.95, 1, 32);
    } else if (k == "dutystep") {
      in.dutyStep = realArg(v, line, k, 0.001, 10);
    } else if (k == "a") {
      in.attack = realArg(v, line, k, 0, 10);
    } else if (k == "d") {
      in.decay = realArg(v, line, k, 0.001, 60);
    } else if (k == "s") {
      in.sustain = realArg(v, line, k, 0, 1);
    } else if (k == "r") {
      in.release = realArg(v, line, k, 0, 10);
    } else if (k == "vib") {
      std::vector<double> p = realList(v, line, k, 0, 100, 2, 3);
      in.vibDepth = p[0];
      in.vibRate = p[1];
      if (p.size() > 2) in.vibDelay = p[2];
    } else if (k == "sweep") {
      std::vector<double> p = realList(v, line, k, -96, 96, 2, 2);
      in.sweepSemis = p[0];
      in.sweepTime = std::max(0.001, std::fabs(p[1]));
    } else if (k == "freq") {
      in.freq = realArg(v, line, k, 0, 20000);
    } else if (k == "nrate") {
      in.noiseRate = realArg(v, line, k, 1, 2000000);
    } else if (k == "nshort") {
      in.noiseShort = realArg(v, line, k, 0, 1) != 0;
    } else if (k == "noise") {
      std::vector<double> p = realList(v, line, k, 0, 60, 2, 2);
      in.noiseLevel = p[0];
      in.noiseDecay = std::max(0.001, p[1]);
    } else if (k == "arp") {
      in.arpStep = realArg(v, line, k, 1.0 / 96, 4);
    } else if (k == "arpmode") {
      if (v == "up") in.arpMode = ArpMode::Up;
      else if (v == "down") in.arpMode = ArpMode::Down;
      else if (v == "updown") in.arpMode = ArpMode::UpDown;
      else fail(line, "unknown arp mode '" + v + "'");
    } else if (k == "lp") {
      in.lowpass = realArg(v, line, k, 0, 20000);
    } else if (k == "hp") {
      in.highpass = realArg(v, line, k, 0, 20000);
    } else if (k == "echo") {
      in.echo = realArg(v, line, k, 0, 1);
    } else if (k == "gain") {
      in.gain = realArg(v, line, k, 0, 4);
    } else {
      fail(line, "unknown instrument key '" + k + "'");
    }
  }
  score.instruments.push_back(in);
}

void parseVoice(const std::vector<std::string>& w, int line, Score& score) {
  if (w.size() < 2) fail(line, "voice needs a name");
  if (score.findVoice(w[1]) >= 0 || w[1] == "drums") fail(line, "voice name '" + w[1] + "' is taken");
  Voice v;
  v.name = w[1];
  v.instrument = -1;
  std::vector<std::string> chokes;
  for (size_t i = 2; i < w.size(); ++i) {
    size_t eq = w[i].find('=');
    if (eq == std::string::npos) fail(line, "expected key=value, got '" + w[i] + "'");
    std::string k = w[i].substr(0, eq), val = w[i].substr(eq + 1);
    if (k == "channel") {
      v.channel = int(realArg(val, line, k, 0, 15));
    } else if (k == "drum") {
      v.drumNote = int(realArg(val, line, k, 0, 127));
    } else if (k == "pan") {
      v.pan = realArg(val, line, k, -1, 1);
    } else if (k == "gain") {
      v.gain = realArg(val, line, k, 0, 4);
    } else if (k == "instrument") {
      v.instrument = score.findInstrument(val);
      if (v.instrument < 0) fail(line, "unknown instrument '" + val + "'");
    } else if (k == "choke") {
      for (const std::string& c : split(val, ',')) {
        int idx = score.findVoice(c);
        if (idx < 0) fail(line, "choke: unknown voice '" + c + "' (define it first)");
        v.choke.push_back(idx);
      }
    } else {
      fail(line, "unknown voice key '" + k + "'");
    }
  }
  if (v.instrument < 0) fail(line, "voice '" + v.name + "' needs an instrument");
  score.voices.push_back(v);
  score.notes.emplace_back();
}

// --- the note language of melodic patterns --------------------------------

class MmlParser {
 public:
  MmlParser(const std::string& text, int firstLine, const Score& score)
      : text_(text), line_(firstLine), score_(score) {}

  Pattern parse() {
    Pattern p;
    parseSequence(p.events, false);
    p.length = pos_;
    return p;
  }

 private:
  const std::string& text_;
  size_t i_ = 0;
  int line_;
  const Score& score_;
  int64_t pos_ = 0;
  int octave_ = 4;
  int64_t defaultLength_ = kTicksPerBeat;
  int velocity_ = 12;
  int gate_ = 8;
  int instrument_ = -1;

  [[noreturn]] void error(const std::string& m) { fail(line_, m); }

  void skipSpace() {
    while (i_ < text_.size()) {
      char c = text_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++i_;
      } else {
        break;
      }
    }
  }

  bool peekDigit() const { return i_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i_])); }

  long number() {
    if (!peekDigit()) error(fmt("expected a number at '%c'", i_ < text_.size() ? text_[i_] : ' '));
    long v = 0;
    while (peekDigit()) {
      v = v * 10 + (text_[i_++] - '0');
      if (v > 100000) error("number too large");
    }
    return v;
  }

  // Optional length (value and dots) followed by any number of &-ties.
  int64_t length() {
    int64_t total = 0;
    bool first = true;
    for (;;) {
      int64_t len = defaultLength_;
      if (peekDigit() || !first) {
        long value = number();
        int dots = 0;
        while (i_ < text_.size() && text_[i_] == '.') ++dots, ++i_;
        len = noteValueTicks(int(value), dots);
        if (len == 0) error(fmt("note value %ld with %d dots does not fit the tick grid", value, dots));
      } else {
        int dots = 0;
        while (i_ < text_.size() && text_[i_] == '.') ++dots, ++i_;
        int64_t add = len;
        for (int d = 0; d < dots; ++d) {
          if (add % 2) error("dotted length does not fit the tick grid");
          add /= 2;
          len += add;
        }
      }
      total += len;
      first = false;
      if (i_ < text_.size() && text_[i_] == '&') {
        ++i_;
        continue;
      }
      return total;
    }
  }

  int stepOf(char c) {
    static const int steps[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    return steps[c - 'a'];
  }

  int accidentals() {
    int a = 0;
    while (i_ < text_.size() && (text_[i_] == '#' || text_[i_] == '+' || text_[i_] == '-'))
      a += text_[i_++] == '-' ? -1 : 1;
    return a;
  }

  void push(std::vector<PatternEvent>& out, std::vector<int> pitches, int64_t len) {
    for (int p : pitches)
      if (p < 0 || p > 127) error(fmt("pitch %d out of range", p));
    PatternEvent e;
    e.start = pos_;
    e.length = len;
    e.gate = gate_;
    e.pitches = std::move(pitches);
    e.velocity = velocity_;
    e.instrument = instrument_;
    out.push_back(e);
    if (out.size() > kMaxPatternEvents) error("pattern too long");
  }

  void advance(int64_t len) {
    pos_ += len;
    if (pos_ > kMaxBeats * kTicksPerBeat) error("pattern too long");
  }

  void parseSequence(std::vector<PatternEvent>& out, bool inGroup) {
    for (;;) {
      skipSpace();
      if (i_ >= text_.size()) {
        if (inGroup) error("missing ')'");
        return;
      }
      char c = text_[i_++];
      if (c >= 'a' && c <= 'g') {
        int pitch = 12 * (octave_ + 1) + stepOf(c) + accidentals();
        int64_t len = length();
        push(out, {pitch}, len);
        advance(len);
      } else if (c == 'r') {
        advance(length());
      } else if (c == '[') {
        std::vector<int> pitches;
        for (;;) {
          skipSpace();
          if (i_ >= text_.size()) error("missing ']'");
          char n = text_[i_++];
          if (n == ']') break;
          if (n < 'a' || n > 'g') error(fmt("unexpected '%c' in a chord", n));
          int p = 12 * (octave_ + 1) + stepOf(n) + accidentals();
          while (!pitches.empty() && p <= pitches.back()) p += 12;
          pitches.push_back(p);
        }
        if (pitches.empty()) error("empty chord");
        int64_t len = length();
        push(out, pitches, len);
        advance(len);
      } else if (c == 'o') {
        long o = number();
        if (o > 9) error("octave out of range");
        octave_ = int(o);
      } else if (c == '>') {
        if (++octave_ > 9) error("octave out of range");
      } else if (c == '<') {
        if (--octave_ < 0) error("octave out of range");
      } else if (c == 'l') {
        long value = number();
        int dots = 0;
        while (i_ < text_.size() && text_[i_] == '.') ++dots, ++i_;
        defaultLength_ = noteValueTicks(int(value), dots);
        if (defaultLength_ == 0) error("default length does not fit the tick grid");
      } else if (c == 'v') {
        long v = number();
        if (v > 15) error("velocity out of range 0..15");
        velocity_ = int(v);
      } else if (c == 'q') {
        long q = number();
        if (q < 1 || q > 8) error("gate out of range 1..8");
        gate_ = int(q);
      } else if (c == '@') {
        size_t start = i_;
        while (i_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[i_])) || text_[i_] == '_')) ++i_;
        std::string name = text_.substr(start, i_ - start);
        instrument_ = score_.findInstrument(name);
        if (instrument_ < 0) error("unknown instrument '" + name + "'");
      } else if (c == '|') {
        if (pos_ % (4 * kTicksPerBeat) != 0)
          error(fmt("bar check failed: %.3f beats into the pattern", double(pos_) / kTicksPerBeat));
      } else if (c == '(') {
        std::vector<PatternEvent> body;
        int64_t startPos = pos_;
        parseSequence(body, true);
        int64_t bodyLen = pos_ - startPos;
        long count = peekDigit() ? number() : 2;
        if (count < 1 || count > 64) error("repeat count out of range 1..64");
        for (long k = 0; k < count; ++k) {
          for (PatternEvent e : body) {
            e.start += k * bodyLen;
            out.push_back(e);
            if (out.size() > kMaxPatternEvents) error("pattern too long");
          }
        }
        pos_ = startPos;
        advance(bodyLen * count);
      } else if (c == ')') {
        if (!inGroup) error("')' without '('");
        return;
      } else {
        error(fmt("unexpected '%c'", c));
      }
    }
  }
};

Pattern parseGrid(const std::vector<std::pair<int, std::string>>& lines, int stepsPerBeat, const Score& score) {
  if (kTicksPerBeat % stepsPerBeat != 0) fail(lines.empty() ? 0 : lines[0].first, "steps per beat must divide 480");
  int64_t step = kTicksPerBeat / stepsPerBeat;
  Pattern p;
  p.grid = true;
  size_t width = 0;
  for (const auto& [lineNo, text] : lines) {
    std::vector<std::string> w = words(text, lineNo);
    if (w.empty()) continue;
    int voice = score.findVoice(w[0]);
    if (voice < 0) fail(lineNo, "unknown voice '" + w[0] + "'");
    if (score.voices[voice].drumNote < 0) fail(lineNo, "voice '" + w[0] + "' is not a drum voice");
    std::string cells;
    for (size_t k = 1; k < w.size(); ++k)
      for (char c : w[k])
        if (c != '|') cells += c;
    if (width == 0) width = cells.size();
    if (cells.size() != width || width == 0) fail(lineNo, "grid lines differ in length");
    std::vector<PatternEvent> hits;
    for (size_t k = 0; k < cells.size(); ++k) {
      int vel;
      switch (cells[k]) {
        case '-': continue;
        case 'X': vel = 15; break;
        case 'x': vel = 12; break;
        case 'o': vel = 8; break;
        case '.': vel = 5; break;
        default: fail(lineNo, fmt("unexpected grid cell '%c'", cells[k]));
      }
      PatternEvent e;
      e.start = int64_t(k) * step;
      e.velocity = vel;
      e.voice = voice;
      hits.push_back(e);
    }
    for (size_t k = 0; k < hits.size(); ++k)
      hits[k].length = (k + 1 < hits.size() ? hits[k + 1].start : int64_t(width) * step) - hits[k].start;
    p.events.insert(p.events.end(), hits.begin(), hits.end());
  }
  if (width == 0) fail(lines.empty() ? 0 : lines[0].first, "empty grid");
  p.length = int64_t(width) * step;
  return p;
}

void place(const std::vector<std::string>& w, int line, const std::map<std::string, Pattern>& patterns,
           Score& score) {
  if (w.size() < 4) fail(line, "expected: at BEAT VOICE ITEM...");
  int64_t pos = beatsToTicks(w[1], line);
  int voice = -1;
  bool drums = w[2] == "drums";
  if (!drums) {
    voice = score.findVoice(w[2]);
    if (voice < 0) fail(line, "unknown voice '" + w[2] + "'");
  }
  for (size_t k = 3; k < w.size(); ++k) {
    std::string item = w[k];
    if (item[0] == '~') {
      pos += beatsToTicks(item.substr(1), line);
      continue;
    }
    long count = 1, transpose = 0;
    size_t star = item.find('*');
    if (star != std::string::npos) {
      if (!parseInt(item.substr(star + 1), count) || count < 1 || count > 256) fail(line, "bad repeat in '" + item + "'");
      item = item.substr(0, star);
    }
    int instrument = -1;
    size_t at = item.find('@');
    if (at != std::string::npos) {
      instrument = score.findInstrument(item.substr(at + 1));
      if (instrument < 0) fail(line, "unknown instrument in '" + w[k] + "'");
      item = item.substr(0, at);
    }
    size_t sign = item.find_first_of("+-");
    if (sign != std::string::npos) {
      std::string t = item.substr(sign + 1);
      if (!parseInt(t, transpose) || transpose > 48) fail(line, "bad transposition in '" + w[k] + "'");
      if (item[sign] == '-') transpose = -transpose;
      item = item.substr(0, sign);
    }
    auto it = patterns.find(item);
    if (it == patterns.end()) fail(line, "unknown pattern '" + item + "'");
    const Pattern& p = it->second;
    if (p.grid != drums) fail(line, drums ? "'" + item + "' is not a grid" : "grid '" + item + "' goes on 'drums'");
    if (p.grid && transpose) fail(line, "grids cannot be transposed");
    for (long r = 0; r < count; ++r) {
      for (const PatternEvent& e : p.events) {
        int v = drums ? e.voice : voice;
        const Voice& vc = score.voices[v];
        Note n;
        n.start = pos + e.start;
        n.length = e.length;
        n.gate = e.gate;
        n.velocity = e.velocity;
        n.instrument = e.instrument >= 0 ? e.instrument : instrument >= 0 ? instrument : vc.instrument;
        if (drums) {
          n.pitches = {vc.drumNote};
        } else {
          for (int ptc : e.pitches) {
            int q = ptc + int(transpose);
            if (q < 0 || q > 127) fail(line, "transposed pitch out of range");
            n.pitches.push_back(q);
          }
        }
        score.notes[v].push_back(n);
        if (score.notes[v].size() > kMaxVoiceNotes) fail(line, "too many notes for one voice");
      }
      pos += p.length;
      if (pos > kMaxBeats * kTicksPerBeat) fail(line, "placement too long");
    }
  }
}

void parseBind(const std::vector<std::string>& w, int line, Score& score) {
  if (w.size() < 4) fail(line, "expected: bind ELEMENT VOICE KIND key=value...");
  SyncBinding b;
  b.element = w[1];
  b.voice = w[2];
  b.kind = w[3];
  if (score.findVoice(b.voice) < 0) fail(line, "bind: unknown voice '" + b.voice + "'");
  if (b.kind != "envelope" && b.kind != "lfo" && b.kind != "arp" && b.kind != "none")
    fail(line, "bind: kind must be envelope, lfo, arp or none");
  for (size_t i = 4; i < w.size(); ++i) {
    size_t eq = w[i].find('=');
    if (eq == std::string::npos) fail(line, "expected key=value, got '" + w[i] + "'");
    b.params.emplace_back(w[i].substr(0, eq), w[i].substr(eq + 1));
  }
  score.sync.push_back(b);
}

void parseTemplate(const std::vector<std::string>& w, int line, Score& score) {
  if (w.size() < 3) fail(line, "expected: template FILE MIN-MAX:LENGTH...");
  SyncTemplate t;
  t.file = w[1];
  for (size_t i = 2; i < w.size(); ++i) {
    size_t dash = w[i].find('-'), colon = w[i].find(':');
    long lo, hi;
    if (dash == std::string::npos || colon == std::string::npos || colon < dash ||
        !parseInt(w[i].substr(0, dash), lo) || !parseInt(w[i].substr(dash + 1, colon - dash - 1), hi) ||
        lo < 0 || hi > 127 || lo > hi)
      fail(line, "bad range '" + w[i] + "'");
    t.ranges.push_back({int(lo), int(hi), w[i].substr(colon + 1)});
  }
  score.templates.push_back(t);
}

void checkVoices(Score& score) {
  for (size_t v = 0; v < score.voices.size(); ++v) {
    std::vector<Note>& notes = score.notes[v];
    std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) { return a.start < b.start; });
    for (size_t k = 0; k < notes.size(); ++k) {
      const Note& n = notes[k];
      if (k > 0 && n.start < notes[k - 1].start + notes[k - 1].length)
        fail(0, fmt("voice %s: notes overlap at beat %.3f", score.voices[v].name.c_str(),
                    double(n.start) / kTicksPerBeat));
      if (n.start + n.length > score.lengthTicks())
        fail(0, fmt("voice %s: note at beat %.3f runs past the end of the song", score.voices[v].name.c_str(),
                    double(n.start) / kTicksPerBeat));
    }
  }
}

}  // namespace

const std::string* SyncBinding::param(const std::string& key) const {
  for (const auto& kv : params)
    if (kv.first == key) return &kv.second;
  return nullptr;
}

int Score::findVoice(const std::string& name) const {
  for (size_t i = 0; i < voices.size(); ++i)
    if (voices[i].name == name) return int(i);
  return -1;
}

int Score::findInstrument(const std::string& name) const {
  for (size_t i = 0; i < instruments.size(); ++i)
    if (instruments[i].name == name) return int(i);
  return -1;
}

int64_t noteValueTicks(int value, int dots) {
  if (value <= 0 || (4 * kTicksPerBeat) % value != 0) return 0;
  int64_t len = 4 * kTicksPerBeat / value, add = len;
  for (int d = 0; d < dots; ++d) {
    if (add % 2) return 0;
    add /= 2;
    len += add;
  }
  return len;
}

bool readTextFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return !in.bad();
}

bool parseScore(const std::string& text, Score& score, std::string& error) {
  score = Score();
  std::map<std::string, Pattern> patterns;
  std::vector<std::string> lines;
  {
    std::string cur;
    for (char c : text) {
      if (c == '\n') {
        lines.push_back(cur);
        cur.clear();
      } else if (c != '\r') {
        cur += c;
      }
    }
    lines.push_back(cur);
  }
  try {
    for (size_t li = 0; li < lines.size(); ++li) {
      int lineNo = int(li) + 1;
      std::string line = stripComment(lines[li]);
      std::vector<std::string> w = words(line, lineNo);
      if (w.empty()) continue;
      const std::string& cmd = w[0];
      auto need = [&](size_t n) {
        if (w.size() != n) fail(lineNo, fmt("'%s' takes %zu argument(s)", cmd.c_str(), n - 1));
      };
      if (cmd == "title") {
        need(2);
        score.title = w[1];
      } else if (cmd == "copyright") {
        need(2);
        score.copyright = w[1];
      } else if (cmd == "tempo") {
        need(2);
        score.tempo = realArg(w[1], lineNo, cmd, 20, 400);
      } else if (cmd == "length") {
        need(2);
        score.lengthBeats = int(realArg(w[1], lineNo, cmd, 1, kMaxBeats));
      } else if (cmd == "key") {
        need(3);
        score.keySharps = int(realArg(w[1], lineNo, cmd, -7, 7));
        if (w[2] != "major" && w[2] != "minor") fail(lineNo, "key: major or minor");
        score.keyMinor = w[2] == "minor";
      } else if (cmd == "peak") {
        need(2);
        score.peakDb = realArg(w[1], lineNo, cmd, -40, -0.1);
      } else if (cmd == "limit") {
        need(2);
        score.limitDb = realArg(w[1], lineNo, cmd, 0, 12);
      } else if (cmd == "echo") {
        for (size_t i = 1; i < w.size(); ++i) {
          size_t eq = w[i].find('=');
          std::string k = w[i].substr(0, eq), v = eq == std::string::npos ? "" : w[i].substr(eq + 1);
          if (k == "delay") score.echoDelayBeats = realArg(v, lineNo, k, 0.01, 8);
          else if (k == "feedback") score.echoFeedback = realArg(v, lineNo, k, 0, 0.95);
          else if (k == "mix") score.echoMix = realArg(v, lineNo, k, 0, 2);
          else if (k == "lp") score.echoLowpass = realArg(v, lineNo, k, 100, 20000);
          else fail(lineNo, "unknown echo key '" + k + "'");
        }
      } else if (cmd == "instrument") {
        parseInstrument(w, lineNo, score);
      } else if (cmd == "voice") {
        parseVoice(w, lineNo, score);
      } else if (cmd == "pattern" || cmd == "grid") {
        if (w.size() < 2 || w.size() > 3) fail(lineNo, cmd + " NAME [" + (cmd == "grid" ? "STEPS]" : "BEATS]"));
        if (patterns.count(w[1])) fail(lineNo, "pattern '" + w[1] + "' defined twice");
        std::vector<std::pair<int, std::string>> body;
        size_t end = li + 1;
        for (; end < lines.size(); ++end) {
          std::string b = stripComment(lines[end]);
          std::vector<std::string> bw = words(b, int(end) + 1);
          if (bw.size() == 1 && bw[0] == "end") break;
          body.emplace_back(int(end) + 1, b);
        }
        if (end == lines.size()) fail(lineNo, "'" + w[1] + "' has no 'end'");
        Pattern p;
        if (cmd == "grid") {
          int steps = w.size() == 3 ? int(realArg(w[2], lineNo, "steps", 1, 480)) : 4;
          p = parseGrid(body, steps, score);
        } else {
          std::string joined;
          for (const auto& b : body) joined += b.second + "\n";
          p = MmlParser(joined, lineNo + 1, score).parse();
          if (w.size() == 3 && p.length != beatsToTicks(w[2], lineNo))
            fail(lineNo, fmt("pattern '%s' is %.3f beats long, not %s", w[1].c_str(),
                             double(p.length) / kTicksPerBeat, w[2].c_str()));
        }
        patterns[w[1]] = std::move(p);
        li = end;
      } else if (cmd == "at") {
        if (score.lengthBeats == 0) fail(lineNo, "'length' must come before the order list");
        place(w, lineNo, patterns, score);
      } else if (cmd == "sync") {
        for (size_t i = 1; i < w.size(); ++i) {
          size_t eq = w[i].find('=');
          std::string k = w[i].substr(0, eq), v = eq == std::string::npos ? "" : w[i].substr(eq + 1);
          if (k == "stream") score.syncStream = v;
          else if (k == "midi") score.syncMidi = v;
          else fail(lineNo, "unknown sync key '" + k + "'");
        }
      } else if (cmd == "bind") {
        parseBind(w, lineNo, score);
      } else if (cmd == "template") {
        parseTemplate(w, lineNo, score);
      } else {
        fail(lineNo, "unknown command '" + cmd + "'");
      }
    }
    if (score.lengthBeats == 0) fail(0, "the score has no 'length'");
    if (score.voices.empty()) fail(0, "the score has no voices");
    checkVoices(score);
  } catch (const Failure& f) {
    error = f.line > 0 ? fmt("line %d: %s", f.line, f.message.c_str()) : f.message;
    return false;
  }
  return true;
}

}  // namespace chiptune
