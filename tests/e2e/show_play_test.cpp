// The show plays the Flash list through the player that the system offers: the test COM server
// registered under the Flash class id records what the show writes and answers the frame
// counter from a script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "show_harness.h"

using namespace e2e;

namespace {

constexpr DWORD kEndWait = 15000;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Lines of the server's record that start with the prefix.
std::vector<std::string> Matching(const std::vector<std::string>& lines,
                                  const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    if (l.rfind(prefix, 0) == 0) out.push_back(l);
  }
  return out;
}

// The movies handed to the player, as file names, in order; "(restart)" for Rewind and Play.
std::vector<std::string> MoviesPlayed(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    if (l.rfind("put Movie ", 0) == 0) {
      const std::string movie = l.substr(10);
      out.push_back(movie.substr(movie.find_last_of("\\/") + 1));
    } else if (l == "call Rewind") {
      out.push_back("(restart)");
    }
  }
  return out;
}

// Waits until the server has seen at least count movies.
std::vector<std::string> WaitForMovies(const FlashComServer& server, size_t count,
                                       DWORD milliseconds = 30000) {
  const DWORD start = ::GetTickCount();
  std::vector<std::string> movies;
  while ((movies = MoviesPlayed(server.Calls())).size() < count &&
         ::GetTickCount() - start < milliseconds) {
    Pump(100);
  }
  return movies;
}

class ShowPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
    for (const char* name : {"a.swf", "b.swf", "c.swf"}) {
      SwfFile swf;
      swf.name = name;
      movies_.push_back(WriteSwf(swf));
    }
  }
  void TearDown() override {
    if (show_.Running()) {
      ::PostMessageA(show_.window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(show_.EndsWithin(kEndWait));
    }
  }

  FixtureFolder folder_;
  std::vector<std::string> movies_;
  ShowRun show_;
};

TEST_F(ShowPlay, HostsTheControlAppliesTheSettingsAndPlaysTheFirstMovie) {
  FlashComServer server(folder_);
  ASSERT_TRUE(server.ok());
  server.Script("TotalFrames 100\nFrameNum -1\n");
  SaverSpec spec;
  spec.name = "play_settings";
  spec.set = {"FlashColor=" + std::to_string(0x00336699), "FlashQuality=3", "FlashSize=1"};
  spec.movies = movies_;
  const std::string saver = BuildSaver(spec);
  ASSERT_TRUE(show_.Start(saver)) << show_.error();
  ASSERT_EQ(WaitForMovies(server, 1).size(), 1u);
  const std::vector<std::string> calls = server.Calls();
  std::vector<std::string> sequence;
  for (const auto& l : calls) {
    if (l.rfind("put ", 0) == 0 || l.rfind("message ", 0) == 0) sequence.push_back(l);
  }
  ASSERT_GE(sequence.size(), 6u);
  EXPECT_EQ(sequence[0], "message WM_LBUTTONDOWN 0 0");
  EXPECT_EQ(sequence[1], "put BackgroundColor " + std::to_string(0x996633));
  EXPECT_EQ(sequence[2], "put Quality 3");
  EXPECT_EQ(sequence[3], "put AlignMode 0");
  EXPECT_EQ(sequence[4], "put ScaleMode 2");
  EXPECT_TRUE(EndsWith(sequence[5], "\\a.swf")) << sequence[5];
  // The control fills the show window.
  const std::vector<std::string> sizes = Matching(calls, "size ");
  ASSERT_FALSE(sizes.empty());
  RECT client{};
  ::GetClientRect(show_.window(), &client);
  EXPECT_EQ(sizes.back(),
            "size " + std::to_string(client.right) + " " + std::to_string(client.bottom));
}

// The loudest left and right samples that wave-out device 0 let be heard.
std::pair<int, int> LoudestHeard(const FixtureFolder& folder) {
  std::pair<int, int> loudest{0, 0};
  std::FILE* f = std::fopen((folder.path() + "wave_out.raw").c_str(), "rb");
  if (!f) return loudest;
  int16_t frame[2];
  while (std::fread(frame, sizeof frame, 1, f) == 1) {
    loudest.first = std::max(loudest.first, std::abs(int{frame[0]}));
    loudest.second = std::max(loudest.second, std::abs(int{frame[1]}));
  }
  std::fclose(f);
  return loudest;
}

// FlashMute: wave-out device 0 is silent while the show runs and back at its volume after. The
// movie's tone (peak 12000) plays through that device unless muted.
class ShowMute : public ShowPlay, public ::testing::WithParamInterface<bool> {};

