#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace audio {

// What an output plays and where it tells what has been heard: the audio
// layer's mix. Both calls come from the output's own thread, never from two
// threads at once (the layer has one output open at a time).
class OutputFeed {
 public:
  virtual ~OutputFeed() = default;
  // Fills `frames` stereo 16-bit frames at 44100 Hz.
  virtual void fill(int16_t* out, int frames) = 0;
  // By `ns` (the layer's clock) the listener had heard `frames` of the
  // frames filled since open().
  virtual void heard(int64_t ns, double frames) = 0;
  // Whether a stream plays: an output may then queue deeper.
  virtual bool playing() const = 0;
};

// One way to play sound: a back-end. The layer tries its back-ends in a list
// (see audio_outputs.cpp) and keeps the first that opens.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // Whether this back-end is to be tried at all (the environment may choose
  // another one).
  virtual bool wanted() const { return true; }

  // Opens the device and starts pulling from `feed`, asking `chunkFrames` at
  // a time where the back-end can choose. Gives up by `deadlineNs` (the
  // layer's clock). On failure returns false with `why`: one line that names
  // the attempt and its cause ("PULSE_SERVER=unix:/run/pa: connection
  // refused").
  virtual bool open(uint32_t chunkFrames, int64_t deadlineNs, OutputFeed* feed, std::string* why) = 0;
  virtual void close() = 0;

  // The name of the open device for timing reports ("pulseaudio", SDL's
  // driver, "silent").
  virtual const char* name() const = 0;

  // The device went away (a sound server that dropped the stream). A device
  // that stops asking for audio is found lost by the layer itself.
  virtual bool lost() const { return false; }

  // Whether heard() tells what is heard; otherwise the layer estimates it
  // with estimatedDelayFrames() and watches that the device keeps time.
  virtual bool timed() const = 0;

  // From handing a buffer of `bufferFrames` over to hearing its end, before
  // anything has been measured.
  virtual double estimatedDelayFrames(uint32_t bufferFrames) const = 0;

  // Drops what is queued and not yet heard, so that a stop is heard at once.
  virtual void discardQueued() {}

  // Times the device ran out of audio since open().
  virtual uint32_t underruns() const { return 0; }
};

// "no answer within 2 s": the cause for an attempt that ran out of time.
std::string noAnswerWithin(int64_t budgetNs);

// The back-ends, in the order they are tried.
std::vector<std::unique_ptr<AudioOutput>> makeDeviceOutputs();

}  // namespace audio
}  // namespace platform
