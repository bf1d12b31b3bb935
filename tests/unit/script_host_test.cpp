// Scripts on the display list: the order in which frame scripts, init scripts and gotos run,
// fscommand("quit"), the clip-event records, and the scale/rotation decomposition behind
// _xscale, _yscale and _rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "player/display/movie_player.h"
#include "player/avm1/display/script_host.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

Bytes Tag(uint16_t code, const Bytes& body) {
  Bytes out;
  Put16(out, static_cast<uint32_t>(code << 6) | 0x3F);
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// Actions: trace("text"), and the end of the block.
Bytes TraceAction(const std::string& text) {
  Bytes a{0x96};
  Put16(a, static_cast<uint32_t>(text.size() + 2));
  a.push_back(0);
  a.insert(a.end(), text.begin(), text.end());
  a.push_back(0);
  a.push_back(0x26);
  return a;
}
Bytes GotoAndStop(uint16_t frame) {
  Bytes a{0x81};
  Put16(a, 2);
  Put16(a, frame);
  a.push_back(0x07);
  return a;
}
Bytes Quit() {
  const std::string url = "FSCommand:quit";
  Bytes a{0x83};
  Put16(a, static_cast<uint32_t>(url.size() + 2));
  a.insert(a.end(), url.begin(), url.end());
  a.push_back(0);
  a.push_back(0);
  return a;
}
Bytes DoAction(Bytes actions) {
  actions.push_back(0);
  return Tag(swf_tag::kDoAction, actions);
}
Bytes DoInitAction(uint16_t sprite, const Bytes& actions) {
  Bytes body;
  Put16(body, sprite);
  body.insert(body.end(), actions.begin(), actions.end());
  body.push_back(0);
  return Tag(swf_tag::kDoInitAction, body);
}
Bytes ShowFrame() { return Tag(swf_tag::kShowFrame, {}); }
Bytes Place(uint16_t depth, uint16_t id) {
  Bytes b{0x02 | 0x04};
  Put16(b, depth);
  Put16(b, id);
  b.push_back(0);  // identity matrix
  return Tag(swf_tag::kPlaceObject2, b);
}
Bytes Sprite(uint16_t id, const std::vector<Bytes>& tags) {
  Bytes b;
  Put16(b, id);
  Put16(b, 1);
  for (const Bytes& t : tags) b.insert(b.end(), t.begin(), t.end());
  const Bytes end = Tag(swf_tag::kEnd, {});
  b.insert(b.end(), end.begin(), end.end());
  return Tag(swf_tag::kDefineSprite, b);
}
Bytes Movie(const std::vector<Bytes>& tags) {
  // 550 x 400 stage at 12 fps: RECT with 15-bit fields, packed by hand.
  Bytes body{0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};
  Put16(body, 12 << 8);
  Put16(body, 1);
  for (const Bytes& t : tags) body.insert(body.end(), t.begin(), t.end());
  Bytes file{'F', 'W', 'S', 8};
  Put32(file, static_cast<uint32_t>(body.size() + 8));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

struct OrderCase {
  const char* name;
  std::vector<Bytes> tags;
  int frames;
  std::vector<std::string> lines;
  bool quits;
};

// An endless loop stops at the first poll that the host's interrupt answers true; the frame's
// next script still runs.
TEST(ScriptHostTest, InterruptStopsAnEndlessScript) {
  const Bytes loop{0x99, 0x02, 0x00, 0xFB, 0xFF};  // jump back onto itself
  const Bytes movie = Movie({DoAction(loop), DoAction(TraceAction("after")), ShowFrame()});
  MoviePlayer player(movie);
  std::vector<std::string> lines;
  player.SetTraceOutput([&lines](std::string_view l) { lines.emplace_back(l); });
  int polls = 0;
  player.SetScriptInterrupt([&polls] { return ++polls >= 3; });
  player.AdvanceFrame();
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(lines, std::vector<std::string>{"after"});
}

TEST(ScriptHostTest, RunsScriptsInThePlayersOrder) {
  const OrderCase cases[] = {
      {"the frame script that places a child runs before the child's first frame",
       {Sprite(10, {DoAction(TraceAction("child")), ShowFrame()}), Place(1, 10),
        DoAction(TraceAction("root")), ShowFrame()},
       1,
       {"root", "child"},
       false},
      {"init scripts run before frame scripts whatever their tag order",
       {Sprite(10, {ShowFrame()}), DoAction(TraceAction("frame")),
        DoInitAction(10, TraceAction("init")), ShowFrame()},
       2,
       {"init", "frame"},
       false},
      {"a goto runs the target frame's script, not those it passes",
       {DoAction(GotoAndStop(2)), ShowFrame(), DoAction(TraceAction("f2")), ShowFrame(),
        DoAction(TraceAction("f3")), ShowFrame()},
       3,
       {"f3"},
       false},
      {"a looping root runs its frame scripts again",
       {DoAction(TraceAction("a")), ShowFrame(), DoAction(TraceAction("b")), ShowFrame()},
       3,
       {"a", "b", "a"},
       false},
      {"quit ends the movie after its frame",
       {DoAction(Quit()), DoAction(TraceAction("same frame")), ShowFrame(),
        DoAction(TraceAction("next")), ShowFrame()},
       1,
       {},
       true},
  };
  for (const OrderCase& c : cases) {
    const Bytes file = Movie(c.tags);
    MoviePlayer player(file);
    std::vector<std::string> lines;
    player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
    for (int i = 0; i < c.frames && !player.quit_requested(); ++i) player.AdvanceFrame();
    EXPECT_EQ(player.quit_requested(), c.quits) << c.name;
    if (!c.quits) {
      EXPECT_EQ(lines, c.lines) << c.name;
    }
  }
}

// PlaceObject2 of a sprite with onClipEvent records: each event traces its name.
Bytes PlaceWithEvents(uint16_t depth, uint16_t id,
                      const std::vector<std::pair<uint32_t, std::string>>& events) {
  Bytes b{0x80 | 0x02 | 0x04};
  Put16(b, depth);
  Put16(b, id);
  b.push_back(0);
  Put16(b, 0);
  uint32_t all = 0;
  for (const auto& e : events) all |= e.first;
  Put32(b, all);
  for (const auto& [event, text] : events) {
    Bytes code = TraceAction(text);
    code.push_back(0);
    Put32(b, event);
    Put32(b, static_cast<uint32_t>(code.size()));
    b.insert(b.end(), code.begin(), code.end());
  }
  Put32(b, 0);
  return Tag(swf_tag::kPlaceObject2, b);
}

TEST(ScriptHostTest, ClipEventsRunOnTheirEvents) {
  const Bytes file = Movie({Sprite(10, {ShowFrame()}),
                            PlaceWithEvents(1, 10,
                                            {{clip_event::kLoad, "load"},
                                             {clip_event::kEnterFrame, "enter"},
                                             {clip_event::kMouseDown, "down"}}),
                            ShowFrame()});
  MoviePlayer player(file);
  std::vector<std::string> lines;
  player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
  player.AdvanceFrame();
  EXPECT_EQ(lines, (std::vector<std::string>{"load"}));
  player.AdvanceFrame();
  player.MouseDown();
  player.MouseUp();
  EXPECT_EQ(lines, (std::vector<std::string>{"load", "enter", "down"}));
}

TEST(ScriptHostTest, ReadsClipEventRecords) {
  // SWF 6: 32-bit flags; a key-press record carries its key code before the actions.
  Bytes swf6{0, 0, 0, 0, 0, 0};
  Put32(swf6, clip_event::kLoad);
  Put32(swf6, 2);
  swf6.insert(swf6.end(), {0x07, 0x00});
  Put32(swf6, 1u << 17);
  Put32(swf6, 3);
  swf6.insert(swf6.end(), {0x41, 0x06, 0x00});
  Put32(swf6, 0);
  const auto six = ReadClipActions(swf6, 6);
  ASSERT_EQ(six.size(), 2u);
  EXPECT_EQ(six[0].events, clip_event::kLoad);
  EXPECT_EQ(Bytes(six[0].code.begin(), six[0].code.end()), (Bytes{0x07, 0x00}));
  EXPECT_EQ(Bytes(six[1].code.begin(), six[1].code.end()), (Bytes{0x06, 0x00}));

  // SWF 5: 16-bit flags; a record claiming more bytes than there are ends the list.
  Bytes swf5{0, 0, 0, 0};
  Put16(swf5, clip_event::kEnterFrame);
  Put32(swf5, 1);
  swf5.push_back(0x00);
  Put16(swf5, clip_event::kUnload);
  Put32(swf5, 1000);
  swf5.push_back(0x00);
  const auto five = ReadClipActions(swf5, 5);
  ASSERT_EQ(five.size(), 1u);
  EXPECT_EQ(five[0].events, clip_event::kEnterFrame);
}

TEST(ScriptHostTest, TakesScaleAndRotationApartAndBack) {
  const double kPi = std::acos(-1.0);
  struct Case {
    Matrix m;
    double xscale, yscale, rotation;
  } cases[] = {
      {{1, 0, 0, 1, 0, 0}, 100, 100, 0},
      {{2, 0, 0, 0.5, 0, 0}, 200, 50, 0},
      {{std::cos(kPi / 6), std::sin(kPi / 6), -std::sin(kPi / 6), std::cos(kPi / 6), 0, 0},
       100,
       100,
       30},
      {{0, -3, 3, 0, 0, 0}, 300, 300, -90},
      // A mirrored x axis shows as a rotation of 180 with the y scale kept.
      {{-1, 0, 0, 1, 0, 0}, 100, 100, 180},
  };
  for (const Case& c : cases) {
    const ScaleRotation s = Decompose(c.m);
    EXPECT_NEAR(s.xscale, c.xscale, 1e-9);
    EXPECT_NEAR(s.yscale, c.yscale, 1e-9);
    EXPECT_NEAR(s.rotation, c.rotation, 1e-9);
    const Matrix back = Recompose(s, 7, 9);
    EXPECT_NEAR(back.a, c.m.a, 1e-9);
    EXPECT_NEAR(back.b, c.m.b, 1e-9);
    EXPECT_NEAR(back.c, c.m.c, 1e-9);
    EXPECT_NEAR(back.d, c.m.d, 1e-9);
    EXPECT_EQ(back.tx, 7);
    EXPECT_EQ(back.ty, 9);
  }
}

}  // namespace
}  // namespace flashsaver

