// The configuration dialog of a bare engine and of a packaged screen saver: its controls, what
// it shows for the settings, what OK, Cancel and the close box leave in the settings file and in
// the per-user registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <ostream>
#include <utility>
#include <string>
#include <vector>

#include "harness.h"
#include "saver_files.h"
#include "config_dialog.h"
#include "ui_driver.h"

using namespace e2e;

namespace {

struct Place {
  const char* class_name;
  const char* text;
  const char* parent_text;       // caption of the parent window; nullptr: the form
  int left, top, width, height;  // width and height 0: sized to the text, not compared
};

TEST(ConfigDialog, EveryControlStandsAtItsPlace) {
  const TestSaver saver = MakeBareSaver("PlaceSaver", "");
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND form = dialog.form();
  EXPECT_EQ(ClientSize(form).cx, 503);
  EXPECT_EQ(ClientSize(form).cy, 350);
  RECT outer{};
  ::GetWindowRect(form, &outer);
  EXPECT_NEAR((outer.left + outer.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  EXPECT_EQ(::GetWindowLongA(form, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX),
            0);
  EXPECT_NE(::GetWindowLongA(form, GWL_STYLE) & WS_SYSMENU, 0);

  const Place places[] = {
      {"TImage", "", nullptr, 18, 14, 468, 60},
      {"TLabel", "Screensaver Setting", nullptr, 28, 24, 0, 0},
      {"SysTabControl32", "", nullptr, 17, 85, 468, 220},
      {"TTabSheet", "TabSheet1", "", 4, 24, 460, 192},
      {"TTabSheet", "TabSheet4", "", 4, 24, 460, 192},
      {"TTabSheet", "TabSheet2", "", 4, 24, 460, 192},
      {"TPanel", "Panel4", "TabSheet1", 0, 0, 460, 192},
      {"TPanel", "Panel1", "TabSheet4", 0, 0, 460, 192},
      {"TPanel", "Panel2", "TabSheet2", 0, 0, 460, 192},
      {"TFlatGroupBox", "Play Sequence", "Panel4", 20, 15, 161, 110},
      {"Button", "In Order", "Play Sequence", 15, 25, 0, 0},
      {"Button", "Shuffle", "Play Sequence", 15, 50, 0, 0},
      {"Button", "Intelligent Random", "Play Sequence", 15, 75, 0, 0},
      {"TFlatGroupBox", "Flash Options", "Panel4", 198, 15, 241, 110},
      {"TLabel", "Flash Size:", "Flash Options", 24, 24, 0, 0},
      {"TLabel", "Flash Quality:", "Flash Options", 24, 51, 0, 0},
      {"TLabel", "Background Color:", "Flash Options", 24, 78, 0, 0},
      {"TLabel", "Max download waiting time (for web flash):", "Panel4", 84, 144, 0, 0},
      {"TSpinEdit", "", "Panel4", 292, 141, 49, 20},
      {"Button", "Mute Sound", "Panel4", 354, 143, 0, 0},
      {"TFlatGroupBox", "Saver Exit Conditions", "Panel1", 20, 15, 255, 96},
      {"Button", "Mouse Move Event", "Saver Exit Conditions", 20, 21, 0, 0},
      {"Button", "Mouse Button Press", "Saver Exit Conditions", 20, 45, 0, 0},
      {"Button", "Keyboard Button Press", "Saver Exit Conditions", 20, 69, 0, 0},
      {"Button", "Show mouse cursor && Ignore mouse events", "Panel1", 32, 121, 0, 0},
      {"Button", "Exit only when press ESC key ", "Panel1", 32, 145, 0, 0},
      {"Edit", "", "Panel2", 3, 3, 454, 186},
      {"Button", "&OK", nullptr, 319, 315, 73, 25},
      {"Button", "&Cancel", nullptr, 401, 315, 73, 25},
      {"TLabel", "- Powered by", nullptr, 30, 322, 0, 0},
      {"TLabel", kMakerHomePage, nullptr, 95, 322, 0, 0},
  };
  for (const Place& place : places) {
    SCOPED_TRACE(std::string(place.class_name) + " \"" + place.text + "\"");
    HWND control = nullptr;
    for (HWND candidate : Descendants(form, place.class_name)) {
      HWND parent = ::GetParent(candidate);
      const bool parent_matches = place.parent_text
                                      ? (parent != form && TextOf(parent) == place.parent_text)
                                      : parent == form;
      if (TextOf(candidate) == place.text && parent_matches) {
        control = candidate;
        break;
      }
    }
    ASSERT_NE(control, nullptr);
    const RECT r = RectIn(control, ::GetParent(control));
    EXPECT_EQ(r.left, place.left);
    EXPECT_EQ(r.top, place.top);
    if (place.width) {
      EXPECT_EQ(r.right - r.left, place.width);
      EXPECT_EQ(r.bottom - r.top, place.height);
    }
  }

  const struct {
    int top;
    std::vector<std::string> items;
  } lists[] = {
      {20, {"Fullscreen", "Extact Fit", "Original"}},
      {47, {"Low", "High", "Auto Low", "Auto High"}},
      {74,
       {"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray", "Silver", "Red",
        "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White", "Custom"}},
  };
  for (const auto& list : lists) {
    HWND combo = dialog.List(list.top);
    ASSERT_NE(combo, nullptr) << list.top;
    EXPECT_EQ(TextOf(::GetParent(combo)), "Flash Options");
    const RECT r = RectIn(combo, ::GetParent(combo));
    EXPECT_EQ(r.left, 124);
    EXPECT_EQ(r.right - r.left, 95);
    EXPECT_NE(::GetWindowLongA(combo, GWL_STYLE) & CBS_DROPDOWNLIST, 0);
    ASSERT_EQ(ComboCount(combo), static_cast<int>(list.items.size()));
    for (size_t i = 0; i < list.items.size(); ++i) {
      EXPECT_EQ(ComboItem(combo, static_cast<int>(i)), list.items[i]);
    }
  }
  EXPECT_NE(::GetWindowLongA(dialog.ColourList(), GWL_STYLE) & CBS_OWNERDRAWFIXED, 0);
  ::PostMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

TEST(ConfigDialog, OpensOnOptionsWithTheFocusOnCancelAndEnterCancels) {
  const std::string settings = SetSection({"FlashSize=2", "MouseMove=1"});
  const TestSaver saver = MakeBareSaver("EnterSaver", settings);
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  EXPECT_EQ(TextOf(dialog.form()), "Flash Saver Setting - Screensaver Setting");
  EXPECT_TRUE(::IsWindowVisible(dialog.Page("TabSheet1")));
  EXPECT_FALSE(::IsWindowVisible(dialog.Page("TabSheet4")));
  EXPECT_FALSE(::IsWindowVisible(dialog.Page("TabSheet2")));
  HWND tabs = FindControl(dialog.form(), "SysTabControl32", "");
  EXPECT_EQ(::SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);

  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog.form(), nullptr), &gui));
  EXPECT_EQ(gui.hwndFocus, dialog.Button("&Cancel"));

  BringToFront(dialog.form());
  PressKey(VK_RETURN);
  ASSERT_TRUE(dialog.engine().WaitExit(kExitWait).has_value()) << "Enter did not close the dialog";
  EXPECT_EQ(ReadWholeFile(saver.side_settings()), settings);
  EXPECT_FALSE(UserKeyExists(saver.overrides_key()));
}

TEST(ConfigDialog, TitleBarCarriesTheScreenSaversTitle) {
  const TestSaver saver = MakeBareSaver("TitleSaver", SetSection({"ScrName=Ocean Waves"}));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  EXPECT_EQ(TextOf(dialog.form()), "Flash Saver Setting - Ocean Waves");
  HWND title = FindControl(dialog.form(), "TLabel", "Ocean Waves");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(RectIn(title, dialog.form()).left, 28);
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

// What FormShow shows for the fields, and what OK stores when nothing was touched.
struct FieldCase {
  const char* label;
  std::vector<std::string> settings;
  int checked_radio;  // 0 In Order, 1 Shuffle, 2 Intelligent Random, -1 none
  int size_index;
  int quality_index;
  int colour_index;
  const char* spin_text;
  bool mute, mouse_move, mouse_press, keyboard, show_cursor, esc_only;
  bool events_enabled;
  // Stored: FlashSequence, FlashSize, FlashQuality, FlashColor, FlashDownloadTime.
  const char* sequence;
  const char* size;
  const char* quality;
  const char* colour;
  const char* download_time;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.label; }

class ConfigDialogFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ConfigDialogFields, ShowsTheFieldsAndOkStoresThem) {
  const FieldCase& c = GetParam();
  const TestSaver saver = MakeBareSaver(std::string("Fields") + c.label, SetSection(c.settings));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND radios[] = {dialog.Button("In Order"), dialog.Button("Shuffle"),
                   dialog.Button("Intelligent Random")};
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(radios[i], nullptr);
    EXPECT_EQ(IsChecked(radios[i]), i == c.checked_radio) << "radio " << i;
  }
  EXPECT_EQ(ComboSelection(dialog.SizeList()), c.size_index);
  EXPECT_EQ(ComboSelection(dialog.QualityList()), c.quality_index);
  EXPECT_EQ(ComboSelection(dialog.ColourList()), c.colour_index);
  EXPECT_EQ(ControlText(dialog.SpinEdit()), c.spin_text);
  EXPECT_EQ(IsChecked(dialog.Button("Mute Sound")), c.mute);
  HWND events[] = {dialog.Button("Mouse Move Event"), dialog.Button("Mouse Button Press"),
                   dialog.Button("Keyboard Button Press")};
  EXPECT_EQ(IsChecked(events[0]), c.mouse_move);
  EXPECT_EQ(IsChecked(events[1]), c.mouse_press);
  EXPECT_EQ(IsChecked(events[2]), c.keyboard);
  for (HWND box : events) EXPECT_EQ(::IsWindowEnabled(box) != FALSE, c.events_enabled);
  EXPECT_EQ(IsChecked(dialog.Button("Show mouse cursor && Ignore mouse events")), c.show_cursor);
  EXPECT_EQ(IsChecked(dialog.Button("Exit only when press ESC key ")), c.esc_only);

  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&OK")));
  const std::string stored = ReadWholeFile(saver.side_settings());
  auto value = [&](const char* key) { return IniValue(stored, "Set", key).value_or("(none)"); };
  EXPECT_EQ(value("FlashSequence"), c.sequence);
  EXPECT_EQ(value("FlashSize"), c.size);
  EXPECT_EQ(value("FlashQuality"), c.quality);
  EXPECT_EQ(value("FlashColor"), c.colour);
  EXPECT_EQ(value("FlashDownloadTime"), c.download_time);
  EXPECT_EQ(value("FlashMute"), c.mute ? "1" : "0");
  EXPECT_EQ(value("MouseMove"), c.mouse_move ? "1" : "0");
  EXPECT_EQ(value("MousePress"), c.mouse_press ? "1" : "0");
  EXPECT_EQ(value("KeyboardPress"), c.keyboard ? "1" : "0");
  EXPECT_EQ(value("ShowCursor"), c.show_cursor ? "1" : "0");
  EXPECT_EQ(value("OnlyEscKeyExit"), c.esc_only ? "1" : "0");
  // A bare engine keeps everything in the file next to it.
  EXPECT_FALSE(UserKeyExists(saver.overrides_key()));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ConfigDialogFields,
    ::testing::Values(
        FieldCase{"Defaults",
                  {},
                  0,
                  0,
                  1,
                  0,
                  "20",
                  false,
                  false,
                  true,
                  true,
                  false,
                  false,
                  true,
                  "0",
                  "0",
                  "1",
                  "0",
                  "20"},
        FieldCase{"OutOfRange",
                  {"FlashSequence=7", "FlashSize=5", "FlashQuality=9"},
                  -1,
                  -1,
                  -1,
                  0,
                  "20",
                  false,
                  false,
                  true,
                  true,
                  false,
                  false,
                  true,
                  "2",
                  "-1",
                  "-1",
                  "0",
                  "20"},
        FieldCase{"DownloadTimeZero",
                  {"FlashDownloadTime=0"},
                  0,
                  0,
                  1,
                  0,
                  "1",
                  false,
                  false,
                  true,
                  true,
                  false,
                  false,
                  true,
                  "0",
                  "0",
                  "1",
                  "0",
                  "1"},
        FieldCase{"DownloadTimeHuge",
                  {"FlashDownloadTime=99999"},
                  0,
                  0,
                  1,
                  0,
                  "10000",
                  false,
                  false,
                  true,
                  true,
                  false,
                  false,
                  true,
                  "0",
                  "0",
                  "1",
                  "0",
                  "10000"},
        FieldCase{"UnlistedColour",
                  {"FlashColor=12345"},
                  0,
                  0,
                  1,
                  0,
                  "20",
                  false,
                  false,
                  true,
                  true,
                  false,
                  false,
                  true,
                  "0",
                  "0",
                  "1",
                  "0",
                  "20"},
        FieldCase{"TealAndOthers",
                  {"FlashSequence=1", "FlashSize=2", "FlashQuality=3", "FlashColor=8421376",
                   "FlashMute=1", "FlashDownloadTime=45", "MouseMove=1", "MousePress=0"},
                  1,
                  2,
                  3,
                  6,
                  "45",
                  true,
                  true,
                  false,
                  true,
                  false,
                  false,
                  true,
                  "1",
                  "2",
                  "3",
                  "8421376",
                  "45"},
        FieldCase{"ShowCursorKeepsMarks",
                  {"FlashSequence=2", "ShowCursor=1", "MouseMove=1", "KeyboardPress=0"},
                  2,
                  0,
                  1,
                  0,
                  "20",
                  false,
                  true,
                  true,
                  false,
                  true,
                  false,
                  false,
                  "2",
                  "0",
                  "1",
                  "0",
                  "20"},
        FieldCase{"EscOnlyKeepsMarks",
                  {"OnlyEscKeyExit=1", "MousePress=0"},
                  0,
                  0,
                  1,
                  0,
                  "20",
                  false,
                  false,
                  false,
                  true,
                  false,
                  true,
                  false,
                  "0",
                  "0",
                  "1",
                  "0",
                  "20"}),
    [](const ::testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.label); });

