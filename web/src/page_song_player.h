#pragma once

#include "util/music/song_player.h"

// The page's sound system as the show sees it. The page plays the song
// itself through Web Audio and keeps the show on a stepped clock at the
// position it hears, so the show only asks for the song's spectrum, which
// comes from the same decoder and FFT as the program's. Nothing is played
// from here: the device calls report that the page plays the song.
SongPlayer& pageSongPlayer();
