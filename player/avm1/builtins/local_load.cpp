// load() and sendAndLoad() of XML and LoadVars: local files only (a path or a file: URL). The
// answer goes through onData within the call, as there is no network to wait for.
#include <fstream>
#include <iterator>

#include "player/avm1/builtins/builtins.h"

namespace flashsaver::avm1 {
namespace {

// Larger files fail to load rather than fill memory.
constexpr std::streamoff kMaxLoadBytes = 16 << 20;

// The file's text, or undefined when it cannot be read.
Value ReadLocal(std::string url) {
  if (url.rfind("file:///", 0) == 0) url = url.substr(8);
  if (url.find("://") != std::string::npos) return Value();
  std::ifstream in(url, std::ios::binary | std::ios::ate);
  if (!in) return Value();
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxLoadBytes) return Value();
  in.seekg(0);
  std::string text(static_cast<size_t>(size), '\0');
  if (!in.read(text.data(), size)) return Value();
  return text;
}

}  // namespace

Value LoadLocal(Vm& vm, const CallArgs& c) {
  if (!c.this_obj) return false;
  const std::string url = vm.ToString(c.Arg(0));
  if (url.find("://") != std::string::npos && url.rfind("file:///", 0) != 0) return false;
  const Value src = ReadLocal(url);
  vm.SetMember(c.this_obj, "loaded", false);
  Value args[] = {src};
  vm.CallMethod(c.this_obj, "onData", args);
  return true;
}

Value SendAndLoadLocal(Vm& vm, const CallArgs& c) {
  Object* target = c.Arg(1).AsObject();
  if (!target) return false;
  Value args[] = {c.Arg(0)};
  return LoadLocal(vm, CallArgs{target, args, c.callee, false});
}

}  // namespace flashsaver::avm1
