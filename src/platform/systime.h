#pragma once

namespace platform {

struct UtcTime {
  int year, month, day, hour, minute, second, millisecond;
};

UtcTime utcNow();

}  // namespace platform
