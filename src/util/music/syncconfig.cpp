#include "util/music/syncconfig.h"

#include <tinyxml2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "util/data/data.h"
#include "util/error.h"
#include "util/music/midi.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/arp.h"
#include "util/music/modulators/lfo.h"
#include "util/music/music.h"

namespace {

using XmlDocument = tinyxml2::XMLDocument;
using XmlElement = tinyxml2::XMLElement;

// Parses the archive file `path` with runs of white space in texts collapsed
// to one blank. The parser bounds its own nesting depth (a hostile document
// cannot exhaust the stack) and reads only inside the text it loaded.
void loadXml(XmlDocument& doc, const char* path) {
  FILE* stream = data_open_file(path);
  if (stream == nullptr) ErrorBox("Could not load %s. Error='%s'. Exiting.\n", path, "Failed to open file");
  const bool loaded = doc.LoadFile(stream) == tinyxml2::XML_SUCCESS;
  std::fclose(stream);
  if (!loaded) ErrorBox("Could not load %s. Error='%s'. Exiting.\n", path, doc.ErrorStr());
}

const char* textOf(const XmlElement* element) {
  const char* text = element->GetText();
  if (text == nullptr) ErrorBox("Element <%s> holds no text", element->Name());
  return text;
}

const char* attributeOf(const XmlElement* element, const char* name) {
  const char* value = element->Attribute(name);
  if (value == nullptr) ErrorBox("Element <%s> has no attribute \"%s\"", element->Name(), name);
  return value;
}

int intOf(const XmlElement* element, int fallback) {
  int value = fallback;
  std::sscanf(textOf(element), "%i", &value);
  return value;
}

float floatOf(const XmlElement* element, float fallback) {
  float value = fallback;
  std::sscanf(textOf(element), "%f", &value);
  return value;
}

// A note value from a numerator element and a denominator element ("8",
// "8t", "8T": a suffix starting with t marks a triplet); numbers that do not
// parse count as -1.
struct NoteValue {
  int numerator;
  int denominator;
  bool triplet;
};

NoteValue noteValueOf(const XmlElement* numerator, const XmlElement* denominator) {
  NoteValue v{intOf(numerator, -1), -1, false};
  char suffix[32] = " ";
  std::sscanf(textOf(denominator), "%i%31s", &v.denominator, suffix);
  v.triplet = suffix[0] == 't' || suffix[0] == 'T';
  return v;
}

// The configuration path up to and including its last '/'.
std::string directoryOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? std::string(path, static_cast<size_t>(slash - path + 1)) : std::string();
}

MidiTrack* findTrack(MidiSong* song, const char* name) {
  for (MidiTrack& track : song->tracks)
    if (track.name != nullptr && std::strcmp(track.name, name) == 0) return &track;
  return nullptr;
}

int slopeOf(const XmlElement* element) {
  const char* slope = attributeOf(element, "slope");
  if (std::strcmp(slope, "linear") == 0) return ADSR::SLOPE_LINEAR;
  if (std::strcmp(slope, "exp") == 0) return ADSR::SLOPE_EXP;
  if (std::strcmp(slope, "exp_inv") == 0) return ADSR::SLOPE_EXP_INV;
  ErrorBox("Unrecognized slope type: %s", slope);
}

// A time in seconds (unit "s") with its slope, converted to beats at `bpm`.
float envelopeTime(const XmlElement* element, float bpm, int* slope) {
  const float seconds = floatOf(element, 1.0f);
  const char* unit = attributeOf(element, "unit");
  if (std::strcmp(unit, "s") != 0) ErrorBox("Unrecognized unit type: %s", unit);
  *slope = slopeOf(element);
  return seconds * 0.0166667f * bpm;
}

// The sustain level, given in percent.
float envelopeLevel(const XmlElement* element) {
  const float percent = floatOf(element, 1.0f);
  const char* unit = attributeOf(element, "unit");
  if (std::strcmp(unit, "percent") != 0) ErrorBox("Unrecognized unit type: %s", unit);
  return percent * 0.01f;
}

