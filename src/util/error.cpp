#include "util/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "util/boxes.h"

namespace {

constexpr int kTextSize = 5000;

// The "Error in file <path>:<line>" title in a malloc'd buffer.
char* makeCaption(const char* file, int line) {
  const LocationCaption caption = formatLocationCaption("Error in file", file, line);
  char* copy = static_cast<char*>(std::malloc(sizeof caption.text));
  if (copy) std::memcpy(copy, caption.text, sizeof caption.text);
  return copy;
}

}  // namespace

void formatSourcePath(const char* file, char* out, int size) {
  if (size <= 0) return;
  // A compiler cache may hand the compiler paths relative to the build
  // folder ("../../src/..."); the report names them from the project root.
  while (file && (std::strncmp(file, "../", 3) == 0 || std::strncmp(file, "./", 2) == 0)) {
    file += file[1] == '.' ? 3 : 2;
  }
  int i = 0;
  for (; file && file[i] && i < size - 1; ++i) out[i] = file[i] == '/' ? '\\' : file[i];
  out[i] = '\0';
}

LocationCaption formatLocationCaption(const char* lead, const char* file, int line) {
  LocationCaption caption;
  char path[sizeof caption.text];
  formatSourcePath(file, path, sizeof path);
  char full[2 * sizeof caption.text];
  std::snprintf(full, sizeof full, "%s %s:%i", lead, path, line);
  // Longer titles keep their first 99 characters.
  std::snprintf(caption.text, sizeof caption.text, "%.99s", full);
  return caption;
}

void errorBoxAt(const char* file, int line, const char* format, ...) {
  // Owned so that a presenter leaving by an exception (the fuzzing harness
  // does) takes nothing with it.
  using Buffer = std::unique_ptr<char, decltype(&std::free)>;
  Buffer caption(makeCaption(file, line), std::free);
  Buffer message(static_cast<char*>(std::malloc(kTextSize)), std::free);
  Buffer body(static_cast<char*>(std::malloc(kTextSize)), std::free);
  if (!caption || !message || !body) {
    // Out of memory: still tell the viewer where it happened.
    std::fprintf(stderr, "Error in file %s:%i\n", file, line);
    std::exit(1);
  }

  va_list args;
  va_start(args, format);
  std::vsnprintf(message.get(), kTextSize, format, args);
  va_end(args);
  std::snprintf(body.get(), kTextSize, "%s\n\n%s", caption.get(), message.get());

  showMessageBox(caption.get(), body.get());

  message.reset();
  body.reset();
  caption.reset();
  std::exit(1);
}

void locationErrorBoxAt(const char* file, int line) {
  char* caption = makeCaption(file, line);
  showMessageBox("Error", caption ? caption : "Error");
  std::free(caption);
  std::exit(1);
}
