// What the archive reader needs from the platform besides files: the user interface and the
// code pages.
#pragma once

#include <string>

namespace flashsaver {

// The program's implementation shows the hourglass, services the message queue, shows message
// boxes and converts with the system's code pages; tools and tests bring their own.
class UnzipHost {
 public:
  virtual ~UnzipHost() = default;
  virtual void BeginWait() = 0;
  virtual void EndWait() = 0;
  virtual void ProcessMessages() = 0;
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // A name stored by an MS-DOS host, from the OEM to the ANSI code page.
  virtual std::string OemToAnsi(const std::string& name) = 0;
};

// The platform's implementation (defined by the build's platform files).
UnzipHost& SystemUnzipHost();

}  // namespace flashsaver
