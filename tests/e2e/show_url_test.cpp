// Movies given by address, served by the tests' own HTTP server on 127.0.0.1: quickly, slowly
// and never. The built-in player shows the movie it was given as its window text.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fixtures.h"
#include "http_server.h"
#include "show_harness.h"

using namespace e2e;

namespace {

constexpr DWORD kEndWait = 15000;
constexpr char kPlayerClass[] = "TFlashPlayerControl";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Change {
  std::string movie;
  DWORD at_ms;
};

class ShowUrl : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterFlashComServer();
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
    ASSERT_TRUE(server_.ok());
    SwfFile local;
    local.name = "local.swf";
    local_ = WriteSwf(local);
  }
  void TearDown() override {
    if (show_.Running()) {
      ::PostMessageA(show_.window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(show_.EndsWithin(kEndWait));
    }
  }
  // The movies the player was given, with the time since the show window appeared, until the
  // local movie comes or the time is up.
  std::vector<Change> WatchUntilLocal(DWORD milliseconds) {
    std::vector<Change> changes;
    HWND player = WaitForChildWindow(show_.window(), kPlayerClass, 20000);
    if (!player) {
      ADD_FAILURE() << "no built-in player in the show window";
      return changes;
    }
    const DWORD start = shown_at_;
    while (::GetTickCount() - start < milliseconds) {
      const std::string text = TextOf(player);
      // An empty name is a player not yet given its first movie.
      if (!text.empty() && (changes.empty() || changes.back().movie != text)) {
        changes.push_back({text, ::GetTickCount() - start});
        if (text.find("local.swf") != std::string::npos) break;
      }
      Pump(20);
    }
    return changes;
  }
  void StartShow(const std::string& name, const std::string& address, int download_time) {
    SaverSpec spec;
    spec.name = name;
    spec.set = {"FlashDownloadTime=" + std::to_string(download_time), "FlashStopTime=1"};
    spec.flash_items = {address};
    spec.movies = {local_};
    ASSERT_TRUE(show_.Start(BuildSaver(spec))) << show_.error();
    shown_at_ = ::GetTickCount();
  }

  HttpServer server_;
  std::string local_;
  ShowRun show_;
  DWORD shown_at_ = 0;
};

// The time the address was held before the local movie followed it.
DWORD HeldFor(const std::vector<Change>& changes, const std::string& address) {
  DWORD given = 0;
  for (const Change& c : changes) {
    if (c.movie == address) given = c.at_ms;
    if (c.movie.find("local.swf") != std::string::npos) return c.at_ms - given;
  }
  return 0;
}

TEST_F(ShowUrl, NeverAnsweredMovieIsLeftAfterTheDownloadTime) {
  server_.Serve("/never.swf", "", -1);
  const std::string address = server_.Url("/never.swf");
  StartShow("url_never", address, 3);
  const std::vector<Change> changes = WatchUntilLocal(40000);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.front().movie, address);
  const DWORD held = HeldFor(changes, address);
  // 31 ticks of 100 ms (seen from a little after the handover); a busy machine only makes them
  // later.
  EXPECT_GE(held, 2500u);
  EXPECT_LE(held, 15000u);
  const auto requests = server_.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front().path, "/never.swf");
}

TEST_F(ShowUrl, SlowMovieIsWaitedForAndPlayed) {
  SwfFile swf;
  swf.name = "slow.swf";
  swf.fps = 10;
  swf.frames = 50;  // five seconds of rising frames once it has arrived
  server_.Serve("/slow.swf", ReadAll(WriteSwf(swf)), 1500);
  const std::string address = server_.Url("/slow.swf");
  StartShow("url_slow", address, 4);
  const std::vector<Change> changes = WatchUntilLocal(60000);
  const DWORD held = HeldFor(changes, address);
  // Arrival (1.5 s), five seconds of frames, then the address's no-progress limit (4 s): far
  // more than the 4 s a movie that never arrives is given.
  EXPECT_GE(held, 9000u) << "the slow movie was not played";
}

TEST_F(ShowUrl, QuickMovieLoopsUntilTheDownloadTimeSeesNoProgress) {
  SwfFile swf;
  swf.name = "quick.swf";
  swf.fps = 10;
  swf.frames = 10;
  server_.Serve("/quick.swf", ReadAll(WriteSwf(swf)));
  const std::string address = server_.Url("/quick.swf");
  // FlashStopTime is 1 s; an address is given FlashDownloadTime (5 s) without progress.
  StartShow("url_quick", address, 5);
  const std::vector<Change> changes = WatchUntilLocal(60000);
  const DWORD held = HeldFor(changes, address);
  EXPECT_GE(held, 1000u + 5000u);
  EXPECT_LE(held, 30000u);
  for (const auto& r : server_.Requests()) EXPECT_EQ(r.path, "/quick.swf");
}

}  // namespace
