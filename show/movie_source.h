// Where the built-in player gets a movie's bytes: a file read at once, or an address fetched in
// the background. The player polls; a load in flight counts as waiting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace flashsaver {

class MovieLoad {
 public:
  enum class State { kWaiting, kArrived, kFailed };
  // Destroying a load that is still waiting abandons it.
  virtual ~MovieLoad() = default;
  virtual State Poll() = 0;
  // The bytes once arrived (taken once; later calls give nothing).
  virtual std::vector<uint8_t> TakeBytes() = 0;
};

class MovieSource {
 public:
  virtual ~MovieSource() = default;
  // movie is what the control's Movie was set to: a full path or an address.
  virtual std::unique_ptr<MovieLoad> Load(const std::string& movie) = 0;
};

// True for an "http://" or "https://" address (letter case ignored).
bool IsWebAddress(const std::string& movie);

}  // namespace flashsaver

namespace flashsaver {

// Files through the file interface, web addresses fetched in the background (Windows build).
MovieSource& SystemMovieSource();

}  // namespace flashsaver