namespace flashsaver {
namespace {

Bytes GetUrl(const std::string& url, const std::string& target) {
  Bytes a{0x83};
  Put16(a, static_cast<uint32_t>(url.size() + target.size() + 2));
  a.insert(a.end(), url.begin(), url.end());
  a.push_back(0);
  a.insert(a.end(), target.begin(), target.end());
  a.push_back(0);
  return a;
}

// trace(Key.isDown(code))
Bytes TraceKeyIsDown(uint8_t code) {
  Bytes a{0x96, 15, 0, 7, code, 0, 0, 0, 7, 1, 0, 0, 0, 0, 'K', 'e', 'y', 0, 0x1C};
  const std::string method = "isDown";
  a.insert(a.end(), {0x96, static_cast<uint8_t>(method.size() + 2), 0, 0});
  a.insert(a.end(), method.begin(), method.end());
  a.insert(a.end(), {0, 0x52, 0x26});
  return a;
}

struct LoadCase {
  const char* name;
  std::optional<Bytes> child;  // what the reader finds; nothing: no such file
  std::vector<std::string> lines;
};

TEST(ScriptHostTest, LoadsMoviesIntoLevels) {
  const Bytes child = Movie({DoAction(TraceAction("child runs")), ShowFrame()});
  const LoadCase cases[] = {
      {"a movie loaded into _level1 runs its first frame", child, {"child runs"}},
      {"a missing file leaves the level empty", std::nullopt, {}},
      {"a file that is no movie fails as a missing one", Bytes{'n', 'o', 'p', 'e'}, {}},
  };
  for (const LoadCase& c : cases) {
    MoviePlayer player(Movie({DoAction(GetUrl("child.swf?x=1", "_level1")), ShowFrame()}));
    std::vector<std::string> lines, asked;
    player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
    player.SetFileReader([&](const std::string& path) {
      asked.push_back(path);
      return c.child;
    });
    player.AdvanceFrame();
    player.AdvanceFrame();
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_EQ(asked, std::vector<std::string>{"child.swf"}) << c.name;
  }
}

TEST(ScriptHostTest, KeepsLoadedPathsInsideTheMoviesFolder) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"child.swf", "child.swf"},
      {"sub/child%20two.swf?a=1#top", "sub/child two.swf"},
      {"http://example.com/a.swf", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"C:\\movies\\a.swf", std::nullopt},
      {"/etc/passwd", std::nullopt},
      {"\\\\server\\share\\a.swf", std::nullopt},
      {"?only=query", std::nullopt},
      {"a%00.swf", std::nullopt},
  };
  for (const auto& [url, path] : cases) EXPECT_EQ(LocalPathOf(url), path) << url;
}

