#include "capture/show_recorder.h"

#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "capture/encode_worker.h"
#include "capture/frame_directory.h"
#include "capture/interruption.h"
#include "capture/mp4_writer.h"
#include "capture/output_file.h"
#include "capture/picture_scaler.h"
#include "capture/progress_line.h"
#include "capture/recording_outputs.h"
#include "show/show_core.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "platform/layer_song_player.h"
#include "util/fbo/fbo.h"
#include "platform/decodedsong.h"
#include "util/music/music.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double processCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// Pictures are read back into pixel buffer objects, two in turn: the copy
// of frame n runs while frame n + 1 is drawn, and frame n is mapped only
// then.
class Readback {
 public:
  Readback(int width, int height) : width_(width), height_(height), bytes_(static_cast<size_t>(width) * height * 4) {
    glGenBuffers(2, buffers_);
    for (GLuint buffer : buffers_) {
      glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
      glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes_), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  }
  ~Readback() { glDeleteBuffers(2, buffers_); }

  size_t bytes() const { return bytes_; }

  // Starts reading `framebuffer` as picture `slot` (0 or 1). It is bound
  // here: a frame may end with a buffer swap, after which the window
  // system's layer may have bound one of its own.
  void start(GLuint framebuffer, int slot) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[slot]);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  }

  // Copies picture `slot` out, bottom row first; false if it cannot be mapped.
  bool collect(int slot, uint8_t* out) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[slot]);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (pixels) {
      std::copy_n(static_cast<const uint8_t*>(pixels), bytes_, out);
      glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return pixels != nullptr;
  }

 private:
  int width_, height_;
  size_t bytes_;
  GLuint buffers_[2] = {0, 0};
};

// The song's sound for frames [from, to) of the plan: silence past its end.
void soundOf(const std::vector<int16_t>& song, const CapturePlan& plan, int64_t frame, std::vector<int16_t>& out) {
  const int64_t begin = plan.soundSample(frame);
  const int64_t end = plan.soundSample(frame + 1);
  out.assign(static_cast<size_t>(end - begin) * 2, 0);
  const int64_t available = static_cast<int64_t>(song.size() / 2);
  for (int64_t s = begin; s < std::min(end, available); ++s) {
    out[static_cast<size_t>(s - begin) * 2] = song[static_cast<size_t>(s) * 2];
    out[static_cast<size_t>(s - begin) * 2 + 1] = song[static_cast<size_t>(s) * 2 + 1];
  }
}

// Points the show's output at an off-screen framebuffer for as long as the
// recording runs, and back at the window after it, however it ends.
class OutputRedirect {
 public:
  OutputRedirect(GlScreenRenderer* screen, GLuint framebuffer, bool stopAtTarget) : screen_(screen) {
    screen_->outputFramebuffer = framebuffer;
    screen_->stopsAtTarget = stopAtTarget;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  }
  ~OutputRedirect() {
    screen_->outputFramebuffer = 0;
    screen_->stopsAtTarget = false;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  }

 private:
  GlScreenRenderer* screen_;
};

}  // namespace

