// The MIDI file and the XML sync configuration written from the score: read
// back here with a reader of our own (and TinyXML-2), they must hold the song's
// notes in the small subset of the format the sync path accepts.

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "chiptune_support.h"
#include "score.h"
#include "smf.h"
#include "syncxml.h"

namespace {

using chiptune::kTicksPerBeat;
using chiptune::Score;

struct MidiEvent {
  uint32_t tick;
  uint8_t status;   // 0xFF for meta events
  uint8_t a, b;     // data bytes, or meta type and length
  std::string text; // meta payload
};

struct MidiTrack {
  std::vector<MidiEvent> events;
};

struct MidiFile {
  int format = -1, division = 0;
  std::vector<MidiTrack> tracks;
};

uint32_t be(const std::vector<uint8_t>& d, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | d.at(at + size_t(i));
  return v;
}

// A strict reader: running status only between channel messages, no events
// outside the accepted subset, every chunk exactly filled.
MidiFile readMidi(const std::vector<uint8_t>& d) {
  MidiFile f;
  EXPECT_EQ("MThd", std::string(d.begin(), d.begin() + 4));
  EXPECT_EQ(6u, be(d, 4, 4));
  f.format = int(be(d, 8, 2));
  const uint32_t count = be(d, 10, 2);
  f.division = int(be(d, 12, 2));
  size_t pos = 14;
  for (uint32_t t = 0; t < count; ++t) {
    EXPECT_EQ("MTrk", std::string(d.begin() + long(pos), d.begin() + long(pos) + 4));
    const size_t end = pos + 8 + be(d, pos + 4, 4);
    EXPECT_LE(end, d.size());
    size_t i = pos + 8;
    uint32_t tick = 0;
    int running = -1;
    MidiTrack track;
    while (i < end) {
      uint32_t delta = 0;
      for (int k = 0;; ++k) {
        uint8_t c = d.at(i++);
        delta = delta << 7 | (c & 0x7F);
        if (!(c & 0x80)) break;
        EXPECT_LT(k, 3) << "delta time longer than four bytes";
      }
      tick += delta;
      MidiEvent e{tick, 0, 0, 0, ""};
      uint8_t c = d.at(i);
      if (c & 0x80) {
        e.status = c;
        ++i;
      } else {
        EXPECT_GE(running, 0) << "running status without a status";
        e.status = uint8_t(running);
      }
      if (e.status == 0xFF) {
        e.a = d.at(i++);
        e.b = d.at(i++);
        EXPECT_LT(e.b, 0x80) << "meta length must fit one byte";
        e.text.assign(d.begin() + long(i), d.begin() + long(i) + e.b);
        i += e.b;
        running = -1;
      } else {
        const uint8_t kind = e.status & 0xF0;
        EXPECT_TRUE(kind == 0x80 || kind == 0x90 || kind == 0xB0) << "status " << int(e.status);
        e.a = d.at(i++);
        e.b = d.at(i++);
        running = e.status;
      }
      track.events.push_back(e);
    }
    EXPECT_EQ(end, i);
    f.tracks.push_back(track);
    pos = end;
  }
  EXPECT_EQ(d.size(), pos);
  return f;
}

std::string trackName(const MidiTrack& t) {
  for (const MidiEvent& e : t.events)
    if (e.status == 0xFF && e.a == 0x03) return e.text;
  return "";
}

TEST(ChiptuneMidi, SongFileHasTheAcceptedShape) {
  const Score score = chiptuneSong();
  const MidiFile f = readMidi(chiptune::writeMidi(score));
  EXPECT_EQ(1, f.format);
  EXPECT_EQ(kTicksPerBeat, f.division);
  ASSERT_EQ(score.voices.size() + 1, f.tracks.size());

  // Song-wide texts at most once in the whole file, a name at most once per track.
  std::map<int, int> songTexts;
  bool tempo = false, signature = false;
  for (size_t t = 0; t < f.tracks.size(); ++t) {
    int names = 0;
    const std::vector<MidiEvent>& ev = f.tracks[t].events;
    ASSERT_FALSE(ev.empty());
    for (size_t k = 0; k < ev.size(); ++k) {
      const MidiEvent& e = ev[k];
      if (e.status != 0xFF) continue;
      const std::set<int> accepted = {0x01, 0x02, 0x03, 0x2F, 0x51, 0x58, 0x59};
      EXPECT_TRUE(accepted.count(e.a)) << "meta type " << int(e.a);
      if (e.a == 0x01 || e.a == 0x02) ++songTexts[e.a];
      if (e.a == 0x01 || e.a == 0x02 || e.a == 0x03) {
        EXPECT_GT(e.b, 0) << "empty text event";
      }
      if (e.a == 0x03) ++names;
      if (e.a == 0x2F) {
        EXPECT_EQ(ev.size() - 1, k) << "end of track must come last";
      }
      if (e.a == 0x51) {
        tempo = true;
        EXPECT_EQ(std::string("\x04\x93\xE0", 3), e.text);  // 300000 us per beat = 200 BPM
      }
      if (e.a == 0x58) {
        signature = true;
        EXPECT_EQ(std::string("\x04\x02\x18\x08", 4), e.text);
      }
    }
    EXPECT_EQ(1, names) << "track " << t;
    EXPECT_EQ(0x2F, ev.back().a);
  }
  EXPECT_EQ(1, songTexts[0x01]);
  EXPECT_EQ(1, songTexts[0x02]);
  EXPECT_TRUE(tempo && signature);

  // One track per voice, in order, with every note switched on and off.
  for (size_t v = 0; v < score.voices.size(); ++v) {
    const MidiTrack& t = f.tracks[v + 1];
    EXPECT_EQ(score.voices[v].name, trackName(t));
    size_t expectedOns = 0;
    for (const chiptune::Note& n : score.notes[v]) expectedOns += n.pitches.size();
    std::map<int, int> held;
    size_t ons = 0;
    for (const MidiEvent& e : t.events) {
      if ((e.status & 0xF0) != 0x90) continue;
      EXPECT_EQ(score.voices[v].channel, e.status & 0x0F);
      if (e.b > 0) {
        EXPECT_EQ(0, held[e.a]) << score.voices[v].name << " pitch " << int(e.a) << " on twice at " << e.tick;
        held[e.a] = 1;
        ++ons;
      } else {
        EXPECT_EQ(1, held[e.a]) << score.voices[v].name << " off without on at " << e.tick;
        held[e.a] = 0;
      }
    }
    EXPECT_EQ(expectedOns, ons) << score.voices[v].name;
    for (const auto& [pitch, on] : held) EXPECT_EQ(0, on) << "pitch " << pitch << " left on";
  }
}

TEST(ChiptuneMidi, NotesKeepTimesGatesVelocitiesAndDrumNumbers) {
  Score s;
  std::string error;
  ASSERT_TRUE(chiptune::parseScore(
      "title \"T\"\nlength 8\n"
      "instrument i wave=pulse vib=0.5,6\ninstrument d wave=noise\n"
      "voice lead channel=3 instrument=i\nvoice hat channel=9 drum=42 instrument=d\n"
      "pattern p\n  o4 l4 q4 a v15 [ce] q8 v1 r b\nend\n"
      "grid g\n  hat x-X-\nend\n"
      "at 1 lead p\nat 2 drums g\n",
      s, error))
      << error;
  const MidiFile f = readMidi(chiptune::writeMidi(s));
  std::vector<std::tuple<uint32_t, int, int, int>> lead;  // tick, status, pitch, velocity
  for (const MidiEvent& e : f.tracks[1].events)
    if (e.status != 0xFF) lead.emplace_back(e.tick, e.status, e.a, e.b);
  const uint32_t B = kTicksPerBeat;
  const std::vector<std::tuple<uint32_t, int, int, int>> want = {
      {0, 0xB3, 7, 64},                                         // volume 0.5
      {0, 0xB3, 10, 64},                                        // pan centre
      {B, 0xB3, 1, 64},                                         // vibrato depth on the wheel
      {B, 0x93, 69, 102},    {B + B / 2, 0x93, 69, 0},          // q4: half a beat
      {2 * B, 0x93, 60, 127}, {2 * B, 0x93, 64, 127},           // the chord's notes together
      {2 * B + B / 2, 0x93, 60, 0}, {2 * B + B / 2, 0x93, 64, 0},
      {4 * B, 0x93, 71, 8},  {5 * B, 0x93, 71, 0}};
  EXPECT_EQ(want, lead);
  std::vector<std::pair<uint32_t, int>> hat;
  for (const MidiEvent& e : f.tracks[2].events)
    if ((e.status & 0xF0) == 0x90) hat.emplace_back(e.tick, e.b == 0 ? -e.a : e.a);
  // The first hit ends where the second starts: the off comes first.
  EXPECT_EQ((std::vector<std::pair<uint32_t, int>>{{2 * B, 42}, {2 * B + B / 2, -42}, {2 * B + B / 2, 42},
                                                   {3 * B, -42}}),
            hat);
}

TEST(ChiptuneMidi, SyncConfigurationNamesTheSongAndItsTracks) {
  const Score score = chiptuneSong();
  std::string xml, error;
  ASSERT_TRUE(chiptune::writeSyncConfig(score, xml, error)) << error;
  tinyxml2::XMLDocument doc;
  doc.Parse(xml.c_str());
  ASSERT_FALSE(doc.Error()) << doc.ErrorStr();
  const tinyxml2::XMLElement* root = doc.FirstChildElement("modulators");
  ASSERT_TRUE(root);
  // Relative to the configuration's folder: data/common/music/.
  EXPECT_STREQ("chipcore5.mp3", root->Attribute("stream_filename"));
  EXPECT_STREQ("chipcore5.mid", root->Attribute("mididata_filename"));

  std::set<std::string> tracks;
  for (const chiptune::Voice& v : score.voices) tracks.insert(v.name);
  std::set<std::string> kinds, templates;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    ASSERT_TRUE(e->Attribute("association"));
    EXPECT_TRUE(tracks.count(e->Attribute("association"))) << e->Attribute("association");
    if (const tinyxml2::XMLElement* env = e->FirstChildElement("envelope")) {
      kinds.insert("envelope");
      for (const char* part : {"attack", "decay", "release"}) {
        const tinyxml2::XMLElement* p = env->FirstChildElement(part);
        ASSERT_TRUE(p) << part;
        EXPECT_STREQ("s", p->Attribute("unit"));
        EXPECT_TRUE(std::set<std::string>({"linear", "exp", "exp_inv"}).count(p->Attribute("slope")));
      }
      ASSERT_TRUE(env->FirstChildElement("sustain"));
      EXPECT_STREQ("percent", env->FirstChildElement("sustain")->Attribute("unit"));
    } else if (const tinyxml2::XMLElement* lfo = e->FirstChildElement("lfo")) {
      kinds.insert("lfo");
      const tinyxml2::XMLElement* tempo = lfo->FirstChildElement("tempo");
      ASSERT_TRUE(tempo && tempo->FirstChildElement("numerator") && tempo->FirstChildElement("denominator"));
      const tinyxml2::XMLElement* ctl = tempo->FirstChildElement("controller");
      ASSERT_TRUE(ctl && ctl->FirstChildElement("cc") && ctl->FirstChildElement("template"));
      templates.insert(ctl->FirstChildElement("template")->Attribute("file"));
    } else if (e->FirstChildElement("arp")) {
      kinds.insert("arp");
    }
    if (const tinyxml2::XMLElement* in = e->FirstChildElement("intensity")) {
      EXPECT_STREQ("float", in->Attribute("unit"));
    }
  }
  EXPECT_EQ((std::set<std::string>{"envelope", "lfo", "arp"}), kinds);
  ASSERT_FALSE(templates.empty());
  for (const std::string& name : templates) {
    std::string t;
    ASSERT_TRUE(chiptune::writeSyncTemplate(score, name, t, error)) << error;
    tinyxml2::XMLDocument td;
    td.Parse(t.c_str());
    ASSERT_FALSE(td.Error()) << name;
    const tinyxml2::XMLElement* tpl = td.FirstChildElement("unit") ? td.FirstChildElement("unit")->FirstChildElement("template")
                                                           : nullptr;
    ASSERT_TRUE(tpl && tpl->FirstChildElement("range")) << name;
    for (const tinyxml2::XMLElement* r = tpl->FirstChildElement("range"); r; r = r->NextSiblingElement("range")) {
      const tinyxml2::XMLElement* value = r->FirstChildElement("value");
      EXPECT_TRUE(r->FirstChildElement("min") && r->FirstChildElement("max") && value &&
                  value->FirstChildElement("numerator") && value->FirstChildElement("denominator"));
    }
  }
}

