#pragma once

#include <cstdint>
#include <vector>

#include "util/music/song_player.h"

// The page's sound system as the show sees it. The page plays the song
// itself through Web Audio and keeps the show on a stepped clock at the
// position it hears. The song is decoded here, by the program's decoder, so
// that a song the program could not play is refused with its words; the
// spectrum comes from the same decoder and FFT as the program's.
SongPlayer& pageSongPlayer();

// The song the player decoded last, 44100 Hz interleaved stereo, for the
// page to play; releasing it frees the memory.
const std::vector<int16_t>& pageSong();
void releasePageSong();
