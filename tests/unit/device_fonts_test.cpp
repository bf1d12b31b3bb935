// The build's device fonts (FreeType natively, GDI on Windows): the generic names give outlines
// in font units with metrics of their families, and unknown names fall back to the serif face.
#include <gtest/gtest.h>

#include <algorithm>

#include "player/text/device_fonts.h"

namespace flashsaver {
namespace {

TEST(DeviceFonts, GenericNamesGiveOutlinesAndMetricsOfTheirFamily) {
  const DeviceFonts* fonts = SystemDeviceFonts();
  if (!fonts) GTEST_SKIP() << "no device fonts on this system";
  struct Case {
    const char* name;
    bool monospaced;
  };
  for (const Case& c : {Case{"_sans", false}, Case{"_serif", false}, Case{"_typewriter", true},
                        Case{"Arial", false}, Case{"_sans", false}}) {
    SCOPED_TRACE(c.name);
    const DeviceFace* face = fonts->Face(c.name, false, false);
    ASSERT_NE(face, nullptr);
    const double em = face->em_square();
    EXPECT_GT(face->ascent() + face->descent(), 0.9 * em);
    const DeviceGlyph* h = face->Glyph(U'H');
    const DeviceGlyph* i = face->Glyph(U'i');
    const DeviceGlyph* w = face->Glyph(U'W');
    const DeviceGlyph* space = face->Glyph(U' ');
    ASSERT_TRUE(h && i && w && space);
    EXPECT_FALSE(h->outline.Empty());
    EXPECT_TRUE(space->outline.Empty());
    EXPECT_GT(space->advance, 0);
    EXPECT_GT(h->advance, 0.4 * em);
    EXPECT_LT(h->advance, em);
    EXPECT_EQ(i->advance == w->advance, c.monospaced);
    // y grows downwards: the top of an H lies above its baseline.
    double top = 0;
    for (const PathCommand& command : h->outline.commands) top = std::min(top, command.to.y);
    EXPECT_LT(top, -0.5 * em);
  }
  const DeviceFace* serif = fonts->Face("_serif", false, false);
  const DeviceFace* unknown = fonts->Face("No Such Font Anywhere", false, false);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Glyph(U'W')->advance / unknown->em_square(),
            serif->Glyph(U'W')->advance / serif->em_square());
  const DeviceFace* bold = fonts->Face("_sans", true, false);
  ASSERT_NE(bold, nullptr);
  EXPECT_NE(bold, fonts->Face("_sans", false, false));
}

}  // namespace
}  // namespace flashsaver