void addLfo(const XmlElement* lfo_element, MidiTrack* track, const std::string& prefix) {
  const XmlElement* wave = lfo_element->FirstChildElement("wave");
  if (!wave) ErrorBox("lfo_element->FirstChildElement( \"wave\" ) is NULL");
  const char* waveName = textOf(wave);
  int waveType = LFO::WAVE_SINE;
  if (std::strcmp(waveName, "sine") == 0)
    waveType = LFO::WAVE_SINE;
  else if (std::strcmp(waveName, "saw") == 0)
    waveType = LFO::WAVE_SAW;
  else
    ErrorBox("Unrecognized LFO wave type: %s", waveName);

  const XmlElement* tempo_element = lfo_element->FirstChildElement("tempo");
  if (!tempo_element) ErrorBox("tempo_element is NULL");
  const XmlElement* numerator = tempo_element->FirstChildElement("numerator");
  if (!numerator) ErrorBox("tempo_element->FirstChildElement( \"numerator\" ) is NULL");
  const XmlElement* denominator = tempo_element->FirstChildElement("denominator");
  if (!denominator) ErrorBox("tempo_element->FirstChildElement( \"denominator\" ) is NULL");
  const NoteValue length = noteValueOf(numerator, denominator);

  const XmlElement* controller = tempo_element->FirstChildElement("controller");
  if (!controller) ErrorBox("tempo_element->FirstChildElement( \"controller\" ) is NULL");
  const XmlElement* cc = controller->FirstChildElement("cc");
  if (!cc) ErrorBox("tempo_element->FirstChildElement( \"controller\" )->FirstChildElement( \"cc\" ) is NULL");

  LFO* modulator = new LFO(waveType, intOf(cc, -1), length.numerator, length.denominator, length.triplet);
  track->modulators.push_back(modulator);

  const XmlElement* templ = controller->FirstChildElement("template");
  if (!templ)
    ErrorBox("tempo_element->FirstChildElement( \"controller\" )->FirstChildElement( \"template\" ) is NULL");
  loadTemplate((prefix + attributeOf(templ, "file")).c_str(), modulator);
}

void addEnvelope(const XmlElement* env_element, MidiTrack* track, float bpm) {
  const XmlElement* attack = env_element->FirstChildElement("attack");
  const XmlElement* decay = env_element->FirstChildElement("decay");
  const XmlElement* sustain = env_element->FirstChildElement("sustain");
  if (!attack) ErrorBox("env_element->FirstChildElement( \"attack\" ) is NULL");
  if (!decay) ErrorBox("env_element->FirstChildElement( \"decay\" ) is NULL");
  if (!sustain) ErrorBox("env_element->FirstChildElement( \"sustain\" ) is NULL");
  const XmlElement* release = env_element->FirstChildElement("release");
  if (!release) ErrorBox("env_element->FirstChildElement( \"release\" ) is NULL");

  int attackSlope, decaySlope, releaseSlope;
  const float attackBeats = envelopeTime(attack, bpm, &attackSlope);
  const float decayBeats = envelopeTime(decay, bpm, &decaySlope);
  const float level = envelopeLevel(sustain);
  const float releaseBeats = envelopeTime(release, bpm, &releaseSlope);
  track->modulators.push_back(
      new ADSR(attackBeats, attackSlope, decayBeats, decaySlope, level, releaseBeats, releaseSlope));
}

void addArp(const XmlElement* arp_element, MidiTrack* track) {
  const XmlElement* pattern = arp_element->FirstChildElement("pattern");
  if (!pattern) ErrorBox("arp_element->FirstChildElement( \"pattern\" ) is NULL");
  const char* patternName = textOf(pattern);
  int patternType = Arp::PATTERN_UPDOWN;
  if (std::strcmp(patternName, "updown") == 0)
    patternType = Arp::PATTERN_UPDOWN;
  else if (std::strcmp(patternName, "up") == 0)
    patternType = Arp::PATTERN_UP;
  else if (std::strcmp(patternName, "down") == 0)
    patternType = Arp::PATTERN_DOWN;
  else
    ErrorBox("Unrecognized arp pattern: %s", patternName);

  const XmlElement* octaves = arp_element->FirstChildElement("octaves");
  if (!octaves) ErrorBox("arp_element->FirstChildElement( \"octaves\" ) is NULL");
  const XmlElement* numerator = arp_element->FirstChildElement("numerator");
  const XmlElement* denominator = arp_element->FirstChildElement("denominator");
  if (!numerator) ErrorBox("arp_element->FirstChildElement( \"numerator\" ) is NULL");
  if (!denominator) ErrorBox("arp_element->FirstChildElement( \"denominator\" ) is NULL");

  const int octaveCount = intOf(octaves, -1);
  const NoteValue length = noteValueOf(numerator, denominator);
  track->modulators.push_back(
      new Arp(patternType, octaveCount, length.numerator, length.denominator, length.triplet));
}

}  // namespace

