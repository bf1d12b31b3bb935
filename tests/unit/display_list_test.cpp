// The timelines and the display list, seen through a recording canvas: what is drawn each
// frame, with which matrix and colour transform, under which masks; and the limits that keep a
// hostile movie small.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "player/display/display_list.h"
#include "player/display/movie_definition.h"
#include "player/avm1/display/script_host.h"
#include "player/render/null_canvas.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

// Writes SWF records: bit fields most significant bit first, bytes little-endian.
class SwfBytes {
 public:
  SwfBytes& Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (bit_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> bit_);
      bit_ = (bit_ + 1) % 8;
    }
    return *this;
  }
  SwfBytes& U8(uint32_t v) {
    bit_ = 0;
    bytes_.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  SwfBytes& U16(uint32_t v) { return U8(v & 0xFF).U8(v >> 8); }
  SwfBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  SwfBytes& Append(const std::vector<uint8_t>& more) {
    bit_ = 0;
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  // MATRIX with a translation only (20 bits a coordinate) or with a scale too.
  SwfBytes& Matrix(int32_t tx, int32_t ty, int32_t scale_16_16 = 0) {
    if (scale_16_16 != 0) {
      Bits(1, 1)
          .Bits(20, 5)
          .Bits(static_cast<uint32_t>(scale_16_16), 20)
          .Bits(static_cast<uint32_t>(scale_16_16), 20);
    } else {
      Bits(0, 1);
    }
    return Bits(0, 1)
        .Bits(20, 5)
        .Bits(static_cast<uint32_t>(tx), 20)
        .Bits(static_cast<uint32_t>(ty), 20);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  int bit_ = 0;
};

std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& body) {
  SwfBytes out;
  out.U16(static_cast<uint32_t>(code << 6) | 0x3F).U32(static_cast<uint32_t>(body.size()));
  return out.Append(body).Take();
}

std::vector<uint8_t> ShowFrame() { return Tag(swf_tag::kShowFrame, {}); }

std::vector<uint8_t> Place(uint16_t depth, uint16_t id, int32_t tx = 0,
                           std::optional<uint16_t> clip_depth = std::nullopt) {
  SwfBytes b;
  b.U8(0x02 | 0x04 | (clip_depth ? 0x40 : 0)).U16(depth).U16(id).Matrix(tx, 0);
  if (clip_depth) b.U16(*clip_depth);
  return Tag(swf_tag::kPlaceObject2, b.Take());
}

std::vector<uint8_t> Move(uint16_t depth, int32_t tx, std::optional<uint16_t> id = {}) {
  SwfBytes b;
  b.U8(0x01 | 0x04 | (id ? 0x02 : 0)).U16(depth);
  if (id) b.U16(*id);
  return Tag(swf_tag::kPlaceObject2, b.Matrix(tx, 0).Take());
}

std::vector<uint8_t> Remove(uint16_t depth) {
  return Tag(swf_tag::kRemoveObject2, SwfBytes().U16(depth).Take());
}

std::vector<uint8_t> Sprite(uint16_t id, const std::vector<std::vector<uint8_t>>& tags) {
  SwfBytes b;
  b.U16(id).U16(1);
  for (const auto& t : tags) b.Append(t);
  b.Append(Tag(swf_tag::kEnd, {}));
  return Tag(swf_tag::kDefineSprite, b.Take());
}

std::vector<uint8_t> Movie(const std::vector<std::vector<uint8_t>>& tags) {
  SwfBytes body;
  body.Bits(15, 5).Bits(0, 15).Bits(11000, 15).Bits(0, 15).Bits(8000, 15);
  body.U16(12 << 8).U16(1);
  for (const auto& t : tags) body.Append(t);
  std::vector<uint8_t> rest = body.Take();
  SwfBytes file;
  file.U8('F').U8('W').U8('S').U8(8).U32(static_cast<uint32_t>(rest.size() + 8));
  return file.Append(rest).Take();
}

// A leaf that draws one path and reports its id through the colour's red channel.
class FakeShape final : public DrawableCharacter {
 public:
  explicit FakeShape(uint8_t id) : id_(id) { path_.MoveTo({0, 0}); }
  CharacterType type() const override { return CharacterType::kShape; }
  void Draw(Canvas& canvas, const RenderState& state, const BitmapSource&,
            uint16_t) const override {
    canvas.FillPath(path_, FillRule::kEvenOdd, Rgba{id_, 0, 0, 255}, state);
  }
  SwfRect Bounds(uint16_t) const override { return {Twips{0}, Twips{100}, Twips{0}, Twips{100}}; }

 private:
  uint8_t id_;
  Path path_;
};

struct Played {
  std::unique_ptr<MovieDefinition> movie;
  std::unique_ptr<DisplayList> list;
};

// Loads the movie, with fake shapes for ids 1 to 9 (the tags define sprites and buttons).
Played Load(const std::vector<std::vector<uint8_t>>& tags) {
  Played p;
  const std::vector<uint8_t> file = Movie(tags);
  p.movie = LoadMovie(file);
  for (uint8_t id = 1; id <= 9; ++id) p.movie->library.Define(id, std::make_shared<FakeShape>(id));
  p.list = std::make_unique<DisplayList>(*p.movie);
  return p;
}

// What one frame draws, as text: "3@40" is shape 3 at x = 40 twips; "[" "]" ")" are BeginMask,
// EndMask and PopMask.
std::string Drawn(const DisplayList& list) {
  NullCanvas canvas;
  list.Render(canvas, Matrix{});
  std::string out;
  for (const NullCanvas::Call& call : canvas.calls) {
    if (!out.empty() && call.kind != NullCanvas::Call::Kind::kEndMask) out += ' ';
    switch (call.kind) {
      case NullCanvas::Call::Kind::kPath:
        out += std::to_string(call.colour.r) + "@" + std::to_string(int(call.state.matrix.tx));
        break;
      case NullCanvas::Call::Kind::kBeginMask:
        out += "[";
        break;
      case NullCanvas::Call::Kind::kEndMask:
        out += "]";
        break;
      case NullCanvas::Call::Kind::kPopMask:
        out += ")";
        break;
      case NullCanvas::Call::Kind::kShape:
        out += "shape";
        break;
      case NullCanvas::Call::Kind::kBeginLayer:
        out += "{";
        break;
      case NullCanvas::Call::Kind::kEndLayer:
        out += "}";
        break;
    }
  }
  return out;
}

std::vector<std::string> PlayFrames(DisplayList& list, int frames) {
  std::vector<std::string> seen;
  for (int i = 0; i < frames; ++i) {
    list.AdvanceFrame();
    seen.push_back(Drawn(list));
  }
  return seen;
}

struct TimelineCase {
  const char* label;
  std::vector<std::vector<uint8_t>> tags;
  std::vector<std::string> frames;  // drawn after each AdvanceFrame
};

class Timelines : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(Timelines, DrawWhatEachFramePlaced) {
  Played p = Load(GetParam().tags);
  EXPECT_EQ(PlayFrames(*p.list, static_cast<int>(GetParam().frames.size())), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(
    Root, Timelines,
    ::testing::Values(TimelineCase{"PlaceMoveRemoveAndLoop",
                                   {Place(1, 1), ShowFrame(), Move(1, 40), Place(2, 2), ShowFrame(),
                                    Remove(1), ShowFrame()},
                                   {"1@0", "1@40 2@0", "2@0", "1@0", "1@40 2@0"}},
                      TimelineCase{"DepthOrderNotTagOrder",
                                   {Place(5, 1), Place(2, 2), ShowFrame()},
                                   {"2@0 1@0", "2@0 1@0"}},
                      TimelineCase{"ReplaceKeepsTheMatrix",
                                   {Place(1, 1, 60), ShowFrame(), Move(1, 60, 3), ShowFrame()},
                                   {"1@60", "3@60", "1@60"}},
                      TimelineCase{"PlaceAtAnOccupiedDepthReplacesTheObject",
                                   {Place(1, 1, 10), ShowFrame(), Place(1, 2), ShowFrame()},
                                   {"1@10", "2@0", "1@10"}},
                      TimelineCase{"MoveOfAnEmptyDepthAndUnknownIdsDoNothing",
                                   {Move(3, 10), Place(1, 77), Place(2, 2), ShowFrame()},
                                   {"2@0"}},
                      TimelineCase{
                          "CommandsAfterTheLastShowFrameStillShow", {Place(1, 1)}, {"1@0", "1@0"}},
                      // The loop back to frame 1 undoes later moves of the objects it keeps.
                      TimelineCase{"LoopRestoresFirstFrameFields",
                                   {Place(1, 1, 20), ShowFrame(), Move(1, 80), ShowFrame()},
                                   {"1@20", "1@80", "1@20"}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Sprites, Timelines,
    ::testing::Values(
        // The sprite shows its first frame when placed and then runs its own three frames,
        // whatever the root (two frames) does.
        TimelineCase{"KeepTheirOwnFrameAcrossTheRootsLoop",
                     {Sprite(20, {Place(1, 1), ShowFrame(), Place(1, 2), ShowFrame(), Place(1, 3),
                                  ShowFrame()}),
                      Place(1, 20, 100), ShowFrame(), Place(2, 9), ShowFrame()},
                     {"1@100", "2@100 9@0", "3@100", "1@100 9@0", "2@100"}},
        // A sprite placed at frame 2 is gone when the root loops and starts again when placed.
        TimelineCase{"PlacedLaterStartOverAfterTheLoop",
                     {Sprite(20, {Place(1, 1), ShowFrame(), Place(1, 2), ShowFrame()}), ShowFrame(),
                      Place(1, 20), ShowFrame()},
                     {"", "1@0", "", "1@0"}},
        TimelineCase{"NestedMatricesConcatenate",
                     {Sprite(20, {Place(1, 1, 7), ShowFrame()}),
                      Sprite(21, {Place(1, 20, 30), ShowFrame()}), Place(1, 21, 100), ShowFrame()},
                     {"1@137"}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Masks, Timelines,
    ::testing::Values(TimelineCase{"ClipDepthCoversTheDepthsUpToIt",
                                   {Place(1, 1, 0, 3), Place(2, 2), Place(3, 3), Place(4, 4),
                                    ShowFrame()},
                                   {"[ 1@0] 2@0 3@0 ) 4@0"}},
                      TimelineCase{"NestedMasksPopInnerFirst",
                                   {Place(1, 1, 0, 4), Place(2, 2, 0, 3), Place(3, 3), Place(4, 4),
                                    Place(5, 5), ShowFrame()},
                                   {"[ 1@0] [ 2@0] 3@0 ) 4@0 ) 5@0"}},
                      TimelineCase{"MaskAtTheTopClosesAtTheEnd",
                                   {Place(1, 1), Place(2, 2, 0, 9), Place(3, 3), ShowFrame()},
                                   {"1@0 [ 2@0] 3@0 )"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DisplayList, GotoFirstFrameKeepsTheObjectsPlacedThere) {
  Played p = Load({Sprite(20, {Place(1, 1), ShowFrame(), Place(1, 2), ShowFrame()}), Place(1, 20),
                   ShowFrame(), Place(2, 3), ShowFrame()});
  p.list->AdvanceFrame();
  p.list->AdvanceFrame();
  const uint64_t serial = p.list->root().children.at(1)->serial;
  p.list->GotoFrame(0);
  EXPECT_EQ(p.list->root().current_frame, 0);
  ASSERT_EQ(p.list->root().children.size(), 1u);
  EXPECT_EQ(p.list->root().children.at(1)->serial, serial);
  EXPECT_EQ(p.list->root().children.at(1)->clip->current_frame, 1) << "the sprite keeps its frame";
}

// ActionScript 3 clips draw in child order: scripts move objects by index, and the timeline
// puts a new depth below the next timeline object above it, leaving script-owned ones alone.
TEST(DisplayList, IndexedClipsKeepTheScriptsOrderBesideTheTimelines) {
  Played p = Load({Place(1, 1, 10), Place(5, 5, 50), ShowFrame(), Place(3, 3, 30), Place(7, 7, 70),
                   ShowFrame(), Remove(5), ShowFrame()});
  DisplayList& list = *p.list;
  list.set_indexed(true);
  list.AdvanceFrame();
  Clip& root = list.root();
  std::unique_ptr<DisplayObject> one = list.Detach(*root.children.at(1));
  ASSERT_TRUE(one);
  EXPECT_EQ(Drawn(list), "5@50");
  EXPECT_TRUE(list.Insert(root, std::move(one), root.order.size()).scripted);
  EXPECT_EQ(Drawn(list), "5@50 1@10");
  list.AdvanceFrame();
  EXPECT_EQ(Drawn(list), "3@30 5@50 1@10 7@70");
  DisplayList::Reorder(*root.order.back(), 0);
  EXPECT_EQ(Drawn(list), "7@70 3@30 5@50 1@10");
  list.AdvanceFrame();
  EXPECT_EQ(Drawn(list), "7@70 3@30 1@10") << "a removal keeps the order of the rest";
}

TEST(DisplayList, ButtonsDrawTheirUpStateWithTheirTransform) {
  SwfBytes b1;  // DefineButton: one up record (shape 2), one down-only record (shape 3)
  b1.U16(30).U8(0x01).U16(2).U16(1).Matrix(50, 0).U8(0x04).U16(3).U16(2).Matrix(0, 0).U8(0);
  b1.U8(0);     // no actions
  SwfBytes cx;  // DefineButtonCxform: red multiplied by 0.5
  cx.U16(30).Bits(0, 1).Bits(1, 1).Bits(10, 4).Bits(128, 10).Bits(256, 10).Bits(256, 10);
  Played p = Load({Tag(swf_tag::kDefineButton, b1.Take()),
                   Tag(swf_tag::kDefineButtonCxform, cx.Take()), Place(1, 30, 5), ShowFrame()});
  p.list->AdvanceFrame();
  NullCanvas canvas;
  p.list->Render(canvas, Matrix{});
  ASSERT_EQ(canvas.calls.size(), 1u);
  EXPECT_EQ(canvas.calls[0].colour.r, 2);
  EXPECT_EQ(canvas.calls[0].state.matrix.tx, 55);
  EXPECT_EQ(canvas.calls[0].state.color.r_mult, 128);
}

TEST(DisplayList, ChangedAreaCoversOldAndNewPlaces) {
  Played p =
      Load({Place(1, 1), Place(2, 2, 1000), ShowFrame(), Move(1, 200), ShowFrame(), ShowFrame()});
  std::vector<DrawnLeaf> before;
  auto step = [&] {
    p.list->AdvanceFrame();
    std::vector<DrawnLeaf> now = p.list->Leaves();
    std::optional<SwfRect> area = ChangedArea(before, now);
    before = std::move(now);
    return area;
  };
  EXPECT_EQ(step(), (SwfRect{Twips{0}, Twips{1100}, Twips{0}, Twips{100}}));  // all is new
  EXPECT_EQ(step(), (SwfRect{Twips{0}, Twips{300}, Twips{0}, Twips{100}}));   // shape 1 moved
  EXPECT_EQ(step(), std::nullopt);                                            // nothing moved
}

// Limits: a hostile movie must stay small and finite.
TEST(DisplayListLimits, SpriteThatPlacesItselfStopsAtTheNestingLimit) {
  Played p =
      Load({Sprite(20, {Place(1, 1), Place(2, 20), ShowFrame()}), Place(1, 20), ShowFrame()});
  p.list->AdvanceFrame();
  p.list->AdvanceFrame();
  EXPECT_LT(p.list->live_objects(), 2u * kMaxClipNesting);
  NullCanvas canvas;
  p.list->Render(canvas, Matrix{});
  EXPECT_EQ(canvas.calls.size(), size_t(kMaxClipNesting - 1));
}

TEST(DisplayListLimits, LiveObjectsAreCapped) {
  // 200 × 200 × 200 placements would be eight million objects.
  std::vector<std::vector<uint8_t>> tags;
  for (uint16_t level = 0; level < 3; ++level) {
    std::vector<std::vector<uint8_t>> inner;
    for (uint16_t d = 1; d <= 200; ++d) inner.push_back(Place(d, level == 0 ? 1 : 19 + level));
    inner.push_back(ShowFrame());
    tags.push_back(Sprite(static_cast<uint16_t>(20 + level), inner));
  }
  tags.push_back(Place(1, 22));
  tags.push_back(ShowFrame());
  Played p = Load(tags);
  p.list->AdvanceFrame();
  EXPECT_EQ(p.list->live_objects(), kMaxDisplayObjects);
  p.list->root().children.clear();
  EXPECT_EQ(p.list->live_objects(), 0u);
}

TEST(DisplayListLimits, CreationsPerFrameAreCapped) {
  // One frame places a sprite of 1000 shapes at the same depth 100 times.
  std::vector<std::vector<uint8_t>> shapes;
  for (uint16_t d = 1; d <= 1000; ++d) shapes.push_back(Place(d, 1));
  shapes.push_back(ShowFrame());
  std::vector<std::vector<uint8_t>> tags = {Sprite(20, shapes)};
  for (int i = 0; i < 100; ++i) tags.push_back(Place(1, 20));
  tags.push_back(ShowFrame());
  Played p = Load(tags);
  p.list->AdvanceFrame();
  // Serials count creations: the sprite left at the depth was made before the budget ran out.
  ASSERT_EQ(p.list->root().children.count(1), 1u);
  EXPECT_LE(p.list->root().children.at(1)->serial, kMaxCreationsPerFrame);
  EXPECT_LE(p.list->live_objects(), 1001u);
}

TEST(DisplayListLimits, FramesAndCommandsAreCapped) {
  std::vector<std::vector<uint8_t>> many_frames(kMaxFramesPerTimeline + 10, ShowFrame());
  EXPECT_EQ(Load(many_frames).movie->root.frames.size(), kMaxFramesPerTimeline);

  std::vector<std::vector<uint8_t>> many_commands(kMaxCommandsPerMovie + 10, Remove(1));
  const Played p = Load(many_commands);
  ASSERT_EQ(p.movie->root.frames.size(), 1u);
  EXPECT_EQ(p.movie->root.frames[0].commands.size(), kMaxCommandsPerMovie);
}

TEST(MovieLoader, DamageEndsTheTagListButNotWhatCameBefore) {
  std::vector<uint8_t> cut = Place(2, 2);
  cut.resize(cut.size() - 3);  // the last tag runs past the end of the file
  Played p = Load({Place(1, 1), ShowFrame(), Tag(swf_tag::kPlaceObject2, {0x06}), Place(3, 3),
                   ShowFrame(), cut});
  EXPECT_TRUE(p.movie->tag_problem.has_value());
  EXPECT_EQ(p.movie->skipped_tags, 1u) << "the short PlaceObject2 is skipped";
  EXPECT_EQ(PlayFrames(*p.list, 3), (std::vector<std::string>{"1@0", "1@0 3@0", "1@0"}));
}

TEST(MovieLoader, KeepsLabelsExportsAndScriptsForLater) {
  SwfBytes exports;
  exports.U16(1).U16(20).Append({'c', 'a', 'r', 0});
  SwfBytes grid;  // id 20, RECT of 10-bit fields: x 5 to 100, y -8 to 60
  grid.U16(20).Bits(10, 5).Bits(5, 10).Bits(100, 10).Bits(static_cast<uint32_t>(-8), 10);
  grid.Bits(60, 10);
  Played p =
      Load({Tag(swf_tag::kExportAssets, exports.Take()),
            Tag(swf_tag::kDefineScalingGrid, grid.Take()), ShowFrame(),
            Tag(swf_tag::kFrameLabel, {'e', 'n', 'd', 0}), Tag(swf_tag::kDoAction, {0x07, 0x00}),
            Tag(swf_tag::kScriptLimits, {1, 2, 3, 4}), ShowFrame()});
  EXPECT_EQ(p.movie->exports.at("car"), 20);
  EXPECT_EQ(p.movie->root.labels.at("end"), 1);
  ASSERT_EQ(p.movie->root.frames.size(), 2u);
  EXPECT_EQ(p.movie->root.frames[1].actions.size(), 1u);
  EXPECT_EQ(p.movie->max_recursion_depth, 0x0201);
  EXPECT_EQ(p.movie->script_timeout_seconds, 0x0403);
  EXPECT_EQ(p.movie->scaling_grids.at(20), (SwfRect{Twips{5}, Twips{100}, Twips{-8}, Twips{60}}));
}

}  // namespace
}  // namespace flashsaver

namespace flashsaver {
namespace {

// A DefineButton2 (id 30): shape 2 in the up and hit states, shape 3 over and down; its one
// action list traces "press" when pressed.
std::vector<uint8_t> PressButton() {
  SwfBytes records;
  records.U8(0x01 | 0x08).U16(2).U16(1).Matrix(0, 0).Bits(0, 6);
  records.U8(0x02 | 0x04).U16(3).U16(2).Matrix(0, 0).Bits(0, 6);
  records.U8(0);
  const std::vector<uint8_t> body = records.Take();
  const std::string text = "press";
  SwfBytes b;
  b.U16(30).U8(0).U16(static_cast<uint32_t>(2 + body.size())).Append(body);
  b.U16(0).U16(1u << 2);  // the last record; OverUpToOverDown
  b.U8(0x96).U16(static_cast<uint32_t>(text.size() + 2)).U8(0);
  for (char c : text) b.U8(static_cast<uint8_t>(c));
  b.U8(0).U8(0x26).U8(0);
  return Tag(swf_tag::kDefineButton2, b.Take());
}

TEST(DisplayList, ButtonsFollowThePointer) {
  Played p = Load({PressButton(), Place(1, 30), ShowFrame()});
  ScriptHost host(*p.movie, *p.list);
  std::vector<std::string> lines;
  host.trace_output = [&](std::string_view line) { lines.emplace_back(line); };
  host.Tick();
  EXPECT_EQ(Drawn(*p.list), "2@0");
  auto pointer = [&](double x, uint32_t event, const char* method) {
    host.mouse_x = x, host.mouse_y = 2;
    host.MouseEvent(event, method);
    return Drawn(*p.list);
  };
  EXPECT_EQ(pointer(2, clip_event::kMouseMove, "onMouseMove"), "3@0") << "over";
  EXPECT_EQ(pointer(2, clip_event::kMouseDown, "onMouseDown"), "3@0") << "down";
  EXPECT_EQ(lines, std::vector<std::string>{"press"});
  EXPECT_EQ(pointer(50, clip_event::kMouseMove, "onMouseMove"), "2@0") << "dragged out";
  EXPECT_EQ(pointer(50, clip_event::kMouseUp, "onMouseUp"), "2@0") << "released outside";
  EXPECT_EQ(pointer(2, clip_event::kMouseDown, "onMouseDown"), "3@0") << "pressed again";
  EXPECT_EQ(lines, (std::vector<std::string>{"press", "press"}));
}

TEST(DisplayList, DraggedClipsFollowThePointerInsideTheirBounds) {
  Played p = Load({Sprite(20, {Place(1, 2), ShowFrame()}), Sprite(21, {Place(1, 3), ShowFrame()}),
                   Place(1, 20), Place(2, 21, 400), ShowFrame()});
  ScriptHost host(*p.movie, *p.list);
  host.Tick();
  Clip& dragged = *p.list->root().children.at(1)->clip;
  const struct {
    const char* name;
    bool lock;
    std::optional<std::array<double, 4>> bounds;
    double to_x;
    double expected_tx;
  } cases[] = {
      {"locked to the pointer", true, std::nullopt, 10, 200},
      {"kept at its offset from the pointer", false, std::nullopt, 13, 260},
      {"held inside its bounds", true, std::array<double, 4>{0, 0, 5, 5}, 30, 100},
  };
  for (const auto& c : cases) {
    host.mouse_x = 10, host.mouse_y = 1;
    host.StartDrag(host.ObjectFor(dragged), c.lock, c.bounds ? c.bounds->data() : nullptr);
    host.mouse_x = c.to_x;
    host.MouseEvent(clip_event::kMouseMove, "onMouseMove");
    EXPECT_DOUBLE_EQ(dragged.owner->matrix.tx, c.expected_tx) << c.name;
    host.StopDrag();
  }
  host.mouse_x = 21, host.mouse_y = 1;  // over the second sprite
  host.StartDrag(host.ObjectFor(dragged), true, nullptr);
  host.StopDrag();
  EXPECT_EQ(dragged.owner->drop_target, "/instance2");
}

TEST(DisplayList, ScriptMasksHideTheirMaskAndGoWithIt) {
  Played p = Load({Sprite(20, {Place(1, 2), ShowFrame()}), Sprite(21, {Place(1, 3), ShowFrame()}),
                   Place(1, 20), Place(2, 21, 400), ShowFrame(), Remove(2), ShowFrame()});
  p.list->AdvanceFrame();
  DisplayObject& masked = *p.list->root().children.at(1);
  p.list->SetScriptMask(masked, p.list->root().children.at(2).get());
  const std::string with_mask = Drawn(*p.list);
  EXPECT_EQ(with_mask.find("2@0"), with_mask.rfind("2@0")) << with_mask;
  EXPECT_LT(with_mask.find('['), with_mask.find("3@400")) << "the mask is drawn as a mask only";
  EXPECT_LT(with_mask.find(']'), with_mask.find("2@0")) << with_mask;
  p.list->AdvanceFrame();  // the mask goes: the pair is forgotten
  EXPECT_EQ(Drawn(*p.list), "2@0");
  p.list->SetScriptMask(masked, nullptr);
  EXPECT_EQ(Drawn(*p.list), "2@0");
}

}  // namespace
}  // namespace flashsaver
