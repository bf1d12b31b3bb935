#include "platform/error_report.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "platform/process_info.h"

namespace flashsaver {

std::string ExceptionTypeName(const std::exception& e) {
  const char* mangled = typeid(e).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
  const size_t cut = name.rfind("::");
  return cut == std::string::npos ? name : name.substr(cut + 2);
}

std::string WithFullStop(std::string message) {
  if (message.empty() || message.back() != '.') message += '.';
  return message;
}

void ReportFatalError(const std::exception& e, const void* address) {
  const std::string module = ModuleFileName();
  const size_t cut = module.find_last_of("\\:");
  const std::string module_name = cut == std::string::npos ? module : module.substr(cut + 1);
  char head[600];
  std::snprintf(head, sizeof(head), "Exception %s in module %s at %p.",
                ExceptionTypeName(e).c_str(), module_name.c_str(), address);
  const std::string text = std::string(head) + "\n" + WithFullStop(e.what());
  ::MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void ReportHandlerError(const std::exception& e) {
  const std::string text = WithFullStop(e.what());
  const std::string title = ApplicationTitle();
  ::MessageBoxA(::GetActiveWindow(), text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

std::string ApplicationTitle() {
  std::string name = ModuleFileName();
  const size_t slash = name.find_last_of("\\:");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace flashsaver
