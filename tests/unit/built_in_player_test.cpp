// The built-in player over a scripted movie source, a hand-moved clock, a movie that only counts
// its frames, and a recording renderer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>

#include <map>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include "show/built_in_player.h"
#include "tools/swf_writer.h"

namespace flashsaver {
namespace {

struct Scripted {
  MovieLoad::State state = MovieLoad::State::kWaiting;
  std::vector<uint8_t> bytes;
};

class ScriptedLoad : public MovieLoad {
 public:
  explicit ScriptedLoad(Scripted& s) : s_(s) {}
  State Poll() override { return s_.state; }
  std::vector<uint8_t> TakeBytes() override { return std::move(s_.bytes); }

 private:
  Scripted& s_;
};

class ScriptedSource : public MovieSource {
 public:
  std::map<std::string, Scripted> movies;
  std::vector<std::string> loads;
  std::unique_ptr<MovieLoad> Load(const std::string& movie) override {
    loads.push_back(movie);
    return std::make_unique<ScriptedLoad>(movies[movie]);
  }
  void Arrive(const std::string& movie, const SwfMovieSpec& spec) {
    movies[movie].state = MovieLoad::State::kArrived;
    movies[movie].bytes = WriteSwfMovie(spec);
  }
};

// The movie's header and background as the reader gives them; frames only counted.
class CountingMovie : public StageMovie {
 public:
  CountingMovie(std::vector<uint8_t> file, int& advanced, std::optional<SwfRect>& invalid,
                std::vector<std::string>* inputs = nullptr)
      : data_(ReadSwfMovie(file)), advanced_(advanced), invalid_(invalid), inputs_(inputs) {}
  const SwfHeader& header() const override { return data_.header; }
  std::optional<Rgb> background() const override { return data_.background; }
  void AdvanceFrame() override { ++advanced_; }
  void Rewind() override { advanced_ = 0; }
  void Play() override {}
  void Render(Canvas&, const Matrix&) const override {}
  std::optional<SwfRect> TakeInvalidatedArea() override { return std::exchange(invalid_, {}); }
  void SetScriptInterrupt(std::function<bool()> interrupt) override {
    script_interrupt = std::move(interrupt);
  }
  std::function<bool()> script_interrupt;
  void PointerMoved(double x, double y) override {
    Note("move " + std::to_string(std::lround(x)) + "," + std::to_string(std::lround(y)) + " at " +
         std::to_string(advanced_));
  }
  void PointerButton(bool down) override { Note(down ? "down" : "up"); }
  void SetMovieFolder(const std::string& f) override { folder = f; }
  std::optional<std::string> folder;
  void Key(bool down, int code, int ascii) override {
    Note((down ? "key down " : "key up ") + std::to_string(code) + "/" + std::to_string(ascii));
  }
  void Note(std::string what) {
    if (inputs_) inputs_->push_back(std::move(what));
  }

 private:
  SwfMovie data_;
  int& advanced_;
  std::optional<SwfRect>& invalid_;
  std::vector<std::string>* inputs_;
};

struct Fill {
  PixelRect rect;
  uint32_t colour;
  friend bool operator==(const Fill&, const Fill&) = default;
};

class RecordingRenderer : public StageRenderer {
 public:
  std::vector<Fill> fills;
  void FillRect(const PixelRect& rect, Rgb colour) override {
    fills.push_back({rect, colour.value});
  }
  // The colour of one pixel after all fills, and whether any pixel was painted twice.
  uint32_t At(int32_t x, int32_t y) const {
    uint32_t c = 0xDEADBEEF;
    for (const Fill& f : fills) {
      if (x >= f.rect.left && x < f.rect.right && y >= f.rect.top && y < f.rect.bottom)
        c = f.colour;
    }
    return c;
  }
  int64_t Area() const {
    int64_t a = 0;
    for (const Fill& f : fills) a += int64_t{f.rect.Width()} * f.rect.Height();
    return a;
  }
};

class Player : public ::testing::Test {
 protected:
  ScriptedSource source;
  int64_t now = 1000;
  int repaints = 0;
  int advanced = 0;  // frames the movie has been run
  std::optional<SwfRect> invalid;
  std::vector<std::string> inputs;  // what reached the movie
  BuiltInPlayer player{source, [this] { return now; }, [this] { ++repaints; },
                       [this](std::vector<uint8_t> file) {
                         auto movie = std::make_unique<CountingMovie>(std::move(file), advanced,
                                                                      invalid, &inputs);
                         last_movie = movie.get();
                         return movie;
                       }};
  CountingMovie* last_movie = nullptr;

