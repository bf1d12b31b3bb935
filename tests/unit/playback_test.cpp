#include "show/playback.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "fake_flash_control.h"

namespace flashsaver {
namespace {

using testing::FakeFlashControl;

struct Resolution {
  std::string rewritten;
  bool available = true;
};

class FakeHost : public PlaybackHost {
 public:
  explicit FakeHost(std::vector<std::string>& log) : log_(log) {}

  // Items without an entry resolve into the temporary folder, available.
  std::map<std::string, Resolution> resolutions;
  std::vector<int32_t> draws;  // answered in turn, then from the generator
  std::mt19937 generator{12345};
  bool timer_running = false;
  int resolve_calls = 0;

  void StopTimer() override {
    timer_running = false;
    log_.push_back("StopTimer");
  }
  void StartTimer() override {
    timer_running = true;
    log_.push_back("StartTimer");
  }
  bool ResolveItem(std::string& item) override {
    ++resolve_calls;
    log_.push_back("Resolve " + item);
    const auto it = resolutions.find(item);
    if (it == resolutions.end()) {
      item = "C:\\Temp\\Marvex\\" + FileNamePart(item);
      return true;
    }
    item = it->second.rewritten;
    return it->second.available;
  }
  int32_t RandomIndex(int32_t count) override {
    if (next_draw_ < draws.size()) return draws[next_draw_++];
    return std::uniform_int_distribution<int32_t>(0, count - 1)(generator);
  }

 private:
  std::vector<std::string>& log_;
  size_t next_draw_ = 0;
};

std::string Temp(const std::string& name) { return "C:\\Temp\\Marvex\\" + name; }

class PlaybackTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> list, PlaybackSettings settings = {}) {
    list_ = std::move(list);
    playback_ = std::make_unique<Playback>(list_, settings, host_);
    playback_->Reset();
    playback_->Begin(control_);
  }
  // Ticks until the player is handed another movie (or restarted); the tick count, or 0 when
  // nothing happened within the limit.
  int TicksUntilNextMovie(int limit = 10000) {
    const size_t before = MovieChanges();
    for (int tick = 1; tick <= limit; ++tick) {
      playback_->Tick(control_);
      if (MovieChanges() != before) return tick;
    }
    return 0;
  }
  size_t MovieChanges() const {
    size_t n = 0;
    for (const auto& e : log_) n += (e.rfind("Movie=", 0) == 0 || e == "Rewind") ? 1 : 0;
    return n;
  }
  // The movies handed over, in order, over a number of movie ends (each movie ends at once).
  std::vector<std::string> PlayedOver(int movie_ends) {
    control_.ScriptFrames({0});
    control_.total_frames = 0;
    std::vector<std::string> played{control_.Movie()};
    for (int i = 0; i < movie_ends; ++i) {
      EXPECT_EQ(TicksUntilNextMovie(1), 1);
      played.push_back(playback_->current_movie());
    }
    return played;
  }

  std::vector<std::string> log_;
  FakeFlashControl control_{log_};
  FakeHost host_{log_};
  std::vector<std::string> list_;
  std::unique_ptr<Playback> playback_;
};

TEST_F(PlaybackTest, FirstMovieIsHandedOverBetweenStoppingAndRestartingTheTimer) {
  Start({"a.swf", "b.swf"});
  const std::vector<std::string> expected{"StopTimer", "Resolve a.swf", "Movie=" + Temp("a.swf"),
                                          "StartTimer"};
  EXPECT_EQ(log_, expected);
  EXPECT_TRUE(host_.timer_running);
  EXPECT_EQ(playback_->current_movie(), Temp("a.swf"));
}

TEST_F(PlaybackTest, EmptyListChangesNothing) {
  Start({});
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(playback_->current_movie(), "");
}

// Frames as the player reports them tick by tick (the last value repeats), and the tick at
// which the movie is left.
struct LimitCase {
  const char* label;
  const char* movie;  // the item, which resolves to itself
  int32_t stop_time;
  int32_t download_time;
  std::vector<int32_t> frames;
  int32_t total_frames;
  int expected_tick;
};

