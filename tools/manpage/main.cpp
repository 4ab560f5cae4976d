// manpage TEMPLATE OUTPUT: copies the manual page's template, putting the
// program's documented options in place of the line that asks for them.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "commandline.h"

namespace {

const char kOptionsLine[] = ".\\\" The options follow, made from the program's option table.";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: manpage TEMPLATE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "manpage: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream page;
  std::string line;
  int placed = 0;
  while (std::getline(in, line)) {
    if (line == kOptionsLine) {
      page << manualOptionEntries();
      ++placed;
    } else {
      page << line << '\n';
    }
  }
  if (placed != 1) {
    std::fprintf(stderr, "manpage: %s needs the line '%s' once\n", argv[1], kOptionsLine);
    return 1;
  }
  // A failed write leaves no half page behind for the build to take.
  const std::string temporary = std::string(argv[2]) + ".part";
  std::ofstream out(temporary, std::ios::trunc);
  out << page.str();
  out.close();
  if (!out || std::rename(temporary.c_str(), argv[2]) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "manpage: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
