#include "package/content.h"

#include <cstdlib>
#include <ctime>

namespace flashsaver {

// Settings and lists are not read yet; only the random generator is seeded.
void LoadContent() { std::srand(static_cast<unsigned>(std::time(nullptr))); }

}  // namespace flashsaver
