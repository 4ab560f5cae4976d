#pragma once

namespace os {

struct UtcTime {
  int year, month, day, hour, minute, second, millisecond;
};

UtcTime utcNow();

}  // namespace os
