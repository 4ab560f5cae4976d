#include "util/timing/classwide.h"

#include <vector>

namespace {
// Built on first use: the Classwide objects register while the program's
// statics are being made, in no fixed order.
std::vector<std::function<void()>>& resets() {
  static std::vector<std::function<void()>> all;
  return all;
}
}  // namespace

void registerClasswideReset(std::function<void()> reset) { resets().push_back(std::move(reset)); }

void resetClasswideState() {
  for (const std::function<void()>& reset : resets()) reset();
}
