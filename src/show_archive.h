#pragma once

#include <string>

// The data archive for one run of the show, the same for every output:
// archive mode, the entries read before anything loads, and the temporary
// files removed when the run ends (outlive everything that loads).
class ShowArchive {
 public:
  // "data.tvl", looked for where data_open_archive looks.
  ShowArchive();
  // The archive at `path` alone, whatever was read before in this process.
  explicit ShowArchive(const std::string& path);
  ~ShowArchive();
  ShowArchive(const ShowArchive&) = delete;
  ShowArchive& operator=(const ShowArchive&) = delete;
};