Bytes NamedSymbols(const std::vector<std::pair<uint16_t, std::string>>& symbols) {
  Bytes b;
  Put16(b, static_cast<uint32_t>(symbols.size()));
  for (const auto& [id, name] : symbols) {
    Put16(b, id);
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
  }
  return b;
}
Bytes Export(uint16_t id, const std::string& name) {
  return Tag(swf_tag::kExportAssets, NamedSymbols({{id, name}}));
}
Bytes Import(const std::string& url, uint16_t id, const std::string& name) {
  Bytes b(url.begin(), url.end());
  b.insert(b.end(), {0, 1, 0});  // ImportAssets2: two reserved bytes
  const Bytes symbols = NamedSymbols({{id, name}});
  b.insert(b.end(), symbols.begin(), symbols.end());
  return Tag(swf_tag::kImportAssets2, b);
}

struct ImportCase {
  const char* name;
  std::string import_name;
  std::optional<Bytes> library;  // what the reader finds for "lib.swf"
  std::vector<std::string> lines;
};

// The library's sprite plays in the importing movie with the library's own characters; its
// init script runs before the frame's scripts; what cannot be imported places nothing.
TEST(ScriptHostTest, ImportsSymbolsFromLibraryMovies) {
  const Bytes library = Movie({Sprite(1, {DoAction(TraceAction("inner")), ShowFrame()}),
                               Sprite(2, {Place(1, 1), DoAction(TraceAction("lib")), ShowFrame()}),
                               Export(2, "Sym"), DoInitAction(2, TraceAction("init")),
                               DoAction(TraceAction("library root")), ShowFrame()});
  const Bytes self_importing = Movie({Import("lib.swf", 2, "Sym"), Export(2, "Sym"), ShowFrame()});
  const ImportCase cases[] = {
      {"an exported sprite", "Sym", library, {"init", "main", "lib", "inner"}},
      {"a name differing in case only", "sym", library, {"init", "main", "lib", "inner"}},
      {"a name the library does not export", "Other", library, {"main"}},
      {"a missing library", "Sym", std::nullopt, {"main"}},
      {"a file that is no movie", "Sym", Bytes{'n', 'o'}, {"main"}},
      {"a library importing itself", "Sym", self_importing, {"main"}},
  };
  for (const ImportCase& c : cases) {
    MoviePlayer player(Movie({Import("lib.swf", 7, c.import_name), Place(1, 7),
                              DoAction(TraceAction("main")), ShowFrame()}));
    std::vector<std::string> lines;
    int reads = 0;
    player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
    player.SetFileReader([&](const std::string& path) {
      ++reads;
      return path == "lib.swf" ? c.library : std::nullopt;
    });
    player.AdvanceFrame();
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_LE(reads, 8) << c.name;
  }
}

TEST(ScriptHostTest, KeyStateFollowsTheKeys) {
  MoviePlayer player(Movie({ShowFrame(), DoAction(TraceKeyIsDown(65)), ShowFrame(),
                            DoAction(TraceKeyIsDown(65)), ShowFrame()}));
  std::vector<std::string> lines;
  player.SetTraceOutput([&](std::string_view line) { lines.emplace_back(line); });
  player.AdvanceFrame();
  player.KeyDown(65, 'a');
  player.AdvanceFrame();
  player.KeyUp(65, 'a');
  player.AdvanceFrame();
  EXPECT_EQ(lines, (std::vector<std::string>{"true", "false"}));
}

}  // namespace
}  // namespace flashsaver
