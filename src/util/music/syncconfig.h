#pragma once

class Modulator;
class Music;

// Loads an XML sync configuration from the archive: creates the audio stream
// and the MIDI song it names (file names relative to the configuration's
// directory), then binds envelopes, oscillators and arpeggiators to the song's
// tracks by track name. Every error is fatal.
void loadSyncConfig(Music* music, const char* path);

// Appends the ranges of the template file `path` to the rate table of `modulator`.
void loadTemplate(const char* path, Modulator* modulator);