class PlaybackLimits : public PlaybackTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(PlaybackLimits, LeavesTheMovieAtTheRightTick) {
  const LimitCase& c = GetParam();
  host_.resolutions[c.movie] = {c.movie, true};
  PlaybackSettings settings;
  settings.flash_stop_time = c.stop_time;
  settings.flash_download_time = c.download_time;
  Start({c.movie, "n.swf"}, settings);
  control_.ScriptFrames(c.frames);
  control_.total_frames = c.total_frames;
  EXPECT_EQ(TicksUntilNextMovie(), c.expected_tick);
  EXPECT_EQ(playback_->current_movie(), Temp("n.swf"));
  EXPECT_EQ(playback_->stall_ticks(), 0);
  EXPECT_EQ(playback_->highest_frame(), 0);
}

const char kLocal[] = "C:\\Temp\\Marvex\\m.swf";
const char kAddress[] = "http://127.0.0.1/m.swf";

INSTANTIATE_TEST_SUITE_P(
    Ticks, PlaybackLimits,
    ::testing::Values(
        // No first frame: FlashDownloadTime seconds plus one tick, local or address.
        LimitCase{"WaitingLocal", kLocal, 10, 2, {-1}, 100, 21},
        LimitCase{"WaitingAddress", kAddress, 10, 3, {-1}, 100, 31},
        // Frame counter stuck after rising: L seconds plus one tick after the last rise.
        LimitCase{"StuckLocal", kLocal, 1, 20, {0, 1, 2, 3}, 100, 4 + 11},
        LimitCase{"StuckAddressUsesDownloadTime", kAddress, 1, 2, {0, 1, 2, 3}, 100, 4 + 21},
        // Waiting and stuck ticks are counted apart: the first frame starts a new count.
        LimitCase{"WaitThenStuck", kLocal, 1, 2, {-1, -1, -1, -1, -1, 5}, 100, 6 + 11},
        // A looping movie falls below its highest frame: no progress until it passes it.
        LimitCase{"Looping", kLocal, 1, 20, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0}, 100, 4 + 11},
        LimitCase{"PassesLastFrame", kLocal, 10, 20, {0, 1, 2, 3}, 3, 4},
        LimitCase{"FrameZeroOfNoFrames", kLocal, 10, 20, {0}, 0, 1},
        LimitCase{"StopTimeZero", kLocal, 0, 20, {-1, 0, 1, 1}, 100, 4},
        LimitCase{"NegativeStopTime", kLocal, -1, 20, {-1, -1, 7}, 100, 3},
        LimitCase{"DownloadTimeZero", kLocal, 10, 0, {-1}, 100, 1},
        LimitCase{"NegativeDownloadTime", kAddress, 10, -5, {-1}, 100, 1},
        LimitCase{"NegativeDownloadTimeLeavesAddressOnAFrame", kAddress, 10, -1, {3}, 100, 1},
        // Limits whose tick counts pass 32 bits: a wrapped count (-10) would leave at once.
        LimitCase{
            "HugeLimitsDoNotOverflow", kLocal, INT32_MAX, INT32_MAX, {-1, -1, 0, 0, 5}, 5, 5}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.label; });

TEST_F(PlaybackTest, PlayerThatCannotAnswerIsLeftByTheWaitingLimit) {
  PlaybackSettings settings;
  settings.flash_download_time = 1;
  Start({"a.swf", "b.swf"}, settings);
  control_.fail_frame_reads = true;
  EXPECT_EQ(TicksUntilNextMovie(), 11);
  control_.fail_frame_reads = false;
  control_.fail_total_reads = true;
  control_.ScriptFrames({0, 1, 2});
  // Without a frame count only the no-progress limit (10 s by default) ends the movie.
  EXPECT_EQ(TicksUntilNextMovie(), 3 + 101);
}