TEST(ConfigDialog, ShowCursorAndEscapeDisableTheEventBoxesWithTheirMarks) {
  const TestSaver saver = MakeBareSaver("ExitBoxesSaver", SetSection({"MouseMove=1"}));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  dialog.ShowPage(1);
  ASSERT_TRUE(WaitUntil(3000, [&] { return ::IsWindowVisible(dialog.Page("TabSheet4")) != 0; }));
  HWND show_cursor = dialog.Button("Show mouse cursor && Ignore mouse events");
  HWND esc_only = dialog.Button("Exit only when press ESC key ");
  HWND events[] = {dialog.Button("Mouse Move Event"), dialog.Button("Mouse Button Press"),
                   dialog.Button("Keyboard Button Press")};
  const bool marks[] = {true, true, true};
  auto expect_events = [&](bool enabled) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(::IsWindowEnabled(events[i]) != FALSE, enabled) << i;
      EXPECT_EQ(IsChecked(events[i]), marks[i]) << i;
    }
  };
  expect_events(true);
  Click(show_cursor);
  EXPECT_TRUE(IsChecked(show_cursor));
  expect_events(false);
  Click(show_cursor);
  EXPECT_FALSE(IsChecked(show_cursor));
  expect_events(true);
  Click(esc_only);
  EXPECT_TRUE(IsChecked(esc_only));
  expect_events(false);

  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&OK")));
  const std::string stored = ReadWholeFile(saver.side_settings());
  EXPECT_EQ(IniValue(stored, "Set", "OnlyEscKeyExit"), "1");
  EXPECT_EQ(IniValue(stored, "Set", "ShowCursor"), "0");
  EXPECT_EQ(IniValue(stored, "Set", "MouseMove"), "1");
  EXPECT_EQ(IniValue(stored, "Set", "MousePress"), "1");
  EXPECT_EQ(IniValue(stored, "Set", "KeyboardPress"), "1");
}

