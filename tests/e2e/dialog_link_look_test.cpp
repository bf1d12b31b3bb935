// The author's e-mail link takes the whole look of the website link: font and colour.
#include <gtest/gtest.h>

#include "config_dialog.h"

using namespace e2e;

namespace {

constexpr uint32_t kLinkColour = 0x3737FF;  // RGB(55, 55, 255) as the screen shows it

struct TextLook {
  int link_pixels = 0;
  int black_pixels = 0;
  bool underlined = false;  // a row of link colour across most of the label
};

TextLook LookOf(HWND label) {
  const SIZE size = ClientSize(label);
  const ScreenPixels pixels =
      CaptureWhen(label, RECT{0, 0, size.cx, size.cy}, [](const ScreenPixels& p) {
        for (int y = 0; y < p.height(); ++y) {
          for (int x = 0; x < p.width(); ++x) {
            if (NearColour(p.At(x, y), kLinkColour)) return true;
          }
        }
        return false;
      });
  TextLook look;
  for (int y = 0; y < pixels.height(); ++y) {
    int row = 0;
    for (int x = 0; x < pixels.width(); ++x) {
      const bool link = NearColour(pixels.At(x, y), kLinkColour);
      row += link ? 1 : 0;
      look.black_pixels += NearColour(pixels.At(x, y), 0x000000) ? 1 : 0;
    }
    look.link_pixels += row;
    look.underlined = look.underlined || row * 10 >= pixels.width() * 8;
  }
  return look;
}

TEST(DialogLinkLook, AuthorMailLinkLooksLikeTheWebsiteLink) {
  const TestSaver saver = MakeBareSaver(
      "LinkLook",
      SetSection({"Author=Jane Doe", "ScrEmail=jane@example.com", "Website=www.example.com"}));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND author = dialog.Control("TLabel", "Jane Doe");
  HWND website = dialog.Control("TLabel", "www.example.com");
  ASSERT_NE(author, nullptr);
  ASSERT_NE(website, nullptr);
  EXPECT_EQ(ClientSize(author).cy, ClientSize(website).cy) << "not the link's font size";
  for (HWND label : {website, author}) {
    const TextLook look = LookOf(label);
    EXPECT_GT(look.link_pixels, 0) << ControlText(label);
    EXPECT_EQ(look.black_pixels, 0) << ControlText(label);
    EXPECT_TRUE(look.underlined) << ControlText(label);
  }
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

}  // namespace
