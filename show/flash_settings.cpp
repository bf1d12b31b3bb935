#include "show/flash_settings.h"

namespace flashsaver {

uint32_t FlashColorToRGB(uint32_t windows_color) {
  const uint32_t r = windows_color & 0xFF;
  const uint32_t g = (windows_color >> 8) & 0xFF;
  const uint32_t b = (windows_color >> 16) & 0xFF;
  return (r << 16) | (g << 8) | b;
}

void ApplyFlashSettings(FlashControl& control, uint32_t flash_color, int32_t flash_quality,
                        int32_t flash_size) {
  control.SetBackgroundColor(static_cast<int32_t>(FlashColorToRGB(flash_color)));
  control.SetQuality(flash_quality);
  control.SetAlignMode(0);
  switch (flash_size) {
    case 0:
      control.SetScaleMode(0);
      break;
    case 1:
      control.SetScaleMode(2);
      break;
    case 2:
      control.SetScaleMode(3);
      break;
    default:
      break;
  }
}

}  // namespace flashsaver