struct ListCase {
  const char* label;
  const char* flash_section;
  bool web;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.label; }

class ConfigDialogDownloadTime : public ::testing::TestWithParam<ListCase> {};

TEST_P(ConfigDialogDownloadTime, ShownOnlyForMoviesFromTheWeb) {
  const ListCase& c = GetParam();
  const TestSaver saver = MakeBareSaver(std::string("List") + c.label,
                                        SetSection({}) + "[Flash]\r\n" + c.flash_section);
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND label = dialog.Control("TLabel", "Max download waiting time (for web flash):");
  HWND spin = FindControl(dialog.form(), "TSpinEdit", "");
  ASSERT_NE(label, nullptr);
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(::IsWindowVisible(label) != FALSE, c.web);
  EXPECT_EQ(::IsWindowVisible(spin) != FALSE, c.web);
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    FlashList, ConfigDialogDownloadTime,
    ::testing::Values(ListCase{"Capitals", "a.swf=1\r\n(URL) HTTP://example.com/b.swf=1\r\n", true},
                      ListCase{"Lower", "http://example.com/b.swf=1\r\n", true},
                      ListCase{"LocalFiles", "a.swf=1\r\n(File) C:\\movies\\b.swf=1\r\n", false},
                      ListCase{"Empty", "", false}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.label); });

