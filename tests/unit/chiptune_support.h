#pragma once

// Shared by the chiptune tests: the song's score from the source tree.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "score.h"

inline std::string chiptuneSongText() {
  const char* dir = std::getenv("KESTRUNE_SOURCE_DIR");
  std::string text;
  EXPECT_TRUE(dir && chiptune::readTextFile(std::string(dir) + "/assets/music/chipcore5.score", text))
      << "KESTRUNE_SOURCE_DIR must name the source tree";
  return text;
}

inline chiptune::Score chiptuneSong() {
  chiptune::Score s;
  std::string error;
  EXPECT_TRUE(chiptune::parseScore(chiptuneSongText(), s, error)) << error;
  return s;
}
