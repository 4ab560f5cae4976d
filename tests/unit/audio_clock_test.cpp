#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/audio_clock.h"

namespace {

using platform::audio::PlaybackClock;

constexpr double kRate = 44100.0;
constexpr int64_t kMs = 1000000;

// A device that plays at `speed` times the nominal rate and asks for a
// buffer of `buffer` frames whenever less than one buffer is queued,
// noticing that only at its own ticks (a 48 kHz server's 10 ms quanta,
// shifted by up to 3 ms of scheduling noise): the hand-overs come at uneven
// times, as measured on a real server. What is heard trails what was played
// into the queue by `sinkDelayMs`.
struct SimulatedDevice {
  double speed = 1.0;
  int buffer = 1024;
  double sinkDelayMs = 5.0;
  uint32_t seed = 99;
  uint64_t handed = 0;
  int64_t nextTickNs = 0;

  double consumed(int64_t ns) const { return std::max(0.0, ns * 1e-9 * kRate * speed - buffer); }
  double heard(int64_t ns) const { return std::max(0.0, consumed(ns - static_cast<int64_t>(sinkDelayMs * kMs))); }

  // Runs the device up to `ns`, handing buffers to the clock.
  void runUntil(int64_t ns, PlaybackClock& clock) {
    while (nextTickNs <= ns) {
      seed = seed * 1664525u + 1013904223u;
      const int64_t at = nextTickNs + static_cast<int64_t>((seed >> 16) % 3000) * 1000;
      while (static_cast<double>(handed) - consumed(at) < buffer) {
        handed += buffer;
        clock.handed(at, handed);
      }
      nextTickNs += 10 * kMs;
    }
  }
};

// The position follows what is heard within a millisecond or two, moves
// smoothly (no step of more than a few ms of audio between two 1 ms
// readings, where a position kept per buffer would jump by 23 ms), and
// never goes back: at the nominal rate and on a device clock 1 % fast.
TEST(PlaybackClockTest, UnevenHandOversGiveASmoothAccuratePosition) {
  for (double speed : {1.0, 1.01}) {
    SCOPED_TRACE(speed);
    SimulatedDevice device;
    device.speed = speed;
    PlaybackClock clock(kRate);
    clock.setEstimatedDelay(2 * device.buffer);
    double last = 0, worstError = 0, worstStep = 0;
    for (int64_t ns = 0; ns < 6000 * kMs; ns += kMs) {
      device.runUntil(ns, clock);
      // The server answers ten times a second with what it has played.
      if (ns % (100 * kMs) == 50 * kMs) clock.heardAt(ns, device.heard(ns));
      const double now = clock.audible(ns);
      ASSERT_GE(now, last);
      if (ns > 2000 * kMs) {
        worstError = std::max(worstError, std::fabs(now - device.heard(ns)) / kRate * 1e3);
        worstStep = std::max(worstStep, (now - last) / kRate * 1e3);
      }
      last = now;
    }
    EXPECT_TRUE(clock.delayMeasured());
    EXPECT_LT(worstError, 2.0);
    EXPECT_LT(worstStep, 1.5);
  }
}

// A fresh server sink can start with a latency of seconds that drops once
// the stream plays; the position catches up at once instead of trailing
// the sound for a minute.
TEST(PlaybackClockTest, ALatencyOfSecondsThatDropsIsFollowedAtOnce) {
  SimulatedDevice device;
  PlaybackClock clock(kRate);
  device.runUntil(0, clock);
  device.sinkDelayMs = 1500;
  for (int64_t ns = 0; ns < 3000 * kMs; ns += 10 * kMs) {
    device.runUntil(ns, clock);
    if (ns == 1000 * kMs) device.sinkDelayMs = 5;
    if (ns % (100 * kMs) == 0) clock.heardAt(ns, device.heard(ns));
    clock.audible(ns);
  }
  const int64_t end = 3000 * kMs;
  device.runUntil(end, clock);
  EXPECT_NEAR(device.heard(end), clock.audible(end), 0.005 * kRate);
}

// A server that answers with what it has taken into its graph, a whole
// quantum at a time (PipeWire's pulse module: its read index steps by 1024
// frames at 48 kHz and the sink latency it adds is a fraction of a
// millisecond), is ahead of the listener by up to a quantum. Asked a
// hundred times a second at every phase of its steps, the position must
// never be ahead of what is heard, nor fall far behind it.
TEST(PlaybackClockTest, AServerThatStepsAQuantumAheadNeverPutsThePositionAhead) {
  SimulatedDevice device;
  device.sinkDelayMs = 0;
  PlaybackClock clock(kRate);
  clock.setEstimatedDelay(2 * device.buffer);
  const double quantum = 1024 * kRate / 48000;
  double worstAhead = -1e9, worstBehind = 0;
  for (int64_t ns = 0; ns < 4000 * kMs; ns += kMs) {
    device.runUntil(ns, clock);
    const double heard = device.heard(ns);
    // Taken: the end of the quantum being played now.
    if (ns % (10 * kMs) == 3 * kMs) clock.heardAt(ns, (std::floor(heard / quantum) + 1) * quantum);
    const double now = clock.audible(ns);
    if (ns > 1000 * kMs) {
      worstAhead = std::max(worstAhead, (now - heard) / kRate * 1e3);
      worstBehind = std::max(worstBehind, (heard - now) / kRate * 1e3);
    }
  }
  EXPECT_LT(worstAhead, 2.0);
  EXPECT_LT(worstBehind, 6.0);
}

// Without a server the delay is the caller's estimate; a device that stops
// taking buffers for a while stops the position at what it was handed, and
// the position goes on, never back, when it resumes.
TEST(PlaybackClockTest, EstimatedDelayAndAStalledDevice) {
  PlaybackClock clock(kRate);
  EXPECT_EQ(0.0, clock.audible(0));
  clock.setEstimatedDelay(1024);
  uint64_t handed = 0;
  int64_t ns = 0;
  for (int i = 0; i < 100; ++i, ns += static_cast<int64_t>(1024 / kRate * 1e9)) clock.handed(ns, handed += 1024);
  ns -= static_cast<int64_t>(1024 / kRate * 1e9);
  EXPECT_FALSE(clock.delayMeasured());
  EXPECT_NEAR(static_cast<double>(handed) - 1024, clock.audible(ns), 20);
  // Stalled for half a second: never beyond what was handed.
  const double stalled = clock.audible(ns + 500 * kMs);
  EXPECT_EQ(static_cast<double>(handed), stalled);
  // Resumed: the line starts again, the position holds until it passes.
  ns += 600 * kMs;
  for (int i = 0; i < 20; ++i, ns += 23 * kMs) {
    clock.handed(ns, handed += 1024);
    EXPECT_GE(clock.audible(ns), stalled);
  }
  EXPECT_GT(clock.audible(ns), stalled);
}

}  // namespace

