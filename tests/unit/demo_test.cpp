#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "show/schedule.h"
#include "support/test_ticks.h"
#include "util/music/music.h"

namespace {

// Records the order in which scenes draw and what they were handed.
class RecordingScene : public Scene {
 public:
  RecordingScene(std::vector<std::string>* log, const char* name) : log_(log), name_(name) {}
  ~RecordingScene() override { log_->push_back(std::string("free ") + name_); }
  void init() override {}
  void draw(const FrameTime& time) override {
    log_->push_back(name_);
    seenKeys = keys;
    seenTime = time;
  }
  KeyState* seenKeys = nullptr;
  FrameTime seenTime;

 private:
  std::vector<std::string>* log_;
  const char* name_;
};

struct Show {
  std::vector<std::string> log;
  Music music{Music::Manual{}};
  KeyState keys{};
  SceneList scenes;
  RecordingScene& first = add("first", kShowSchedule[0]);
  RecordingScene& second = add("second", kShowSchedule[1]);

  RecordingScene& add(const char* name, const ScheduleSlot& slot) {
    RecordingScene* scene = new RecordingScene(&log, name);
    scenes.add(std::unique_ptr<Scene>(scene));
    placeInSlot(*scene, slot, SceneResources{&music, nullptr, 16.0f / 9.0f, nullptr});
    return *scene;
  }
  void drawAtBeat(double beat) {
    log.clear();
    music.setManualPosition(beat * 0.3);
    drawScheduledScenes(scenes, readFrameTime(music), &keys, nullptr);
  }
};

TEST(ScheduleTest, BothScenesDrawAtASharedBoundaryInListOrder) {
  Show show;
  show.drawAtBeat(44.0);
  EXPECT_EQ((std::vector<std::string>{"first", "second"}), show.log);
  EXPECT_EQ(&show.keys, show.first.seenKeys);
  EXPECT_EQ(&show.keys, show.second.seenKeys);
}

TEST(ScheduleTest, OnlyTheSceneWhoseSlotHoldsTheBeatDraws) {
  Show show;
  show.drawAtBeat(43.5);
  EXPECT_EQ((std::vector<std::string>{"first"}), show.log);
  show.drawAtBeat(100.0);
  EXPECT_EQ((std::vector<std::string>{"second"}), show.log);
  show.drawAtBeat(108.5);
  EXPECT_TRUE(show.log.empty());
}

TEST(ScheduleTest, ScenesAreFreedNewestFirst) {
  std::vector<std::string> log;
  {
    Show show;
    show.log.clear();
    show.scenes.clear();
    log = show.log;
  }
  EXPECT_EQ((std::vector<std::string>{"free second", "free first"}), log);
}

TEST(ScheduleTest, TheShowsSlotsJoinWithoutGapsFromBeatZero) {
  EXPECT_EQ(0.0f, kShowSchedule[0].startTime);
  for (int i = 1; i < kScheduleLength; ++i) {
    EXPECT_EQ(kShowSchedule[i - 1].endTime, kShowSchedule[i].startTime) << kShowSchedule[i].name;
  }
  EXPECT_EQ(557.0f, kShowSchedule[kScheduleLength - 1].startTime);
  EXPECT_EQ(5000.0f, kShowSchedule[kScheduleLength - 1].endTime);
  EXPECT_STREQ("TextSnake", kShowSchedule[4].name);
  EXPECT_STREQ("TextSnake", kShowSchedule[7].name);
}

}  // namespace
