#include "util/music/music.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/audio.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/music/midi.h"
#include "util/music/syncconfig.h"

namespace audio = platform::audio;

namespace {

// The box keeps its own words; what the driver or the decoder said goes to
// standard error beside it.
void reportCause(const char* what, const char* cause) {
  std::fprintf(stderr, "%s: %s\n", what, cause && *cause ? cause : "no reason given");
  std::fflush(stderr);
}

}  // namespace

const char* const music_file = "data/common/music/chipcore5.mp3";

Music::Music() : Music(music_file) {}

Music::Music(const char* fileName) {
  resetFields();

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

Music::Music(Manual) {
  resetFields();
  stream = audio::createManualStream();
  lengthBytes = audio::length(stream);
}

Music::~Music() {
  if (stream != 0) audio::freeStream(stream);
  std::free(streamBytes_);
  delete midi;
}

void Music::resetFields() {
  midi = nullptr;
  streamBytes_ = nullptr;
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
  if ((audio::version() >> 16) != 0x0204) ErrorBox("An incorrect version of BASS was loaded");
  if (!audio::init(-1, 44100)) {
    reportCause("Can't initialize device", audio::failureReason());
    ErrorBox("Can't initialize device");
  }

  // The stream plays from this buffer: it stays allocated while the stream lives.
  int size = 0;
  char* data = data_load_file(name, &size, false);
  if (!data) ErrorBox("Failed to read music data from %s!", name);

  stream = audio::createStream(data, 0, static_cast<uint64_t>(size), audio::kFlagLoop | audio::kFlagPrescan);
  if (stream != 0) {
    streamBytes_ = data;
    lengthBytes = audio::length(stream);
    if (lengthBytes != audio::kLengthError)
      lengthSeconds = static_cast<int32_t>(audio::bytesToSeconds(stream, lengthBytes));
  } else {
    streamFailure_ = audio::failureReason();
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
  // Once through, then the stream stops.
  audio::flags(stream, 0, audio::kFlagLoop);
  const bool started = audio::play(stream, false);
  if (audio::isActive(stream) != audio::kPlaying) {
    const std::string cause = stream == 0 ? streamFailure_ : started ? "the stream ended at once" : audio::failureReason();
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
  posWindow[9] = static_cast<int32_t>(static_cast<uint32_t>(audio::position(stream)));

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

float Music::beatTime() const {
  const uint64_t position = audio::position(stream);
  return static_cast<float>(audio::bytesToSeconds(stream, position) * (1.0 / 60) * bpm +
                            beatOffset);
}

void Music::fillSpectrum(float* out) {
  if (!out) ErrorBox("Invalid buffer");
  if (audio::getData(stream, out, audio::kDataFft1024) < 0)
    memset(out, 0, audio::kSpectrumBins * sizeof(float));
}

void Music::setManualPosition(double seconds) {
  const long long frames = std::llround((seconds > 0.0 ? seconds : 0.0) * audio::kOutputRate);
  audio::setManualPosition(stream, static_cast<uint64_t>(frames) * audio::kBytesPerFrame);
}

void Music::setManualSpectrum(const float* magnitudes512) { audio::setManualSpectrum(stream, magnitudes512); }
