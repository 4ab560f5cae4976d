#pragma once

// The one way the program stops on an error: a box titled
// "Error in file <source>:<line>" whose text is that title, an empty line and
// the formatted message; then the process exits with code 1 through the
// runtime's normal exit path.
[[noreturn]] void errorBoxAt(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// A box whose text is only the location and whose title is "Error".
[[noreturn]] void locationErrorBoxAt(const char* file, int line);

// "src/util/data/data.cpp" -> "src\util\data\data.cpp", cut to fit `size`.
void formatSourcePath(const char* file, char* out, int size);

// A box title naming a place in the source: "<lead> <source>:<line>" with the
// path as formatSourcePath writes it, at most 99 characters.
struct LocationCaption {
  char text[100];
};
LocationCaption formatLocationCaption(const char* lead, const char* file, int line);

#define ErrorBox(...) errorBoxAt(__FILE__, __LINE__, __VA_ARGS__)
#define LocationErrorBox() locationErrorBoxAt(__FILE__, __LINE__)
