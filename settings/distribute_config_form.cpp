// The configuration dialog of modes 1 and 2: the Flash options and exit conditions of the
// settings record, the screen saver's header (title, author, links, banner) and its readme.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "package/media_lists.h"
#include "package/package_state.h"
#include "platform/controls.h"
#include "platform/picture.h"
#include "settings/config_text.h"
#include "settings/saver_settings.h"
#include "settings/user_overrides.h"
#include "startup/main_forms.h"
#include "startup/maker.h"

namespace flashsaver {
namespace {

constexpr int kClientWidth = 503;
constexpr int kClientHeight = 350;
constexpr int kLinkRightEdge = 476;

constexpr COLORREF kFlatBorder = RGB(143, 143, 143);
constexpr COLORREF kListBorder = RGB(150, 150, 150);
constexpr COLORREF kShapeBorder = RGB(64, 128, 128);
constexpr COLORREF kLinkColour = RGB(55, 55, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

enum ControlId : int {
  kIdOk = IDOK,
  kIdCancel = IDCANCEL,
  kIdFirstControl = 100,
};

struct NamedColour {
  const char* name;
  COLORREF colour;
};

constexpr std::array<NamedColour, 16> kColours = {{
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
}};
constexpr int kCustomColourIndex = static_cast<int>(kColours.size());

enum Page { kOptionsPage = 0, kExitPage = 1, kReadmePage = 2, kPageCount = 3 };
constexpr const char* kPageCaptions[kPageCount] = {"Options", "Exit Conditions", "Readme"};

bool Checked(HWND button) { return ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND button, bool checked) {
  ::SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  const int copied = ::GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

void OpenWithShell(const std::string& target) {
  ::ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOW);
}

// The readme as the text view shows it: every line break as CR LF, no NUL characters.
bool ReadTextFile(const std::string& path, std::string& text) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  constexpr LONGLONG kMaxReadme = 16 * 1024 * 1024;
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxReadme) return false;
  std::string raw(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!raw.empty() &&
      !::ReadFile(file.get(), raw.data(), static_cast<DWORD>(raw.size()), &read, nullptr)) {
    return false;
  }
  raw.resize(read);
  text = TextWithWindowsLineBreaks(raw);
  return true;
}

class DistributeConfigForm final : public Window {
 public:
  bool Create();

