// How far the show's clock is from what a listener hears.
//
// Plays the show's song through Music on a PulseAudio server and records the
// sink's monitor at the same time. Every recorded block is placed on the
// monotonic clock with the server's timing (the monitor stream's latency,
// which is negative while the sink still holds the data), so the recording
// says when each sample became audible. The song's onsets on the beat grid
// (kicks and accents) are found in the recording by correlating onset
// envelopes with the decoded song; around each one the beat clock, read at
// frame pace, is compared with the song time being heard.
//
//   scripts/pulse_server.sh run -- build/bench/bench_sync_error [--data=build/data.tvl]
//       [--seconds=45] [--sinks=out44,out48] [--frames=1024,2048]
//
// The server must offer the named null sinks (scripts/pulse_server.sh does).
// SYNC_DUMP=1 also prints the mean error around every onset.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/audio_decoder.h"
#include "util/data/data.h"
#include "platform/layer_song_player.h"
#include "util/music/music.h"

namespace audio = platform::audio;

namespace {

const char* const kSongName = "data/common/music/chipcore5.mp3";
constexpr double kSongRate = 44100.0;
constexpr double kEnvelopeRate = 4000.0;  // onset envelope: 0.25 ms steps

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

// Records a source as mono float on its own rate; each block remembers when
// its first frame was heard.
class MonitorRecorder {
 public:
  struct Block {
    uint64_t firstFrame;
    int64_t heardNs;
  };

  bool start(const std::string& source) {
    loop_ = pa_threaded_mainloop_new();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "kestrune sync bench");
    pa_context_set_state_callback(context_, &MonitorRecorder::onContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    pa_threaded_mainloop_lock(loop_);
    pa_threaded_mainloop_start(loop_);
    while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
      if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
        pa_threaded_mainloop_unlock(loop_);
        return false;
      }
      pa_threaded_mainloop_wait(loop_);
    }
    pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, 44100, 1};
    stream_ = pa_stream_new(context_, "monitor", &spec, nullptr);
    pa_stream_set_state_callback(stream_, &MonitorRecorder::onStreamState, this);
    pa_stream_set_read_callback(stream_, &MonitorRecorder::onRead, this);
    pa_buffer_attr attr;
    memset(&attr, 0xFF, sizeof attr);
    attr.fragsize = pa_usec_to_bytes(5000, &spec);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_FIX_RATE | PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    bool ok = pa_stream_connect_record(stream_, source.c_str(), &attr, flags) == 0;
    while (ok && pa_stream_get_state(stream_) != PA_STREAM_READY) {
      if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) ok = false;
      else pa_threaded_mainloop_wait(loop_);
    }
    if (ok) rate_ = pa_stream_get_sample_spec(stream_)->rate;
    pa_threaded_mainloop_unlock(loop_);
    return ok;
  }

  void stop() {
    if (!loop_) return;
    pa_threaded_mainloop_stop(loop_);
    if (stream_) pa_stream_unref(stream_);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
    stream_ = nullptr;
  }

  ~MonitorRecorder() { stop(); }

  uint32_t rate() const { return rate_; }
  // Safe once stop() has returned.
  const std::vector<float>& samples() const { return samples_; }
  const std::vector<Block>& blocks() const { return blocks_; }

 private:
  static void onContextState(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->loop_, 0);
  }

  static void onStreamState(pa_stream*, void* self) {
    pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->loop_, 0);
  }

  static void onRead(pa_stream* stream, size_t, void* user) {
    auto* self = static_cast<MonitorRecorder*>(user);
    while (pa_stream_readable_size(stream) > 0) {
      pa_usec_t latency = 0;
      int negative = 0;
      // The latency is the age of the sample at the read index, the first
      // one of the block about to be peeked.
      bool timed = pa_stream_get_latency(stream, &latency, &negative) == 0;
      int64_t now = audio::clockNs();
      const void* data = nullptr;
      size_t bytes = 0;
      if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
      size_t frames = bytes / sizeof(float);
      if (timed) {
        int64_t age = static_cast<int64_t>(latency) * 1000 * (negative ? -1 : 1);
        self->blocks_.push_back({self->samples_.size(), now - age});
      }
      const float* in = static_cast<const float*>(data);
      for (size_t i = 0; i < frames; ++i) self->samples_.push_back(data ? in[i] : 0.0f);
      pa_stream_drop(stream);
    }
  }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  uint32_t rate_ = 0;
  std::vector<float> samples_;
  std::vector<Block> blocks_;
};