TEST_P(ShowMute, WaveOutVolumeDuringAndAfterTheShow) {
  const bool mute = GetParam();
  SwfFile toned;
  toned.name = "tone.swf";
  toned.tone = true;
  SaverSpec spec;
  spec.name = mute ? "mute_on" : "mute_off";
  spec.set = {std::string("FlashMute=") + (mute ? "1" : "0")};
  spec.movies = {WriteSwf(toned)};
  const std::string saver = BuildSaver(spec);
  WaveOutStandIn wave(folder_, saver);
  ASSERT_TRUE(wave.ok());
  constexpr DWORD kVolume = 0x80004000;  // left and right channels differ
  wave.SetVolume(kVolume);
  ASSERT_TRUE(show_.Start(saver)) << show_.error();
  Pump(2000);
  EXPECT_EQ(wave.Volume(), mute ? 0u : kVolume);
  const auto [left, right] = LoudestHeard(folder_);
  if (mute) {
    EXPECT_EQ(left + right, 0);
  } else {
    EXPECT_NEAR(left, 12000 / 4, 300);  // at the device's volume for each side
    EXPECT_NEAR(right, 12000 / 2, 300);
  }
  ::PostMessageA(show_.window(), WM_KEYDOWN, 'A', 0);
  ASSERT_TRUE(show_.EndsWithin(kEndWait));
  EXPECT_EQ(wave.Volume(), kVolume);
}

INSTANTIATE_TEST_SUITE_P(FlashMute, ShowMute, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "On" : "Off";
                         });

struct ClickCase {
  const char* label;
  const char* show_cursor;
  size_t presses_seen;  // WM_LBUTTONDOWN messages the control gets, the show's own included
};

class ShowClick : public ShowPlay, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ShowClick, ButtonPressReachesTheMovieOnlyWhenItIsNoExit) {
  const ClickCase& c = GetParam();
  FlashComServer server(folder_);
  ASSERT_TRUE(server.ok());
  server.Script("TotalFrames 100\nFrameNum 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n");
  // The password is asked and refused, so that the show stays to be looked at.
  PasswordLibraries libraries(folder_, true, false);
  ASSERT_TRUE(libraries.ok());
  libraries.Script("VerifyScreenSavePwd 0\n");
  auto password = ScreenSaveUsePassword::Dword(1);
  SaverSpec spec;
  spec.name = std::string("click_") + c.label;
  spec.set = {std::string("ShowCursor=") + c.show_cursor};
  spec.movies = {movies_[0]};
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  HWND control = WaitForChildWindow(show_.window(), "TTestFlashControl");
  ASSERT_NE(control, nullptr);
  ASSERT_EQ(WaitForMovies(server, 1).size(), 1u);
  ::PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  ::PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  Pump(2000);
  EXPECT_TRUE(show_.Running());
  EXPECT_EQ(Matching(server.Calls(), "message WM_LBUTTONDOWN").size(), c.presses_seen);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShowClick,
                         ::testing::Values(ClickCase{"ExitAttemptSwallowed", "0", 1},
                                           ClickCase{"CursorShownPassesThrough", "1", 2}),
                         [](const ::testing::TestParamInfo<ClickCase>& info) {
                           return info.param.label;
                         });

struct OrderCase {
  const char* label;
  int sequence;
  int list_size;
};