TEST(ConfigDialog, TypedDownloadTimeAndItsArrowReachTheFile) {
  const TestSaver saver =
      MakeBareSaver("SpinTyped", SetSection({}) + "[Flash]\r\nhttp://example.com/b.swf=1\r\n");
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND edit = dialog.SpinEdit();
  ASSERT_NE(edit, nullptr);
  Click(edit);
  PressKey(VK_END);
  for (int i = 0; i < 5; ++i) PressKey(VK_BACK);
  for (WORD key : {'3', 'A', '4', '5'}) PressKey(key);  // the field takes digits only
  EXPECT_EQ(ControlText(edit), "345");
  PressKey(VK_UP);
  EXPECT_EQ(ControlText(edit), "346");
  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&OK")));
  EXPECT_EQ(IniValue(ReadWholeFile(saver.side_settings()), "Set", "FlashDownloadTime"), "346");
}

// The engine's dialog box of the class the system gives dialogs, with that caption.
HWND WaitForBox(EngineProcess& engine, const std::string& caption) {
  HWND box = nullptr;
  WaitUntil(kExitWait, [&] {
    for (HWND w : TopWindowsOf(engine.pid(), "#32770")) {
      if (TextOf(w) == caption && ::IsWindowVisible(w)) box = w;
    }
    return box != nullptr;
  });
  return box;
}

