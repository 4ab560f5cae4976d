#pragma once

#include <cstdint>
#include <string>
#include <vector>

// PNG pictures, one per frame, that appear in their directory only when the
// whole set is done: they are written into a hidden directory beside them
// and moved in by commit(). Abandoned, the hidden directory goes with
// everything in it, and pictures already in the directory stay untouched.
class FrameDirectory {
 public:
  FrameDirectory() = default;
  ~FrameDirectory();
  FrameDirectory(const FrameDirectory&) = delete;
  FrameDirectory& operator=(const FrameDirectory&) = delete;

  // Makes `directory` if it does not exist (its parent must). Hidden
  // directories that a killed recording left there are cleared first.
  bool create(const std::string& directory);

  // Frame `index` (its number in the show, so frame n shows time n / fps) as
  // frame_NNNNNN.png: width x height pixels of B, G, R, A, bottom row first.
  bool write(int64_t index, int width, int height, const uint8_t* bgraBottomUp);

  bool commit();
  void abandon();

  const std::string& error() const { return error_; }

  static std::string fileName(int64_t index);

 private:
  bool fail(const std::string& what);

  std::string directory_;
  std::string staging_;
  std::vector<std::string> names_;
  std::vector<uint8_t> rgb_;
  std::string error_;
};