TEST_F(PlaybackTest, RefusedMovieStillRestartsTheTimer) {
  control_.fail_movie_writes = true;
  Start({"a.swf"});
  EXPECT_TRUE(host_.timer_running);
  EXPECT_EQ(playback_->current_movie(), Temp("a.swf"));
}

struct OrderCase {
  const char* label;
  std::vector<std::string> list;
  int32_t sequence;
  std::vector<std::string> played;  // the resolved movies, first included
};

class PlaybackOrder : public PlaybackTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(PlaybackOrder, PlaysTheListInItsOrder) {
  const OrderCase& c = GetParam();
  host_.resolutions["(File) D:\\clips\\b.swf"] = {Temp("b.swf"), true};
  host_.resolutions["(URL) http://127.0.0.1/u.swf"] = {"http://127.0.0.1/u.swf", true};
  host_.resolutions["http://127.0.0.1/u.swf"] = {"http://127.0.0.1/u.swf", true};
  PlaybackSettings settings;
  settings.flash_sequence = c.sequence;
  Start(c.list, settings);
  std::vector<std::string> expected;
  for (const auto& name : c.played) {
    expected.push_back(name.find("://") == std::string::npos ? Temp(name) : name);
  }
  EXPECT_EQ(PlayedOver(static_cast<int>(c.played.size()) - 1), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PlaybackOrder,
    ::testing::Values(
        OrderCase{"InOrderWrapsAround",
                  {"a.swf", "b.swf", "c.swf"},
                  0,
                  {"a.swf", "b.swf", "c.swf", "a.swf", "b.swf"}},
        // Intelligent random plays the list, shuffled once at start-up, in order.
        OrderCase{
            "IntelligentRandomInListOrder", {"c.swf", "a.swf"}, 2, {"c.swf", "a.swf", "c.swf"}},
        OrderCase{"UnknownSequenceInListOrder", {"a.swf", "b.swf"}, 7, {"a.swf", "b.swf", "a.swf"}},
        // The first copy is always found: what follows the second copy is never reached.
        OrderCase{"DuplicateItems",
                  {"a.swf", "b.swf", "A.SWF", "c.swf"},
                  0,
                  {"a.swf", "b.swf", "A.SWF", "b.swf", "A.SWF"}},
        // A prefixed item is not found again once resolved: back to the first item.
        OrderCase{"PrefixedItemSendsBackToFirst",
                  {"a.swf", "(File) D:\\clips\\b.swf", "c.swf"},
                  0,
                  {"a.swf", "b.swf", "a.swf", "b.swf"}},
        OrderCase{"PrefixedFirstItemRepeats",
                  {"(File) D:\\clips\\b.swf", "c.swf"},
                  0,
                  {"b.swf", "b.swf", "b.swf"}},
        // An address is found again by its whole text only when written without a prefix.
        OrderCase{"AddressItemFoundWhole",
                  {"http://127.0.0.1/u.swf", "c.swf"},
                  0,
                  {"http://127.0.0.1/u.swf", "c.swf", "http://127.0.0.1/u.swf"}},
        OrderCase{"PrefixedAddressSendsBackToFirst",
                  {"a.swf", "(URL) http://127.0.0.1/u.swf", "c.swf"},
                  0,
                  {"a.swf", "http://127.0.0.1/u.swf", "a.swf"}}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return info.param.label; });

TEST_F(PlaybackTest, OneItemIsRestartedNotLoadedAgain) {
  Start({"only.swf"});
  control_.ScriptFrames({0});
  ASSERT_EQ(TicksUntilNextMovie(1), 1);
  ASSERT_EQ(TicksUntilNextMovie(1), 1);
  const std::vector<std::string> movie_calls = [&] {
    std::vector<std::string> v;
    for (const auto& e : log_) {
      if (e.rfind("Movie=", 0) == 0 || e == "Rewind" || e == "Play") v.push_back(e);
    }
    return v;
  }();
  const std::vector<std::string> expected{"Movie=" + Temp("only.swf"), "Rewind", "Play", "Rewind",
                                          "Play"};
  EXPECT_EQ(movie_calls, expected);
}

TEST_F(PlaybackTest, UnavailableItemsAreSkipped) {
  host_.resolutions["a.swf"] = {Temp("a.swf"), false};
  Start({"a.swf", "b.swf", "c.swf"});
  EXPECT_EQ(playback_->current_movie(), Temp("b.swf"));
  EXPECT_EQ(host_.resolve_calls, 2);
}

TEST_F(PlaybackTest, NothingAvailableGivesUpAfterOneMoreAttemptThanItems) {
  host_.resolutions["a.swf"] = {Temp("a.swf"), false};
  host_.resolutions["b.swf"] = {Temp("b.swf"), false};
  Start({"a.swf", "b.swf"});
  EXPECT_EQ(host_.resolve_calls, 3);
  // The last item tried goes to the player as the resolution left it.
  EXPECT_EQ(control_.Movie(), Temp("a.swf"));
  EXPECT_TRUE(host_.timer_running);
}

TEST_F(PlaybackTest, ShuffleNeverRepeatsAFileNameAndReachesEveryItem) {
  PlaybackSettings settings;
  settings.flash_sequence = 1;
  Start({"a.swf", "b.swf", "c.swf", "d.swf"}, settings);
  const std::vector<std::string> played = PlayedOver(400);
  std::map<std::string, int> seen;
  for (size_t i = 0; i < played.size(); ++i) {
    ++seen[played[i]];
    if (i > 0) {
      ASSERT_NE(played[i], played[i - 1]) << "at " << i;
    }
  }
  EXPECT_EQ(seen.size(), 4u);
  for (const auto& [name, count] : seen) EXPECT_GT(count, 60) << name;
}

TEST_F(PlaybackTest, ShuffleComparesFileNamesExactly) {
  PlaybackSettings settings;
  settings.flash_sequence = 1;
  // Draws: first movie index 0 ("a.swf"); then only "A.swf" differs from "a.swf".
  host_.resolutions["A.swf"] = {Temp("A.swf"), true};
  host_.draws = {0, 0};
  Start({"a.swf", "x\\a.swf", "A.swf"}, settings);
  ASSERT_EQ(playback_->current_movie(), Temp("a.swf"));
  control_.ScriptFrames({0});
  ASSERT_EQ(TicksUntilNextMovie(1), 1);
  EXPECT_EQ(playback_->current_movie(), Temp("A.swf"));
}

TEST_F(PlaybackTest, ShuffleWithOnlyOneFileNameStillChooses) {
  PlaybackSettings settings;
  settings.flash_sequence = 1;
  host_.resolutions["x\\same.swf"] = {"D:\\x\\same.swf", true};
  host_.resolutions["y\\same.swf"] = {"D:\\y\\same.swf", true};
  Start({"x\\same.swf", "y\\same.swf"}, settings);
  control_.ScriptFrames({0});
  for (int i = 0; i < 20; ++i) ASSERT_EQ(TicksUntilNextMovie(1), 1);
  EXPECT_EQ(FileNamePart(playback_->current_movie()), "same.swf");
}

TEST_F(PlaybackTest, ShuffleOfOneItemRestartsIt) {
  PlaybackSettings settings;
  settings.flash_sequence = 1;
  Start({"one.swf"}, settings);
  control_.ScriptFrames({0});
  ASSERT_EQ(TicksUntilNextMovie(1), 1);
  EXPECT_EQ(log_.back(), "StartTimer");
  EXPECT_EQ(log_[log_.size() - 2], "Play");
}

TEST(FileNamePart, CutsAfterTheLastBackslashOrColon) {
  EXPECT_EQ(FileNamePart("C:\\a\\b.swf"), "b.swf");
  EXPECT_EQ(FileNamePart("C:b.swf"), "b.swf");
  EXPECT_EQ(FileNamePart("http://host/b.swf"), "//host/b.swf");
  EXPECT_EQ(FileNamePart("b.swf"), "b.swf");
  EXPECT_EQ(FileNamePart("dir\\"), "");
}

}  // namespace
}  // namespace flashsaver
