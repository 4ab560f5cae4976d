#include "syncxml.h"

#include <cctype>
#include <cstdlib>

namespace chiptune {

namespace {

bool isName(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) return false;
  return true;
}

bool isNumber(const std::string& s) {
  if (s.empty()) return false;
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end && *end == 0;
}

bool isFileName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == '/')) return false;
  return true;
}

// "1/8", "1/8t": numerator and denominator (with its suffix) of a note length.
bool splitLength(const std::string& s, std::string& num, std::string& den) {
  size_t slash = s.find('/');
  if (slash == std::string::npos) return false;
  num = s.substr(0, slash);
  den = s.substr(slash + 1);
  if (num.empty() || den.empty()) return false;
  for (char c : num)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  if (!std::isdigit(static_cast<unsigned char>(den[0]))) return false;
  size_t i = 0;
  while (i < den.size() && std::isdigit(static_cast<unsigned char>(den[i]))) ++i;
  return i == den.size() || (i + 1 == den.size() && (den[i] == 't' || den[i] == 'T'));
}

// Indented XML, four spaces per level.
struct Writer {
  std::string out;
  int depth = 0;
  void line(const std::string& s) { out += std::string(size_t(depth) * 4, ' ') + s + "\n"; }
  void open(const std::string& tag, const std::string& attrs = "") {
    line("<" + tag + attrs + ">");
    ++depth;
  }
  void close(const std::string& tag) {
    --depth;
    line("</" + tag + ">");
  }
  void leaf(const std::string& tag, const std::string& text) { line("<" + tag + ">" + text + "</" + tag + ">"); }
};

bool need(const SyncBinding& b, const char* key, std::string& value, std::string& error) {
  const std::string* v = b.param(key);
  if (!v) {
    error = "binding '" + b.element + "' needs " + key;
    return false;
  }
  value = *v;
  return true;
}

bool timeParam(const SyncBinding& b, const char* key, Writer& w, std::string& error) {
  std::string v;
  if (!need(b, key, v, error)) return false;
  size_t colon = v.find(':');
  std::string value = v.substr(0, colon), slope = colon == std::string::npos ? "linear" : v.substr(colon + 1);
  if (!isNumber(value) || (slope != "linear" && slope != "exp" && slope != "exp_inv")) {
    error = "binding '" + b.element + "': bad " + key + " '" + v + "'";
    return false;
  }
  w.line("<" + std::string(key) + " unit=\"s\" slope=\"" + slope + "\">" + value + "</" + key + ">");
  return true;
}

bool lengthParams(const SyncBinding& b, Writer& w, std::string& error) {
  std::string v, num, den;
  if (!need(b, "length", v, error)) return false;
  if (!splitLength(v, num, den)) {
    error = "binding '" + b.element + "': bad length '" + v + "'";
    return false;
  }
  w.leaf("numerator", num);
  w.leaf("denominator", den);
  return true;
}

bool binding(const Score& score, const SyncBinding& b, Writer& w, std::string& error) {
  if (!isName(b.element)) {
    error = "'" + b.element + "' is not an XML element name";
    return false;
  }
  w.open(b.element, " association=\"" + b.voice + "\"");
  if (b.kind == "envelope") {
    w.open("envelope");
    std::string sustain;
    if (!timeParam(b, "attack", w, error) || !timeParam(b, "decay", w, error) || !need(b, "sustain", sustain, error))
      return false;
    if (!isNumber(sustain)) {
      error = "binding '" + b.element + "': bad sustain";
      return false;
    }
    w.line("<sustain unit=\"percent\">" + sustain + "</sustain>");
    if (!timeParam(b, "release", w, error)) return false;
    w.close("envelope");
  } else if (b.kind == "lfo") {
    std::string wave, cc, file;
    if (!need(b, "wave", wave, error) || !need(b, "cc", cc, error) || !need(b, "template", file, error)) return false;
    if (wave != "sine" && wave != "saw") {
      error = "binding '" + b.element + "': wave must be sine or saw";
      return false;
    }
    bool known = false;
    for (const SyncTemplate& t : score.templates) known = known || t.file == file;
    if (!known || !isFileName(file)) {
      error = "binding '" + b.element + "': no template '" + file + "'";
      return false;
    }
    int ccValue = std::atoi(cc.c_str());
    if (cc.empty() || cc.find_first_not_of("0123456789") != std::string::npos || ccValue > 127) {
      error = "binding '" + b.element + "': bad cc '" + cc + "'";
      return false;
    }
    w.open("lfo");
    w.leaf("wave", wave);
    w.open("tempo");
    if (!lengthParams(b, w, error)) return false;
    w.open("controller");
    w.leaf("cc", cc);
    w.line("<template file=\"" + file + "\" />");
    w.close("controller");
    w.close("tempo");
    w.close("lfo");
  } else if (b.kind == "arp") {
    std::string pattern, octaves;
    if (!need(b, "pattern", pattern, error) || !need(b, "octaves", octaves, error)) return false;
    if (pattern != "up" && pattern != "down" && pattern != "updown") {
      error = "binding '" + b.element + "': pattern must be up, down or updown";
      return false;
    }
    if (octaves.empty() || octaves.find_first_not_of("0123456789") != std::string::npos) {
      error = "binding '" + b.element + "': bad octaves";
      return false;
    }
    w.open("arp");
    w.leaf("pattern", pattern);
    w.leaf("octaves", octaves);
    if (!lengthParams(b, w, error)) return false;
    w.close("arp");
  }
  if (const std::string* intensity = b.param("intensity")) {
    if (!isNumber(*intensity)) {
      error = "binding '" + b.element + "': bad intensity";
      return false;
    }
    w.line("<intensity unit=\"float\">" + *intensity + "</intensity>");
  }
  w.close(b.element);
  return true;
}

}  // namespace

bool writeSyncConfig(const Score& score, std::string& xml, std::string& error) {
  if (!isFileName(score.syncStream) || !isFileName(score.syncMidi)) {
    error = "the score needs 'sync stream=FILE midi=FILE'";
    return false;
  }
  Writer w;
  w.line("<?xml version=\"1.0\" ?>");
  w.open("modulators", " stream_filename=\"" + score.syncStream + "\" mididata_filename=\"" + score.syncMidi + "\"");
  for (const SyncBinding& b : score.sync)
    if (!binding(score, b, w, error)) return false;
  w.close("modulators");
  xml = w.out;
  return true;
}

bool writeSyncTemplate(const Score& score, const std::string& file, std::string& xml, std::string& error) {
  for (const SyncTemplate& t : score.templates) {
    if (t.file != file) continue;
    Writer w;
    w.line("<?xml version=\"1.0\" ?>");
    w.open("unit");
    w.open("template");
    for (const SyncTemplate::Range& r : t.ranges) {
      std::string num, den;
      if (!splitLength(r.length, num, den)) {
        error = "template '" + file + "': bad length '" + r.length + "'";
        return false;
      }
      w.open("range");
      w.leaf("min", std::to_string(r.min));
      w.leaf("max", std::to_string(r.max));
      w.open("value");
      w.leaf("numerator", num);
      w.leaf("denominator", den);
      w.close("value");
      w.close("range");
    }
    w.close("template");
    w.close("unit");
    xml = w.out;
    return true;
  }
  error = "no template '" + file + "'";
  return false;
}

}  // namespace chiptune