// Onset envelope: the rise of log energy in 0.25 ms steps, from `rate` Hz mono.
std::vector<float> onsetEnvelope(const std::vector<float>& mono, double rate) {
  size_t steps = static_cast<size_t>(mono.size() / rate * kEnvelopeRate);
  std::vector<float> energy(steps, 0.0f);
  for (size_t j = 0; j < steps; ++j) {
    size_t from = static_cast<size_t>(j * rate / kEnvelopeRate);
    size_t to = std::min(mono.size(), static_cast<size_t>((j + 1) * rate / kEnvelopeRate));
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(mono[i]) * mono[i];
    energy[j] = static_cast<float>(std::log10(1e-9 + sum / std::max<size_t>(1, to - from)));
  }
  // Rise over 1 ms, so an attack shows as one clear peak.
  std::vector<float> rise(steps, 0.0f);
  for (size_t j = 4; j < steps; ++j) rise[j] = std::max(0.0f, energy[j] - energy[j - 4]);
  return rise;
}

double energyAround(const std::vector<float>& mono, double fromSeconds, double toSeconds) {
  size_t from = static_cast<size_t>(std::max(0.0, fromSeconds) * kSongRate);
  size_t to = std::min(mono.size(), static_cast<size_t>(toSeconds * kSongRate));
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(mono[i]) * mono[i];
  return to > from ? sum / (to - from) : 0.0;
}

// Beat-grid positions (song seconds) where the song has a clear attack.
std::vector<double> songOnsets(const std::vector<float>& song, double bpm) {
  std::vector<double> onsets;
  double songSeconds = song.size() / kSongRate;
  for (int beat = 0; beat * 60.0 / bpm < songSeconds - 0.1; ++beat) {
    double at = beat * 60.0 / bpm;
    double before = energyAround(song, at - 0.030, at - 0.002);
    double after = energyAround(song, at, at + 0.025);
    if (after > 1e-4 && after > 4.0 * before) onsets.push_back(at);
  }
  return onsets;
}

// Shift (seconds) that best lays the song's envelope around `at` onto the
// recording's, searched within `center` +- `range`; NaN when nothing matches.
double matchShift(const std::vector<float>& songRise, const std::vector<float>& recRise, double at,
                  double center, double range) {
  // From 60 ms before the onset to 150 ms after: long enough that the
  // hi-hats a quarter beat apart cannot stand in for the onset.
  const int before = static_cast<int>(0.060 * kEnvelopeRate);
  const int after = static_cast<int>(0.150 * kEnvelopeRate);
  const int j0 = static_cast<int>(std::lround(at * kEnvelopeRate));
  const int lo = static_cast<int>(std::floor((center - range) * kEnvelopeRate));
  const int hi = static_cast<int>(std::ceil((center + range) * kEnvelopeRate));
  std::vector<double> score;
  for (int d = lo; d <= hi; ++d) {
    double dot = 0, songNorm = 0, recNorm = 0;
    for (int j = j0 - before; j < j0 + after; ++j) {
      int k = j + d;
      if (j < 0 || k < 0 || j >= int(songRise.size()) || k >= int(recRise.size())) continue;
      dot += songRise[j] * recRise[k];
      songNorm += songRise[j] * songRise[j];
      recNorm += recRise[k] * recRise[k];
    }
    score.push_back(songNorm > 0 && recNorm > 0 ? dot / std::sqrt(songNorm * recNorm) : 0.0);
  }
  size_t best = std::max_element(score.begin(), score.end()) - score.begin();
  if (score[best] < 0.6 || best == 0 || best + 1 == score.size()) return NAN;
  // A parabola through the peak and its neighbours places it between steps.
  double a = score[best - 1], b = score[best], c = score[best + 1];
  double offset = (a - c) / (2.0 * (a - 2.0 * b + c));
  return (lo + double(best) + offset) / kEnvelopeRate;
}

struct Reading {
  int64_t ns;
  float beat;
};

struct Result {
  size_t readings = 0;
  size_t onsets = 0;
  double mean = 0, meanAbs = 0, p99 = 0, worst = 0;
  double placementSpreadMs = 0;
};

