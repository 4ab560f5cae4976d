#pragma once

#include <cstdint>

// The program's audio layer: streams decoded from memory (MP3 or Ogg Vorbis,
// told apart by their content) and played through the first output that
// opens: a stream of its own on a sound server that speaks the PulseAudio
// protocol (PulseAudio, PipeWire), else SDL audio (ALSA, or the driver
// SDL_AUDIODRIVER names). Each attempt has a deadline, so a server that
// never answers cannot hold the start. A device that is lost is reopened:
// meanwhile positions go on at the pace of the clock, and stderr says so.
// A device that takes audio faster than it plays it (ALSA's null device)
// gives way to the wall clock, silent; setMuted() chooses that from the
// start.
//
// Every stream is 44100 Hz stereo signed 16-bit PCM, whatever the source, so a
// byte position is a position in that PCM (176400 bytes a second) and the
// conversion to seconds is exact, whatever rate the device itself runs at.
// Positions follow what is heard, not what has been decoded. Handles are
// 32-bit, 0 means none; calls are made from the main thread, the device
// plays on a thread of its own.
namespace platform {
namespace audio {

using Handle = uint32_t;

constexpr uint32_t kOutputRate = 44100;
constexpr uint32_t kBytesPerFrame = 4;  // two 16-bit channels
constexpr uint32_t kBytesPerSecond = kOutputRate * kBytesPerFrame;

// Revision of the contract this layer implements: 2.4 in the high 16 bits.
constexpr uint32_t kContractVersion = 0x02040000u;

// Returned by length() for an invalid handle or a stream without an end.
constexpr uint64_t kLengthError = ~uint64_t{0};

// Stream flags.
constexpr uint32_t kFlagLoop = 0x4;         // start again at the end
constexpr uint32_t kFlagPrescan = 0x20000;  // exact length at creation (always done)

// Attributes.
constexpr int kAttribVolume = 2;

// Data requests.
constexpr uint32_t kDataFft1024 = 0x80000002u;  // 512 magnitudes of a 1024-sample FFT
constexpr int kSpectrumBins = 512;

// Activity states.
constexpr int kStopped = 0;
constexpr int kPlaying = 1;

uint32_t version();

// Why the latest init(), createStream() or play() that failed did so, in the
// words of the audio driver or the decoder ("" before any failure). Main
// thread.
const char* failureReason();

// Opens the output device: device -1 is the default one; the only rate
// offered is 44100. Succeeds again when the device is already open. False
// when neither a sound server nor an SDL driver can play; failureReason()
// then names each attempt and its cause, "; " between them, within three
// seconds.
bool init(int device, uint32_t rate);

// Frames in one device buffer for the next init() (1024 unless set): SDL's
// buffer, or what our server stream asks for at a time; for measurements
// and tests of other buffer sizes.
void setDeviceFrames(uint32_t frames);

// Plays without sound, on the wall clock (positions, spectrum and ends as on
// a device), from the next init() on.
void setMuted(bool muted);

// Closes the device (the process's exit does it too). Streams keep their
// state; positions stop advancing until init() and play() again.
void shutdown();

// A stream over `length` bytes at `data + offset`. The bytes are read in
// place, not copied: they must stay valid while the stream exists. 0 when the
// content is neither MP3 nor Ogg Vorbis, holds no audio, or is not 44100 Hz
// with one or two channels.
Handle createStream(const void* data, uint64_t offset, uint64_t length, uint32_t flags);

// A stream without device or decoder whose position and spectrum are set by
// hand; it has no length (length() gives kLengthError).
Handle createManualStream();

// Stops the stream and releases its decoder; the caller's buffer may be
// released afterwards. The handle becomes invalid.
bool freeStream(Handle handle);

uint64_t length(Handle handle);
double bytesToSeconds(Handle handle, uint64_t bytes);

// Volume is 0..1 (values outside are clamped).
bool setAttribute(Handle handle, int attribute, float value);

// Sets the bits of `flags` selected by `mask`; returns the new flags, or
// ~0u for an invalid handle.
uint32_t flags(Handle handle, uint32_t flags, uint32_t mask);

// Starts playback (or continues it); `restart` starts from the beginning.
// False without an open device or for an invalid handle.
bool play(Handle handle, bool restart);

// kPlaying from play() until the last byte has been heard, else kStopped.
int isActive(Handle handle);

// Bytes of the stream that the listener has heard: what was handed to the
// device minus what is still queued behind it, moving smoothly on the clock
// between the device's callbacks. On a sound server the queue comes from the
// server's own timing of our stream; for SDL's drivers it is estimated from
// the buffer size. Never decreases during one pass and stops at the end.
// kLengthError for an invalid handle.
uint64_t position(Handle handle);

// kDataFft1024: writes the spectrum of the latest 1024 audible samples
// (mono mix, Hann window) as 512 magnitudes, lowest frequency first, a
// full-scale sine giving about 1.0 in its bin. Returns the number of bytes
// written, or -1.
int getData(Handle handle, float* out, uint32_t request);

// Manual streams only.
bool setManualPosition(Handle handle, uint64_t bytes);
bool setManualSpectrum(Handle handle, const float* magnitudes512);

// How the open device plays, for measurements and tests.
struct DeviceTiming {
  char driver[32];        // "pulseaudio" (our server stream), SDL's driver, "silent"; "" when closed
  uint32_t bufferFrames;  // frames in one device buffer, at 44100 Hz
  double delayMs;         // from handing a buffer over to hearing its end
  bool delayMeasured;     // told by the sound server rather than estimated
  uint32_t underruns;     // times a sound server ran out of our audio since init()
};
DeviceTiming deviceTiming();

// The steady clock the layer interpolates on, in nanoseconds.
int64_t clockNs();

}  // namespace audio
}  // namespace platform
