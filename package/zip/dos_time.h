// DOS dates and times as ZIP stores them.
#pragma once

#include <cstdint>

namespace flashsaver {

// Brings each field of a DOS date and time (date in the high word) into its range, so that the
// system accepts it as a file time. Returns the value unchanged when it was valid.
uint32_t ValidDosDateTime(uint32_t date_time);

}  // namespace flashsaver