  SwfMovieSpec Spec(uint16_t fps, uint16_t frames) {
    SwfMovieSpec spec;
    spec.frame_rate_8_8 = static_cast<uint16_t>(fps * 256);
    spec.frame_count = frames;
    spec.background_rgb = 0x336699;
    return spec;
  }
};

// A script that holds the window's thread is stopped once it has had its patience and input
// waits, so that a key or a move reaches the exit filter.
TEST_F(Player, ALongScriptStopsWhenInputWaitsAfterItsPatience) {
  bool input = false;
  player.SetInputWaiting([&input] { return input; });
  player.SetMovie("a.swf");
  source.Arrive("a.swf", Spec(10, 30));
  player.Tick();
  ASSERT_TRUE(last_movie && last_movie->script_interrupt);
  const std::function<bool()>& interrupt = last_movie->script_interrupt;
  input = true;
  now += BuiltInPlayer::kScriptPatienceMs - 1;
  EXPECT_FALSE(interrupt()) << "within its patience a script runs on";
  now += 1;
  EXPECT_TRUE(interrupt());
  input = false;
  EXPECT_FALSE(interrupt()) << "without input waiting a script runs to its own limits";
  input = true;
  player.Tick();  // a new tick gives the next script its own patience
  EXPECT_FALSE(interrupt());
}

TEST_F(Player, TheMovieReadsWhatItLoadsFromItsOwnFolder) {
  for (const auto& [movie, folder] :
       {std::pair{"C:\\Saver\\tmp\\a.swf", "C:\\Saver\\tmp"}, {"http://example.com/a.swf", ""}}) {
    player.SetMovie(movie);
    source.Arrive(movie, Spec(10, 30));
    player.Tick();
    ASSERT_NE(last_movie, nullptr);
    EXPECT_EQ(last_movie->folder, std::optional<std::string>(folder)) << movie;
  }
}

TEST_F(Player, WaitsUntilTheMovieArrivesThenShowsFrameZero) {
  player.SetMovie("C:\\movies\\a.swf");
  EXPECT_EQ(player.Movie(), "C:\\movies\\a.swf");
  player.Tick();
  EXPECT_LT(player.FrameNum(), 0);
  EXPECT_EQ(player.TotalFrames(), 0);
  now += 5000;
  source.Arrive("C:\\movies\\a.swf", Spec(10, 30));
  EXPECT_LT(player.FrameNum(), 0) << "a frame counts only once the player has shown it";
  player.Tick();
  EXPECT_EQ(player.FrameNum(), 0);
  EXPECT_EQ(player.TotalFrames(), 30);
}

TEST_F(Player, InputReachesTheMovieInStagePixelsOnItsNextStep) {
  player.SetMovie("a.swf");
  source.Arrive("a.swf", Spec(10, 30));
  player.Tick();
  // A window twice the stage's size: the stage fills it at scale 2.
  using Kind = BuiltInPlayer::Input::Kind;
  player.QueueInput({Kind::kMove, 100, 60}, 1100, 800);
  player.QueueInput({Kind::kButtonDown}, 1100, 800);
  player.QueueInput({Kind::kKeyDown, 0, 0, 65, 'a'}, 1100, 800);
  EXPECT_TRUE(inputs.empty()) << "nothing reaches the movie between its steps";
  now += 100;
  player.Tick();
  EXPECT_EQ(inputs, (std::vector<std::string>{"move 50,30 at 1", "down", "key down 65/97"}));
}

struct TimelineCase {
  const char* label;
  uint16_t fps;
  uint16_t frames;
  int64_t after_ms;
  int32_t expected_frame;
};

void PrintTo(const TimelineCase& c, std::ostream* os) { *os << c.label; }

class Timeline : public Player, public ::testing::WithParamInterface<TimelineCase> {};

TEST_P(Timeline, RunsAtTheMoviesRateAndLoops) {
  const TimelineCase& c = GetParam();
  player.SetMovie("m.swf");
  source.Arrive("m.swf", Spec(c.fps, c.frames));
  player.Tick();
  now += c.after_ms;
  EXPECT_EQ(player.FrameNum(), c.expected_frame);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Timeline,
    ::testing::Values(TimelineCase{"JustBeforeSecondFrame", 10, 30, 99, 0},
                      TimelineCase{"SecondFrame", 10, 30, 100, 1},
                      TimelineCase{"LastFrame", 10, 30, 2999, 29},
                      TimelineCase{"LoopsToFirst", 10, 30, 3000, 0},
                      TimelineCase{"SecondRound", 10, 30, 4550, 15},
                      TimelineCase{"OneFrameStays", 25, 1, 100000, 0},
                      TimelineCase{"NoFramesStaysAtZero", 25, 0, 100000, 0},
                      TimelineCase{"ZeroRateStays", 0, 30, 100000, 0},
                      TimelineCase{
                          "LongRunNoOverflow", 255, 65535, int64_t{1} << 40,
                          static_cast<int32_t>(((int64_t{1} << 40) * 255 / 1000) % 65535)}),
    [](const ::testing::TestParamInfo<TimelineCase>& info) { return info.param.label; });

TEST_F(Player, RewindStopsOnFrameZeroAndPlayGoesOn) {
  player.SetMovie("m.swf");
  source.Arrive("m.swf", Spec(10, 30));
  player.Tick();
  now += 1250;
  EXPECT_EQ(player.FrameNum(), 12);
  player.Rewind();
  EXPECT_EQ(player.FrameNum(), 0);
  now += 1000;
  EXPECT_EQ(player.FrameNum(), 0);
  player.Play();
  now += 300;
  EXPECT_EQ(player.FrameNum(), 3);
  player.Play();
  now += 100;
  EXPECT_EQ(player.FrameNum(), 4) << "Play while playing changes nothing";
}

TEST_F(Player, RewindAndPlayBeforeArrivalDoNothing) {
  player.SetMovie("m.swf");
  player.Rewind();
  player.Play();
  EXPECT_LT(player.FrameNum(), 0);
}

TEST_F(Player, NewMovieStartsWaitingAgain) {
  player.SetMovie("a.swf");
  source.Arrive("a.swf", Spec(10, 30));
  player.Tick();
  player.SetMovie("http://127.0.0.1/b.swf");
  EXPECT_EQ(player.Movie(), "http://127.0.0.1/b.swf");
  EXPECT_LT(player.FrameNum(), 0);
  EXPECT_EQ(player.TotalFrames(), 0);
  EXPECT_EQ(source.loads, (std::vector<std::string>{"a.swf", "http://127.0.0.1/b.swf"}));
}

struct BadLoadCase {
  const char* label;
  MovieLoad::State state;
  std::vector<uint8_t> bytes;
};

void PrintTo(const BadLoadCase& c, std::ostream* os) { *os << c.label; }

class BadLoads : public Player, public ::testing::WithParamInterface<BadLoadCase> {};

TEST_P(BadLoads, NeverShowAFrame) {
  player.SetMovie("x.swf");
  source.movies["x.swf"] = Scripted{GetParam().state, GetParam().bytes};
  for (int i = 0; i < 3; ++i) {
    player.Tick();
    now += 1000;
  }
  EXPECT_LT(player.FrameNum(), 0);
  EXPECT_EQ(player.TotalFrames(), 0);
  EXPECT_EQ(player.Movie(), "x.swf");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadLoads,
    ::testing::Values(BadLoadCase{"Failed", MovieLoad::State::kFailed, {}},
                      BadLoadCase{"NotSwf", MovieLoad::State::kArrived, {'<', 'h', 't', 'm', 'l'}},
                      BadLoadCase{"Lzma",
                                  MovieLoad::State::kArrived,
                                  {'Z', 'W', 'S', 13, 40, 0, 0, 0, 0, 0, 0, 0}},
                      BadLoadCase{"Empty", MovieLoad::State::kArrived, {}}),
    [](const ::testing::TestParamInfo<BadLoadCase>& info) { return info.param.label; });

TEST_F(Player, EmptyMovieLoadsNothing) {
  player.SetMovie("");
  EXPECT_TRUE(source.loads.empty());
  EXPECT_EQ(player.Movie(), "");
  EXPECT_LT(player.FrameNum(), 0);
}

struct PaintCase {
  const char* label;
  std::optional<int32_t> background_property;
  std::optional<uint32_t> movie_background;
  bool loaded;
  uint32_t expected_stage;
  uint32_t expected_outside;
};

void PrintTo(const PaintCase& c, std::ostream* os) { *os << c.label; }

class Painting : public Player, public ::testing::WithParamInterface<PaintCase> {};

TEST_P(Painting, ColoursStageAndBandsOnceEach) {
  const PaintCase& c = GetParam();
  SwfMovieSpec spec = Spec(10, 10);
  spec.width_px = 400;
  spec.height_px = 300;
  spec.background_rgb = c.movie_background;
  player.SetMovie("m.swf");
  if (c.loaded) {
    source.Arrive("m.swf", spec);
    player.Tick();
  }
  if (c.background_property) player.SetBackgroundColor(*c.background_property);
  RecordingRenderer renderer;
  player.Paint(renderer, 1000, 600);  // show-all: stage at 100..900
  EXPECT_EQ(renderer.At(500, 300), c.expected_stage);
  EXPECT_EQ(renderer.At(50, 300), c.expected_outside);
  EXPECT_EQ(renderer.At(950, 599), c.expected_outside);
  EXPECT_EQ(renderer.Area(), 1000 * 600) << "every pixel painted exactly once";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Painting,
    ::testing::Values(
        PaintCase{"MoviesOwnEverywhere", std::nullopt, 0x336699u, true, 0x336699, 0x336699},
        PaintCase{"PropertyWins", 0x102030, 0x336699u, true, 0x102030, 0x102030},
        PaintCase{"NoTagIsWhite", std::nullopt, std::nullopt, true, 0xFFFFFF, 0xFFFFFF},
        PaintCase{"MinusOneGivesTheMovieBack", -1, 0x336699u, true, 0x336699, 0x336699},
        PaintCase{"WaitingIsBlack", std::nullopt, 0x336699u, false, 0x000000, 0x000000},
        PaintCase{"WaitingInThePropertysColour", 0xFF0000, 0x336699u, false, 0xFF0000, 0xFF0000},
        PaintCase{"TopByteDropped", static_cast<int32_t>(0x7F00FF00), 0x336699u, true, 0x00FF00,
                  0x00FF00}),
    [](const ::testing::TestParamInfo<PaintCase>& info) { return info.param.label; });

TEST_F(Player, StageFollowsScaleAndAlignMode) {
  SwfMovieSpec spec = Spec(10, 10);
  spec.width_px = 400;
  spec.height_px = 300;
  player.SetMovie("m.swf");
  source.Arrive("m.swf", spec);
  player.Tick();
  player.SetScaleMode(kScaleNoScale);
  player.SetAlignMode(kAlignLeft | kAlignTop);
  RecordingRenderer renderer;
  player.Paint(renderer, 1000, 600);
  EXPECT_EQ(renderer.fills.back(), (Fill{{0, 0, 400, 300}, 0x336699}));
  EXPECT_EQ(renderer.Area(), 1000 * 600);
}

TEST_F(Player, StageLargerThanTheWindowIsClipped) {
  SwfMovieSpec spec = Spec(10, 10);
  spec.width_px = 3000;
  spec.height_px = 2000;
  player.SetMovie("m.swf");
  source.Arrive("m.swf", spec);
  player.Tick();
  player.SetScaleMode(kScaleNoScale);
  RecordingRenderer renderer;
  player.Paint(renderer, 1000, 600);
  ASSERT_EQ(renderer.fills.size(), 1u);
  EXPECT_EQ(renderer.fills[0].rect, (PixelRect{0, 0, 1000, 600}));
}

TEST_F(Player, ChangesAskForARepaint) {
  player.SetMovie("m.swf");
  const int after_set = repaints;
  source.Arrive("m.swf", Spec(10, 10));
  player.Tick();
  EXPECT_GT(repaints, after_set);
  const int after_arrival = repaints;
  player.SetBackgroundColor(0x00FF00);
  player.SetScaleMode(kScaleExactFit);
  EXPECT_EQ(repaints, after_arrival + 2);
}

TEST_F(Player, KeepsQuality) {
  player.SetQuality(3);
  EXPECT_EQ(player.quality(), 3);
}

TEST_F(Player, RunsTheMovieFrameByFrameAndWaitsWhenFarBehind) {
  player.SetMovie("m.swf");
  source.Arrive("m.swf", Spec(10, 30));
  player.Tick();
  EXPECT_EQ(advanced, 1) << "arrival shows frame 1";
  now += 300;
  player.Tick();
  EXPECT_EQ(advanced, 4);
  EXPECT_EQ(player.FrameNum(), 3);
  // A picture that took 2 s: only a few frames are run, and the clock goes on from there.
  now += 2000;
  player.Tick();
  EXPECT_EQ(advanced, 4 + BuiltInPlayer::kMaxCatchUpFrames);
  EXPECT_EQ(player.FrameNum(), 3 + BuiltInPlayer::kMaxCatchUpFrames);
  now += 100;
  player.Tick();
  EXPECT_EQ(advanced, 5 + BuiltInPlayer::kMaxCatchUpFrames);
  EXPECT_EQ(player.NextTickDelay(), 100);
  // Rewind reaches the movie on the next tick, never while a picture may be drawn.
  player.Rewind();
  EXPECT_EQ(advanced, 5 + BuiltInPlayer::kMaxCatchUpFrames);
  player.Tick();
  EXPECT_EQ(advanced, 1);
}

TEST_F(Player, DirtyBoxIsTheWholeWindowAfterChangesAndTheMoviesAreaOtherwise) {
  SwfMovieSpec spec = Spec(10, 10);
  spec.width_px = 400;
  spec.height_px = 300;
  player.SetMovie("m.swf");
  source.Arrive("m.swf", spec);
  player.Tick();
  EXPECT_EQ(player.TakeDirtyBox(1000, 600), (PixelBox{0, 0, 1000, 600}));
  EXPECT_EQ(player.TakeDirtyBox(1000, 600), std::nullopt);
  // Show-all doubles the stage: twips 200..400 become window pixels 120..140 after the
  // 100-pixel band, one more pixel each side for the anti-aliased edge.
  invalid = SwfRect{Twips{200}, Twips{400}, Twips{2000}, Twips{2100}};
  EXPECT_EQ(player.TakeDirtyBox(1000, 600), (PixelBox{119, 199, 141, 211}));
  invalid = SwfRect{Twips{-100000000}, Twips{100000000}, Twips{0}, Twips{20}};
  EXPECT_EQ(player.TakeDirtyBox(1000, 600), (PixelBox{0, 0, 1000, 3}));
  EXPECT_EQ(player.TakeDirtyBox(800, 600), (PixelBox{0, 0, 800, 600})) << "resized";
  player.SetQuality(0);
  EXPECT_EQ(player.TakeDirtyBox(800, 600), (PixelBox{0, 0, 800, 600}));
}

struct GovernorCase {
  const char* label;
  int32_t quality;
  std::vector<double> render_ms;  // against a 40 ms frame period
  bool high_after;
};

TEST(QualityGovernor, StartsAtItsLevelAndStepsOnlyInTheAutoModes) {
  const std::vector<double> late(QualityGovernor::kLateToStepDown, 50.0);
  std::vector<double> late_but_one = late;
  late_but_one.back() = 20;
  const std::vector<double> quick(QualityGovernor::kQuickToStepUp, 5.0);
  std::vector<double> down_then_up = late;
  down_then_up.insert(down_then_up.end(), quick.begin(), quick.end());
  const GovernorCase cases[] = {
      {"low stays low", 0, quick, false},
      {"high stays high", 1, late, true},
      {"auto low starts low", 2, {}, false},
      {"auto high starts high", 3, {}, true},
      {"auto high steps down after late frames", 3, late, false},
      {"an in-time frame breaks the run", 3, late_but_one, true},
      {"auto low steps up after quick frames", 2, quick, true},
      {"auto high comes back up", 3, down_then_up, true},
      {"frames under the period but not quick keep low", 2, std::vector<double>(100, 20.0), false},
      {"unknown value plays high", 7, late, true},
  };
  for (const GovernorCase& c : cases) {
    QualityGovernor governor(c.quality);
    for (double ms : c.render_ms) governor.FrameRendered(ms, 40);
    EXPECT_EQ(governor.high(), c.high_after) << c.label;
  }
}

struct AddressCase {
  const char* movie;
  bool web;
};

class Addresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(Addresses, OnlyHttpAndHttpsAreFetched) {
  EXPECT_EQ(IsWebAddress(GetParam().movie), GetParam().web);
}

INSTANTIATE_TEST_SUITE_P(Cases, Addresses,
                         ::testing::Values(AddressCase{"http://127.0.0.1/a.swf", true},
                                           AddressCase{"HTTPS://host/a.swf", true},
                                           AddressCase{"C:\\a.swf", false},
                                           AddressCase{"ftp://host/a.swf", false},
                                           AddressCase{"http:/host", false},
                                           AddressCase{"", false}));

// Opening in the background: the caller keeps ticking while the job is parked, and a job that
// ends after the movie changed installs nothing.
TEST(PlayerOpening, WaitsForTheJobAndDropsAnAbandonedOne) {
  ScriptedSource source;
  int advanced = 0;
  std::optional<SwfRect> invalid;
  std::vector<std::function<void()>> parked;
  BuiltInPlayer player(
      source, [] { return int64_t{0}; }, [] {},
      [&](std::vector<uint8_t> file) {
        return std::make_unique<CountingMovie>(std::move(file), advanced, invalid);
      },
      [&](std::function<void()> job) { parked.push_back(std::move(job)); });
  SwfMovieSpec a;
  a.frame_count = 7;
  SwfMovieSpec b;
  b.frame_count = 9;

  player.SetMovie("a.swf");
  source.Arrive("a.swf", a);
  player.Tick();
  ASSERT_EQ(parked.size(), 1u);
  player.Tick();
  EXPECT_EQ(player.TotalFrames(), 0) << "shown before it was opened";
  EXPECT_LE(player.NextTickDelay(), 50) << "an opening must be polled soon";

  player.SetMovie("b.swf");
  parked[0]();  // the abandoned job ends late
  player.Tick();
  EXPECT_EQ(player.TotalFrames(), 0) << "the abandoned movie was shown";
  source.Arrive("b.swf", b);
  player.Tick();
  ASSERT_EQ(parked.size(), 2u);
  parked[1]();
  player.Tick();
  EXPECT_EQ(player.TotalFrames(), 9);
  EXPECT_EQ(player.FrameNum(), 0);
}

// Paints the whole stage in one colour through the canvas.
class PaintingMovie : public StageMovie {
 public:
  PaintingMovie() : data_(ReadSwfMovie(WriteSwfMovie(SwfMovieSpec{}))) {}
  const SwfHeader& header() const override { return data_.header; }
  std::optional<Rgb> background() const override { return data_.background; }
  void AdvanceFrame() override {}
  void Rewind() override {}
  void Play() override {}
  void Render(Canvas& canvas, const Matrix& m) const override {
    Path path;
    const double w = 550 * 20, h = 400 * 20;
    path.MoveTo({0, 0});
    path.LineTo({w, 0});
    path.LineTo({w, h});
    path.LineTo({0, h});
    path.LineTo({0, 0});
    canvas.FillPath(path, FillRule::kNonZero, Rgba{255, 0, 0, 255}, RenderState{m, {}});
  }
  std::optional<SwfRect> TakeInvalidatedArea() override { return std::nullopt; }

