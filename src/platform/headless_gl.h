#pragma once

#include <string>

namespace platform {

// An OpenGL context with no window and no display server behind it: Mesa's
// surfaceless EGL platform, drawing only into framebuffer objects. It gives
// the same renderer a window would on the same machine (llvmpipe without a
// GPU), so recordings made with or without a display have the same pixels.
class HeadlessGl {
 public:
  HeadlessGl() = default;
  HeadlessGl(const HeadlessGl&) = delete;
  HeadlessGl& operator=(const HeadlessGl&) = delete;
  ~HeadlessGl() { close(); }

  // Creates a compatibility-profile context and makes it current. False with
  // `why` set (a few words, for a one-line message) when EGL cannot give one.
  bool open(std::string& why);
  void close();

 private:
  void* display_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace platform
