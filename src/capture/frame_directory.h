#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_set.h"

// PNG pictures, one per frame, that appear in their directory only when the
// whole set is done: they are written into a hidden directory beside them
// and moved in as one set. The new set replaces an earlier recording's:
// its frame_NNNNNN.png files that the new set does not overwrite are taken
// away too, so the directory never holds a mixed sequence. Abandoned, the
// hidden directory goes with everything in it, the pictures already in the
// directory stay untouched, and a directory that create() made is removed.
class FrameDirectory {
 public:
  FrameDirectory() = default;
  ~FrameDirectory();
  FrameDirectory(const FrameDirectory&) = delete;
  FrameDirectory& operator=(const FrameDirectory&) = delete;

  // Makes `directory` if it does not exist (its parent must). Hidden
  // directories that a killed recording left there are cleared first. Fails
  // at once when a frame name there is taken by anything but a regular file.
  bool create(const std::string& directory);

  // Frame `index` (its number in the show, so frame n shows time n / fps) as
  // frame_NNNNNN.png: width x height pixels of B, G, R, A, bottom row first.
  bool write(int64_t index, int width, int height, const uint8_t* bgraBottomUp);

  // moveIn() and then keep(): the whole step for frames alone.
  bool commit();

  // Puts the new set in place and the earlier one aside, all or nothing
  // (on failure everything is as before, and the recording is abandoned).
  bool moveIn();
  // After moveIn(): the earlier set goes for good.
  void keep();
  // After moveIn(): the earlier set comes back and the new one is dropped.
  void putBack();

  void abandon();

  const std::string& error() const { return error_; }

  static std::string fileName(int64_t index);
  // True for a name of the form frame_NNNNNN.png (six digits or more).
  static bool isFrameName(const char* name);

 private:
  bool fail(const std::string& what);
  std::vector<std::string> earlierFrames(std::string& problem) const;

  std::string directory_;
  bool madeDirectory_ = false;
  platform::StagingDirectory staging_;
  std::unique_ptr<platform::FileSetMove> move_;
  std::vector<std::string> names_;
  std::vector<uint8_t> rgb_;
  std::string error_;
};
