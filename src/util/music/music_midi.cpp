#include <new>

#include "util/error.h"
#include "util/music/midi.h"
#include "util/music/music.h"

void Music::loadMidi(const char* name) {
  delete midi;
  midi = new (std::nothrow) MidiSong(name);
  if (midi == nullptr) ErrorBox("Loading %s failed!", name);
  // The song's own tempo drives the beat clock from now on.
  bpm = midi->tempo;
}
