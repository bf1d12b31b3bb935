// avm1run: plays the root timeline of a movie with no stage, running its scripts, and prints
// what they trace. For the trace tests that need no display list, until swfplay runs scripts.
//   avm1run MOVIE.swf --frames N [--trace]
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "player/swf/byte_reader.h"
#include "player/swf/swf_movie.h"

using namespace flashsaver;
using namespace flashsaver::avm1;

namespace {

struct Frame {
  std::vector<std::span<const uint8_t>> init_actions;
  std::vector<std::span<const uint8_t>> actions;
  std::string label;
};

// The root timeline as a clip: frames, play state and the few properties a stage-less movie
// has.
class RunnerHost : public NullHost {
 public:
  std::vector<Frame>* frames = nullptr;
  uint32_t current = 0;
  bool playing = true;
  bool quit = false;
  std::vector<uint32_t> pending_gotos;

  void Trace(std::string_view line) override {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  void GotoFrame(Object* clip, uint32_t frame, bool play) override {
    if (clip != root || frames->empty()) return;
    if (frame >= frames->size()) frame = static_cast<uint32_t>(frames->size() - 1);
    playing = play;
    if (frame != current) {
      current = frame;
      pending_gotos.push_back(frame);
    }
  }
  bool GotoLabel(Object* clip, std::string_view label, bool play) override {
    for (uint32_t i = 0; i < frames->size(); ++i) {
      if (!(*frames)[i].label.empty() && NamesEqual((*frames)[i].label, label, false)) {
        GotoFrame(clip, i, play);
        return true;
      }
    }
    return false;
  }
  void Play(Object* clip) override {
    if (clip == root) playing = true;
  }
  void Stop(Object* clip) override {
    if (clip == root) playing = false;
  }
  void NextFrame(Object* clip) override {
    if (clip == root && current + 1 < frames->size()) GotoFrame(clip, current + 1, false);
  }
  void PrevFrame(Object* clip) override {
    if (clip == root && current > 0) GotoFrame(clip, current - 1, false);
  }
  Value GetClipProperty(Object* clip, ClipProperty p) override {
    if (clip != root) return Value();
    switch (p) {
      case ClipProperty::kCurrentFrame:
        return static_cast<double>(current + 1);
      case ClipProperty::kTotalFrames:
      case ClipProperty::kFramesLoaded:
        return static_cast<double>(frames->size());
      case ClipProperty::kName:
        return "";
      case ClipProperty::kTarget:
        return "/";
      case ClipProperty::kXScale:
      case ClipProperty::kYScale:
      case ClipProperty::kAlpha:
        return 100.0;
      case ClipProperty::kVisible:
        return true;
      case ClipProperty::kQuality:
        return "HIGH";
      case ClipProperty::kHighQuality:
        return 1.0;
      case ClipProperty::kFocusRect:
        return true;
      case ClipProperty::kSoundBufTime:
        return 5.0;
      case ClipProperty::kUrl:
        return url;
      case ClipProperty::kDropTarget:
        return "";
      default:
        return 0.0;
    }
  }
  void FsCommand(std::string_view command, std::string_view args) override {
    NullHost::FsCommand(command, args);
    if (NamesEqual(command, "quit", false)) quit = true;
  }
  std::string url;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: avm1run MOVIE.swf --frames N [--trace]\n");
    return 2;
  }
  uint32_t frame_limit = 1;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frame_limit = std::stoul(argv[++i]);
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::shared_ptr<std::vector<uint8_t>> data;
  SwfHeader header;
  size_t tags_offset = 0;
  try {
    data = std::make_shared<std::vector<uint8_t>>(UncompressSwf(file));
    ByteReader r(std::span<const uint8_t>(*data).subspan(8));
    header = ReadSwfHeader(r);
    header.version = (*data)[3];
    tags_offset = 8 + r.offset();
  } catch (const SwfError& e) {
    std::fprintf(stderr, "avm1run: %s\n", e.what());
    return 1;
  }
  std::vector<Frame> frames(1);
  ScriptLimits limits;
  ByteReader r(std::span<const uint8_t>(*data).subspan(tags_offset));
  while (r.remaining() > 0) {
    SwfTag tag;
    try {
      tag = ReadSwfTag(r);
    } catch (const SwfError&) {
      break;
    }
    if (tag.code == swf_tag::kEnd) break;
    switch (tag.code) {
      case swf_tag::kShowFrame:
        frames.emplace_back();
        break;
      case swf_tag::kDoAction:
        frames.back().actions.push_back(tag.body);
        break;
      case swf_tag::kDoInitAction:
        if (tag.body.size() > 2) frames.back().init_actions.push_back(tag.body.subspan(2));
        break;
      case swf_tag::kFrameLabel: {
        std::string label;
        for (uint8_t c : tag.body) {
          if (!c) break;
          label.push_back(static_cast<char>(c));
        }
        frames.back().label = label;
        break;
      }
      case swf_tag::kScriptLimits: {
        ByteReader lr(tag.body);
        uint16_t recursion = lr.U16(), timeout = lr.U16();
        if (lr.ok()) {
          limits.max_recursion = recursion;
          limits.timeout_seconds = timeout;
        }
        break;
      }
      default:
        break;
    }
  }
  // The tag list ends with a ShowFrame: the frame after it is empty, not part of the movie.
  if (frames.size() > 1 && frames.back().actions.empty() && frames.back().init_actions.empty()) {
    frames.pop_back();
  }

  RunnerHost host;
  host.frames = &frames;
  host.url = std::string("file:///") + argv[1];
  Vm vm(host, header.version);
  vm.set_limits(limits);
  Object* root = vm.New<Object>(ObjectKind::kClip);
  root->Define("__proto__", vm.object_proto, prop_flag::kDontEnum);
  host.root = root;
  vm.host_roots = [root](Tracer& t) { t.Mark(root); };
  double frame_ms =
      header.frame_rate.PerSecond() > 0 ? 1000.0 / header.frame_rate.PerSecond() : 83.3;

  auto run_frame = [&](uint32_t f) {
    for (auto code : frames[f].init_actions) vm.RunActions(data, code, root);
    for (auto code : frames[f].actions) vm.RunActions(data, code, root);
  };
  auto run_gotos = [&] {
    for (int guard = 0; guard < 1000 && !host.pending_gotos.empty(); ++guard) {
      uint32_t f = host.pending_gotos.front();
      host.pending_gotos.erase(host.pending_gotos.begin());
      run_frame(f);
    }
    host.pending_gotos.clear();
  };
  for (uint32_t n = 0; n < frame_limit && !host.quit; ++n) {
    host.now_ms = n * frame_ms;
    if (n > 0) {
      if (host.playing && frames.size() > 1) {
        host.current = (host.current + 1) % static_cast<uint32_t>(frames.size());
        vm.CallMethodIfPresent(root, "onEnterFrame", {});
        run_frame(host.current);
      } else {
        vm.CallMethodIfPresent(root, "onEnterFrame", {});
      }
    } else {
      run_frame(0);
    }
    run_gotos();
    vm.RunTimers();
    run_gotos();
    vm.MaybeCollect();
  }
  std::fflush(stdout);
  return 0;
}
