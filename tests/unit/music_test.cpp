#include "util/music/music.h"
#include "platform/layer_song_player.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/audio.h"
#include "support/audio_fixtures.h"
#include "support/test_archive.h"

namespace {

using audio_fixtures::asString;
using audio_fixtures::encodeMp3;
using audio_fixtures::encodeOgg;
using audio_fixtures::sine;
using testing::ExitedWithCode;

// Songs come from a real archive, as in the show. Death tests start a fresh
// process because the device thread may be running here.
class MusicFiles : public testing::Test {
 protected:
  MusicFiles() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    audio_fixtures::useDummyAudioDevice();
  }
  ~MusicFiles() override { platform::audio::shutdown(); }

  static void waitUntilStopped(Music& music) {
    auto start = std::chrono::steady_clock::now();
    while (platform::audio::isActive(music.stream) == platform::audio::kPlaying &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
};

// Fatal messages: the box title and its repetition in the text.
std::string fatal(const std::string& message) {
  std::string where = "Error in file src\\\\util\\\\music\\\\music\\.cpp:[0-9]+";
  return where + "\n" + where + "\n\n" + message;
}

TEST_F(MusicFiles, ExtensionIsComparedInLowerCase) {
  const int frames = 2 * 44100 + 30000;  // 2.68 s
  auto pcm = sine(frames / 44100.0, 440, 0.4);
  TestArchive archive(
      {{"data/song.MP3", asString(encodeMp3(pcm))}, {"data/song.Ogg", asString(encodeOgg(pcm))}});
  for (const char* name : {"data/song.MP3", "data/song.Ogg"}) {
    SCOPED_TRACE(name);
    Music music(name, platform::songPlayer());
    EXPECT_NE(0u, music.stream);
    EXPECT_EQ(uint64_t(frames) * 4, music.lengthBytes);
    EXPECT_EQ(2, music.lengthSeconds);  // truncated
    EXPECT_EQ(nullptr, music.midi);
    EXPECT_EQ(200.0f, music.bpm);
  }
}

TEST_F(MusicFiles, UnknownExtensionsAndMissingFilesAreFatal) {
  TestArchive archive(std::vector<TestArchiveFile>{{"data/song.wav", "RIFF"}});
  EXPECT_EXIT(Music("data/song.WAV", platform::songPlayer()), ExitedWithCode(1), fatal("Music format \\.wav not supported"));
  EXPECT_EXIT(Music("mp3", platform::songPlayer()), ExitedWithCode(1), "Music format mp3 not supported");
  EXPECT_EXIT(Music("", platform::songPlayer()), ExitedWithCode(1), "Music format  not supported");
  EXPECT_EXIT(Music("data/none.mp3", platform::songPlayer()), ExitedWithCode(1),
              fatal("Failed to read music data from data/none\\.mp3!"));
  // A sync configuration goes to its own loader, which finds no such file.
  EXPECT_EXIT(Music("data/SYNC.XML", platform::songPlayer()), ExitedWithCode(1), "Could not load data/SYNC\\.XML");
}

// The box keeps its words; standard error tells why, in the decoder's.
TEST_F(MusicFiles, UnplayableDataFailsWhenTheShowStartsAndSaysWhy) {
  auto truncated = encodeOgg(sine(0.5, 440, 0.4));
  truncated.resize(50);
  TestArchive archive({{"data/text.ogg", std::string(4000, 'x')},
                       {"data/cut.ogg", asString(truncated)},
                       {"data/48k.mp3", asString(encodeMp3(sine(0.5, 440, 0.4, 2, 48000)))}});
  const struct {
    const char* name;
    const char* cause;
  } cases[] = {
      {"data/text.ogg", "no MPEG audio found: .+"},
      {"data/cut.ogg", "(not Ogg Vorbis data|invalid Vorbis bitstream header|a read from the Ogg data failed)"},
      {"data/48k.mp3", "unsupported rate: the MP3 is 48000 Hz, the output plays 44100 Hz only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Music music(c.name, platform::songPlayer());
    EXPECT_EQ(0u, music.stream);
    EXPECT_EXIT(music.play(), ExitedWithCode(1),
                std::string("Failed to start the music: ") + c.cause + "\n" + fatal("Failed to start the music!"));
  }
}

TEST(MusicDeviceTest, DeviceThatCannotOpenIsFatal) {
  // A fresh process, so that no earlier test has opened the device.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        Music music("data/any.mp3", platform::songPlayer());
      },
      ExitedWithCode(1), "Can't initialize device: [^\n]*no-such-driver[^\n]*\n" + fatal("Can't initialize device"));
}

TEST_F(MusicFiles, PlayingStartsFlatAndEndsAtTheSongsEnd) {
  TestArchive archive({{"data/short.mp3", asString(encodeMp3(sine(0.3, 440, 0.4)))}});
  Music music("data/short.mp3", platform::songPlayer());
  music.beatOffset = 1.5f;
  EXPECT_EQ(1.5f, music.beatTime());  // position 0 before playback
  music.play();
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(1.5f, music.beatWindow[i]);
    EXPECT_EQ(0, music.posWindow[i]);
  }
  EXPECT_EQ(0.0f, music.beatStep);
  EXPECT_EQ(0, music.posStep);
  waitUntilStopped(music);
  // Played once: the loop flag set at creation is cleared by play().
  const float end = 0.3f / 60.0f * 200.0f + 1.5f;
  EXPECT_FLOAT_EQ(end, music.beatTime());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FLOAT_EQ(end, music.beatTime());
  float spectrum[512];
  music.fillSpectrum(spectrum);
  EXPECT_EQ(0.0f, spectrum[0]);
}