TEST(ConfigDialog, CustomColourComesFromTheColourDialog) {
  const TestSaver saver = MakeBareSaver("CustomColour", "");
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND list = dialog.ColourList();
  Click(list);
  PressKey(VK_END);  // the list is open: choosing "Custom" opens the colour dialog at once
  HWND colours = WaitForBox(dialog.engine(), "Color");
  ASSERT_NE(colours, nullptr) << "no colour dialog";
  // The dialog's red, green and blue fields.
  const char* parts[] = {"18", "52", "86"};
  for (int i = 0; i < 3; ++i) {
    ::SendMessageA(::GetDlgItem(colours, 706 + i), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(parts[i]));
  }
  Click(::GetDlgItem(colours, IDOK));
  ASSERT_TRUE(WaitUntil(kExitWait, [&] { return !::IsWindow(colours); }));
  EXPECT_EQ(ControlText(list), "Custom");
  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&OK")));
  EXPECT_EQ(IniValue(ReadWholeFile(saver.side_settings()), "Set", "FlashColor"),
            std::to_string(RGB(18, 52, 86)));
}

struct HeaderCase {
  const char* label;
  std::vector<std::string> settings;
  const char* author_text;
  int author_top;
  const char* website_text;  // nullptr: no link shown
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.label; }

class ConfigDialogHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ConfigDialogHeader, LinksStandRightAlignedWithTheirTexts) {
  const HeaderCase& c = GetParam();
  const TestSaver saver = MakeBareSaver(std::string("Header") + c.label, SetSection(c.settings));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND author = dialog.Control("TLabel", c.author_text);
  ASSERT_NE(author, nullptr);
  const RECT a = RectIn(author, dialog.form());
  EXPECT_EQ(a.right, 476);
  EXPECT_EQ(a.top, c.author_top);
  if (c.website_text) {
    HWND website = dialog.Control("TLabel", c.website_text);
    ASSERT_NE(website, nullptr);
    const RECT w = RectIn(website, dialog.form());
    EXPECT_EQ(w.right, 476);
    EXPECT_EQ(w.top, 51);
  }
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    AuthorWebsiteEmail, ConfigDialogHeader,
    ::testing::Values(HeaderCase{"HttpCut",
                                 {"Author=Jane Doe", "Website=http://www.example.com/saver"},
                                 "Jane Doe",
                                 36,
                                 "www.example.com/saver"},
                      HeaderCase{"HttpCapitalsCut",
                                 {"Author=Jane Doe", "Website=HTTP://WWW.EXAMPLE.COM"},
                                 "Jane Doe",
                                 36,
                                 "WWW.EXAMPLE.COM"},
                      HeaderCase{"OtherSchemeKept",
                                 {"Author=Jane Doe", "Website=https://example.com"},
                                 "Jane Doe",
                                 36,
                                 "https://example.com"},
                      HeaderCase{"EmailOnly",
                                 {"Author=Jane Doe", "ScrEmail=jane@example.com"},
                                 "Jane Doe",
                                 36,
                                 "jane@example.com"},
                      HeaderCase{"EmailAndWebsite",
                                 {"Author=Jane Doe", "ScrEmail=jane@example.com",
                                  "Website=www.example.com"},
                                 "Jane Doe",
                                 36,
                                 "www.example.com"},
                      HeaderCase{"Neither", {"Author=Jane Doe"}, "Jane Doe", 51, nullptr}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.label); });

struct ReadmeCase {
  const char* label;
  bool readme;
  int tabs;
};

void PrintTo(const ReadmeCase& c, std::ostream* os) { *os << c.label; }

class ConfigDialogNoUserSetting : public ::testing::TestWithParam<ReadmeCase> {};

TEST_P(ConfigDialogNoUserSetting, OffersOnlyTheReadme) {
  const ReadmeCase& c = GetParam();
  const TestSaver saver =
      MakeBareSaver(std::string("NoUser") + c.label, SetSection({"NoUserSetting=1"}));
  // A bare engine reads the readme from the install folder, named in the per-user registry.
  SetUserDefault(saver.install_key(), saver.folder.substr(0, saver.folder.size() - 1));
  if (c.readme) {
    ASSERT_TRUE(WriteFile(saver.folder + "readme.txt", "Line one\nLine two\n"));
  }
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  HWND tabs = FindControl(dialog.form(), "SysTabControl32", "");
  EXPECT_EQ(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), c.tabs);
  EXPECT_TRUE(::IsWindowVisible(dialog.Page("TabSheet2")));
  EXPECT_FALSE(::IsWindowVisible(dialog.Page("TabSheet1")));
  EXPECT_FALSE(::IsWindowVisible(dialog.Page("TabSheet4")));
  EXPECT_EQ(ControlText(dialog.Memo()), c.readme ? "Line one\r\nLine two\r\n" : "");
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
  DeleteUserKey(saver.install_key());
}

