// A saver built around another program (which cannot show anything) and rebuilt around the real
// engine with saverpack --rebuild: its show plays the packed movies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "show_harness.h"
#include "tools/saverpack/saver_builder.h"
#include "tools/saverpack/saver_rebuild.h"

using namespace e2e;

namespace {

// The movies handed to the player, as file names, in order.
std::vector<std::string> MoviesPut(const FlashComServer& server) {
  std::vector<std::string> movies;
  for (const std::string& line : server.Calls()) {
    if (line.rfind("put Movie ", 0) == 0) movies.push_back(line.substr(10));
  }
  return movies;
}

TEST(RebuiltSaver, ShowPlaysTheOldSaversMovies) {
  FixtureFolder folder;
  FlashComServer server(folder);
  ASSERT_TRUE(server.ok());
  server.Script("TotalFrames 3\nFrameNum 0 1 2 3\n");
  ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword");
  std::vector<std::string> movies;
  for (const char* name : {"old_a.swf", "old_b.swf"}) {
    SwfFile swf;
    swf.name = name;
    movies.push_back(WriteSwf(swf));
  }
  const std::string old_engine = TestFolder() + "old_engine.bin";
  ASSERT_TRUE(WriteFile(old_engine, std::string(200000, 'E')));
  saverpack::BuildRequest old;
  old.engine = old_engine;
  old.output = TestFolder() + "old_saver.scr";
  old.packed = {{"old_a.swf", movies[0]}, {"old_b.swf", movies[1], true}};
  old.items = {{"Flash", "old_a.swf"}, {"Flash", "old_b.swf"}};
  saverpack::BuildSaver(old);

  const std::string temp = EngineTempFolder();
  for (const char* name : {"old_a.swf", "old_a.swf~", "old_b.swf", "old_b.swf~"}) {
    ::SetFileAttributesA((temp + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA((temp + name).c_str());
  }
  const saverpack::RebuildResult rebuilt =
      saverpack::RebuildSaver({old.output, TestFolder() + "rebuilt.scr", EnginePath()});
  EXPECT_TRUE(rebuilt.problems.empty());
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Korvanlabs\\rebuilt.scr");

  ShowRun show;
  ASSERT_TRUE(show.Start(rebuilt.output)) << show.error();
  const DWORD start = ::GetTickCount();
  while (MoviesPut(server).size() < 3 && ::GetTickCount() - start < 30000) Pump(100);
  const std::vector<std::string> played = MoviesPut(server);
  ASSERT_GE(played.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(played.begin(), played.begin() + 3),
            (std::vector<std::string>{temp + "old_a.swf", temp + "old_b.swf", temp + "old_a.swf"}));
  EXPECT_EQ(ReadWholeFile(temp + "old_a.swf"), ReadWholeFile(movies[0]));
  EXPECT_EQ(ReadWholeFile(temp + "old_b.swf"), ReadWholeFile(movies[1]));
  ::PostMessageA(show.window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(show.EndsWithin(15000));
}

}  // namespace
