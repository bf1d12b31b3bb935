// PlaceObject 1-3 and RemoveObject 1-2 as their bytes give them: each field where the flags put
// it, and short tags refused.
#include <gtest/gtest.h>

#include <vector>

#include "player/display/control_records.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

SwfTag TagOf(uint16_t code, const std::vector<uint8_t>& body) { return {code, body}; }

TEST(ControlRecords, MatrixScaleRotateTranslate) {
  // HasScale, 18 bits: 1.5 and -0.5; HasRotate, 17 bits: 0.25 and -1; translate, 8 bits: 3, -4.
  const std::vector<uint8_t> body = {0xC9, 0x80, 0x00, 0xE0, 0x00, 0x31, 0x20,
                                     0x00, 0x40, 0x00, 0x10, 0x07, 0xF8};
  ByteReader reader(body);
  const Matrix m = ReadMatrixRecord(reader);
  EXPECT_TRUE(reader.ok());
  EXPECT_EQ(m, (Matrix{1.5, 0.25, -1, -0.5, 3, -4}));
}

TEST(ControlRecords, PlaceObjectVariants) {
  // PlaceObject: id 7, depth 3, empty matrix, then a CXFORM that adds (10, -1, 0).
  const PlaceCommand p1 =
      ReadPlaceObject(TagOf(swf_tag::kPlaceObject, {7, 0, 3, 0, 0x00, 0x98, 0xAF, 0xC0}), 1);
  EXPECT_EQ(p1.character_id, 7);
  EXPECT_EQ(p1.depth, 3);
  ASSERT_TRUE(p1.color);
  EXPECT_EQ(p1.color->r_add, 10);
  EXPECT_EQ(p1.color->g_add, -1);
  EXPECT_EQ(p1.color->r_mult, 256);

  // PlaceObject2: move, ratio 0x1234, name "a", clip depth 9; no character, no matrix.
  const PlaceCommand p2 =
      ReadPlaceObject(TagOf(swf_tag::kPlaceObject2, {0x71, 4, 0, 0x34, 0x12, 'a', 0, 9, 0}), 6);
  EXPECT_TRUE(p2.move);
  EXPECT_FALSE(p2.character_id);
  EXPECT_FALSE(p2.matrix);
  EXPECT_EQ(p2.ratio, 0x1234);
  EXPECT_EQ(p2.name, "a");
  EXPECT_EQ(p2.clip_depth, 9);

  // PlaceObject3: class name, character 5, a blur and a glow filter, blend mode 3, cached.
  std::vector<uint8_t> body = {0x02, 0x0F, 1, 0, 'C', 0, 5, 0, 2, 1};
  body.resize(body.size() + 9);
  body.push_back(2);
  body.resize(body.size() + 15);
  body.insert(body.end(), {3, 1});
  const PlaceCommand p3 = ReadPlaceObject(TagOf(swf_tag::kPlaceObject3, body), 8);
  EXPECT_EQ(p3.class_name, "C");
  EXPECT_EQ(p3.character_id, 5);
  ASSERT_EQ(p3.filters.size(), 2u);
  EXPECT_EQ(p3.filters[0].kind, FilterKind::kBlur);
  EXPECT_EQ(p3.filters[1].kind, FilterKind::kGlow);
  EXPECT_EQ(p3.blend_mode, 3);
  EXPECT_EQ(p3.cache_as_bitmap, true);
}

TEST(ControlRecords, ColorTransformStartsOnTheByteAfterTheMatrix) {
  // PlaceObject2: character 5 at depth 1, a 13-bit matrix (translate 1, -1) whose last byte
  // has three bits to spare, then a CXFORM: multiply (128, 256, 256, 128), add (16, 0, -8, 0).
  const PlaceCommand p = ReadPlaceObject(
      TagOf(swf_tag::kPlaceObject2, {0x0E, 1, 0, 5, 0, 0x06, 0x78, 0xE8, 0x80, 0x40, 0x10, 0x02,
                                     0x00, 0x10, 0x00, 0x3F, 0x80, 0x00}),
      6);
  ASSERT_TRUE(p.matrix);
  EXPECT_EQ(*p.matrix, (Matrix{1, 0, 0, 1, 1, -1}));
  ASSERT_TRUE(p.color);
  const ColorTransform want{128, 256, 256, 128, 16, 0, -8, 0};
  EXPECT_EQ(*p.color, want);
}

TEST(ControlRecords, ShortTagsAreRefused) {
  const std::vector<std::pair<uint16_t, std::vector<uint8_t>>> short_tags = {
      {swf_tag::kPlaceObject, {7, 0, 3}},
      {swf_tag::kPlaceObject2, {0x02, 1, 0, 5}},         // character id cut
      {swf_tag::kPlaceObject2, {0x20, 1, 0, 'a', 'b'}},  // name without its end
      {swf_tag::kRemoveObject, {1, 0, 2}},
      {swf_tag::kRemoveObject2, {1}},
  };
  for (const auto& [code, body] : short_tags) {
    const SwfTag tag = TagOf(code, body);
    const bool remove = code == swf_tag::kRemoveObject || code == swf_tag::kRemoveObject2;
    EXPECT_THROW(remove ? (void)ReadRemoveObject(tag) : (void)ReadPlaceObject(tag, 8), SwfError)
        << "tag " << code << " of " << body.size() << " bytes";
  }
}

}  // namespace
}  // namespace flashsaver
