#include "util/music/syncconfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/layer_song_player.h"
#include "midi_test_support.h"
#include "platform/audio.h"
#include "support/audio_fixtures.h"
#include "support/test_archive.h"
#include "util/music/midi.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/arp.h"
#include "util/music/modulators/lfo.h"
#include "util/music/music.h"

namespace {

namespace fs = std::filesystem;
using namespace midi_builder;
using testing::ExitedWithCode;

std::string fatal(const std::string& message) { return fatalIn("syncconfig", message); }

// Half a second of Ogg Vorbis, made once.
const std::string& streamBytes() {
  static const std::string ogg = audio_fixtures::asString(audio_fixtures::encodeOgg(audio_fixtures::sine(0.5, 440, 0.3)));
  return ogg;
}

// A song at 200 beats per minute with the tracks "lead", "bass", "drums".
std::string songBytes() {
  auto voice = [](const std::string& name, int pitch) {
    return track(trackName(name) + event(0, {0x90, pitch, 100}) + event(96, {0x80, pitch, 0}) + endOfTrack());
  };
  return header(4) + track(tempo(300000) + endOfTrack()) + voice("lead", 72) + voice("bass", 36) +
         voice("drums", 38);
}

std::string config(const std::string& bindings,
                   const std::string& attributes = " stream_filename=\"song.ogg\" mididata_filename=\"song.mid\"") {
  return "<?xml version=\"1.0\" ?>\n<modulators" + attributes + ">\n" + bindings + "</modulators>\n";
}

std::string binding(const std::string& track, const std::string& body, const std::string& element = "bind") {
  return "<" + element + " association=\"" + track + "\">" + body + "</" + element + ">\n";
}

std::string lfo(const std::string& wave = "<wave>sine</wave>", const std::string& numerator = "<numerator>1</numerator>",
                const std::string& denominator = "<denominator>8t</denominator>",
                const std::string& cc = "<cc>0x10</cc>", const std::string& templ = "<template file=\"rates.xml\" />") {
  return "<lfo>" + wave + "<tempo>" + numerator + denominator + "<controller>" + cc + templ +
         "</controller></tempo></lfo>";
}

std::string envelope(const std::string& attack = "<attack unit=\"s\" slope=\"linear\">0.3</attack>",
                     const std::string& decay = "<decay unit=\"s\" slope=\"exp\">0.15</decay>",
                     const std::string& sustain = "<sustain unit=\"percent\">50</sustain>",
                     const std::string& release = "<release unit=\"s\" slope=\"exp_inv\">0.6</release>") {
  return "<envelope>" + attack + decay + sustain + release + "</envelope>";
}

std::string arp(const std::string& pattern = "<pattern>updown</pattern>", const std::string& octaves = "<octaves>2</octaves>",
                const std::string& numerator = "<numerator>1</numerator>",
                const std::string& denominator = "<denominator>8T</denominator>") {
  return "<arp>" + pattern + octaves + numerator + denominator + "</arp>";
}

std::string range(const std::string& min, const std::string& max, const std::string& denominator) {
  return "<range><min>" + min + "</min><max>" + max + "</max><value><numerator>1</numerator><denominator>" +
         denominator + "</denominator></value></range>";
}

std::string templateFile(const std::string& body) { return "<?xml version=\"1.0\" ?>\n<unit>" + body + "</unit>\n"; }

const std::string kRates = templateFile("<template>" + range("0", "42", "4") + range("43", "84", "16T") +
                                        range("85", "127", "8") + "</template>");

// The files every configuration of these tests shares, under data/sync/.
std::vector<TestArchiveFile> songFiles() {
  return {{"data/sync/song.ogg", streamBytes()}, {"data/sync/song.mid", songBytes()}, {"data/sync/rates.xml", kRates}};
}

MidiTrack& trackNamed(Music& music, const char* name) {
  for (MidiTrack& t : music.midi->tracks)
    if (t.name && std::string(t.name) == name) return t;
  ADD_FAILURE() << "no track " << name;
  return music.midi->tracks.at(0);
}

class SyncConfig : public testing::Test {
 protected:
  SyncConfig() { audio_fixtures::useDummyAudioDevice(); }
  ~SyncConfig() override { platform::audio::shutdown(); }
};

TEST_F(SyncConfig, BindsModulatorsToTracks) {
  const std::string xml = config(
      binding("lead", lfo() + "<intensity unit=\"float\">0.5</intensity>", "wobble") +
      binding("lead", envelope() + "<intensity unit=\"float\">0.25</intensity>", "pump") +
      binding("bass", arp()) + binding("bass", "<intensity unit=\"float\">0.75</intensity>") +
      // No modulator on the track yet: the intensity has nothing to set.
      binding("drums", "<intensity unit=\"float\">0.1</intensity>") +
      binding("drums", arp("<pattern>down</pattern>", "<octaves>many</octaves>", "<numerator>1</numerator>",
                           "<denominator>0</denominator>")) +
      binding("drums", lfo("<wave>saw</wave>", "<numerator>3</numerator>", "<denominator>8</denominator>",
                           "<cc>012</cc>")));
  auto files = songFiles();
  files.push_back({"data/sync/song.xml", xml});
  TestArchive archive(files);

  Music music("data/sync/song.xml", platform::songPlayer());
  EXPECT_NE(0u, music.stream);
  EXPECT_EQ(22050u * 4, music.lengthBytes);
  ASSERT_NE(nullptr, music.midi);
  EXPECT_EQ(200.0f, music.bpm);  // the song's tempo
  ASSERT_EQ(3u, music.midi->tracks.size());

  MidiTrack& lead = trackNamed(music, "lead");
  ASSERT_EQ(2u, lead.modulators.size());
  ASSERT_EQ(Modulator::KIND_LFO, lead.modulators[0]->kind);
  auto* wobble = static_cast<LFO*>(lead.modulators[0]);
  EXPECT_EQ(LFO::WAVE_SINE, wobble->wave);
  EXPECT_EQ(16, wobble->controller);  // "0x10"
  EXPECT_EQ(0.33333334f, wobble->rate);
  EXPECT_EQ(0.5f, wobble->intensity);
  EXPECT_EQ((std::vector<uint8_t>{0, 43, 85}), wobble->rangeMin);
  EXPECT_EQ((std::vector<uint8_t>{42, 84, 127}), wobble->rangeMax);
  EXPECT_EQ((std::vector<float>{1.0f, 0.25f * 0.6666667f, 0.5f}), wobble->rangeRate);

  ASSERT_EQ(Modulator::KIND_ADSR, lead.modulators[1]->kind);
  auto* pump = static_cast<ADSR*>(lead.modulators[1]);
  EXPECT_NEAR(1.0f, pump->attack, 1e-5f);  // 0.3 s at 200 beats per minute
  EXPECT_NEAR(0.5f, pump->decay, 1e-5f);
  EXPECT_FLOAT_EQ(0.5f, pump->sustain);
  EXPECT_NEAR(2.0f, pump->release, 1e-5f);
  EXPECT_EQ(ADSR::SLOPE_LINEAR, pump->attackSlope);
  EXPECT_EQ(ADSR::SLOPE_EXP, pump->decaySlope);
  EXPECT_EQ(ADSR::SLOPE_EXP_INV, pump->releaseSlope);
  EXPECT_EQ(0.25f, pump->intensity);

  MidiTrack& bass = trackNamed(music, "bass");
  ASSERT_EQ(1u, bass.modulators.size());
  ASSERT_EQ(Modulator::KIND_ARP, bass.modulators[0]->kind);
  auto* chords = static_cast<Arp*>(bass.modulators[0]);
  EXPECT_EQ(Arp::PATTERN_UPDOWN, chords->pattern);
  EXPECT_EQ(2, chords->octaves);
  EXPECT_EQ(0.33333334f, chords->rate);  // "8T"
  EXPECT_EQ(0.75f, chords->intensity);   // from the binding after it

  MidiTrack& drums = trackNamed(music, "drums");
  ASSERT_EQ(2u, drums.modulators.size());
  auto* gate = static_cast<Arp*>(drums.modulators[0]);
  EXPECT_EQ(Arp::PATTERN_DOWN, gate->pattern);
  EXPECT_EQ(-1, gate->octaves);  // does not parse
  EXPECT_EQ(0.0f, gate->rate);
  EXPECT_EQ(1.0f, gate->intensity);
  auto* saw = static_cast<LFO*>(drums.modulators[1]);
  EXPECT_EQ(LFO::WAVE_SAW, saw->wave);
  EXPECT_EQ(10, saw->controller);  // "012" is octal
  EXPECT_EQ(1.5f, saw->rate);
  EXPECT_EQ(3u, saw->rangeRate.size());
}

TEST_F(SyncConfig, FilesBesideAConfigurationAtTheTop) {
  TestArchive archive(std::vector<TestArchiveFile>{
      {"top.xml", config(binding("bass", arp()), " stream_filename=\"data/sync/song.ogg\" mididata_filename=\"data/sync/song.mid\"")},
      {"data/sync/song.ogg", streamBytes()},
      {"data/sync/song.mid", songBytes()}});
  Music music("top.xml", platform::songPlayer());
  EXPECT_NE(0u, music.stream);
  EXPECT_EQ(1u, trackNamed(music, "bass").modulators.size());
}

struct BadConfig {
  std::string xml;
  std::string message;
};

TEST_F(SyncConfig, ErrorsAreFatalWithTheirMessage) {
  const std::string missingAttack = "<decay unit=\"s\" slope=\"exp\">1</decay><sustain unit=\"percent\">1</sustain>"
                                    "<release unit=\"s\" slope=\"exp\">1</release>";
  auto withTemplate = [](const std::string& file) {
    return config(binding("lead", lfo("<wave>sine</wave>", "<numerator>1</numerator>", "<denominator>4</denominator>",
                                      "<cc>1</cc>", "<template file=\"" + file + "\" />")));
  };
  const std::vector<BadConfig> cases = {
      {"<modulators stream_filename=\"song.ogg\"", "Could not load data/sync/case0.xml. Error='"},
      {"<other />", "element is NULL"},
      {config("", " mididata_filename=\"song.mid\""), "Element <modulators> has no attribute \"stream_filename\""},
      {config("", " stream_filename=\"song.ogg\""), "Element <modulators> has no attribute \"mididata_filename\""},
      {config("<bind>" + arp() + "</bind>"), "Element <bind> has no attribute \"association\""},
      {config(binding("piano", arp(), "keys")), "No MIDI track is named \"piano\" (association of <keys>)"},
      // Oscillators.
      {config(binding("lead", "<lfo><tempo /></lfo>")), "lfo_element->FirstChildElement( \"wave\" ) is NULL"},
      {config(binding("lead", lfo("<wave>square</wave>"))), "Unrecognized LFO wave type: square"},
      {config(binding("lead", lfo("<wave />"))), "Element <wave> holds no text"},
      {config(binding("lead", "<lfo><wave>saw</wave></lfo>")), "tempo_element is NULL"},
      {config(binding("lead", lfo("<wave>saw</wave>", ""))), "tempo_element->FirstChildElement( \"numerator\" ) is NULL"},
      {config(binding("lead", lfo("<wave>saw</wave>", "<numerator>1</numerator>", ""))),
       "tempo_element->FirstChildElement( \"denominator\" ) is NULL"},
      {config(binding("lead", lfo("<wave>saw</wave>", "<numerator>1</numerator>", "<denominator></denominator>"))),
       "Element <denominator> holds no text"},
      {config(binding("lead", "<lfo><wave>saw</wave><tempo><numerator>1</numerator><denominator>4</denominator>"
                              "</tempo></lfo>")),
       "tempo_element->FirstChildElement( \"controller\" ) is NULL"},
      {config(binding("lead", lfo("<wave>saw</wave>", "<numerator>1</numerator>", "<denominator>4</denominator>", ""))),
       "tempo_element->FirstChildElement( \"controller\" )->FirstChildElement( \"cc\" ) is NULL"},
      {config(binding("lead", lfo("<wave>saw</wave>", "<numerator>1</numerator>", "<denominator>4</denominator>",
                                  "<cc>1</cc>", ""))),
       "tempo_element->FirstChildElement( \"controller\" )->FirstChildElement( \"template\" ) is NULL"},
      {config(binding("lead", lfo("<wave>saw</wave>", "<numerator>1</numerator>", "<denominator>4</denominator>",
                                  "<cc>1</cc>", "<template />"))),
       "Element <template> has no attribute \"file\""},
      {withTemplate("none.xml"), "Could not load data/sync/none.xml. Error='Failed to open file'. Exiting.\n"},
      // Envelopes.
      {config(binding("lead", "<envelope>" + missingAttack + "</envelope>")),
       "env_element->FirstChildElement( \"attack\" ) is NULL"},
      {config(binding("lead", "<envelope><attack unit=\"s\" slope=\"exp\">1</attack></envelope>")),
       "env_element->FirstChildElement( \"decay\" ) is NULL"},
      {config(binding("lead", "<envelope><attack/><decay/></envelope>")),
       "env_element->FirstChildElement( \"sustain\" ) is NULL"},
      {config(binding("lead", "<envelope><attack/><decay/><sustain/></envelope>")),
       "env_element->FirstChildElement( \"release\" ) is NULL"},
      {config(binding("lead", envelope("<attack unit=\"ms\" slope=\"linear\">3</attack>"))),
       "Unrecognized unit type: ms"},
      {config(binding("lead", envelope("<attack slope=\"linear\">3</attack>"))),
       "Element <attack> has no attribute \"unit\""},
      {config(binding("lead", envelope("<attack unit=\"s\">3</attack>"))), "Element <attack> has no attribute \"slope\""},
      {config(binding("lead", envelope("<attack unit=\"s\" slope=\"exp\"></attack>"))),
       "Element <attack> holds no text"},
      {config(binding("lead", envelope("<attack unit=\"s\" slope=\"exp\">1</attack>",
                                       "<decay unit=\"s\" slope=\"log\">1</decay>"))),
       "Unrecognized slope type: log"},
      {config(binding("lead", envelope("<attack unit=\"s\" slope=\"exp\">1</attack>",
                                       "<decay unit=\"s\" slope=\"exp\">1</decay>",
                                       "<sustain unit=\"s\">1</sustain>"))),
       "Unrecognized unit type: s"},
      {config(binding("lead", envelope("<attack unit=\"s\" slope=\"exp\">1</attack>",
                                       "<decay unit=\"s\" slope=\"exp\">1</decay>",
                                       "<sustain unit=\"percent\">1</sustain>",
                                       "<release unit=\"percent\" slope=\"exp\">1</release>"))),
       "Unrecognized unit type: percent"},
      // Arpeggiators.
      {config(binding("bass", "<arp><octaves>1</octaves></arp>")), "arp_element->FirstChildElement( \"pattern\" ) is NULL"},
      {config(binding("bass", arp("<pattern>random</pattern>"))), "Unrecognized arp pattern: random"},
      {config(binding("bass", arp("<pattern>up</pattern>", ""))), "arp_element->FirstChildElement( \"octaves\" ) is NULL"},
      {config(binding("bass", arp("<pattern>up</pattern>", "<octaves>1</octaves>", ""))),
       "arp_element->FirstChildElement( \"numerator\" ) is NULL"},
      {config(binding("bass", arp("<pattern>up</pattern>", "<octaves>1</octaves>", "<numerator>1</numerator>", ""))),
       "arp_element->FirstChildElement( \"denominator\" ) is NULL"},
      // Intensity.
      {config(binding("bass", arp() + "<intensity unit=\"percent\">50</intensity>")),
       "Unexpected intensity unit: percent"},
      {config(binding("bass", arp() + "<intensity>0.5</intensity>")), "Element <intensity> has no attribute \"unit\""},
      {config(binding("bass", arp() + "<intensity unit=\"float\" />")), "Element <intensity> holds no text"},
      // Templates.
      {withTemplate("t_broken.xml"), "Could not load data/sync/t_broken.xml. Error='"},
      {withTemplate("t_nounit.xml"), "element is NULL"},
      {withTemplate("t_notemplate.xml"), "element->FirstChildElement( \"template\" ) is NULL"},
      {withTemplate("t_norange.xml"), "element->FirstChildElement( \"template\" )->FirstChildElement( \"range\" ) is NULL"},
      {withTemplate("t_nomin.xml"), "cur_el->FirstChildElement( \"min\" ) is NULL"},
      {withTemplate("t_nomax.xml"), "cur_el->FirstChildElement( \"max\" ) is NULL"},
      {withTemplate("t_novalue.xml"), "cur_el->FirstChildElement( \"value\" ) is NULL"},
      {withTemplate("t_nonumerator.xml"), "cur_el->FirstChildElement( \"value\" )->FirstChildElement( \"numerator\" ) is NULL"},
      {withTemplate("t_nodenominator.xml"),
       "cur_el->FirstChildElement( \"value\" )->FirstChildElement( \"denominator\" ) is NULL"},
      {withTemplate("t_emptymin.xml"), "Element <min> holds no text"},
  };

  auto files = songFiles();
  files.push_back({"data/sync/t_broken.xml", "<unit><template>"});
  files.push_back({"data/sync/t_nounit.xml", "<template />"});
  files.push_back({"data/sync/t_notemplate.xml", templateFile("<range />")});
  files.push_back({"data/sync/t_norange.xml", templateFile("<template><min>1</min></template>")});
  const std::string value = "<value><numerator>1</numerator><denominator>4</denominator></value>";
  // The second range is the faulty one: every range is checked, not only the first.
  const std::string good = range("0", "127", "4");
  files.push_back({"data/sync/t_nomin.xml", templateFile("<template>" + good + "<range><max>1</max>" + value + "</range></template>")});
  files.push_back({"data/sync/t_nomax.xml", templateFile("<template>" + good + "<range><min>1</min>" + value + "</range></template>")});
  files.push_back({"data/sync/t_novalue.xml", templateFile("<template>" + good + "<range><min>1</min><max>1</max></range></template>")});
  files.push_back({"data/sync/t_nonumerator.xml",
                   templateFile("<template>" + good + "<range><min>1</min><max>1</max><value><denominator>4</denominator></value></range></template>")});
  files.push_back({"data/sync/t_nodenominator.xml",
                   templateFile("<template>" + good + "<range><min>1</min><max>1</max><value><numerator>4</numerator></value></range></template>")});
  files.push_back({"data/sync/t_emptymin.xml", templateFile("<template><range><min /><max>1</max>" + value + "</range></template>")});
  for (size_t i = 0; i < cases.size(); ++i)
    files.push_back({"data/sync/case" + std::to_string(i) + ".xml", cases[i].xml});
  TestArchive archive(files);

  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string name = "data/sync/case" + std::to_string(i) + ".xml";
    EXPECT_EXIT(Music music(name.c_str(), platform::songPlayer()), ExitedWithCode(1), fatal(cases[i].message)) << name << "\n" << cases[i].xml;
  }
  EXPECT_EXIT(Music("data/sync/none.xml", platform::songPlayer()), ExitedWithCode(1),
              fatal("Could not load data/sync/none.xml. Error='Failed to open file'. Exiting.\n"));
}