 private:
  SwfMovie data_;
};

TEST(StageFrameDraw, ACancelledPictureSkipsTheMovieButNotTheBackground) {
  StageFrame frame;
  frame.movie = std::make_shared<PaintingMovie>();
  frame.fills.push_back({PixelRect{0, 0, 55, 40}, Rgb{0x0000FF}});
  frame.matrix = Matrix{1.0 / 200, 0, 0, 1.0 / 200, 0, 0};  // the 550x400 stage at 55x40
  frame.options.clip = PixelBox{0, 0, 55, 40};
  for (const bool cancelled : {false, true}) {
    Picture picture(55, 40);
    const std::atomic<bool> cancel{cancelled};
    frame.Draw(picture, &cancel);
    EXPECT_EQ(picture.Row(20)[27], OpaquePixel(Rgb{cancelled ? 0x0000FFu : 0xFF0000u}))
        << (cancelled ? "cancelled" : "not cancelled");
  }
}

// A movie whose root stream sound is as far ahead of its timeline as `lead` says, and an output
// that only keeps its source.
class LeadingMovie : public CountingMovie {
 public:
  LeadingMovie(std::vector<uint8_t> file, int& advanced, std::optional<SwfRect>& invalid,
               std::optional<int32_t>& lead, bool& enabled)
      : CountingMovie(std::move(file), advanced, invalid), lead_(lead), enabled_(enabled) {}
  void EnableSound() override { enabled_ = true; }
  std::optional<int32_t> SoundLead(uint32_t) override { return lead_; }

