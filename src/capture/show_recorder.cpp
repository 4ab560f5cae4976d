#include "capture/show_recorder.h"

#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "capture/cell_picture.h"
#include "capture/encode_worker.h"
#include "capture/frame_directory.h"
#include "capture/interruption.h"
#include "capture/mp4_writer.h"
#include "capture/output_file.h"
#include "capture/picture_scaler.h"
#include "capture/progress_line.h"
#include "capture/recording_outputs.h"
#include "show/show_core.h"
#include "show_driver.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
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
    screen_->setOutput(framebuffer, stopAtTarget);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  }
  ~OutputRedirect() {
    screen_->setOutput(0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  }

 private:
  GlScreenRenderer* screen_;
};

// The files a recording ends in: an MP4 with the song as its sound and/or a
// directory of PNG frames. They are opened before the long part, so that a
// name that cannot be written fails first, and appear under their names only
// when everything was written.
class RecordingFiles {
 public:
  RecordingFiles(const CaptureRequest& request, const CapturePlan& plan, const std::vector<int16_t>& song)
      : request_(request), plan_(plan), song_(song) {}

  bool open(const RecorderTuning& tuning, std::string& error) {
    if (!request_.videoPath.empty()) {
      if (!videoFile_.create(request_.videoPath)) {
        error = videoFile_.error();
        return false;
      }
      Mp4Format format;
      format.width = request_.width;
      format.height = request_.height;
      format.fps = request_.fps;
      format.preset = tuning.preset;
      format.crf = tuning.crf;
      if (!writer_.open(videoFile_.writablePath(), format)) {
        error = request_.videoPath + ": " + writer_.error();
        return false;
      }
    }
    if (!request_.framesDir.empty() && !frames_.create(request_.framesDir)) {
      error = frames_.error();
      return false;
    }
    return true;
  }

  // Frame `index` as read back, scaled into the frame by `scaler` where one
  // is given. On the encoding worker only; false with writeError() set.
  // `converted`: the picture comes in Y, Cb, Cr (then there are no frames).
  bool write(int64_t index, const uint8_t* pixels, PictureScaler* scaler, bool converted) {
    if (!request_.videoPath.empty()) {
      soundOf(song_, plan_, index, sound_);
      const bool pictureWritten =
          scaler ? writer_.writePicture([&](uint8_t* const planes[3], const int strides[3]) {
            if (converted)
              scaler->scaleYuvPixelsToYuv420(pixels, planes, strides);
            else
              scaler->scaleToYuv420(pixels, planes, strides);
          })
                 : writer_.writePicture(pixels);
      if (!pictureWritten || !writer_.writeSound(sound_.data(), sound_.size() / 2)) {
        writeError_ = request_.videoPath + ": " + writer_.error();
        return false;
      }
    }
    if (request_.framesDir.empty()) return true;
    if (scaler) {
      scaled_.resize(scaler->frameBytes());
      scaler->scale(pixels, scaled_.data());
      pixels = scaled_.data();
    }
    if (!frames_.write(index, request_.width, request_.height, pixels)) {
      writeError_ = frames_.error();
      return false;
    }
    return true;
  }
  // Read once the worker has finished.
  const std::string& writeError() const { return writeError_; }

  // After the last frame: ends the MP4, then puts everything under its name.
  bool commit(std::string& error) {
    if (!request_.videoPath.empty() && !writer_.finish()) {
      error = request_.videoPath + ": " + writer_.error();
      return false;
    }
    return commitRecording(request_.videoPath.empty() ? nullptr : &videoFile_,
                           request_.framesDir.empty() ? nullptr : &frames_, error);
  }

 private:
  const CaptureRequest& request_;
  const CapturePlan& plan_;
  const std::vector<int16_t>& song_;
  OutputFile videoFile_;
  Mp4Writer writer_;
  FrameDirectory frames_;
  std::vector<int16_t> sound_;    // worker only
  std::vector<uint8_t> scaled_;   // worker only
  std::string writeError_;        // worker only, until it has finished
};

