#pragma once

#include <string>
#include <vector>

// Where the show's archive is looked for, in this order: the working
// directory (as the bare name, so that messages and behaviour there stay as
// they always were), the directory of the program itself, and the data
// directory of the installation the program runs from (<prefix>/share/
// kestrune for <prefix>/bin/kestrune). That last one is found from the
// program's own place, so an installation works wherever it was put: in the
// configured prefix, under a staging DESTDIR or from the Debian package.
// Places that name the same file appear once; without `programDir` only the
// working directory is left.
std::vector<std::string> archivePlaces(const std::string& name, const std::string& programDir);

struct ArchiveSearch {
  std::string found;  // the first place that opens as a file; empty when none does
  // Every place tried before it, one line each: the absolute path and why it
  // could not be used.
  std::string report;
};

ArchiveSearch searchArchive(const std::vector<std::string>& places);

// The directory of the running program, or "" when the system does not say.
std::string programDirectory();