void loadSyncConfig(Music* music, const char* path) {
  XmlDocument doc(true, tinyxml2::COLLAPSE_WHITESPACE);
  loadXml(doc, path);
  const XmlElement* element = doc.FirstChildElement("modulators");
  if (!element) ErrorBox("element is NULL");

  const std::string prefix = directoryOf(path);
  const char* streamFile = attributeOf(element, "stream_filename");
  const char* midiFile = attributeOf(element, "mididata_filename");
  music->loadStream((prefix + streamFile).c_str());
  // From here on music->bpm is the song's tempo, used by the conversions below.
  music->loadMidi((prefix + midiFile).c_str());

  for (const XmlElement* binding = element->FirstChildElement(); binding;
       binding = binding->NextSiblingElement()) {
    const char* trackName = attributeOf(binding, "association");
    MidiTrack* track = findTrack(music->midi, trackName);
    if (!track) ErrorBox("No MIDI track is named \"%s\" (association of <%s>)", trackName, binding->Name());

    if (const XmlElement* lfo = binding->FirstChildElement("lfo"))
      addLfo(lfo, track, prefix);
    else if (const XmlElement* envelope = binding->FirstChildElement("envelope"))
      addEnvelope(envelope, track, music->bpm);
    else if (const XmlElement* arp = binding->FirstChildElement("arp"))
      addArp(arp, track);

    // The intensity belongs to the track's latest modulator, whichever
    // binding made it; with none yet there is nothing to set.
    if (const XmlElement* intensity = binding->FirstChildElement("intensity")) {
      const char* unit = attributeOf(intensity, "unit");
      if (std::strcmp(unit, "float") != 0) ErrorBox("Unexpected intensity unit: %s", unit);
      const float value = floatOf(intensity, 0.0f);
      if (!track->modulators.empty()) track->modulators.back()->intensity = value;
    }
  }
}

void loadTemplate(const char* path, Modulator* modulator) {
  XmlDocument doc(true, tinyxml2::COLLAPSE_WHITESPACE);
  loadXml(doc, path);
  const XmlElement* element = doc.FirstChildElement("unit");
  if (!element) ErrorBox("element is NULL");
  const XmlElement* templ = element->FirstChildElement("template");
  if (!templ) ErrorBox("element->FirstChildElement( \"template\" ) is NULL");
  const XmlElement* cur_el = templ->FirstChildElement("range");
  if (!cur_el) ErrorBox("element->FirstChildElement( \"template\" )->FirstChildElement( \"range\" ) is NULL");

  for (; cur_el; cur_el = cur_el->NextSiblingElement("range")) {
    const XmlElement* min = cur_el->FirstChildElement("min");
    const XmlElement* max = cur_el->FirstChildElement("max");
    const XmlElement* value = cur_el->FirstChildElement("value");
    if (!min) ErrorBox("cur_el->FirstChildElement( \"min\" ) is NULL");
    if (!max) ErrorBox("cur_el->FirstChildElement( \"max\" ) is NULL");
    if (!value) ErrorBox("cur_el->FirstChildElement( \"value\" ) is NULL");
    const XmlElement* numerator = value->FirstChildElement("numerator");
    const XmlElement* denominator = value->FirstChildElement("denominator");
    if (!numerator) ErrorBox("cur_el->FirstChildElement( \"value\" )->FirstChildElement( \"numerator\" ) is NULL");
    if (!denominator)
      ErrorBox("cur_el->FirstChildElement( \"value\" )->FirstChildElement( \"denominator\" ) is NULL");

    // Controller values are bytes; numbers that do not parse count as 0.
    modulator->rangeMin.push_back(static_cast<uint8_t>(intOf(min, 0)));
    modulator->rangeMax.push_back(static_cast<uint8_t>(intOf(max, 0)));
    const NoteValue length = noteValueOf(numerator, denominator);
    modulator->rangeRate.push_back(noteLength(length.numerator, length.denominator, length.triplet));
  }
}
