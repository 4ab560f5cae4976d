#pragma once

#include <cstdint>
#include <memory>

// A song decoded whole, for the spectrum the analyser would see at any
// position without playing it (stepped show clocks).
class SongAnalysis {
 public:
  static constexpr int kBins = 512;
  virtual ~SongAnalysis() = default;
  virtual double seconds() const = 0;
  // The magnitudes of the 1024 samples that end at `seconds`, as the sound
  // system computes them for the samples just heard.
  virtual void spectrum(double seconds, float* out512) const = 0;
};

// What the show asks of the sound system: songs played from memory, the
// position the listener has heard and its spectrum. The platform's audio
// layer implements it; the show itself includes no audio code. Streams are
// 44100 Hz stereo 16-bit PCM, so a byte position converts to seconds
// exactly; handles are nonzero, 0 means none.
class SongPlayer {
 public:
  using Stream = uint32_t;
  static constexpr uint64_t kNoLength = ~uint64_t{0};
  static constexpr uint32_t kContract = 0x0204;  // the contract revision the show was written for

  virtual ~SongPlayer() = default;

  // The revision of the contract implemented, in the high 16 bits.
  virtual uint32_t version() = 0;
  // Opens the output device (again: succeeds at once). False when nothing can play.
  virtual bool openDevice() = 0;
  // Why the latest openDevice(), createStream() or play() failed.
  virtual const char* failureReason() = 0;
  // A stream over the `size` bytes at `data`, read in place (they must live
  // as long as the stream), looping until play() says otherwise; 0 when the
  // bytes hold no playable song.
  virtual Stream createStream(const void* data, uint64_t size) = 0;
  virtual void freeStream(Stream stream) = 0;
  // Bytes of PCM in the stream; kNoLength when unknown.
  virtual uint64_t lengthBytes(Stream stream) = 0;
  virtual double bytesToSeconds(Stream stream, uint64_t bytes) = 0;
  virtual void setVolume(Stream stream, float volume) = 0;
  // Plays the stream once through from where it stands.
  virtual bool play(Stream stream) = 0;
  virtual bool isPlaying(Stream stream) = 0;
  // Bytes of the stream the listener has heard.
  virtual uint64_t position(Stream stream) = 0;
  // 512 magnitudes of the latest 1024 samples heard; false when there are none.
  virtual bool spectrum(Stream stream, float* out512) = 0;

  // The archive file `name` decoded for its spectrum; null when it is
  // missing or holds no playable audio.
  virtual std::unique_ptr<SongAnalysis> analyse(const char* name) = 0;
};
