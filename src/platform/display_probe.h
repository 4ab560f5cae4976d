#pragma once

#include <string>

namespace platform {

// Whether an X11 or a Wayland display server answers where the environment
// points (DISPLAY; WAYLAND_DISPLAY, by default wayland-0 in XDG_RUNTIME_DIR).
struct DisplayProbe {
  bool reachable = false;
  std::string tried;  // "X11 display :0 and Wayland display /run/user/1000/wayland-0"
};
DisplayProbe probeDisplays();

}  // namespace platform
