#include <cstdlib>

#include "player/display/shared_object_folder.h"

namespace flashsaver {

std::string UserSharedObjectFolder() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return std::string(home) + "/.flashsaver/shared-objects";
}

}  // namespace flashsaver
