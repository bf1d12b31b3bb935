#include "show/flash_settings.h"

#include <gtest/gtest.h>

#include "fake_flash_control.h"

namespace flashsaver {
namespace {

TEST(FlashColorToRGB, SwapsRedAndBlueAndDropsTheTopByte) {
  struct Case {
    uint32_t windows;
    uint32_t rgb;
  };
  const Case cases[] = {{0x00000000, 0x000000}, {0x000000FF, 0xFF0000}, {0x0000FF00, 0x00FF00},
                        {0x00FF0000, 0x0000FF}, {0x00123456, 0x563412}, {0xFF123456, 0x563412},
                        {0xFFFFFFFF, 0xFFFFFF}};
  for (const Case& c : cases) EXPECT_EQ(FlashColorToRGB(c.windows), c.rgb) << std::hex << c.windows;
}

TEST(ApplyFlashSettings, SetsColourQualityAlignmentAndScaleInOrder) {
  struct Case {
    int32_t flash_size;
    const char* scale;  // nullptr: the player's scale mode is left alone
  };
  const Case cases[] = {{0, "ScaleMode=0"}, {1, "ScaleMode=2"}, {2, "ScaleMode=3"},
                        {3, nullptr},       {-1, nullptr},      {255, nullptr}};
  for (const Case& c : cases) {
    std::vector<std::string> log;
    testing::FakeFlashControl control(log);
    ApplyFlashSettings(control, 0x000080FF, 3, c.flash_size);
    std::vector<std::string> expected{"BackgroundColor=" + std::to_string(0xFF8000), "Quality=3",
                                      "AlignMode=0"};
    if (c.scale) expected.push_back(c.scale);
    EXPECT_EQ(log, expected) << "FlashSize " << c.flash_size;
  }
}

}  // namespace
}  // namespace flashsaver
