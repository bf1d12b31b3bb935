// The native build has no hive: one in-memory registry serves the whole process.
#include "settings/memory_registry.h"

namespace flashsaver {

MemoryRegistry& SystemMemoryRegistry() {
  static MemoryRegistry registry;
  return registry;
}

Registry& SystemRegistry() { return SystemMemoryRegistry(); }

}  // namespace flashsaver
