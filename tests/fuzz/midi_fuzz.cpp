// A MIDI file: parsed into a song or refused with the parser's fatal report.
#include "fuzz_target.h"
#include "util/data/data.h"
#include "util/music/midi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::catchFatalReports();
  data_mode = DATA_MODE_DISK;
  try {
    MidiSong song(fuzz::writeScratchFile(data, size));
  } catch (const fuzz::FatalReport&) {
  }
  return 0;
}
