// A sync configuration beside the show's own MIDI song and rate templates:
// loaded or refused with the loader's fatal report. Its stream is an empty
// file, so no audio is decoded and nothing stays allocated between inputs.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_target.h"
#include "util/data/data.h"
#include "util/music/midi.h"
#include "platform/layer_song_player.h"
#include "util/music/music.h"
#include "util/music/syncconfig.h"

namespace {

DataEntry* addEntry(const char* name, const std::string& bytes) {
  data_entries.push_back(std::make_unique<DataEntry>(name, static_cast<int>(bytes.size()),
                                                     static_cast<char*>(std::malloc(bytes.size() + 1))));
  DataEntry* entry = data_entries.back().get();
  std::memcpy(entry->data, bytes.data(), bytes.size());
  return entry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Music* music = nullptr;
  static DataEntry* config = nullptr;
  if (!music) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fuzz::catchFatalReports();
    data_mode = DATA_MODE_ARCHIVE;
    data_clear_entries();
    addEntry("data/sync/chipcore5.mp3", "");
    addEntry("data/sync/chipcore5.mid", fuzz::readFixture("corpus/midi/chipcore5.mid"));
    addEntry("data/sync/chipcore5_pulse.xml", fuzz::readFixture("corpus/syncconfig/chipcore5_pulse.xml"));
    addEntry("data/sync/chipcore5_vibrato.xml", fuzz::readFixture("corpus/syncconfig/chipcore5_vibrato.xml"));
    config = addEntry("data/sync/song.xml", "");
    music = new Music(Music::Unloaded{}, platform::songPlayer());
  }
  std::free(config->data);
  config->data = static_cast<char*>(std::malloc(size + 1));
  if (size > 0) std::memcpy(config->data, data, size);
  config->size = static_cast<int>(size);
  try {
    loadSyncConfig(music, "data/sync/song.xml");
  } catch (const fuzz::FatalReport&) {
  }
  delete music->midi;
  music->midi = nullptr;
  return 0;
}