class ShowOrder : public ShowPlay, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(ShowOrder, MovesOnWhenTheMoviePassesItsLastFrame) {
  const OrderCase& c = GetParam();
  FlashComServer server(folder_);
  ASSERT_TRUE(server.ok());
  // Each movie shows frames 0, 1, 2 of 3 and is left when the counter passes the last one.
  server.Script("TotalFrames 3\nFrameNum 0 1 2 3\n");
  SaverSpec spec;
  spec.name = std::string("order_") + c.label;
  spec.set = {"FlashSequence=" + std::to_string(c.sequence)};
  spec.movies.assign(movies_.begin(), movies_.begin() + c.list_size);
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  const std::vector<std::string> played = WaitForMovies(server, 7);
  ASSERT_GE(played.size(), 7u);
  if (c.list_size == 1) {
    EXPECT_EQ(played[0], "a.swf");
    for (size_t i = 1; i < played.size(); ++i) EXPECT_EQ(played[i], "(restart)") << i;
    EXPECT_EQ(Matching(server.Calls(), "call Play").size(), played.size() - 1);
  } else if (c.sequence == 1) {
    for (size_t i = 1; i < played.size(); ++i) {
      EXPECT_NE(played[i], played[i - 1]) << "shuffle repeated a movie at " << i;
    }
  } else if (c.sequence == 2) {
    // Shuffled once at start-up, then played in that order.
    EXPECT_NE(played[0], played[1]);
    EXPECT_NE(played[1], played[2]);
    EXPECT_NE(played[0], played[2]);
    for (size_t i = 3; i < played.size(); ++i) EXPECT_EQ(played[i], played[i - 3]) << i;
  } else {
    const std::vector<std::string> expected{"a.swf", "b.swf", "c.swf", "a.swf",
                                            "b.swf", "c.swf", "a.swf"};
    EXPECT_EQ(std::vector<std::string>(played.begin(), played.begin() + 7), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, ShowOrder,
                         ::testing::Values(OrderCase{"InOrder", 0, 3}, OrderCase{"Shuffle", 1, 3},
                                           OrderCase{"IntelligentRandom", 2, 3},
                                           OrderCase{"OneMovie", 0, 1},
                                           OrderCase{"ShuffleOneMovie", 1, 1}),
                         [](const ::testing::TestParamInfo<OrderCase>& info) {
                           return info.param.label;
                         });

// A packed movie is cut out of the program file and unpacked into the temporary folder when the
// show first comes to it; later rounds find it there. The cut-out archive ("~") is removed after
// the first round: were the movie unpacked again, it would come back.
TEST_F(ShowPlay, PackedMovieIsUnpackedOnItsFirstTurnOnly) {
  FlashComServer server(folder_);
  ASSERT_TRUE(server.ok());
  server.Script("TotalFrames 3\nFrameNum 0 1 2 3\n");
  SaverSpec spec;
  spec.name = "lazy_unpack";
  spec.movies = {movies_[0], movies_[1]};
  const std::string temp = EngineTempFolder();
  for (const char* name : {"a.swf", "a.swf~", "b.swf", "b.swf~"}) {
    ::SetFileAttributesA((temp + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA((temp + name).c_str());
  }
  ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
  ASSERT_EQ(WaitForMovies(server, 1).size(), 1u);
  const std::vector<std::string> first = Matching(server.Calls(), "put Movie ");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first[0], "put Movie " + temp + "a.swf");
  EXPECT_EQ(ReadWholeFile(temp + "a.swf"), ReadWholeFile(movies_[0]));
  ASSERT_TRUE(FileExists(temp + "a.swf~"));
  ASSERT_TRUE(::DeleteFileA((temp + "a.swf~").c_str()));

  const std::vector<std::string> played = WaitForMovies(server, 5);
  ASSERT_GE(played.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(played.begin(), played.begin() + 5),
            (std::vector<std::string>{"a.swf", "b.swf", "a.swf", "b.swf", "a.swf"}));
  EXPECT_FALSE(FileExists(temp + "a.swf~")) << "the movie was cut out and unpacked again";
  EXPECT_EQ(ReadWholeFile(temp + "a.swf"), ReadWholeFile(movies_[0]));
  EXPECT_EQ(ReadWholeFile(temp + "b.swf"), ReadWholeFile(movies_[1]));
}

}  // namespace

namespace {

// With the built-in player (no control registered): it loops each movie, so the show leaves a
// movie FlashStopTime seconds (plus a tick) after its frame counter last rose.
TEST(ShowTiming, EachMovieIsLeftWhenItsCounterStopsRising) {
  UnregisterFlashComServer();
  ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
  SwfFile short_movie;
  short_movie.name = "short.swf";
  short_movie.fps = 10;
  short_movie.frames = 10;  // counter rises for 0.9 s
  SwfFile long_movie;
  long_movie.name = "long.swf";
  long_movie.fps = 10;
  long_movie.frames = 40;  // counter rises for 3.9 s
  SaverSpec spec;
  spec.name = "timing";
  spec.set = {"FlashStopTime=1"};
  spec.movies = {WriteSwf(short_movie), WriteSwf(long_movie)};
  ShowRun show;
  ASSERT_TRUE(show.Start(BuildSaver(spec))) << show.error();
  HWND player = WaitForChildWindow(show.window(), "TFlashPlayerControl", 20000);
  ASSERT_NE(player, nullptr);

  // Times at which the player's movie changed, over two rounds of the list.
  std::vector<std::pair<std::string, DWORD>> changes;
  const DWORD start = ::GetTickCount();
  while (changes.size() < 5 && ::GetTickCount() - start < 60000) {
    const std::string text = TextOf(player);
    const std::string name = text.substr(text.find_last_of('\\') + 1);
    // The player has no movie yet until the show hands it the first one.
    if (name.empty()) {
      Pump(20);
      continue;
    }
    if (changes.empty() || changes.back().first != name) {
      changes.push_back({name, ::GetTickCount() - start});
    }
    Pump(20);
  }
  ::PostMessageA(show.window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(show.EndsWithin(kEndWait));
  ASSERT_EQ(changes.size(), 5u);
  const std::vector<std::string> names{changes[0].first, changes[1].first, changes[2].first,
                                       changes[3].first, changes[4].first};
  const std::vector<std::string> expected{"short.swf", "long.swf", "short.swf", "long.swf",
                                          "short.swf"};
  ASSERT_EQ(names, expected);
  for (int round = 0; round < 2; ++round) {
    const DWORD short_held = changes[1 + 2 * round].second - changes[2 * round].second;
    const DWORD long_held = changes[2 + 2 * round].second - changes[1 + 2 * round].second;
    // 0.9 s of frames and 1.1 s without progress; 3.9 s and 1.1 s. Late timers only add.
    EXPECT_GE(short_held, 1800u) << "round " << round;
    EXPECT_GE(long_held, 4800u) << "round " << round;
    EXPECT_GE(long_held, short_held + 2000u) << "round " << round;
    EXPECT_LE(short_held, 8000u) << "round " << round;
  }
}

}  // namespace
