#pragma once

namespace flashsaver {

// Runs the whole program and returns the process exit code.
int ProgramMain();

}  // namespace flashsaver
