#pragma once

class Music;

// Loads an XML sync configuration: its audio stream, its MIDI song and the
// modulators bound to the song's tracks.
void loadSyncConfig(Music* music, const char* fileName);