TEST(MusicManualTest, BeatTimeComesFromThePosition) {
  Music music(Music::Manual{});
  EXPECT_EQ(0.0f, music.beatTime());
  music.setManualPosition(0.3);
  EXPECT_EQ(1.0f, music.beatTime());
  music.setManualPosition(60.0);
  EXPECT_EQ(200.0f, music.beatTime());
  music.beatOffset = -2.5f;
  EXPECT_EQ(197.5f, music.beatTime());
  music.bpm = 120.0f;
  EXPECT_EQ(117.5f, music.beatTime());
  music.setManualPosition(-1.0);  // before the start counts as the start
  EXPECT_EQ(-2.5f, music.beatTime());
}

TEST(MusicManualTest, StepsAverageTheLastTenFrames) {
  Music music(Music::Manual{});
  music.play();
  const double frame = 0.05;  // seconds per frame: 8820 bytes, 1/6 beat
  for (int i = 1; i <= 10; ++i) {
    music.setManualPosition(i * frame);
    music.update();
    if (i == 1) {
      // One advance over ten intervals.
      EXPECT_NEAR(1.0f / 60.0f, music.beatStep, 1e-6f);
      EXPECT_EQ(882, music.posStep);
    }
  }
  EXPECT_NEAR(1.0f / 6.0f, music.beatStep, 1e-5f);
  EXPECT_EQ(8820, music.posStep);
  EXPECT_EQ(8820 * 10, music.posWindow[9]);
  EXPECT_FLOAT_EQ(10.0f / 6.0f, music.beatWindow[9]);
  // Standing still empties the average again.
  for (int i = 0; i < 10; ++i) music.update();
  EXPECT_EQ(0.0f, music.beatStep);
  EXPECT_EQ(0, music.posStep);
}

TEST(MusicManualTest, PositionStepSurvivesTheLow32BitsWrapping) {
  Music music(Music::Manual{});
  music.play();
  // 2^31 bytes lie about 12174 s in; step across them at 8820 bytes a frame.
  const double start = (2147483648.0 - 8820.0 * 5) / 176400.0;
  for (int i = 0; i < 12; ++i) {
    music.setManualPosition(start + i * 0.05);
    music.update();
  }
  EXPECT_LT(music.posWindow[9], 0);
  EXPECT_GT(music.posWindow[0], 0);
  EXPECT_EQ(8820, music.posStep);
}

TEST(MusicManualTest, SpectrumIsHandedOut) {
  Music music(Music::Manual{});
  float given[512], out[512];
  for (int i = 0; i < 512; ++i) given[i] = 1.0f / (i + 1);
  music.setManualSpectrum(given);
  music.fillSpectrum(out);
  EXPECT_EQ(0, memcmp(given, out, sizeof out));
  EXPECT_EXIT(music.fillSpectrum(nullptr), ExitedWithCode(1), fatal("Invalid buffer"));
}

}  // namespace