INSTANTIATE_TEST_SUITE_P(Readme, ConfigDialogNoUserSetting,
                         ::testing::Values(ReadmeCase{"WithReadme", true, 1},
                                           ReadmeCase{"WithoutReadme", false, 0}),
                         [](const ::testing::TestParamInfo<ReadmeCase>& info) {
                           return std::string(info.param.label);
                         });

TEST(ConfigDialog, ReadmeOfABareEngineComesFromTheInstallFolder) {
  const TestSaver saver = MakeBareSaver("ReadmeSaver", "");
  SetUserDefault(saver.install_key(), saver.folder.substr(0, saver.folder.size() - 1));
  ASSERT_TRUE(WriteFile(saver.folder + "readme.txt", "Hello\r\nreader"));
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  EXPECT_EQ(ControlText(dialog.Memo()), "Hello\r\nreader");
  HWND tabs = FindControl(dialog.form(), "SysTabControl32", "");
  EXPECT_EQ(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
  DeleteUserKey(saver.install_key());
}

enum class CloseBy { kCancel, kCloseBox };

void PrintTo(CloseBy by, std::ostream* os) {
  *os << (by == CloseBy::kCancel ? "Cancel" : "CloseBox");
}

class ConfigDialogLeave : public ::testing::TestWithParam<CloseBy> {};

TEST_P(ConfigDialogLeave, StoresNothingAfterChanges) {
  const std::string settings = SetSection({"FlashSequence=0", "FlashMute=0"});
  const TestSaver saver =
      MakeBareSaver(GetParam() == CloseBy::kCancel ? "CancelSaver" : "CloseBoxSaver", settings);
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  Click(dialog.Button("Shuffle"));
  Click(dialog.Button("Mute Sound"));
  ASSERT_TRUE(IsChecked(dialog.Button("Shuffle")));
  ASSERT_TRUE(IsChecked(dialog.Button("Mute Sound")));
  if (GetParam() == CloseBy::kCancel) {
    ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&Cancel")));
  } else {
    ::PostMessageA(dialog.form(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
  }
  EXPECT_EQ(ReadWholeFile(saver.side_settings()), settings);
  EXPECT_FALSE(UserKeyExists(saver.overrides_key()));
}

INSTANTIATE_TEST_SUITE_P(Leave, ConfigDialogLeave,
                         ::testing::Values(CloseBy::kCancel, CloseBy::kCloseBox),
                         [](const ::testing::TestParamInfo<CloseBy>& info) {
                           return info.param == CloseBy::kCancel ? "Cancel" : "CloseBox";
                         });

TEST(ConfigDialog, ClickedChoicesReachTheFile) {
  const TestSaver saver = MakeBareSaver("ClickSaver", "");
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  Click(dialog.Button("Intelligent Random"));
  Click(dialog.Button("Mute Sound"));
  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&OK")));
  const std::string stored = ReadWholeFile(saver.side_settings());
  EXPECT_EQ(IniValue(stored, "Set", "FlashSequence"), "2");
  EXPECT_EQ(IniValue(stored, "Set", "FlashMute"), "1");
  EXPECT_FALSE(UserKeyExists(saver.overrides_key()));
}

}  // namespace

namespace {

saverpack::BuildRequest PackageWith(const std::vector<std::pair<std::string, std::string>>& set) {
  saverpack::BuildRequest request;
  for (const auto& [key, value] : set) request.settings.push_back({"Set", key, value});
  return request;
}

TEST(PackagedConfigDialog, OkStoresTheChoicesInTheRegistry) {
  const TestSaver saver =
      MakePackagedSaver("PackedOk", PackageWith({{"FlashSize", "1"}, {"FlashDownloadTime", "33"}}));
  DeleteUserKey(saver.overrides_key());
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  EXPECT_EQ(ComboSelection(dialog.SizeList()), 1);
  Click(dialog.Button("Shuffle"));
  Click(dialog.Button("Mute Sound"));
  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&OK")));
  const struct {
    const char* value;
    DWORD data;
  } expected[] = {{"MouseMoveExit", 0},      {"MousePressExit", 1}, {"KeyboardPressExit", 1},
                  {"ShowCursor", 0},         {"OnlyEscKeyExit", 0}, {"FlashSequence", 1},
                  {"FlashSize", 1},          {"FlashQuality", 1},   {"FlashColor", 0},
                  {"FlashDownloadTime", 33}, {"FlashMute", 1}};
  for (const auto& e : expected) {
    EXPECT_EQ(UserDword(saver.overrides_key(), e.value), std::optional<DWORD>(e.data)) << e.value;
  }
  DeleteUserKey(saver.overrides_key());
}

TEST(PackagedConfigDialog, ShowsTheRegistryValuesAndCancelLeavesThem) {
  const TestSaver saver = MakePackagedSaver("PackedCancel", PackageWith({{"FlashSize", "0"}}));
  DeleteUserKey(saver.overrides_key());
  SetUserDword(saver.overrides_key(), "FlashSize", 2);
  SetUserDword(saver.overrides_key(), "MouseMoveExit", 1);
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  EXPECT_EQ(ComboSelection(dialog.SizeList()), 2);
  EXPECT_TRUE(IsChecked(dialog.Button("Mouse Move Event")));
  Click(dialog.Button("Intelligent Random"));
  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&Cancel")));
  EXPECT_EQ(UserDword(saver.overrides_key(), "FlashSize"), std::optional<DWORD>(2));
  EXPECT_EQ(UserDword(saver.overrides_key(), "MouseMoveExit"), std::optional<DWORD>(1));
  EXPECT_FALSE(UserDword(saver.overrides_key(), "FlashSequence").has_value());
  DeleteUserKey(saver.overrides_key());
}

// With a registry that refuses the value FlashSize (a test build of the engine), OK reports the
// error, keeps the dialog open and leaves the values written before it.
TEST(PackagedConfigDialog, FailedRegistryWriteIsReportedAndTheDialogStays) {
  saverpack::BuildRequest request = PackageWith({});
  const std::string engine = EnginePath();
  request.engine =
      engine.substr(0, engine.find_last_of('\\') + 1) + "fixtures\\FailingRegistry.scr";
  const TestSaver saver = MakePackagedSaver("RefusedWrite", request);
  DeleteUserKey(saver.overrides_key());
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  Click(dialog.Button("Shuffle"));
  Click(dialog.Button("&OK"));
  HWND box = WaitForBox(dialog.engine(), saver.name);
  ASSERT_NE(box, nullptr) << "no error report";
  EXPECT_EQ(ControlText(::GetDlgItem(box, 0xFFFF)), "Cannot write the registry value FlashSize.");
  EXPECT_EQ(UserDword(saver.overrides_key(), "FlashSequence"), std::optional<DWORD>(1));
  EXPECT_FALSE(UserDword(saver.overrides_key(), "FlashSize").has_value());
  ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(dialog.engine().WaitExit(1000).has_value()) << "the dialog closed";
  EXPECT_TRUE(::IsWindowVisible(dialog.form()));
  ASSERT_TRUE(dialog.ClickAndWaitExit(dialog.Button("&Cancel")));
  DeleteUserKey(saver.overrides_key());
}

TEST(PackagedConfigDialog, ReadmeComesFromThePackage) {
  const std::string folder = FreshFolder("PackedReadmeSource");
  ASSERT_TRUE(WriteFile(folder + "readme.txt", "Packed notes\nsecond line"));
  saverpack::BuildRequest request = PackageWith({{"NoUserSetting", "1"}});
  request.packed.push_back({"readme.txt", folder + "readme.txt"});
  const TestSaver saver = MakePackagedSaver("PackedReadme", request);
  Dialog dialog;
  ASSERT_TRUE(dialog.Open(saver));
  EXPECT_EQ(ControlText(dialog.Memo()), "Packed notes\r\nsecond line");
  HWND tabs = FindControl(dialog.form(), "SysTabControl32", "");
  EXPECT_EQ(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
  ::PostMessageA(dialog.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.engine().WaitExit(kExitWait).has_value());
  EXPECT_FALSE(UserKeyExists(saver.overrides_key()));
}

}  // namespace