// Minimised hostile documents: one once made the parser read past its
// buffer, the other (38 000 levels deep) overflowed its stack.
TEST_F(SyncConfig, HostileDocumentsEndInTheLoadMessage) {
  const char* source = std::getenv("KESTRUNE_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "run through ctest";
  std::vector<TestArchiveFile> files = songFiles();
  for (const char* name : {"heap-overflow-tinyxml-getchar.xml", "stack-overflow-tinyxml-38k-levels.xml"}) {
    std::ifstream in(fs::path(source) / "tests/fuzz/regressions/syncconfig" / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    ASSERT_FALSE(bytes.str().empty()) << name;
    files.push_back({std::string("data/sync/") + name, bytes.str()});
  }
  TestArchive archive(files);
  EXPECT_EXIT(Music("data/sync/heap-overflow-tinyxml-getchar.xml", platform::songPlayer()), ExitedWithCode(1),
              fatal("Could not load data/sync/heap-overflow-tinyxml-getchar.xml. Error='"));
  EXPECT_EXIT(Music("data/sync/stack-overflow-tinyxml-38k-levels.xml", platform::songPlayer()), ExitedWithCode(1),
              fatal("Could not load data/sync/stack-overflow-tinyxml-38k-levels.xml. Error='"));
}

// The show's own song: the MIDI file, the sync configuration and its templates
// as the chiptune tool staged them, loaded through Music's ".xml" path.
TEST_F(SyncConfig, TheSongsOwnFilesLoad) {
  const char* archivePath = std::getenv("KESTRUNE_DATA_TVL");
  const char* buildDir = std::getenv("KESTRUNE_BUILD_DIR");
  if (!archivePath && !buildDir) GTEST_SKIP() << "run through ctest";
  // The sanitizer build borrows the normal build's archive, and its content.
  fs::path staged = (archivePath ? fs::path(archivePath).parent_path() : fs::path(buildDir)) / "content";
  if (!fs::exists(staged / "data/common/music/chipcore5.xml") && buildDir) staged = fs::path(buildDir) / "content";
  const fs::path music_dir = staged / "data/common/music";
  ASSERT_TRUE(fs::exists(music_dir / "chipcore5.xml")) << music_dir << " holds no staged song";

  std::vector<TestArchiveFile> files;
  for (const auto& entry : fs::directory_iterator(music_dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    files.push_back({"data/common/music/" + entry.path().filename().string(), bytes.str()});
  }
  TestArchive archive(files);

  Music music("data/common/music/chipcore5.xml", platform::songPlayer());
  EXPECT_NE(0u, music.stream);
  ASSERT_NE(nullptr, music.midi);
  EXPECT_EQ(200.0f, music.bpm);
  EXPECT_EQ(music.midi->tempo, music.bpm);

  int modulators = 0;
  float lastBeat = 0.0f;
  for (const MidiTrack& t : music.midi->tracks) {
    EXPECT_NE(nullptr, t.name);
    EXPECT_FALSE(t.notes.empty());
    for (const MidiNote& n : t.notes) {
      ASSERT_FALSE(n.times.empty());
      EXPECT_TRUE(std::signbit(n.times.back())) << t.name << " " << n.name << " is never released";
      lastBeat = std::max(lastBeat, -n.times.back());
    }
    for (const Modulator* m : t.modulators) {
      ++modulators;
      if (m->kind == Modulator::KIND_LFO) {
        EXPECT_FALSE(m->rangeRate.empty()) << t.name;
      }
      if (m->kind != Modulator::KIND_ADSR) {
        EXPECT_GT(m->rate, 0.0f) << t.name;
      }
    }
  }
  EXPECT_GT(modulators, 0);
  // The MIDI notes and the audio describe the same song: every note is over
  // before the stream ends.
  const float streamBeats = static_cast<float>(music.lengthSeconds + 1) / 60.0f * music.bpm;
  EXPECT_GT(lastBeat, 557.0f);
  EXPECT_LE(lastBeat, streamBeats);
}

}  // namespace
