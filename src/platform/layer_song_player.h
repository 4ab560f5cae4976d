#pragma once

#include "util/music/song_player.h"

namespace platform {

// The show's songs played by the program's audio layer (platform/audio.h),
// and decoded with its decoders for a stepped clock's spectrum.
SongPlayer& songPlayer();

}  // namespace platform
