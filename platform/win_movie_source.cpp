// Movies for the built-in player: files read at once, web addresses fetched by WinINet on a
// thread of their own. WinINet is loaded when the first address is fetched and kept: a fetch
// that is abandoned may still be inside it.
#include <windows.h>
#include <wininet.h>

#include <optional>
#include <system_error>
#include <utility>
#include <memory>
#include <mutex>
#include <thread>

#include "package/file_system.h"
#include "show/movie_source.h"
#include "player/swf/swf_movie.h"

namespace flashsaver {
namespace {

// The header's 8 bytes on top of the largest movie the reader takes.
constexpr uint64_t kMaxMovieBytes = uint64_t{kMaxSwfLength} + 8;

class DoneLoad : public MovieLoad {
 public:
  explicit DoneLoad(std::optional<std::vector<uint8_t>> bytes) : bytes_(std::move(bytes)) {}
  State Poll() override { return bytes_ ? State::kArrived : State::kFailed; }
  std::vector<uint8_t> TakeBytes() override {
    std::vector<uint8_t> out;
    if (bytes_) out.swap(*bytes_);
    return out;
  }

 private:
  std::optional<std::vector<uint8_t>> bytes_;
};

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  std::unique_ptr<ReadableFile> file = SystemFileSystem().OpenForReading(path);
  if (!file) return std::nullopt;
  const uint64_t size = file->Size();
  if (size > kMaxMovieBytes) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0 && !file->ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

struct WinInet {
  decltype(&::InternetOpenA) open = nullptr;
  decltype(&::InternetOpenUrlA) open_url = nullptr;
  decltype(&::InternetReadFile) read = nullptr;
  decltype(&::InternetCloseHandle) close = nullptr;
  decltype(&::HttpQueryInfoA) query_info = nullptr;

  bool ok() const { return open && open_url && read && close && query_info; }
};

template <typename F>
void Resolve(HMODULE module, const char* name, F& f) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const WinInet& LoadWinInet() {
  static const WinInet inet = [] {
    WinInet w;
    HMODULE module = ::LoadLibraryA("wininet.dll");
    if (!module) return w;
    Resolve(module, "InternetOpenA", w.open);
    Resolve(module, "InternetOpenUrlA", w.open_url);
    Resolve(module, "InternetReadFile", w.read);
    Resolve(module, "InternetCloseHandle", w.close);
    Resolve(module, "HttpQueryInfoA", w.query_info);
    return w;
  }();
  return inet;
}

// Shared by the load and its thread; whichever lets go last frees it.
struct Fetch {
  std::mutex mutex;
  MovieLoad::State state = MovieLoad::State::kWaiting;
  std::vector<uint8_t> bytes;
  HINTERNET session = nullptr;  // closed by whoever abandons first, which wakes a blocked read
  bool abandoned = false;
};

void CloseSession(Fetch& fetch) {
  HINTERNET session = nullptr;
  {
    std::lock_guard<std::mutex> lock(fetch.mutex);
    session = std::exchange(fetch.session, nullptr);
  }
  if (session) LoadWinInet().close(session);
}

void RunFetch(std::shared_ptr<Fetch> fetch, std::string address) {
  const WinInet& inet = LoadWinInet();
  bool arrived = false;
  std::vector<uint8_t> bytes;
  HINTERNET session =
      inet.ok() ? inet.open("FlashSaver", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)
                : nullptr;
  if (session) {
    bool abandoned = false;
    {
      std::lock_guard<std::mutex> lock(fetch->mutex);
      abandoned = fetch->abandoned;
      if (!abandoned) fetch->session = session;
    }
    if (abandoned) {
      inet.close(session);
    } else {
      const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                          INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
      HINTERNET request = inet.open_url(session, address.c_str(), nullptr, 0, flags, 0);
      if (request) {
        DWORD status = 0;
        DWORD size = sizeof(status);
        const bool status_ok =
            inet.query_info(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &size, nullptr) &&
            status == 200;
        char buffer[16384];
        DWORD got = 0;
        bool failed = !status_ok;
        while (!failed && inet.read(request, buffer, sizeof(buffer), &got) && got > 0) {
          bytes.insert(bytes.end(), buffer, buffer + got);
          if (bytes.size() > kMaxMovieBytes) failed = true;
        }
        // A read that fails (the session closed under it) ends with got untouched; only a
        // clean end of data counts.
        arrived = !failed && got == 0;
        inet.close(request);
      }
      CloseSession(*fetch);
    }
  }
  std::lock_guard<std::mutex> lock(fetch->mutex);
  if (fetch->abandoned) return;
  fetch->state = arrived ? MovieLoad::State::kArrived : MovieLoad::State::kFailed;
  fetch->bytes = std::move(bytes);
}

class WebLoad : public MovieLoad {
 public:
  explicit WebLoad(const std::string& address) : fetch_(std::make_shared<Fetch>()) {
    try {
      std::thread(RunFetch, fetch_, address).detach();
    } catch (const std::system_error&) {
      fetch_->state = State::kFailed;
    }
  }
  ~WebLoad() override {
    {
      std::lock_guard<std::mutex> lock(fetch_->mutex);
      fetch_->abandoned = true;
    }
    CloseSession(*fetch_);
  }
  State Poll() override {
    std::lock_guard<std::mutex> lock(fetch_->mutex);
    return fetch_->state;
  }
  std::vector<uint8_t> TakeBytes() override {
    std::lock_guard<std::mutex> lock(fetch_->mutex);
    return std::move(fetch_->bytes);
  }

 private:
  std::shared_ptr<Fetch> fetch_;
};

class WinMovieSource : public MovieSource {
 public:
  std::unique_ptr<MovieLoad> Load(const std::string& movie) override {
    if (IsWebAddress(movie)) return std::make_unique<WebLoad>(movie);
    return std::make_unique<DoneLoad>(ReadWholeFile(movie));
  }
};

}  // namespace

MovieSource& SystemMovieSource() {
  static WinMovieSource source;
  return source;
}

}  // namespace flashsaver
