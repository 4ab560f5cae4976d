#include <cmath>
#include <cstdio>

#include "platform/audio_output.h"
#include "platform/audio_pulse.h"
#include "platform/audio_sdl.h"

namespace platform {
namespace audio {

// A new back-end is a class in a file of its own and one line here.
std::vector<std::unique_ptr<AudioOutput>> makeDeviceOutputs() {
  std::vector<std::unique_ptr<AudioOutput>> outputs;
  outputs.push_back(std::make_unique<PulseOutput>());
  outputs.push_back(std::make_unique<SdlOutput>());
  return outputs;
}

std::string noAnswerWithin(int64_t budgetNs) {
  // In tenths: the budget is measured a moment after the attempt began.
  char text[48];
  snprintf(text, sizeof text, "no answer within %g s", budgetNs > 0 ? std::round(budgetNs * 1e-8) / 10 : 0.0);
  return text;
}

}  // namespace audio
}  // namespace platform