TEST(ChiptuneMidi, IncompleteBindingsAreRefused) {
  struct Case {
    const char* sync;
    const char* message;
  } cases[] = {
      {"bind e v envelope attack=0.1 decay=0.1 sustain=1\n", "needs release"},
      {"bind e v envelope attack=0.1:steep decay=0.1 sustain=1 release=1\n", "bad attack"},
      {"bind e v lfo wave=square length=1/8 cc=1 template=t.xml\n", "wave must be sine or saw"},
      {"bind e v lfo wave=sine length=1/8 cc=1 template=other.xml\n", "no template 'other.xml'"},
      {"bind e v arp pattern=up octaves=1 length=8\n", "bad length '8'"},
      {"bind 1e v arp pattern=up octaves=1 length=1/8\n", "not an XML element name"},
  };
  for (const Case& c : cases) {
    Score s;
    std::string error, xml;
    ASSERT_TRUE(chiptune::parseScore(std::string("length 4\ninstrument i\nvoice v instrument=i\n"
                                                 "sync stream=a.mp3 midi=a.mid\ntemplate t.xml 0-127:1/4\n") +
                                         c.sync,
                                     s, error))
        << error;
    EXPECT_FALSE(chiptune::writeSyncConfig(s, xml, error));
    EXPECT_NE(std::string::npos, error.find(c.message)) << error;
  }
}

}  // namespace
