#include "util/error.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/messagebox.h"

namespace {

constexpr int kCaptionSize = 100;
constexpr int kTextSize = 5000;

// Builds "Error in file <path>:<line>" into a buffer of kCaptionSize bytes.
char* makeCaption(const char* file, int line) {
  char path[kCaptionSize];
  formatSourcePath(file, path, sizeof path);
  char full[2 * kCaptionSize];
  std::snprintf(full, sizeof full, "Error in file %s:%i", path, line);
  char* caption = static_cast<char*>(std::malloc(kCaptionSize));
  if (caption) {
    // Longer captions keep their first 99 characters.
    const size_t length = std::min(std::strlen(full), static_cast<size_t>(kCaptionSize - 1));
    std::memcpy(caption, full, length);
    caption[length] = '\0';
  }
  return caption;
}

}  // namespace

void formatSourcePath(const char* file, char* out, int size) {
  if (size <= 0) return;
  int i = 0;
  for (; file && file[i] && i < size - 1; ++i) out[i] = file[i] == '/' ? '\\' : file[i];
  out[i] = '\0';
}

void errorBoxAt(const char* file, int line, const char* format, ...) {
  char* caption = makeCaption(file, line);
  char* message = static_cast<char*>(std::malloc(kTextSize));
  char* body = static_cast<char*>(std::malloc(kTextSize));
  if (!caption || !message || !body) {
    // Out of memory: still tell the viewer where it happened.
    std::fprintf(stderr, "Error in file %s:%i\n", file, line);
    std::exit(1);
  }

  va_list args;
  va_start(args, format);
  std::vsnprintf(message, kTextSize, format, args);
  va_end(args);
  std::snprintf(body, kTextSize, "%s\n\n%s", caption, message);

  platform::showMessageBox(caption, body);

  std::free(message);
  std::free(body);
  std::free(caption);
  std::exit(1);
}

void locationErrorBoxAt(const char* file, int line) {
  char* caption = makeCaption(file, line);
  platform::showMessageBox("Error", caption ? caption : "Error");
  std::free(caption);
  std::exit(1);
}
