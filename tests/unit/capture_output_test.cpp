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
#include "capture/recording_outputs.h"
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

bool isFifo(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

pid_t goneProcess() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

// Only a regular file is ever replaced: a FIFO, a directory or a link to
// either stays what it is, also when it takes the name while the file is
// written. A link to a file is written through and stays a link.
TEST_F(CaptureOutputTest, OnlyRegularFilesAreReplaced) {
  const std::string fifo = dir + "/pipe.mp4";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  ASSERT_EQ(0, mkdir((dir + "/adir.mp4").c_str(), 0777));
  ASSERT_EQ(0, symlink("pipe.mp4", (dir + "/to-pipe.mp4").c_str()));
  ASSERT_EQ(0, symlink("nothing.mp4", (dir + "/dangling.mp4").c_str()));
  for (const char* name : {"pipe.mp4", "adir.mp4", "to-pipe.mp4", "dangling.mp4"}) {
    OutputFile file;
    EXPECT_FALSE(file.create(dir + "/" + name)) << name;
    EXPECT_NE(std::string::npos, file.error().find("refusing to replace it")) << file.error();
  }
  EXPECT_TRUE(isFifo(fifo));

  put(dir + "/real.mp4", "older");
  ASSERT_EQ(0, symlink("real.mp4", (dir + "/link.mp4").c_str()));
  OutputFile through;
  ASSERT_TRUE(through.create(dir + "/link.mp4")) << through.error();
  put(through.writablePath(), "newer");
  ASSERT_TRUE(through.commit()) << through.error();
  struct stat info {};
  ASSERT_EQ(0, lstat((dir + "/link.mp4").c_str(), &info));
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ("newer", contents(dir + "/real.mp4"));

  const std::string late = dir + "/late.mp4";
  OutputFile racing;
  ASSERT_TRUE(racing.create(late)) << racing.error();
  ASSERT_EQ(0, mkfifo(late.c_str(), 0600));
  EXPECT_FALSE(racing.commit());
  EXPECT_TRUE(isFifo(late));
  EXPECT_EQ((std::set<std::string>{"pipe.mp4", "adir.mp4", "to-pipe.mp4", "dangling.mp4", "real.mp4", "link.mp4",
                                   "late.mp4"}),
            listing(dir));
}

// Where the file system has no unnamed files the work file has a hidden
// name; one left by a process killed outright goes with the next run.
TEST_F(CaptureOutputTest, HiddenFilesOfAKilledRunAreClearedByTheNext) {
  const std::string killed = ".show.mp4.unfinished-" + std::to_string(goneProcess()) + ".AbC123";
  const std::string running = ".show.mp4.unfinished-" + std::to_string(getppid()) + ".XyZ789";
  const std::string someoneElses = ".show.mp4.old";
  for (const std::string& name : {killed, running, someoneElses}) put(dir + "/" + name, "part");
  OutputFile file;
  ASSERT_TRUE(file.create(dir + "/show.mp4")) << file.error();
  EXPECT_EQ((std::set<std::string>{running, someoneElses}), listing(dir));
}

const uint8_t kPicture[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 9, 9, 9, 255};

// An earlier recording's frames in the directory, each holding its name.
void putEarlierFrames(const std::string& frames, int count) {
  mkdir(frames.c_str(), 0777);
  for (int i = 0; i < count; ++i) put(frames + "/" + FrameDirectory::fileName(i), "old " + std::to_string(i));
}

std::set<std::string> frameNames(int count) {
  std::set<std::string> names;
  for (int i = 0; i < count; ++i) names.insert(FrameDirectory::fileName(i));
  return names;
}

// A shorter recording into the directory of a longer one leaves its own
// sequence only, never new frames 0-4 beside old ones 5-19; other files stay.
TEST_F(CaptureOutputTest, FramesReplaceAnEarlierSequenceAsAWhole) {
  const std::string frames = dir + "/frames";
  putEarlierFrames(frames, 20);
  put(frames + "/notes.txt", "mine");
  put(frames + "/frame_1.png", "not a frame name");
  FrameDirectory next;
  ASSERT_TRUE(next.create(frames)) << next.error();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(next.write(i, 2, 2, kPicture));
  ASSERT_TRUE(next.commit()) << next.error();
  std::set<std::string> want = frameNames(5);
  want.insert("notes.txt");
  want.insert("frame_1.png");
  EXPECT_EQ(want, listing(frames));
  EXPECT_NE("old 0", contents(frames + "/frame_000000.png"));
}

// A frame name that cannot be taken fails the commit with everything as it
// was: the earlier frames back with their contents, nothing new, no hidden
// directory. (The failure's message once read a freed name.)
TEST_F(CaptureOutputTest, AFrameNameThatCannotBeTakenChangesNothing) {
  const std::string frames = dir + "/frames";
  putEarlierFrames(frames, 6);
  FrameDirectory next;
  ASSERT_TRUE(next.create(frames)) << next.error();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(next.write(i, 2, 2, kPicture));
  ASSERT_EQ(0, std::remove((frames + "/frame_000003.png").c_str()));
  ASSERT_EQ(0, mkdir((frames + "/frame_000003.png").c_str(), 0777));
  EXPECT_FALSE(next.commit());
  EXPECT_NE(std::string::npos, next.error().find("frame_000003.png")) << next.error();
  std::set<std::string> want = frameNames(6);
  EXPECT_EQ(want, listing(frames));
  for (int i : {0, 1, 2, 4, 5}) EXPECT_EQ("old " + std::to_string(i), contents(frames + "/" + FrameDirectory::fileName(i)));

  // Found before a recording starts, too.
  FrameDirectory refused;
  EXPECT_FALSE(refused.create(frames));
  EXPECT_NE(std::string::npos, refused.error().find("frame_000003.png")) << refused.error();
  EXPECT_EQ(want, listing(frames));
}

// The video and the frames get their names together or not at all.
TEST_F(CaptureOutputTest, VideoAndFramesAreCommittedTogetherOrNotAtAll) {
  const std::string frames = dir + "/frames";
  const std::string videoPath = dir + "/show.mp4";
  putEarlierFrames(frames, 3);
  put(videoPath, "old video");
  // A finished recording of one frame, not yet named.
  auto record = [&](OutputFile& video, FrameDirectory& pictures) {
    ASSERT_TRUE(video.create(videoPath)) << video.error();
    ASSERT_TRUE(pictures.create(frames)) << pictures.error();
    put(video.writablePath(), "new video");
    ASSERT_TRUE(pictures.write(0, 2, 2, kPicture));
  };
  {
    OutputFile video;
    FrameDirectory pictures;
    record(video, pictures);
    // The video's name is taken by a FIFO meanwhile: nothing may move.
    ASSERT_EQ(0, std::remove(videoPath.c_str()));
    ASSERT_EQ(0, mkfifo(videoPath.c_str(), 0600));
    std::string error;
    EXPECT_FALSE(commitRecording(&video, &pictures, error));
    EXPECT_NE(std::string::npos, error.find("show.mp4")) << error;
    EXPECT_TRUE(isFifo(videoPath));
    EXPECT_EQ(frameNames(3), listing(frames));
    EXPECT_EQ("old 0", contents(frames + "/frame_000000.png"));
  }
  ASSERT_EQ(0, std::remove(videoPath.c_str()));

  // Moved in and put back: the earlier set returns whole.
  {
    FrameDirectory pictures;
    ASSERT_TRUE(pictures.create(frames)) << pictures.error();
    ASSERT_TRUE(pictures.write(0, 2, 2, kPicture));
    ASSERT_TRUE(pictures.moveIn()) << pictures.error();
    EXPECT_NE("old 0", contents(frames + "/frame_000000.png"));
    pictures.putBack();
    EXPECT_EQ(frameNames(3), listing(frames));
    for (int i = 0; i < 3; ++i) EXPECT_EQ("old " + std::to_string(i), contents(frames + "/" + FrameDirectory::fileName(i)));
  }

  OutputFile video;
  FrameDirectory pictures;
  record(video, pictures);
  std::string error;
  ASSERT_TRUE(commitRecording(&video, &pictures, error)) << error;
  EXPECT_EQ("new video", contents(videoPath));
  EXPECT_EQ(frameNames(1), listing(frames));
}

// A directory made for a recording that fails goes again, also when the
// process ends through a fatal report; one that was there stays.
TEST_F(CaptureOutputTest, ADirectoryMadeForAFailedRecordingIsRemoved) {
  const std::string frames = dir + "/fresh";
  {
    FrameDirectory pictures;
    ASSERT_TRUE(pictures.create(frames)) << pictures.error();
    ASSERT_TRUE(pictures.write(0, 2, 2, kPicture));
  }
  EXPECT_EQ(std::set<std::string>{}, listing(dir));
  const pid_t child = fork();
  if (child == 0) {
    FrameDirectory pictures;
    if (!pictures.create(frames) || !pictures.write(0, 2, 2, kPicture)) _exit(2);
    std::exit(1);  // as a fatal report does: no unwinding
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_EQ(1, WEXITSTATUS(status));
  EXPECT_EQ(std::set<std::string>{}, listing(dir));

  ASSERT_EQ(0, mkdir(frames.c_str(), 0777));
  {
    FrameDirectory pictures;
    ASSERT_TRUE(pictures.create(frames)) << pictures.error();
  }
  EXPECT_EQ(std::set<std::string>{"fresh"}, listing(dir));
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
