// The sample movies that the build generates for the demo and the tests: each feature of the
// player on its own, and the demo movie that shows them together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashsaver {

// The names SampleMovie knows, the demo last.
const std::vector<std::string>& SampleMovieNames();

// The movie's file bytes; throws std::invalid_argument for an unknown name.
std::vector<uint8_t> SampleMovie(const std::string& name);

}  // namespace flashsaver
