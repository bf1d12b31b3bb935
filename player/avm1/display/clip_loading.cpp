// Movies loaded by scripts: loadMovie, loadMovieNum, getURL to a level, unloadMovie and
// MovieClipLoader. A load asked for during a frame runs at the end of that frame; an unload runs
// at once.
#include <cmath>

#include "player/avm1/builtins/builtins.h"
#include "player/avm1/display/script_host.h"

namespace flashsaver {

using avm1::CallArgs;
using avm1::Object;
using avm1::Value;
using avm1::Vm;

std::optional<std::string> LocalPathOf(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  if (url.empty() || url[0] == '/' || url[0] == '\\') return std::nullopt;
  // A scheme ("http:", "file:") or a drive letter: not a path inside the movie's folder.
  const size_t colon = url.find(':');
  if (colon != std::string_view::npos && colon < url.find_first_of("/\\")) return std::nullopt;
  std::string path = avm1::UrlUnescape(url);
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

namespace {

// "_levelN" with digits only, as loadMovieNum and getURL write it.
std::optional<int32_t> LevelNumber(std::string_view target) {
  if (target.size() <= 6 || !avm1::NamesEqual(target.substr(0, 6), "_level", false)) {
    return std::nullopt;
  }
  int64_t n = 0;
  for (char ch : target.substr(6)) {
    if (ch < '0' || ch > '9' || n > 1000000) return std::nullopt;
    n = n * 10 + (ch - '0');
  }
  return static_cast<int32_t>(n);
}

// The URL's query string as variables of the loaded movie's root.
void SetQueryVariables(Vm& vm, Object* root, std::string_view url) {
  const size_t q = url.find('?');
  if (q == std::string_view::npos || !root) return;
  std::string_view query = url.substr(q + 1);
  query = query.substr(0, query.find('#'));
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      vm.SetMember(root, avm1::UrlUnescape(pair.substr(0, eq)),
                   avm1::UrlUnescape(pair.substr(eq + 1)));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
}

// Sends a loader's event as its own broadcastMessage does, which a script may replace.
void NotifyLoader(Vm& vm, Object* loader, const char* event, std::vector<Value> args) {
  if (!loader) return;
  args.insert(args.begin(), Value(std::string(event)));
  vm.CallHandler(vm.GetMember(loader, "broadcastMessage"), loader, args);
}

}  // namespace

std::optional<ScriptHost::LoadTarget> ScriptHost::ResolveLoadTarget(const Value& target) {
  if (Object* o = target.AsObject()) {
    if (ClipOf(o)) return LoadTarget{std::nullopt, o};
    return std::nullopt;
  }
  if (target.IsNumber()) {
    const double n = vm_->ToNumber(target);
    if (!std::isfinite(n) || n < 0 || n > 1000000) return std::nullopt;
    return LoadTarget{static_cast<int32_t>(n), nullptr};
  }
  const std::string path = vm_->ToString(target);
  if (const auto level = LevelNumber(path)) return LoadTarget{*level, nullptr};
  Object* clip = vm_->ResolveTarget(vm_->CurrentTarget(), path);
  if (!ClipOf(clip)) return std::nullopt;
  return LoadTarget{std::nullopt, clip};
}

void ScriptHost::RequestLoad(const LoadTarget& target, std::string url, Object* loader) {
  if (!url.empty()) {
    loads_.push_back({target, std::move(url), loader});
    return;
  }
  if (target.level) {
    list_.RemoveLevel(*target.level);
  } else if (Clip* clip = ClipOf(target.clip)) {
    QueueEvent(*clip, clip_event::kUnload, "onUnload");
    list_.ReplaceContent(*clip, nullptr);
  }
}

std::string ScriptHost::UrlOf(const Clip* clip) const {
  if (clip && clip->movie) {
    const auto it = movie_urls_.find(clip->movie.get());
    if (it != movie_urls_.end()) return it->second;
  }
  return url;
}

void ScriptHost::RunLoads() {
  // Loads that the loaded movies ask for wait for the next frame, as they would for the file.
  std::vector<Load> loads;
  loads.swap(loads_);
  for (const Load& load : loads) {
    if (quit_) return;
    RunLoad(load);
    RunQueue();
  }
}

void ScriptHost::RunLoad(const Load& load) {
  Clip* clip = load.target.level ? list_.LevelClip(*load.target.level) : ClipOf(load.target.clip);
  std::shared_ptr<const MovieDefinition> movie = load_movie ? load_movie(load.url) : nullptr;
  if (!movie || (!clip && !load.target.level)) {
    Value target = clip ? Value(static_cast<Object*>(ObjectFor(*clip))) : Value();
    NotifyLoader(*vm_, load.loader, "onLoadError", {target, Value(std::string("URLNotFound"))});
    return;
  }
  // Its address: the URL as written, beside the first movie.
  const size_t slash = url.find_last_of('/');
  movie_urls_[movie.get()] =
      (slash == std::string::npos ? std::string() : url.substr(0, slash + 1)) + load.url;
  if (load.target.level && *load.target.level != 0) {
    clip = list_.NewLevel(*load.target.level, movie);
  } else {
    list_.ReplaceContent(*clip, movie);
  }
  if (!clip) return;
  // The clip keeps its object, but the variables of the movie it held are gone.
  ClipObject* object = ObjectFor(*clip);
  std::vector<std::string> names;
  object->ForEachOwn([&](avm1::Property& p) {
    if (p.name != "__proto__") names.push_back(p.name);
  });
  for (const std::string& name : names) object->RemoveOwn(name, true);
  SetQueryVariables(*vm_, object, load.url);

  const Value target(static_cast<Object*>(object));
  const double bytes = movie->header.file_length;
  NotifyLoader(*vm_, load.loader, "onLoadStart", {target});
  NotifyLoader(*vm_, load.loader, "onLoadProgress", {target, bytes, bytes});
  NotifyLoader(*vm_, load.loader, "onLoadComplete", {target, 0.0});
  if (ClipOf(object) != clip) return;  // a handler removed it
  list_.GotoClip(*clip, 0);
  QueueEvent(*clip, clip_event::kLoad, nullptr);
  RunQueue();
  NotifyLoader(*vm_, load.loader, "onLoadInit", {target});
}

namespace {

ScriptHost& HostOf(Vm& vm) { return static_cast<ScriptHost&>(vm.host()); }

Value LoadClip(Vm& vm, const CallArgs& c) {
  ScriptHost& host = HostOf(vm);
  const std::string url = vm.ToString(c.Arg(0));
  const auto target = host.ResolveLoadTarget(c.Arg(1));
  if (url.empty() || !target) return false;
  host.RequestLoad(*target, url, c.this_obj);
  return true;
}

Value UnloadClip(Vm& vm, const CallArgs& c) {
  ScriptHost& host = HostOf(vm);
  const auto target = host.ResolveLoadTarget(c.Arg(0));
  if (!target) return false;
  host.RequestLoad(*target, std::string(), nullptr);
  return true;
}

Value GetProgress(Vm& vm, const CallArgs& c) {
  ScriptHost& host = HostOf(vm);
  const auto target = host.ResolveLoadTarget(c.Arg(0));
  Clip* clip = !target         ? nullptr
               : target->level ? host.list().LevelClip(*target->level)
                               : ScriptHost::ClipOf(target->clip);
  Object* r = vm.NewObject();
  if (clip) {
    const double bytes = ScriptHost::MovieOf(*clip).header.file_length;
    vm.SetMember(r, "bytesLoaded", bytes);
    vm.SetMember(r, "bytesTotal", bytes);
  }
  return Value(r);
}

// A loader is a broadcaster that hears its own events first.
Value ConstructLoader(Vm& vm, const CallArgs& c) {
  Object* self = vm.NewObject(vm.GetMember(c.callee, "prototype").AsObject());
  const Value broadcaster = vm.GetMember(vm.global(), "AsBroadcaster");
  const Value args[] = {Value(self)};
  vm.CallHandler(vm.GetMemberOf(broadcaster, "initialize"), broadcaster.AsObject(), args);
  vm.CallHandler(vm.GetMember(self, "addListener"), self, args);
  return Value(self);
}

Value LoadMovieMethod(Vm& vm, const CallArgs& c) {
  if (!ScriptHost::ClipOf(c.this_obj)) return Value();
  const std::string url = vm.ToString(c.Arg(0));
  HostOf(vm).RequestLoad({std::nullopt, c.this_obj}, url, nullptr);
  return Value();
}

Value UnloadMovieMethod(Vm& vm, const CallArgs& c) {
  if (!ScriptHost::ClipOf(c.this_obj)) return Value();
  HostOf(vm).RequestLoad({std::nullopt, c.this_obj}, std::string(), nullptr);
  return Value();
}

Value GetSwfVersion(Vm&, const CallArgs& c) {
  Clip* clip = ScriptHost::ClipOf(c.this_obj);
  if (!clip) return -1.0;
  return static_cast<double>(ScriptHost::MovieOf(*clip).header.version);
}

}  // namespace

void InstallClipLoading(ScriptHost& host) {
  Vm& vm = host.vm();
  Object* proto = vm.NewObject();
  vm.DefineClass("MovieClipLoader", ConstructLoader, ConstructLoader, proto);
  vm.DefineMethod(proto, "loadClip", LoadClip);
  vm.DefineMethod(proto, "unloadClip", UnloadClip);
  vm.DefineMethod(proto, "getProgress", GetProgress);

  Object* clip_proto =
      vm.GetMember(vm.GetMember(vm.global(), "MovieClip").AsObject(), "prototype").AsObject();
  if (!clip_proto) return;
  vm.DefineMethod(clip_proto, "loadMovie", LoadMovieMethod);
  vm.DefineMethod(clip_proto, "unloadMovie", UnloadMovieMethod);
  vm.DefineMethod(clip_proto, "getSWFVersion", GetSwfVersion);
}

}  // namespace flashsaver
