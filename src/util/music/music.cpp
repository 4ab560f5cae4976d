#include "util/music/music.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/data/data.h"
#include "util/error.h"
#include "util/music/midi.h"
#include "util/music/song_player.h"
#include "util/music/syncconfig.h"

namespace {

// The box keeps its own words; what the driver or the decoder said goes to
// standard error beside it.
void reportCause(const char* what, const char* cause) {
  std::fprintf(stderr, "%s: %s\n", what, cause && *cause ? cause : "no reason given");
  std::fflush(stderr);
}

}  // namespace

const char* const music_file = "data/common/music/chipcore5.mp3";

namespace {
// A manual song's PCM, as the player's streams: 44100 Hz, 4 bytes a frame.
constexpr uint32_t kManualRate = 44100;
constexpr uint32_t kManualBytesPerFrame = 4;
}  // namespace

Music::Music(SongPlayer& player) : Music(music_file, player) {}

Music::Music(const char* fileName, SongPlayer& player) {
  resetFields();
  player_ = &player;

  // The last four characters, lower-cased, pick the loader.
  char ext[5] = {0};
  const size_t len = strlen(fileName);
  const char* tail = fileName + (len > 4 ? len - 4 : 0);
  for (int i = 0; i < 4 && tail[i]; ++i)
    ext[i] = static_cast<char>(tolower(static_cast<unsigned char>(tail[i])));

  if (strcmp(ext, ".mp3") == 0 || strcmp(ext, ".ogg") == 0) {
    loadStream(fileName);
  } else if (strcmp(ext, ".xml") == 0) {
    loadSyncConfig(this, fileName);
  } else {
    ErrorBox("Music format %s not supported", ext);
  }
}

Music::Music(Unloaded, SongPlayer& player) {
  resetFields();
  player_ = &player;
}

Music::Music(Manual) {
  resetFields();
  lengthBytes = SongPlayer::kNoLength;
}

Music::~Music() {
  if (player_ && stream != 0) player_->freeStream(stream);
  std::free(streamBytes_);
  delete midi;
}

void Music::resetFields() {
  midi = nullptr;
  player_ = nullptr;
  streamBytes_ = nullptr;
  manualBytes_ = 0;
  for (float& bin : manualSpectrum_) bin = 0.0f;
  bpm = 200.0f;
  beatOffset = 0.0f;
  for (int i = 0; i < 10; ++i) {
    beatWindow[i] = 0.0f;
    posWindow[i] = 0;
  }
  beatStep = 0.0f;
  posStep = 0;
  stream = 0;
  lengthSeconds = 0;
  lengthBytes = 0;
}

void Music::loadStream(const char* name) {
  if (!player_) ErrorBox("A manual song cannot load %s", name);
  if ((player_->version() >> 16) != SongPlayer::kContract) ErrorBox("An incorrect version of BASS was loaded");
  if (!player_->openDevice()) {
    reportCause("Can't initialize device", player_->failureReason());
    ErrorBox("Can't initialize device");
  }

  // The stream plays from this buffer: it stays allocated while the stream lives.
  int size = 0;
  char* data = data_load_file(name, &size, false);
  if (!data) ErrorBox("Failed to read music data from %s!", name);

  stream = player_->createStream(data, static_cast<uint64_t>(size));
  if (stream != 0) {
    streamBytes_ = data;
    lengthBytes = player_->lengthBytes(stream);
    if (lengthBytes != SongPlayer::kNoLength)
      lengthSeconds = static_cast<int32_t>(player_->bytesToSeconds(stream, lengthBytes));
  } else {
    streamFailure_ = player_->failureReason();
    free(data);  // nothing plays from it; play() reports the failure
  }
}

void Music::play() {
  for (int i = 0; i < 10; ++i) {
    beatWindow[i] = beatOffset;
    posWindow[i] = 0;
  }
  beatStep = 0.0f;
  posStep = 0;
  if (!player_) return;  // a manual song moves only when it is told to
  // Once through, then the stream stops.
  const bool started = player_->play(stream);
  if (!player_->isPlaying(stream)) {
    const std::string cause = stream == 0 ? streamFailure_ : started ? "the stream ended at once" : player_->failureReason();
    reportCause("Failed to start the music", cause.c_str());
    ErrorBox("Failed to start the music!");
  }
}

void Music::update() {
  const float droppedBeat = beatWindow[0];
  const int32_t droppedPos = posWindow[0];
  for (int i = 0; i < 9; ++i) {
    beatWindow[i] = beatWindow[i + 1];
    posWindow[i] = posWindow[i + 1];
  }
  beatWindow[9] = beatTime();
  posWindow[9] = static_cast<int32_t>(static_cast<uint32_t>(positionBytes()));

  float sum = 0.0f;
  float previous = droppedBeat;
  for (int i = 0; i < 10; ++i) {
    sum += beatWindow[i] - previous;
    previous = beatWindow[i];
  }
  beatStep = static_cast<float>(0.1 * sum);
  // Wrapping subtraction: positions are only the low 32 bits.
  const int32_t advance =
      static_cast<int32_t>(static_cast<uint32_t>(posWindow[9]) - static_cast<uint32_t>(droppedPos));
  posStep = advance / 10;
}

uint64_t Music::positionBytes() const { return player_ ? player_->position(stream) : manualBytes_; }

double Music::secondsOf(uint64_t bytes) const {
  if (player_) return player_->bytesToSeconds(stream, bytes);
  return static_cast<double>(bytes) / (kManualRate * kManualBytesPerFrame);
}

float Music::beatTime() const {
  return static_cast<float>(secondsOf(positionBytes()) * (1.0 / 60) * bpm + beatOffset);
}

void Music::fillSpectrum(float* out) {
  if (!out) ErrorBox("Invalid buffer");
  if (!player_) {
    std::memcpy(out, manualSpectrum_, sizeof manualSpectrum_);
  } else if (!player_->spectrum(stream, out)) {
    std::memset(out, 0, kSpectrumBins * sizeof(float));
  }
}

void Music::setVolume(float volume) {
  if (player_) player_->setVolume(stream, volume);
}

double Music::exactLengthSeconds() const {
  if (!player_ || stream == 0 || lengthBytes == SongPlayer::kNoLength) return -1.0;
  return player_->bytesToSeconds(stream, lengthBytes);
}

void Music::setManualPosition(double seconds) {
  const long long frames = std::llround((seconds > 0.0 ? seconds : 0.0) * kManualRate);
  manualBytes_ = static_cast<uint64_t>(frames) * kManualBytesPerFrame;
}

void Music::setManualSpectrum(const float* magnitudes512) {
  if (magnitudes512) std::memcpy(manualSpectrum_, magnitudes512, sizeof manualSpectrum_);
}
