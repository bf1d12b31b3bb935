// The configuration dialog as the tests drive it: started with /c, its controls found by their
// captions and classes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"
#include "saver_files.h"
#include "ui_driver.h"

namespace e2e {

inline constexpr DWORD kExitWait = 15000;
inline constexpr char kMakerHomePage[] = "https://flashsaver.example.org/";

// A settings file with the lines in section Set.
inline std::string SetSection(const std::vector<std::string>& lines) {
  std::string text = "[Set]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// One run of the dialog: the engine started with /c, its form found.
class Dialog {
 public:
  bool Open(const TestSaver& saver) {
    if (!engine_.Start("/c", saver.program)) return false;
    form_ = WaitForTopWindow(engine_.pid(), "TDistributeConfigForm");
    if (!form_) return false;
    // FormShow has run once the header carries the screen saver's title.
    WaitUntil(5000, [&] { return ::IsWindowVisible(form_) != FALSE; });
    Pump(300);
    return true;
  }

  HWND form() const { return form_; }
  EngineProcess& engine() { return engine_; }

  HWND Control(const char* class_name, const std::string& text) const {
    return FindControl(form_, class_name, text);
  }
  HWND Button(const std::string& text) const { return Control("Button", text); }
  HWND Page(const char* sheet) const { return Control("TTabSheet", sheet); }
  // The drop-down lists of the "Flash Options" group, by their places: size, quality, colour.
  HWND List(int top) const {
    for (HWND combo : Descendants(form_, "ComboBox")) {
      if (RectIn(combo, ::GetParent(combo)).top == top) return combo;
    }
    return nullptr;
  }
  HWND SizeList() const { return List(20); }
  HWND QualityList() const { return List(47); }
  HWND ColourList() const { return List(74); }
  HWND SpinEdit() const {
    HWND spin = FindControl(form_, "TSpinEdit", "");
    return spin ? ::FindWindowExA(spin, nullptr, "Edit", nullptr) : nullptr;
  }
  HWND Memo() const {
    HWND page = Page("TabSheet2");
    const std::vector<HWND> edits = page ? Descendants(page, "Edit") : std::vector<HWND>();
    return edits.empty() ? nullptr : edits.front();
  }
  // Header labels lie directly on the form.
  std::vector<HWND> HeaderLabels() const {
    std::vector<HWND> labels;
    for (HWND label : Descendants(form_, "TLabel")) {
      if (::GetParent(label) == form_) labels.push_back(label);
    }
    return labels;
  }

  void ShowPage(int tab) {
    // The tabs lie left to right along the top of the page control, "Options" being the
    // narrowest: 25, 90 and 165 pixels from the left fall into the first, second and third.
    HWND tabs = FindControl(form_, "SysTabControl32", "");
    const LONG x[] = {25, 90, 165};
    Click(tabs, POINT{x[tab], 10});
  }

  bool ClickAndWaitExit(HWND button) {
    Click(button);
    return engine_.WaitExit(kExitWait).has_value();
  }

 private:
  EngineProcess engine_;
  HWND form_ = nullptr;
};

}  // namespace e2e
