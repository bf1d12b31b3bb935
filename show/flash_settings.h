// The player's look, taken from the settings: colour, quality, alignment and scaling.
#pragma once

#include <cstdint>

#include "show/flash_control.h"

namespace flashsaver {

// A Windows colour value (0x00BBGGRR) in the player's form (0x00RRGGBB).
uint32_t FlashColorToRGB(uint32_t windows_color);

// flash_size: 0 fullscreen, 1 exact fit, 2 original; any other value keeps the player's scaling.
void ApplyFlashSettings(FlashControl& control, uint32_t flash_color, int32_t flash_quality,
                        int32_t flash_size);

}  // namespace flashsaver
