#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "scenes/frame_time.h"
#include "show/schedule.h"
#include "util/keystate.h"

class AsciiEngine;
class FlashLimiter;
class Music;
class ScreenRenderer;
class ShowClock;
class SongPlayer;

// How a Show keeps time and what it is made of.
struct ShowOptions {
  float aspect = 16.0f / 9.0f;  // the picture's aspect ratio, as the scenes see it
  // 0: the live clock. The song plays on the audio device and its playback
  // position rules (the window). Above 0: the stepped clock. No sound; frame
  // n stands at exactly n / steppedFps seconds, with the tick count, the
  // music's position and its spectrum moved there (recorder, preview, tests).
  int steppedFps = 0;
  // Stepped clock only: the tick count at second 0.
  uint32_t startTick = 100000;
  // Stepped clock only: the archive file decoded for the closing
  // analyser's spectrum; null: the show's own song, empty: silence.
  const char* spectrumSong = nullptr;
  // The sound system: plays the song (live clock; required) and decodes
  // the spectrum song (stepped clock; without one the spectrum is silence).
  SongPlayer* player = nullptr;
  // Stepped clock only: beats to stop at exactly (see stopAt()).
  std::vector<double> stopBeats;
  // The schedule slots to build; all when empty.
  std::function<bool(const ScheduleSlot&)> wantedSlots;
  // Keys pressed by a script instead of a person: called every frame with
  // the frame's time, before the scenes draw.
  std::function<void(const FrameTime&, KeyState&)> scriptedKeys;
  // Every output gets the screens through the flash limiter: at most three
  // general and three red flashes a second on any third of the screen.
  bool reduceFlashing = false;
};

// Where one frame goes.
struct FrameOutput {
  // Receives each scene's finished text screen: the window's or the
  // recorder's GL renderer, the CPU reference renderer, a terminal's own.
  // Null: the frame advances the show (the scenes' simulation, clocks and
  // keys) without making a picture.
  ScreenRenderer* renderer = nullptr;
};

// What a frame was.
struct ShownFrame {
  FrameTime time;
  bool stopped = false;    // a frame at one of the chosen stop beats
  double stopBeat = 0.0;   // that beat, as it was asked for
};

// The show itself: the scenes of the schedule, the music with the clock
// that drives them, the text screen they draw on, the keys they read, the
// class-wide state and the random sequence. Each output (window, recorder,
// preview, terminal) makes one, calls start() once and then advance() per
// frame into its own renderer; none needs GL but a GL renderer.
//
// One at a time per process: the class-wide state of the effects and the
// random sequence are process-wide, and a Show puts them back to the first
// frame's when it is made.
class Show {
 public:
  // Reads the archive (it must be open); a missing file is fatal as for any
  // load.
  explicit Show(const ShowOptions& options);
  ~Show();
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  // Seeds the random sequence from the tick count. A live show then starts
  // the song and returns once its beat clock stands at 0 or later.
  void start();

  // One frame: the time is read (live) or stepped (stepped) once, then every
  // scene whose slot holds the beat draws into `output`, in schedule order.
  ShownFrame advance(const FrameOutput& output);
  // The same without a picture: what the scenes simulate and count still
  // happens, so a later drawn frame is the same as if every one had been.
  ShownFrame advanceWithoutPicture() { return advance(FrameOutput{}); }
  // Stepped clock kept by the caller: one frame at exactly `seconds` of the
  // song instead of the next step (a browser page reads them from what its
  // audio output has played). Earlier times than the last frame's are taken
  // where the show stands. With the live clock it is advance().
  ShownFrame advanceAt(double seconds, const FrameOutput& output);

  // Stepped clock: a frame at exactly this beat, after the steps before it
  // (beats asked in ascending order; an earlier one is taken where the show
  // stands). Ignored with the live clock.
  void stopAt(double beat);
  // Stepped clock: whether the next advance() lands on a stop beat.
  bool nextFrameStops() const;

  // A key pressed (down) or released, as an SDL 1.2 key symbol (SDLK_*; the
  // window passes its events on, a terminal maps its bytes to them).
  // Escape ends the show; digits 1/2, the cursor keys and F8/F9 reach the
  // scenes, a tap shorter than a frame included.
  void keyEvent(int sdlSymbol, bool down);
  // True once Escape was pressed or released. Nothing else ends the show:
  // the closing Snake game stays until then.
  bool finished() const { return finished_; }

  // The letterbox of the picture in an output of width x height pixels
  // (the GL renderers draw into it); fill: the whole output, whatever its
  // ratio.
  void setOutputSize(int width, int height, bool fill = false);

  const Music& music() const { return *music_; }
  const AsciiEngine& screen() const { return *ascii_; }
  const SceneList& scenes() const { return scenes_; }
  bool stepped() const { return stepped_; }
  // Stepped clock: whether the song for the analyser was found and decoded.
  bool hasSpectrumSong() const;

 private:
  ShownFrame readTime(const double* seconds);
  ShownFrame draw(const ShownFrame& frame, const FrameOutput& output);

  float aspect_;
  bool stepped_;
  bool hasSpectrumSong_ = false;
  std::unique_ptr<ShowClock> clock_;
  std::unique_ptr<Music> music_;
  std::unique_ptr<AsciiEngine> ascii_;
  std::unique_ptr<FlashLimiter> flashLimiter_;  // null: screens go out as drawn
  std::vector<double> stopBeats_;  // asked for and not reached yet
  std::function<void(const FrameTime&, KeyState&)> scriptedKeys_;
  KeyState keys_{};
  KeyTaps keyTaps_{};
  KeyPresses keyPresses_{};
  bool finished_ = false;
  SceneList scenes_;  // last: freed first, before what they borrow
};

// What a live show's start() refuses, for an output that plays the song
// itself beside a stepped show (the browser page): the show's song loaded
// through `player` and started, stopping with the program's own message when
// it cannot play or ends before the last scene begins.
void requireSongPlays(SongPlayer& player);