bool recordShow(const CaptureRequest& request, const RecorderTuning& tuning, CaptureStats& stats, std::string& error) {
  stats = CaptureStats{};
  std::vector<int16_t> song;
  if (!decodeSong(music_file, song)) {
    error = std::string("the data archive holds no playable ") + music_file;
    return false;
  }
  // The show on the stepped clock: each frame steps the music's position,
  // its spectrum and the tick count to the next n / fps. Every recording
  // starts the effects' shared clocks afresh, as a new process would.
  GlScreenRenderer screen;
  ShowOptions options;
  options.aspect = captureAspect(request);
  options.steppedFps = request.fps;
  options.reduceFlashing = request.reduceFlashing;
  options.player = &platform::songPlayer();
  Show show(options);
  show.start();
  CapturePlan plan;
  if (!planCapture(request, show.music().bpm, static_cast<double>(song.size() / 2) / 44100.0, plan, error))
    return false;

  // The outputs first: a name that cannot be written fails before the long
  // part starts.
  OutputFile videoFile;
  Mp4Writer writer;
  FrameDirectory frames;
  if (!request.videoPath.empty()) {
    if (!videoFile.create(request.videoPath)) {
      error = videoFile.error();
      return false;
    }
    Mp4Format format;
    format.width = request.width;
    format.height = request.height;
    format.fps = request.fps;
    format.preset = tuning.preset;
    if (!writer.open(videoFile.writablePath(), format)) {
      error = request.videoPath + ": " + writer.error();
      return false;
    }
  }
  if (!request.framesDir.empty() && !frames.create(request.framesDir)) {
    error = frames.error();
    return false;
  }

  // Without a chosen ratio the picture fills the frame.
  show.setOutputSize(request.width, request.height, request.aspect <= 0.0f);
  const AsciiEngine& ascii = show.screen();

  // Where the picture is magnified (or 1:1), GL draws only the text
  // picture and the worker scales it into the frame: the drawing thread
  // then neither fills nor reads back the full frame. Smaller frames need
  // GL's mipmaps and are drawn at their size.
  const bool scalesOnCpu = tuning.scaleOnCpu && PictureScaler::magnifies(AsciiEngine::kTargetWidth,
                                                                         AsciiEngine::kTargetHeight,
                                                                         ascii.viewWidth, ascii.viewHeight);
  std::unique_ptr<Fbo> frameTarget;
  std::unique_ptr<PictureScaler> scaler;
  std::vector<uint8_t> scaled;
  if (scalesOnCpu) {
    scaler.reset(new PictureScaler(AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight, request.width,
                                   request.height, ascii.viewX, ascii.viewY, ascii.viewWidth, ascii.viewHeight));
    if (!request.framesDir.empty()) scaled.resize(scaler->frameBytes());
  } else {
    frameTarget.reset(new Fbo(request.width, request.height));
  }
  const GLuint readFrom = scalesOnCpu ? screen.target->fboID : frameTarget->fboID;
  OutputRedirect redirect(&screen, readFrom, scalesOnCpu);
  FrameOutput output;
  output.renderer = &screen;
  Readback readback(scalesOnCpu ? AsciiEngine::kTargetWidth : request.width,
                    scalesOnCpu ? AsciiEngine::kTargetHeight : request.height);
  std::vector<int16_t> sound;
  std::string workError;  // written by the worker only
  EncodeWorker worker(readback.bytes(), 3, [&](int64_t index, const uint8_t* pixels) {
    if (!request.videoPath.empty()) {
      soundOf(song, plan, index, sound);
      const bool pictureWritten =
          scaler ? writer.writePicture([&](uint8_t* const planes[3], const int strides[3]) {
            scaler->scaleToYuv420(pixels, planes, strides);
          })
                 : writer.writePicture(pixels);
      if (!pictureWritten || !writer.writeSound(sound.data(), sound.size() / 2)) {
        workError = request.videoPath + ": " + writer.error();
        return false;
      }
    }
    if (!request.framesDir.empty() && scaler) {
      scaler->scale(pixels, scaled.data());
      pixels = scaled.data();
    }
    if (!request.framesDir.empty() && !frames.write(index, request.width, request.height, pixels)) {
      workError = frames.error();
      return false;
    }
    return true;
  });

  // A late --from means minutes of frames before the first recorded one:
  // they get a line of their own.
  ProgressLine leadIn(stderr, plan.firstFrame, "drawing up to the start: ");
  if (!tuning.showProgress || plan.firstFrame == 0) leadIn.setEnabled(false);
  const Clock::time_point leadInStart = Clock::now();
  ProgressLine progress(stderr, plan.frameCount());
  if (!tuning.showProgress) progress.setEnabled(false);
  Clock::time_point start = Clock::now();  // reset at the first recorded frame
  double cpuStart = processCpuSeconds();
  bool ok = true;
  // Frame n is read back while frame n + 1 is drawn, and handed on then.
  auto handOn = [&](int64_t frame) {
    const Clock::time_point t = Clock::now();
    uint8_t* buffer = worker.acquire();
    if (buffer == nullptr || !readback.collect(static_cast<int>(frame & 1), buffer)) {
      if (buffer != nullptr) error = "cannot read the picture back from OpenGL";
      return false;
    }
    stats.readbackSeconds += secondsSince(t);
    worker.submit(frame);
    ++stats.frames;
    progress.update(stats.frames, secondsSince(start));
    return true;
  };
  // Frames before the stretch advance the show without a picture: effects
  // that run on the tick count and the scenes' own state then stand where
  // they stand in the show.
  for (int64_t n = 0; n < plan.endFrame && ok; ++n) {
    if ((stats.signal = pendingInterruption()) != 0) {
      error = interruptionName(stats.signal);
      ok = false;
      break;
    }
    if (n < plan.firstFrame) {
      show.advanceWithoutPicture();
      leadIn.update(n + 1, secondsSince(leadInStart));
      continue;
    }
    Clock::time_point t = Clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    show.advance(output);
    if (tuning.swapsWindow) SDL_GL_SwapBuffers();
    if (tuning.separateDrawing) glFinish();
    if (n == plan.firstFrame) {
      leadIn.finish();
      start = t;
      cpuStart = processCpuSeconds();
    }
    stats.drawSeconds += secondsSince(t);
    t = Clock::now();
    readback.start(readFrom, static_cast<int>(n & 1));
    stats.readbackSeconds += secondsSince(t);
    if (n > plan.firstFrame) ok = handOn(n - 1);
  }
  if (ok) ok = handOn(plan.endFrame - 1);
  if (!worker.finish()) {
    if (error.empty()) error = workError;
    ok = false;
  }
  leadIn.finish();
  progress.finish();
  stats.totalSeconds = secondsSince(start);
  stats.cpuSeconds = processCpuSeconds() - cpuStart;
  stats.encodeSeconds = worker.busySeconds();
  stats.videoSeconds = static_cast<double>(stats.frames) / plan.fps;

  if (ok && !request.videoPath.empty() && !writer.finish()) {
    error = request.videoPath + ": " + writer.error();
    ok = false;
  }
  if (ok) {
    ok = commitRecording(request.videoPath.empty() ? nullptr : &videoFile,
                         request.framesDir.empty() ? nullptr : &frames, error);
  }
  return ok;
}