// Where a recorded frame is drawn and where it is read back from. Where the
// picture is magnified (or 1:1), only the text picture is drawn and the
// worker scales it into the frame: the drawing thread then neither fills nor
// reads back the full frame. The picture is drawn on the CPU then, or by GL.
// Smaller frames need GL's mipmaps and are drawn at their size.
class RecordingTarget {
 public:
  RecordingTarget(const CaptureRequest& request, const RecorderTuning& tuning, const AsciiEngine& ascii,
                  GlScreenRenderer& screen) {
    if (tuning.scaleOnCpu && PictureScaler::magnifies(AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight,
                                                      ascii.viewWidth, ascii.viewHeight)) {
      scaler_.reset(new PictureScaler(AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight, request.width,
                                      request.height, ascii.viewX, ascii.viewY, ascii.viewWidth, ascii.viewHeight));
      readWidth_ = AsciiEngine::kTargetWidth;
      readHeight_ = AsciiEngine::kTargetHeight;
      ChartPixels chart;
      if (tuning.drawOnCpu && loadChartPixels(AsciiEngine::kChartFile, &chart)) {
        // Frames need the picture as it is; a video alone takes it converted.
        cellPicture_.reset(new CellPicture(buildGlyphAtlas(chart), request.framesDir.empty()));
        return;
      }
      readFrom_ = screen.target->fboID;
    } else {
      frame_.reset(new Fbo(request.width, request.height));
      readFrom_ = frame_->fboID;
      readWidth_ = request.width;
      readHeight_ = request.height;
    }
    redirect_.reset(new OutputRedirect(&screen, readFrom_, scaler_ != nullptr));
  }

  GLuint readFrom() const { return readFrom_; }
  int readWidth() const { return readWidth_; }
  int readHeight() const { return readHeight_; }
  PictureScaler* scaler() const { return scaler_.get(); }
  // Draws the picture where GL does not; null otherwise.
  CellPicture* cellPicture() const { return cellPicture_.get(); }

 private:
  std::unique_ptr<Fbo> frame_;             // the whole frame, drawn by GL
  std::unique_ptr<PictureScaler> scaler_;  // or the picture, scaled by the worker
  std::unique_ptr<CellPicture> cellPicture_;
  GLuint readFrom_ = 0;
  int readWidth_ = 0, readHeight_ = 0;
  std::unique_ptr<OutputRedirect> redirect_;
};

// The recording loop's side of each frame. Frames before the stretch
// advance the show without a picture: effects that run on the tick count and
// the scenes' own state then stand where they stand in the show. Frame n is
// read back while frame n + 1 is drawn, and handed to the worker then.
class FrameRecorder : public ShowOutput {
 public:
  FrameRecorder(const RecorderTuning& tuning, const CapturePlan& plan, GlScreenRenderer& screen, const RecordingTarget& target, Readback& readback, EncodeWorker& worker,
                CaptureStats& stats)
      : tuning_(tuning), plan_(plan), target_(target), readback_(readback), worker_(worker), stats_(stats),
        // A late --from means minutes of frames before the first recorded
        // one: they get a line of their own.
        leadIn_(stderr, plan.firstFrame, "drawing up to the start: "),
        progress_(stderr, plan.frameCount()) {
    picture_.renderer = target.cellPicture() ? static_cast<ScreenRenderer*>(target.cellPicture()) : &screen;
    if (!tuning.showProgress || plan.firstFrame == 0) leadIn_.setEnabled(false);
    if (!tuning.showProgress) progress_.setEnabled(false);
  }

