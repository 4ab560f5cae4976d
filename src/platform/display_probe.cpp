#include "platform/display_probe.h"

#include <X11/Xlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The socket a Wayland client connects to: an absolute WAYLAND_DISPLAY as it
// is, else that name (wayland-0 when unset) in XDG_RUNTIME_DIR.
std::string waylandSocket() {
  std::string name = environment("WAYLAND_DISPLAY");
  if (name.empty()) name = "wayland-0";
  if (name[0] == '/') return name;
  const std::string runtime = environment("XDG_RUNTIME_DIR");
  return runtime.empty() ? std::string() : runtime + "/" + name;
}

bool waylandAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  const int socketFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socketFd < 0) return false;
  const bool answered = connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(socketFd);
  return answered;
}

bool x11Answers() {
  if (environment("DISPLAY").empty()) return false;
  Display* display = XOpenDisplay(nullptr);
  if (display) XCloseDisplay(display);
  return display != nullptr;
}

}  // namespace

DisplayProbe probeDisplays() {
  DisplayProbe probe;
  const std::string x11 = environment("DISPLAY");
  const std::string wayland = waylandSocket();
  probe.tried = (x11.empty() ? std::string("X11 (DISPLAY is not set)") : "X11 display " + x11) + " and " +
                (wayland.empty() ? std::string("Wayland (XDG_RUNTIME_DIR is not set)") : "Wayland display " + wayland);
  probe.reachable = x11Answers() || waylandAnswers(wayland);
  return probe;
}

}  // namespace platform