Result measure(const std::vector<float>& songRise, const std::vector<double>& onsets,
               const MonitorRecorder& recorder, const std::vector<Reading>& readings, const Music& music) {
  Result result;
  const auto& blocks = recorder.blocks();
  const double rate = recorder.rate();
  if (blocks.size() < 10 || readings.size() < 10) return result;
  // Heard time of recorded frame r, from the blocks around it: each block's
  // timing gives the recording's offset on the clock, and the median of 41
  // neighbours (about 0.2 s) keeps one late timing update from moving it.
  std::vector<double> offsets(blocks.size());  // heard ns minus recording ns
  for (size_t i = 0; i < blocks.size(); ++i) offsets[i] = blocks[i].heardNs - blocks[i].firstFrame / rate * 1e9;
  std::vector<double> smoothed(blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) {
    size_t from = i >= 20 ? i - 20 : 0, to = std::min(blocks.size(), i + 21);
    std::vector<double> window(offsets.begin() + from, offsets.begin() + to);
    std::nth_element(window.begin(), window.begin() + window.size() / 2, window.end());
    smoothed[i] = window[window.size() / 2];
    if (blocks[i].heardNs >= readings.front().ns + 1000000000 && blocks[i].heardNs <= readings.back().ns)
      result.placementSpreadMs = std::max(result.placementSpreadMs, std::fabs(offsets[i] - smoothed[i]) / 1e6);
  }
  auto blockAt = [&](double recordSeconds) {
    uint64_t frame = static_cast<uint64_t>(std::max(0.0, recordSeconds * rate));
    auto next = std::upper_bound(blocks.begin(), blocks.end(), frame,
                                 [](uint64_t f, const MonitorRecorder::Block& b) { return f < b.firstFrame; });
    return next == blocks.begin() ? size_t(0) : size_t(next - blocks.begin() - 1);
  };
  auto heardNs = [&](double recordSeconds) {
    return static_cast<int64_t>(smoothed[blockAt(recordSeconds)] + recordSeconds * 1e9);
  };
  auto clockSeconds = [&](const Reading& r) { return (double(r.beat) - music.beatOffset) * 60.0 / music.bpm; };

  std::vector<float> recRise = onsetEnvelope(recorder.samples(), rate);
  // Each onset is looked for in the recording where the clock says it is
  // heard, within 200 ms (the clock is off by far less).
  std::vector<double> errors;
  size_t reading = 0;
  for (double at : onsets) {
    // The reading at which the clock passed `at`.
    while (reading < readings.size() && clockSeconds(readings[reading]) < at) ++reading;
    if (reading == 0 || reading == readings.size()) continue;
    double guessNs = readings[reading].ns - (clockSeconds(readings[reading]) - at) * 1e9;
    // Recording seconds heard at guessNs, from the block heard last before it.
    auto block = std::upper_bound(blocks.begin(), blocks.end(), guessNs,
                                  [](double ns, const MonitorRecorder::Block& b) { return ns < b.heardNs; });
    if (block == blocks.begin()) continue;
    double guessRecord = (guessNs - smoothed[block - blocks.begin() - 1]) / 1e9;
    double shift = matchShift(songRise, recRise, at, guessRecord - at, 0.2);
    if (std::isnan(shift)) continue;
    const int64_t onsetHeardNs = heardNs(at + shift);
    ++result.onsets;
    // Every frame's reading within half a beat of this onset.
    double sum = 0;
    int count = 0;
    for (const Reading& r : readings) {
      double from = (r.ns - onsetHeardNs) / 1e9;
      if (std::fabs(from) > 0.15) continue;
      errors.push_back((clockSeconds(r) - (at + from)) * 1e3);
      sum += errors.back();
      ++count;
    }
    if (getenv("SYNC_DUMP"))
      fprintf(stderr, "onset %.2f s: mean error %.2f ms over %d readings\n", at, count ? sum / count : 0.0, count);
  }
  if (errors.empty()) return result;
  std::vector<double> sorted;
  for (double e : errors) {
    result.mean += e;
    result.meanAbs += std::fabs(e);
    sorted.push_back(std::fabs(e));
  }
  std::sort(sorted.begin(), sorted.end());
  result.readings = errors.size();
  result.mean /= errors.size();
  result.meanAbs /= errors.size();
  result.p99 = sorted[static_cast<size_t>(0.99 * (sorted.size() - 1))];
  result.worst = sorted.back();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dataPath = getenv("KESTRUNE_DATA_TVL") ? getenv("KESTRUNE_DATA_TVL") : "build/data.tvl";
  double seconds = 45.0;
  std::vector<std::string> sinks = {"out44", "out48"};
  std::vector<std::string> frameSizes = {"1024", "2048"};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--data=", 0) == 0) dataPath = arg.substr(7);
    else if (arg.rfind("--seconds=", 0) == 0) seconds = std::max(5.0, atof(arg.c_str() + 10));
    else if (arg.rfind("--sinks=", 0) == 0) sinks = split(arg.substr(8));
    else if (arg.rfind("--frames=", 0) == 0) frameSizes = split(arg.substr(9));
    else {
      fprintf(stderr, "usage: %s [--data=PATH] [--seconds=N] [--sinks=a,b] [--frames=n,m]\n", argv[0]);
      return 2;
    }
  }
  if (!getenv("PULSE_SERVER")) {
    fprintf(stderr, "PULSE_SERVER is not set: run through scripts/pulse_server.sh run -- ...\n");
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
  setenv("KESTRUNE_NO_BOXES", "1", 0);

  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(dataPath.c_str());
  int size = 0;
  char* bytes = data_load_file(kSongName, &size, false);
  auto source = bytes ? audio::openPcmSource(reinterpret_cast<uint8_t*>(bytes), size) : nullptr;
  if (!source) {
    fprintf(stderr, "%s: no song %s\n", dataPath.c_str(), kSongName);
    return 1;
  }
  std::vector<float> song;
  std::vector<int16_t> pcm(4096 * 2);
  while (size_t got = source->read(pcm.data(), 4096))
    for (size_t i = 0; i < got; ++i) song.push_back((pcm[2 * i] + pcm[2 * i + 1]) * (0.5f / 32768.0f));
  std::vector<double> onsets = songOnsets(song, 200.0);
  std::vector<float> songRise = onsetEnvelope(song, kSongRate);
  printf("song: %.1f s, %zu onsets on the beat grid; %.0f s per run\n", song.size() / kSongRate, onsets.size(),
         seconds);
  printf("%-6s %6s %6s  %8s %8s %8s %8s  %7s %6s %8s  %6s %6s\n", "sink", "rate", "frames", "mean", "mean|e|",
         "p99|e|", "worst", "onsets", "reads", "place", "xruns", "delay");

  int failures = 0;
  for (const std::string& sink : sinks) {
    for (const std::string& frames : frameSizes) {
      setenv("PULSE_SINK", sink.c_str(), 1);
      audio::setDeviceFrames(static_cast<uint32_t>(atoi(frames.c_str())));
      MonitorRecorder recorder;
      if (!recorder.start(sink + ".monitor")) {
        fprintf(stderr, "cannot record %s.monitor\n", sink.c_str());
        return 1;
      }
      Music music(platform::songPlayer());
      std::vector<Reading> readings;
      uint32_t jitter = 12345;
      music.play();
      const int64_t startNs = audio::clockNs();
      while (audio::clockNs() - startNs < static_cast<int64_t>(seconds * 1e9)) {
        music.update();
        int64_t before = audio::clockNs();
        float beat = music.beatTime();
        int64_t after = audio::clockNs();
        readings.push_back({before + (after - before) / 2, beat});
        // About 60 frames a second, not locked to the device's period.
        jitter = jitter * 1664525u + 1013904223u;
        std::this_thread::sleep_for(std::chrono::microseconds(15000 + (jitter >> 16) % 3500));
      }
      const audio::DeviceTiming timing = audio::deviceTiming();
      // Let the last onsets reach the monitor before the recording ends.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      audio::freeStream(music.stream);
      audio::shutdown();
      recorder.stop();
      Result r = measure(songRise, onsets, recorder, readings, music);
      printf("%-6s %6u %6s  %8.2f %8.2f %8.2f %8.2f  %7zu %6zu %8.2f  %6u %6.1f %s\n", sink.c_str(),
             recorder.rate(), frames.c_str(), r.mean, r.meanAbs, r.p99, r.worst, r.onsets, r.readings,
             r.placementSpreadMs, timing.underruns, timing.delayMs, timing.delayMeasured ? "server" : "estimate");
      fflush(stdout);
      if (r.readings == 0) ++failures;
    }
  }
  printf("error = beat clock - heard song time, in ms (positive: the picture is ahead of the sound);\n"
         "place = largest distance of a recorded block's server timing from its neighbours' median, in ms;\n"
         "xruns = times the server ran out of the show's audio;\n"
         "delay = the audio layer's delay from handing a buffer over to hearing it, in ms, and where it came from\n");
  return failures ? 1 : 0;
}
