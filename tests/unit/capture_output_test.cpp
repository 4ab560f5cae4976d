#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "capture/capture_plan.h"
#include "capture/frame_directory.h"
#include "capture/output_file.h"
#include "support/test_archive.h"

namespace {

std::set<std::string> listing(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(d);
  }
  return names;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class CaptureOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = makeTestTempDir("kestrune-capture"); }
  void TearDown() override {
    for (const std::string& name : listing(dir)) {
      const std::string path = dir + "/" + name;
      for (const std::string& inner : listing(path)) std::remove((path + "/" + inner).c_str());
      if (std::remove(path.c_str()) != 0) rmdir(path.c_str());
    }
    rmdir(dir.c_str());
  }
  std::string dir;
};

// Until committed the file has no name, an older file of that name stays as
// it was, and an abandoned file leaves nothing at all.
TEST_F(CaptureOutputTest, AFileAppearsUnderItsNameOnlyWhenCommitted) {
  const std::string path = dir + "/show.mp4";
  put(path, "older");
  {
    OutputFile file;
    ASSERT_TRUE(file.create(path)) << file.error();
    put(file.writablePath(), "half a video");
    EXPECT_EQ("older", contents(path));
    EXPECT_EQ(std::set<std::string>{"show.mp4"}, listing(dir));
  }  // dropped without commit
  EXPECT_EQ("older", contents(path));
  EXPECT_EQ(std::set<std::string>{"show.mp4"}, listing(dir));

  OutputFile file;
  ASSERT_TRUE(file.create(path)) << file.error();
  put(file.writablePath(), "the whole video");
  ASSERT_TRUE(file.commit()) << file.error();
  EXPECT_EQ("the whole video", contents(path));
  EXPECT_EQ(std::set<std::string>{"show.mp4"}, listing(dir));
  struct stat info {};
  ASSERT_EQ(0, stat(path.c_str(), &info));
  EXPECT_NE(0u, info.st_mode & S_IRGRP) << "the finished file keeps the usual permissions";

  OutputFile nowhere;
  EXPECT_FALSE(nowhere.create(dir + "/missing/show.mp4"));
  EXPECT_NE(std::string::npos, nowhere.error().find("missing")) << nowhere.error();
  EXPECT_FALSE(nowhere.create(dir));
}

TEST_F(CaptureOutputTest, FramesMoveIntoTheirDirectoryOnlyWhenCommitted) {
  const std::string frames = dir + "/frames";
  const uint8_t bgra[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 9, 9, 9, 255};
  {
    FrameDirectory partial;
    ASSERT_TRUE(partial.create(frames)) << partial.error();
    ASSERT_TRUE(partial.write(7, 2, 2, bgra)) << partial.error();
  }
  EXPECT_TRUE(listing(frames).empty()) << *listing(frames).begin();

  FrameDirectory done;
  ASSERT_TRUE(done.create(frames)) << done.error();
  ASSERT_TRUE(done.write(216, 2, 2, bgra));
  ASSERT_TRUE(done.write(217, 2, 2, bgra));
  ASSERT_TRUE(done.commit()) << done.error();
  EXPECT_EQ((std::set<std::string>{"frame_000216.png", "frame_000217.png"}), listing(frames));
}

// A recording killed outright leaves its hidden directory; the next one into
// that directory clears it, but never that of a recording still running.
TEST_F(CaptureOutputTest, HiddenFramesOfAKilledRecordingAreClearedByTheNext) {
  const std::string frames = dir + "/frames";
  ASSERT_EQ(0, mkdir(frames.c_str(), 0777));
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_EQ(gone, waitpid(gone, nullptr, 0));
  const std::string killed = ".kestrune-frames-" + std::to_string(gone) + "-AbC123";
  const std::string running = ".kestrune-frames-" + std::to_string(getppid()) + "-XyZ789";
  for (const std::string& name : {killed, running}) {
    ASSERT_EQ(0, mkdir((frames + "/" + name).c_str(), 0777));
    put(frames + "/" + name + "/frame_000001.png", "half a picture");
  }

  FrameDirectory next;
  ASSERT_TRUE(next.create(frames)) << next.error();
  const std::set<std::string> left = listing(frames);
  EXPECT_EQ(0u, left.count(killed));
  EXPECT_EQ(1u, left.count(running));
  next.abandon();
  EXPECT_EQ(std::set<std::string>{running}, listing(frames));
  std::remove((frames + "/" + running + "/frame_000001.png").c_str());
  rmdir((frames + "/" + running).c_str());
}

// Frame n shows n / fps: a beat that falls on a frame keeps it, the stretch
// ends before its end, and the sound of consecutive frames joins up.
TEST(CapturePlanTest, FramesAndSoundFollowTheShowsTimeLine) {
  CaptureRequest request;
  request.fps = 60;
  request.fromBeat = 12.0;
  request.toBeat = 13.0;
  CapturePlan plan;
  std::string error;
  ASSERT_TRUE(planCapture(request, 200.0, 170.0, plan, error)) << error;
  EXPECT_EQ(216, plan.firstFrame);
  EXPECT_EQ(234, plan.endFrame);

  request.fromBeat = 0.0;
  request.toBeat = -1.0;  // the song's end plus the tail
  ASSERT_TRUE(planCapture(request, 200.0, 170.0, plan, error));
  EXPECT_EQ(0, plan.firstFrame);
  EXPECT_EQ(static_cast<int64_t>((170.0 + kTailSeconds) * 60), plan.endFrame);

  plan.fps = 24;
  int64_t total = 0;
  for (int64_t n = 0; n < 240; ++n) total += plan.soundSample(n + 1) - plan.soundSample(n);
  EXPECT_EQ(441000, total);  // ten seconds, not a sample lost or doubled

  request.fromBeat = 600.0;  // past the end of the show
  EXPECT_FALSE(planCapture(request, 200.0, 170.0, plan, error));
  EXPECT_NE(std::string::npos, error.find("nothing to capture")) << error;
}

}  // namespace
