#pragma once

#include <cstddef>
#include <string>

// Bytes from a file (a header, an archive entry's name) as text that is safe
// to show in a message or on a terminal: printable ASCII is kept, every
// other byte and the backslash are written as \xNN, so that escape
// sequences cannot retitle or clear the terminal. Ends at a 0 byte or after
// `size` bytes.
std::string printableText(const char* bytes, size_t size);
inline std::string printableText(const std::string& text) { return printableText(text.data(), text.size()); }
