#include "package/payload.h"

#include "package/package_state.h"

namespace flashsaver {

// No package reader yet: every run is a bare-engine run.
void LocatePackage() { PackageFound = false; }

}  // namespace flashsaver