  void ShowAsMain() override {
    FormShow();
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetFocus(button1_);
  }
  bool WantsDialogNavigation() const override { return true; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct PageWindows {
    std::unique_ptr<Container> sheet;
    std::unique_ptr<Container> panel;
  };

  HWND MakeControl(const char* class_name, const char* text, DWORD style, int x, int y, int width,
                   int height, HWND parent, HFONT font = nullptr, DWORD ex_style = 0);
  HWND MakeCheck(const char* text, int x, int y, HWND parent, bool radio, bool first = false);
  std::unique_ptr<Label> MakeLabel(HWND parent, int x, int y, const std::string& text,
                                   HFONT font = nullptr, COLORREF colour = 0);
  void CreateHeader();
  void CreatePages();
  void CreateOptionsPage(HWND panel);
  void CreateExitPage(HWND panel);
  void CreateReadmePage(HWND panel);
  void CreateButtons();

  void FormShow();
  void ShowCursorCheckClick();
  void _BtnOKClick();
  void Button1Click() { ::DestroyWindow(hwnd()); }
  void _TextWebsiteClick(HWND label);
  void BannerImageClick();
  void FlashColorCbChange();

  void SetTooltip(HWND tool, const std::string& text);
  void SetActivePage(int page);
  void SetVisibleTabs(const std::vector<int>& pages);
  void SetColourValue(COLORREF colour);
  void PaintBackground(HDC dc);
  void DrawColourItem(const DRAWITEMSTRUCT& item);
  void UpdateDefaultButton(HWND focused);

  UniqueGdiObject font_;
  UniqueGdiObject link_font_;
  UniqueGdiObject title_font_;
  HWND tooltip_ = nullptr;
  std::map<HWND, std::string> tips_;

  std::unique_ptr<PictureBox> banner_image_;
  std::unique_ptr<Label> author_label_;
  std::unique_ptr<Label> website_label_;
  std::unique_ptr<Label> title_label_;

  HWND page_control_ = nullptr;
  std::array<PageWindows, kPageCount> pages_;
  std::vector<int> tab_pages_;  // the page of each tab shown
  int active_page_ = kOptionsPage;

  std::unique_ptr<Container> play_group_;
  std::unique_ptr<Container> flash_group_;
  std::unique_ptr<Container> exit_group_;
  std::unique_ptr<Container> spin_;
  std::vector<std::unique_ptr<Label>> labels_;
  std::unique_ptr<Label> flash_label_;
  HWND normalize_radio_ = nullptr;
  HWND shuffle_radio_ = nullptr;
  HWND intelli_radio_ = nullptr;
  HWND size_cb_ = nullptr;
  HWND quality_cb_ = nullptr;
  HWND colour_cb_ = nullptr;
  HWND spin_edit_ = nullptr;
  HWND spin_arrows_ = nullptr;
  HWND mute_check_ = nullptr;
  HWND mouse_move_check_ = nullptr;
  HWND mouse_press_check_ = nullptr;
  HWND keyboard_check_ = nullptr;
  HWND show_cursor_check_ = nullptr;
  HWND esc_key_check_ = nullptr;
  HWND memo1_ = nullptr;
  HWND btn_ok_ = nullptr;
  HWND button1_ = nullptr;
  std::unique_ptr<Label> text_marvex_;
  std::unique_ptr<Label> text_website_;

  COLORREF custom_colour_ = 0;
  COLORREF colour_value_ = 0;
  int colour_index_ = 0;
  COLORREF chosen_custom_colours_[16] = {};
  int next_id_ = kIdFirstControl;
};

HWND DistributeConfigForm::MakeControl(const char* class_name, const char* text, DWORD style, int x,
                                       int y, int width, int height, HWND parent, HFONT font,
                                       DWORD ex_style) {
  const int id = (style & WS_CHILD) ? next_id_++ : 0;
  HWND control = ::CreateWindowExA(ex_style, class_name, text, style, x, y, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleA(nullptr), nullptr);
  if (control) {
    ::SendMessageA(control, WM_SETFONT,
                   reinterpret_cast<WPARAM>(font ? font : static_cast<HFONT>(font_.get())), FALSE);
  }
  return control;
}

HWND DistributeConfigForm::MakeCheck(const char* text, int x, int y, HWND parent, bool radio,
                                     bool first) {
  // Sized to the caption, as the check boxes of the design are.
  HDC dc = ::GetDC(hwnd());
  HGDIOBJ old = ::SelectObject(dc, font_.get());
  RECT r{0, 0, 0, 0};
  ::DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd(), dc);
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS |
                (radio ? BS_AUTORADIOBUTTON : BS_AUTOCHECKBOX);
  if (first) style |= WS_GROUP;
  HWND button = MakeControl("BUTTON", text, style, x, y, r.right + 24, 17, parent);
  AddFlatBorder(button, kFlatBorder, radio ? FlatPart::kRadioMark : FlatPart::kCheckMark);
  return button;
}

std::unique_ptr<Label> DistributeConfigForm::MakeLabel(HWND parent, int x, int y,
                                                       const std::string& text, HFONT font,
                                                       COLORREF colour) {
  Label::Style style;
  style.font = font ? font : static_cast<HFONT>(font_.get());
  style.color = colour;
  return Label::Create(parent, x, y, 0, 0, text, style);
}

bool DistributeConfigForm::Create() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  font_ = MakeFont("MS Sans Serif", FontHeightForPoints(8));
  link_font_ = MakeFont("MS Sans Serif", FontHeightForPoints(9), false, true);
  title_font_ = MakeFont("Comic Sans MS", FontHeightForPoints(14));

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT outer{0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  WindowParams p;
  p.class_name = "TDistributeConfigForm";
  p.caption = "Flash Saver Setting";
  p.style = style;
  p.ex_style = ex_style;
  p.width = width;
  p.height = height;
  p.x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  p.y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  if (!CreateWindowFromParams(p)) return false;

  tooltip_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
  // The tab order follows creation: the pages' controls, then OK and Cancel.
  CreatePages();
  CreateButtons();
  CreateHeader();
  return author_label_ && website_label_ && title_label_ && banner_image_ && page_control_ &&
         btn_ok_ && button1_;
}

void DistributeConfigForm::CreateHeader() {
  author_label_ = MakeLabel(hwnd(), kLinkRightEdge, 36, "AuthorLabel");
  website_label_ = MakeLabel(hwnd(), kLinkRightEdge, 51, "WebsiteLabel",
                             static_cast<HFONT>(link_font_.get()), kLinkColour);
  title_label_ = MakeLabel(hwnd(), 28, 24, "title_label", static_cast<HFONT>(title_font_.get()),
                           ::GetSysColor(COLOR_WINDOWTEXT));
  if (!author_label_ || !website_label_ || !title_label_) return;
  website_label_->SetHandCursor(true);
  website_label_->SetClick([this] { _TextWebsiteClick(website_label_->hwnd()); });
  banner_image_ = PictureBox::Create(hwnd(), 18, 14, 468, 60);
  if (!banner_image_) return;
  // The labels lie above the banner unless the settings bring it to the front.
  ::SetWindowPos(banner_image_->hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  banner_image_->SetClick([this] { BannerImageClick(); });
}

void DistributeConfigForm::CreatePages() {
  page_control_ = MakeControl(
      WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
      17, 85, 468, 220, hwnd());
  if (!page_control_) return;
  SetVisibleTabs({kOptionsPage, kExitPage, kReadmePage});
  // The pages' area of the design: 460 x 192 below the tabs.
  const RECT area{4, 24, 4 + 460, 24 + 192};
  const char* sheet_names[kPageCount] = {"TabSheet1", "TabSheet4", "TabSheet2"};
  const char* panel_names[kPageCount] = {"Panel4", "Panel1", "Panel2"};
  for (int page = 0; page < kPageCount; ++page) {
    PageWindows& windows = pages_[page];
    windows.sheet = Container::Create("TTabSheet", page_control_, hwnd(), area.left, area.top,
                                      area.right - area.left, area.bottom - area.top,
                                      Container::Look::kPlain, sheet_names[page]);
    if (!windows.sheet) continue;
    windows.panel = Container::Create("TPanel", windows.sheet->hwnd(), hwnd(), 0, 0,
                                      area.right - area.left, area.bottom - area.top,
                                      Container::Look::kLoweredPanel, panel_names[page]);
    if (!windows.panel) continue;
    if (page == kOptionsPage) CreateOptionsPage(windows.panel->hwnd());
    if (page == kExitPage) CreateExitPage(windows.panel->hwnd());
    if (page == kReadmePage) CreateReadmePage(windows.panel->hwnd());
  }
  SetActivePage(kOptionsPage);
}

void DistributeConfigForm::CreateOptionsPage(HWND panel) {
  HFONT font = static_cast<HFONT>(font_.get());
  play_group_ = Container::Create("TFlatGroupBox", panel, hwnd(), 20, 15, 161, 110,
                                  Container::Look::kFlatGroup, "Play Sequence", font);
  if (play_group_) {
    HWND group = play_group_->hwnd();
    normalize_radio_ = MakeCheck("In Order", 15, 25, group, true, true);
    shuffle_radio_ = MakeCheck("Shuffle", 15, 50, group, true);
    intelli_radio_ = MakeCheck("Intelligent Random", 15, 75, group, true);
    SetTooltip(intelli_radio_, "Play all in random order");
  }
  flash_group_ = Container::Create("TFlatGroupBox", panel, hwnd(), 198, 15, 241, 110,
                                   Container::Look::kFlatGroup, "Flash Options", font);
  if (flash_group_) {
    HWND group = flash_group_->hwnd();
    labels_.push_back(MakeLabel(group, 24, 24, "Flash Size:"));
    labels_.push_back(MakeLabel(group, 24, 51, "Flash Quality:"));
    labels_.push_back(MakeLabel(group, 24, 78, "Background Color:"));
    const DWORD list_style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS | CBS_DROPDOWNLIST;
    size_cb_ = MakeControl("COMBOBOX", "", list_style, 124, 20, 95, 120, group);
    for (const char* item : {"Fullscreen", "Extact Fit", "Original"}) {
      ::SendMessageA(size_cb_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    quality_cb_ = MakeControl("COMBOBOX", "", list_style, 124, 47, 95, 120, group);
    for (const char* item : {"Low", "High", "Auto Low", "Auto High"}) {
      ::SendMessageA(quality_cb_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    colour_cb_ = MakeControl("COMBOBOX", "", list_style | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 124,
                             74, 95, 260, group);
    for (const NamedColour& colour : kColours) {
      const LRESULT index =
          ::SendMessageA(colour_cb_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(colour.name));
      ::SendMessageA(colour_cb_, CB_SETITEMDATA, index, colour.colour);
    }
    ::SendMessageA(colour_cb_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Custom"));
    ::SendMessageA(colour_cb_, CB_SETITEMDATA, kCustomColourIndex, custom_colour_);
    ::SendMessageA(colour_cb_, CB_SETCURSEL, 0, 0);
    colour_value_ = kColours[0].colour;
    colour_index_ = 0;
    AddFlatBorder(size_cb_, kListBorder, FlatPart::kWhole);
    AddFlatBorder(quality_cb_, kListBorder, FlatPart::kWhole);
    AddFlatBorder(colour_cb_, kFlatBorder, FlatPart::kWhole);
  }
  flash_label_ = MakeLabel(panel, 84, 144, "Max download waiting time (for web flash):");
  spin_ = Container::Create("TSpinEdit", panel, hwnd(), 292, 141, 49, 20,
                            Container::Look::kFlatFrame, "", font);
  if (spin_) {
    const int arrows = 15;
    spin_edit_ =
        MakeControl("EDIT", "20", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER,
                    2, 2, 49 - 3 - arrows, 16, spin_->hwnd());
    spin_arrows_ =
        MakeControl(UPDOWN_CLASSA, "",
                    WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                    49 - 1 - arrows, 1, arrows, 18, spin_->hwnd());
    ::SendMessageA(spin_arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(spin_edit_), 0);
    ::SendMessageA(spin_arrows_, UDM_SETRANGE32, 1, 10000);
    ::SendMessageA(spin_arrows_, UDM_SETPOS32, 0, 20);
    ::SetWindowTextA(spin_edit_, "20");
    ::SendMessageA(spin_edit_, EM_LIMITTEXT, 5, 0);
  }
  mute_check_ = MakeCheck("Mute Sound", 354, 143, panel, false, true);
  if (flash_label_) ::ShowWindow(flash_label_->hwnd(), SW_HIDE);
  if (spin_) ::ShowWindow(spin_->hwnd(), SW_HIDE);
}

void DistributeConfigForm::CreateExitPage(HWND panel) {
  exit_group_ = Container::Create("TFlatGroupBox", panel, hwnd(), 20, 15, 255, 96,
                                  Container::Look::kFlatGroup, "Saver Exit Conditions",
                                  static_cast<HFONT>(font_.get()));
  if (exit_group_) {
    HWND group = exit_group_->hwnd();
    mouse_move_check_ = MakeCheck("Mouse Move Event", 20, 21, group, false, true);
    mouse_press_check_ = MakeCheck("Mouse Button Press", 20, 45, group, false);
    keyboard_check_ = MakeCheck("Keyboard Button Press", 20, 69, group, false);
  }
  show_cursor_check_ =
      MakeCheck("Show mouse cursor && Ignore mouse events", 32, 121, panel, false, true);
  esc_key_check_ = MakeCheck("Exit only when press ESC key ", 32, 145, panel, false);
}

void DistributeConfigForm::CreateReadmePage(HWND panel) {
  RECT r;
  ::GetClientRect(panel, &r);
  memo1_ = MakeControl("EDIT", "",
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                           ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN,
                       3, 3, r.right - 6, r.bottom - 6, panel);
}

void DistributeConfigForm::CreateButtons() {
  btn_ok_ = MakeControl("BUTTON", "&OK",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON | BS_NOTIFY, 319, 315,
                        73, 25, hwnd());
  ::SetWindowLongPtrA(btn_ok_, GWLP_ID, kIdOk);
  button1_ = MakeControl("BUTTON", "&Cancel",
                         WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 401, 315,
                         73, 25, hwnd());
  ::SetWindowLongPtrA(button1_, GWLP_ID, kIdCancel);
  text_marvex_ = MakeLabel(hwnd(), 30, 322, "- Powered by", nullptr, kGrey);
  text_website_ =
      MakeLabel(hwnd(), 95, 322, kMakerHomePage, static_cast<HFONT>(link_font_.get()), kGrey);
  if (text_website_) {
    text_website_->SetHandCursor(true);
    text_website_->SetClick([this] { _TextWebsiteClick(text_website_->hwnd()); });
    SetTooltip(text_website_->hwnd(), kMakerHomePage);
    // Where the font runs wider than designed, the link stays readable over the line before it.
    ::SetWindowPos(text_website_->hwnd(), HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void DistributeConfigForm::SetTooltip(HWND tool, const std::string& text) {
  if (!tool) return;
  const bool known = tips_.count(tool) != 0;
  tips_[tool] = text;
  if (!tooltip_) return;
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = hwnd();
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = tips_[tool].data();
  ::SendMessageA(tooltip_, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0,
                 reinterpret_cast<LPARAM>(&info));
}

void DistributeConfigForm::SetVisibleTabs(const std::vector<int>& pages) {
  TabCtrl_DeleteAllItems(page_control_);
  tab_pages_ = pages;
  for (size_t i = 0; i < pages.size(); ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(kPageCaptions[pages[i]]);
    ::SendMessageA(page_control_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
}

void DistributeConfigForm::SetActivePage(int page) {
  active_page_ = page;
  const auto tab = std::find(tab_pages_.begin(), tab_pages_.end(), page);
  TabCtrl_SetCurSel(page_control_, tab == tab_pages_.end() ? -1 : tab - tab_pages_.begin());
  for (int i = 0; i < kPageCount; ++i) {
    if (pages_[i].sheet) ::ShowWindow(pages_[i].sheet->hwnd(), i == page ? SW_SHOW : SW_HIDE);
  }
}

void DistributeConfigForm::SetColourValue(COLORREF colour) {
  const int count = static_cast<int>(::SendMessageA(colour_cb_, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (static_cast<COLORREF>(::SendMessageA(colour_cb_, CB_GETITEMDATA, i, 0)) == colour) {
      ::SendMessageA(colour_cb_, CB_SETCURSEL, i, 0);
      colour_index_ = i;
      colour_value_ = colour;
      return;
    }
  }
}

void DistributeConfigForm::FlashColorCbChange() {
  const int index = static_cast<int>(::SendMessageA(colour_cb_, CB_GETCURSEL, 0, 0));
  if (index < 0) return;
  if (index != kCustomColourIndex) {
    colour_index_ = index;
    colour_value_ = static_cast<COLORREF>(::SendMessageA(colour_cb_, CB_GETITEMDATA, index, 0));
    return;
  }
  CHOOSECOLORA choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = hwnd();
  choose.rgbResult = colour_value_;
  choose.lpCustColors = chosen_custom_colours_;
  choose.Flags = CC_RGBINIT | CC_ANYCOLOR;
  if (::ChooseColorA(&choose)) {
    custom_colour_ = choose.rgbResult & 0xFFFFFF;
    ::SendMessageA(colour_cb_, CB_SETITEMDATA, kCustomColourIndex, custom_colour_);
    colour_value_ = custom_colour_;
    colour_index_ = kCustomColourIndex;
    ::InvalidateRect(colour_cb_, nullptr, TRUE);
  } else {
    // The value stays, and so does the item that shows it.
    ::SendMessageA(colour_cb_, CB_SETCURSEL, colour_index_, 0);
  }
}

void DistributeConfigForm::DrawColourItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID == static_cast<UINT>(-1)) return;
  const COLORREF colour = static_cast<COLORREF>(item.itemData);
  const int box_top = r.top + (r.bottom - r.top - 12) / 2;
  RECT box{r.left + 2, box_top, r.left + 2 + 12, box_top + 12};
  HBRUSH fill = ::CreateSolidBrush(colour);
  ::FillRect(dc, &box, fill);
  ::DeleteObject(fill);
  ::FrameRect(dc, &box, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  char name[64] = {};
  ::SendMessageA(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(name));
  RECT text = r;
  text.left = box.right + 4;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  ::DrawTextA(dc, name, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &r);
}

void DistributeConfigForm::PaintBackground(HDC dc) {
  RECT client;
  ::GetClientRect(hwnd(), &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  HBRUSH frame = ::CreateSolidBrush(kShapeBorder);
  RECT shape{18, 14, 18 + 468, 14 + 60};
  ::FrameRect(dc, &shape, frame);
  ::DeleteObject(frame);
  if (banner_image_) banner_image_->DrawInParent(dc);
}

// A focused push button is the one Enter presses; elsewhere OK is.
void DistributeConfigForm::UpdateDefaultButton(HWND focused) {
  const bool cancel_focused = focused == button1_;
  ::SendMessageA(btn_ok_, BM_SETSTYLE, cancel_focused ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON, TRUE);
  ::SendMessageA(button1_, BM_SETSTYLE, cancel_focused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void DistributeConfigForm::FormShow() {
  const SettingsRecord& s = SaverSettings;
  // 1, 2, 3: page, header texts, caption.
  SetActivePage(kOptionsPage);
  author_label_->SetText(s.Author);
  website_label_->SetText(s.Website);
  ::SetWindowTextA(hwnd(), (WindowText(hwnd()) + " - " + s.ScrName).c_str());
  title_label_->SetText(s.ScrName);

  // 4, 5: the readme, in the window's font.
  std::string readme;
  if (!PackageFound) {
    ReadTextFile(InstallFolder + "readme.txt", readme);
  } else {
    std::string item = "readme.txt";
    if (ResolveMediaItem(item)) ReadTextFile(item, readme);
  }
  ::SetWindowTextA(memo1_, readme.c_str());
  ::SendMessageA(memo1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);

  // 6: controls from the fields.
  SetChecked(normalize_radio_, s.FlashSequence == 0);
  SetChecked(shuffle_radio_, s.FlashSequence == 1);
  SetChecked(intelli_radio_, s.FlashSequence == 2);
  ::SendMessageA(size_cb_, CB_SETCURSEL, s.FlashSize >= 0 && s.FlashSize <= 2 ? s.FlashSize : -1,
                 0);
  ::SendMessageA(quality_cb_, CB_SETCURSEL,
                 s.FlashQuality >= 0 && s.FlashQuality <= 3 ? s.FlashQuality : -1, 0);
  SetColourValue(static_cast<COLORREF>(s.FlashColor));
  const int32_t download_time = ClampDownloadTime(s.FlashDownloadTime);
  ::SendMessageA(spin_arrows_, UDM_SETPOS32, 0, download_time);
  ::SetWindowTextA(spin_edit_, std::to_string(download_time).c_str());
  SetChecked(mute_check_, s.FlashMute);
  SetChecked(mouse_move_check_, s.MouseMove);
  SetChecked(mouse_press_check_, s.MousePress);
  SetChecked(keyboard_check_, s.KeyboardPress);
  SetChecked(show_cursor_check_, s.ShowCursor);
  SetChecked(esc_key_check_, s.OnlyEscKeyExit);

  // 7, 8.
  ShowCursorCheckClick();
  const bool powered_by = !s.HideMarvexText && !s.resell;
  ::ShowWindow(text_marvex_->hwnd(), powered_by ? SW_SHOW : SW_HIDE);
  ::ShowWindow(text_website_->hwnd(), powered_by ? SW_SHOW : SW_HIDE);

  // 9: only the readme, or nothing at all.
  if (s.NoUserSetting) {
    if (::GetWindowTextLengthA(memo1_) > 0) {
      SetVisibleTabs({kReadmePage});
    } else {
      SetVisibleTabs({});
    }
    SetActivePage(kReadmePage);
  }

  // 10, 11: tooltips; the web address shows without its "http://".
  if (tooltip_) ::SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(100, 0));
  const std::string website_caption = WindowText(website_label_->hwnd());
  SetTooltip(website_label_->hwnd(), website_caption);
  website_label_->SetText(ShownWebsite(website_caption));

  // 12, 13, 14: the e-mail address.
  if (!s.ScrEmail.empty() && !s.Website.empty()) {
    // The link's whole look, its colour with its font.
    author_label_->SetFont(website_label_->font());
    author_label_->SetColor(website_label_->color());
    author_label_->SetHandCursor(website_label_->hand_cursor());
    author_label_->SetClick([this] { _TextWebsiteClick(author_label_->hwnd()); });
    SetTooltip(author_label_->hwnd(), "mailto:" + s.ScrEmail);
  } else if (!s.ScrEmail.empty()) {
    SetTooltip(website_label_->hwnd(), "mailto:" + s.ScrEmail);
    website_label_->SetText(s.ScrEmail);
  } else if (s.Website.empty()) {
    const RECT author = author_label_->RectInParent();
    author_label_->MoveTo(author.left, 51);
  }

  // 15: the download time matters only for movies from the web.
  const bool web_movies = ListMentionsWeb(FlashList);
  ::ShowWindow(flash_label_->hwnd(), web_movies ? SW_SHOW : SW_HIDE);
  ::ShowWindow(spin_->hwnd(), web_movies ? SW_SHOW : SW_HIDE);

  // 16: the banner.
  if (ResolveMediaItem(SaverSettings.Build_BannerImage)) {
    if (!s.Build_UseBanner) {
      ::ShowWindow(banner_image_->hwnd(), SW_HIDE);
    } else {
      std::unique_ptr<Picture> picture = LoadPictureFile(s.Build_BannerImage);
      if (!picture) {
        ::ShowWindow(banner_image_->hwnd(), SW_HIDE);
      } else {
        banner_image_->SetPicture(std::move(picture));
        if (s.Build_HideTitle) {
          ::SetWindowPos(banner_image_->hwnd(), HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        SetTooltip(banner_image_->hwnd(), s.Build_BannerTips);
        ::ShowWindow(banner_image_->hwnd(), SW_SHOW);
        if (!s.Build_BannerURL.empty()) banner_image_->SetHandCursor(true);
      }
    }
  }

  // 17: the links end at the right edge.
  const RECT website = website_label_->RectInParent();
  website_label_->MoveTo(kLinkRightEdge - (website.right - website.left), website.top);
  const RECT author = author_label_->RectInParent();
  author_label_->MoveTo(kLinkRightEdge - (author.right - author.left), author.top);
}

void DistributeConfigForm::ShowCursorCheckClick() {
  // The marks stay as they are: a disabled box keeps its mark, and OK stores it.
  const bool enabled = !Checked(show_cursor_check_) && !Checked(esc_key_check_);
  for (HWND box : {mouse_move_check_, mouse_press_check_, keyboard_check_}) {
    ::EnableWindow(box, enabled ? TRUE : FALSE);
  }
}

void DistributeConfigForm::_BtnOKClick() {
  SettingsRecord& s = SaverSettings;
  s.MouseMove = Checked(mouse_move_check_);
  s.MousePress = Checked(mouse_press_check_);
  s.KeyboardPress = Checked(keyboard_check_);
  s.ShowCursor = Checked(show_cursor_check_);
  s.OnlyEscKeyExit = Checked(esc_key_check_);
  s.FlashSequence = Checked(normalize_radio_) ? 0 : Checked(shuffle_radio_) ? 1 : 2;
  s.FlashSize = static_cast<int32_t>(::SendMessageA(size_cb_, CB_GETCURSEL, 0, 0));
  s.FlashQuality = static_cast<int32_t>(::SendMessageA(quality_cb_, CB_GETCURSEL, 0, 0));
  s.FlashColor = static_cast<int32_t>(colour_value_);
  s.FlashDownloadTime = DownloadTimeFromText(WindowText(spin_edit_));
  s.FlashMute = Checked(mute_check_);
  SaveSettingsFile();
  // A failed registry write escapes to the error report; the dialog then stays open.
  if (PackageFound) SaveUserOverrides();
  ::DestroyWindow(hwnd());
}

void DistributeConfigForm::_TextWebsiteClick(HWND label) {
  const auto tip = tips_.find(label);
  if (tip != tips_.end()) OpenWithShell(tip->second);
}

void DistributeConfigForm::BannerImageClick() {
  const std::string address = BannerAddress(SaverSettings.Build_BannerURL);
  if (!address.empty()) OpenWithShell(address);
}

LRESULT DistributeConfigForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      const HWND control = reinterpret_cast<HWND>(lparam);
      const UINT code = HIWORD(wparam);
      const UINT id = LOWORD(wparam);
      if (id == kIdOk && (code == BN_CLICKED || !control)) {
        _BtnOKClick();
      } else if (id == kIdCancel && (code == BN_CLICKED || !control)) {
        Button1Click();
      } else if (code == BN_SETFOCUS && (control == btn_ok_ || control == button1_)) {
        UpdateDefaultButton(control);
      } else if (code == BN_KILLFOCUS && control == button1_) {
        UpdateDefaultButton(nullptr);
      } else if (code == BN_CLICKED &&
                 (control == mouse_move_check_ || control == mouse_press_check_ ||
                  control == keyboard_check_ || control == show_cursor_check_ ||
                  control == esc_key_check_)) {
        ShowCursorCheckClick();
      } else if (code == CBN_SELCHANGE && control == colour_cb_) {
        FlashColorCbChange();
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom == page_control_ && header->code == TCN_SELCHANGE) {
        const int tab = TabCtrl_GetCurSel(page_control_);
        if (tab >= 0 && tab < static_cast<int>(tab_pages_.size())) SetActivePage(tab_pages_[tab]);
      }
      return 0;
    }
    case DM_GETDEFID:
      return MAKELRESULT(::GetFocus() == button1_ ? kIdCancel : kIdOk, DC_HASDEFID);
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      item->itemHeight = item->itemID == static_cast<UINT>(-1) ? 15 : 14;
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->hwndItem == colour_cb_) {
        DrawColourItem(*item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lparam) == memo1_) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      PaintBackground(dc);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintBackground(reinterpret_cast<HDC>(wparam));
      return 0;
    default:
      break;
  }
  return DefaultHandling(message, wparam, lparam);
}

}  // namespace

std::unique_ptr<Window> CreateConfigForm() {
  auto form = std::make_unique<DistributeConfigForm>();
  if (!form->Create()) throw WindowCreationError("TDistributeConfigForm", form->creation_error());
  return form;
}

}  // namespace flashsaver
