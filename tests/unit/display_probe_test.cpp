#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/display_probe.h"

namespace {

// The environment a probe reads, restored afterwards.
class DisplayProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* value = getenv(name);
      saved_[name] = value ? std::make_pair(true, std::string(value)) : std::make_pair(false, std::string());
      unsetenv(name);
    }
    char pattern[] = "/tmp/display_probe_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    if (listener_ >= 0) close(listener_);
    unlink((dir_ + "/wayland-7").c_str());
    rmdir(dir_.c_str());
    for (const char* name : kNames) {
      if (saved_[name].first) setenv(name, saved_[name].second.c_str(), 1);
      else unsetenv(name);
    }
  }

  // A compositor's socket that accepts connections, at dir_/wayland-7.
  void listen() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = dir_ + "/wayland-7";
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(0, bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, ::listen(listener_, 4));
  }

  static constexpr const char* kNames[3] = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};
  std::map<std::string, std::pair<bool, std::string>> saved_;
  std::string dir_;
  int listener_ = -1;
};

TEST_F(DisplayProbeTest, NamesWhatItTriedWhenNothingAnswers) {
  platform::DisplayProbe probe = platform::probeDisplays();
  EXPECT_FALSE(probe.reachable);
  EXPECT_EQ("X11 (DISPLAY is not set) and Wayland (XDG_RUNTIME_DIR is not set)", probe.tried);

  // A display number no server listens on, and a socket file nobody serves.
  setenv("DISPLAY", ":4711", 1);
  setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  setenv("WAYLAND_DISPLAY", "wayland-7", 1);
  probe = platform::probeDisplays();
  EXPECT_FALSE(probe.reachable);
  EXPECT_EQ("X11 display :4711 and Wayland display " + dir_ + "/wayland-7", probe.tried);
}

TEST_F(DisplayProbeTest, AWaylandSocketThatAnswersIsReachableByNameOrPath) {
  listen();
  setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  EXPECT_FALSE(platform::probeDisplays().reachable) << "wayland-0 is the default name, not wayland-7";
  setenv("WAYLAND_DISPLAY", "wayland-7", 1);
  EXPECT_TRUE(platform::probeDisplays().reachable);

  unsetenv("XDG_RUNTIME_DIR");
  setenv("WAYLAND_DISPLAY", (dir_ + "/wayland-7").c_str(), 1);
  EXPECT_TRUE(platform::probeDisplays().reachable);
}

}  // namespace