 private:
  std::optional<int32_t>& lead_;
  bool& enabled_;
};

class KeptOutput : public AudioOutput {
 public:
  explicit KeptOutput(Source& kept) : kept_(kept) {}
  void SetSource(Source source) override { kept_ = std::move(source); }
  uint32_t QueuedFrames() const override { return 0; }

 private:
  Source& kept_;
};

TEST_F(Player, StreamSoundPacesTheTimelineAndAStalledSoundDoesNotStopIt) {
  std::optional<int32_t> lead;
  bool enabled = false;
  AudioOutput::Source kept;
  BuiltInPlayer paced{source, [this] { return now; }, [] {},
                      [&](std::vector<uint8_t> file) {
                        return std::make_unique<LeadingMovie>(std::move(file), advanced, invalid,
                                                              lead, enabled);
                      }};
  paced.SetAudioOutput(std::make_unique<KeptOutput>(kept));
  paced.SetMovie("a.swf");
  source.Arrive("a.swf", Spec(10, 1000));
  paced.Tick();
  ASSERT_EQ(advanced, 1);
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(kept);

  // Ahead by six frames with the clock standing still: they run, at most four per tick.
  lead = 6;
  paced.Tick();
  EXPECT_EQ(advanced, 1 + BuiltInPlayer::kMaxCatchUpFrames);
  lead = 2;
  paced.Tick();
  EXPECT_EQ(advanced, 7);

  // Behind: the clock's frames wait for the sound, but not for longer than the limit.
  lead = -1;
  now += 200;
  paced.Tick();
  EXPECT_EQ(advanced, 7);
  now += 200;
  paced.Tick();
  EXPECT_EQ(advanced, 7 + 4);

  paced.SetMovie("");
  EXPECT_FALSE(kept);
}

TEST(SilentAudioOutput, TakesTheSoundUntilItsSourceIsReplaced) {
  std::unique_ptr<AudioOutput> output = MakeSilentAudioOutput();
  std::atomic<int> calls{0};
  output->SetSource([&](int16_t* out, size_t frames) {
    out[2 * frames - 1] = 1;  // the whole buffer is there to be written
    ++calls;
  });
  for (int i = 0; i < 200 && calls < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(calls, 2);
  output->SetSource({});
  const int after = calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(calls, after);
}

}  // namespace
}  // namespace flashsaver
