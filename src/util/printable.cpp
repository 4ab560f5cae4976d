#include "util/printable.h"

#include <cstdio>

std::string printableText(const char* bytes, size_t size) {
  std::string out;
  for (size_t i = 0; i < size && bytes[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}