  bool beginFrame(FrameOutput& picture) override {
    if (frame_ >= plan_.endFrame) return false;
    if ((stats_.signal = pendingInterruption()) != 0) {
      error_ = interruptionName(stats_.signal);
      return ok_ = false;
    }
    if (frame_ < plan_.firstFrame) return true;
    drawStart_ = Clock::now();
    if (CellPicture* cells = target_.cellPicture()) {
      // Drawn straight into the worker's buffer; waiting for one counts as
      // reading back, as it does for GL's pictures.
      uint8_t* buffer = worker_.acquire();
      if (buffer == nullptr) return ok_ = false;
      cells->drawInto(buffer);
      const Clock::time_point acquired = Clock::now();
      if (frame_ > plan_.firstFrame) stats_.readbackSeconds += secondsSince(drawStart_);
      drawStart_ = acquired;
    } else {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    picture = picture_;
    return true;
  }

  bool endFrame(const ShownFrame&) override {
    const int64_t n = frame_++;
    if (n < plan_.firstFrame) {
      leadIn_.update(n + 1, secondsSince(leadInStart_));
      return true;
    }
    if (tuning_.swapsWindow) SDL_GL_SwapBuffers();
    if (tuning_.separateDrawing) glFinish();
    if (n == plan_.firstFrame) {
      leadIn_.finish();
      start_ = drawStart_;
      cpuStart_ = processCpuSeconds();
    }
    stats_.drawSeconds += secondsSince(drawStart_);
    if (CellPicture* cells = target_.cellPicture()) {
      cells->finishFrame();
      submit(n);
      return true;
    }
    const Clock::time_point t = Clock::now();
    readback_.start(target_.readFrom(), static_cast<int>(n & 1));
    stats_.readbackSeconds += secondsSince(t);
    if (n > plan_.firstFrame) ok_ = handOn(n - 1);
    return ok_;
  }

  // After the loop: the last frame handed on and the worker finished.
  // False with `error` set when anything failed or was interrupted.
  bool finish(const RecordingFiles& files, std::string& error) {
    bool ok = ok_ && (target_.cellPicture() != nullptr || handOn(plan_.endFrame - 1));
    if (!worker_.finish()) {
      if (error_.empty()) error_ = files.writeError();
      ok = false;
    }
    leadIn_.finish();
    progress_.finish();
    stats_.totalSeconds = secondsSince(start_);
    stats_.cpuSeconds = processCpuSeconds() - cpuStart_;
    stats_.encodeSeconds = worker_.busySeconds();
    stats_.videoSeconds = static_cast<double>(stats_.frames) / plan_.fps;
    error = error_;
    return ok;
  }

 private:
  bool handOn(int64_t frame) {
    const Clock::time_point t = Clock::now();
    uint8_t* buffer = worker_.acquire();
    if (buffer == nullptr || !readback_.collect(static_cast<int>(frame & 1), buffer)) {
      if (buffer != nullptr) error_ = "cannot read the picture back from OpenGL";
      return false;
    }
    stats_.readbackSeconds += secondsSince(t);
    submit(frame);
    return true;
  }

  void submit(int64_t frame) {
    worker_.submit(frame);
    ++stats_.frames;
    progress_.update(stats_.frames, secondsSince(start_));
  }

  const RecorderTuning& tuning_;
  const CapturePlan& plan_;
  const RecordingTarget& target_;
  Readback& readback_;
  EncodeWorker& worker_;
  CaptureStats& stats_;
  FrameOutput picture_;
  ProgressLine leadIn_;
  ProgressLine progress_;
  int64_t frame_ = 0;  // the next frame to draw
  const Clock::time_point leadInStart_ = Clock::now();
  Clock::time_point start_ = Clock::now();  // reset at the first recorded frame
  double cpuStart_ = processCpuSeconds();
  Clock::time_point drawStart_;
  bool ok_ = true;  // false once a frame failed or the recording was interrupted
  std::string error_;
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
  // is a new show, with the effects' shared clocks afresh.
  GlScreenRenderer screen;
  Show show(requestedShow(request.fps, {}, request.reduceFlashing, captureAspect(request)));
  show.start();
  CapturePlan plan;
  if (!planCapture(request, show.music().bpm, static_cast<double>(song.size() / 2) / 44100.0, plan, error))
    return false;
  RecordingFiles files(request, plan, song);
  if (!files.open(tuning, error)) return false;

  // Without a chosen ratio the picture fills the frame.
  show.setOutputSize(request.width, request.height, request.aspect <= 0.0f);
  const RecordingTarget target(request, tuning, show.screen(), screen);
  PictureScaler* scaler = target.scaler();
  const bool converted = target.cellPicture() && target.cellPicture()->converts();
  Readback readback(target.readWidth(), target.readHeight());
  EncodeWorker worker(readback.bytes(), 3, [&files, scaler, converted](int64_t index, const uint8_t* pixels) {
    return files.write(index, pixels, scaler, converted);
  });
  FrameRecorder recorder(tuning, plan, screen, target, readback, worker, stats);
  driveShow(show, recorder);
  return recorder.finish(files, error) && files.commit(error);
}