namespace {

// A sound server's deep queue: the stream fills two seconds in bursts, while
// the server says every 10 ms what has been heard (answers placed up to 1 ms
// off, a quantum at a time). The position follows what is heard, never the
// bursts, and is never ahead of it by more than the placement noise.
TEST(PlaybackClockTest, ADeepQueueFilledInBurstsFollowsWhatIsHeard) {
  PlaybackClock clock(kRate);
  uint64_t handed = 0;
  uint32_t seed = 7;
  double worstAhead = 0, worstBehind = 0;
  for (int64_t ns = 0; ns < 10000 * kMs; ns += 10 * kMs) {
    const double heard = std::floor(ns * 1e-9 * kRate / 480) * 480;  // quanta of 480 frames
    // Once the queue is down to 1.5 s, what it lacks of two seconds in one go.
    if (handed < heard + 1.5 * kRate) handed = static_cast<uint64_t>(heard + 2 * kRate);
    clock.setHanded(handed);
    seed = seed * 1664525u + 1013904223u;
    const int64_t answeredAt = ns + static_cast<int64_t>((seed >> 16) % 1000) * 1000;
    clock.follow(answeredAt, heard);
    if (ns < 500 * kMs) continue;  // settling
    const int64_t readAt = ns + 5 * kMs;
    const double truth = readAt * 1e-9 * kRate;
    const double error = clock.audible(readAt) - truth;
    worstAhead = std::max(worstAhead, error);
    worstBehind = std::min(worstBehind, error);
  }
  EXPECT_LT(worstAhead, 0.002 * kRate);   // never audibly ahead
  EXPECT_GT(worstBehind, -0.016 * kRate); // within a frame at 60 Hz behind
}

}  // namespace
