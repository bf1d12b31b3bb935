// The two preview windows of mode 4: the screen saver's name, or a still picture, inside a
// window of the display settings.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "package/media_lists.h"
#include "package/package_state.h"
#include "platform/controls.h"
#include "platform/picture.h"
#include "settings/saver_settings.h"
#include "startup/main_forms.h"
#include "startup/maker.h"
#include "startup/run_state.h"

namespace flashsaver {
namespace {

// The host is another program's window: it may go away without closing us.
constexpr UINT_PTR kHostWatchTimer = 1;
constexpr UINT kHostWatchMs = 250;

HWND HostWindow() { return reinterpret_cast<HWND>(static_cast<intptr_t>(ParamWindow)); }

struct FormDesign {
  const char* class_name;
  const char* caption;
  int left, top, width, height;
};

// Both previews: created inside the host when there is one, else top-level without a taskbar
// button; placed so that only the client area shows inside the host.
class PreviewForm : public Window {
 public:
  void ShowAsMain() override {
    FormShow();
    ::ShowWindow(hwnd(), SW_SHOW);
  }

 protected:
  bool CreateForm(const FormDesign& design) {
    default_font_ = MakeFont("MS Sans Serif", FontHeightForPoints(8));
    WindowParams p;
    p.class_name = design.class_name;
    p.caption = design.caption;
    p.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    p.x = design.left;
    p.y = design.top;
    p.width = design.width;
    p.height = design.height;
    p.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    HWND host = HostWindow();
    if (host) {
      p.style |= WS_CHILD;
      p.parent = host;
    } else {
      // An owned top-level window gets no taskbar button; the owner itself is never shown.
      WNDCLASSA wc{};
      wc.lpfnWndProc = ::DefWindowProcA;
      wc.hInstance = ::GetModuleHandleA(nullptr);
      wc.lpszClassName = "TApplication";
      ::RegisterClassA(&wc);
      taskbar_window_ = ::CreateWindowExA(0, "TApplication", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                          nullptr, ::GetModuleHandleA(nullptr), nullptr);
      p.parent = taskbar_window_;
    }
    if (!CreateWindowFromParams(p)) return false;
    if (host) {
      FormCreate();
      ::SetTimer(hwnd(), kHostWatchTimer, kHostWatchMs, nullptr);
    }
    return true;
  }

  ~PreviewForm() override {
    if (taskbar_window_) ::DestroyWindow(taskbar_window_);
  }

  virtual void FormShow() = 0;

  void HideTaskbarWindow() {
    if (taskbar_window_) ::ShowWindow(taskbar_window_, SW_HIDE);
  }

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_TIMER:
        if (wparam == kHostWatchTimer) {
          HWND host = ::GetParent(hwnd());
          if (!host || !::IsWindow(host)) ::DestroyWindow(hwnd());
          return 0;
        }
        break;
      case WM_PRINTCLIENT: {
        RECT r;
        ::GetClientRect(hwnd(), &r);
        ::FillRect(reinterpret_cast<HDC>(wparam), &r,
                   static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        return 0;
      }
      default:
        break;
    }
    return DefaultHandling(message, wparam, lparam);
  }

  HFONT default_font() const { return static_cast<HFONT>(default_font_.get()); }

 private:
  // The title bar and the frame lie above and left of the host's area, and the client area
  // reaches past the host's right and bottom edges, where the host clips it.
  void FormCreate() {
    RECT window_rect;
    RECT client_rect;
    ::GetWindowRect(hwnd(), &window_rect);
    ::GetClientRect(hwnd(), &client_rect);
    const int width = window_rect.right - window_rect.left;
    const int height = window_rect.bottom - window_rect.top;
    const int top = client_rect.bottom - height;
    const int left = client_rect.right - width;
    RECT host_rect{};
    ::GetWindowRect(HostWindow(), &host_rect);
    const int new_width = (host_rect.right - host_rect.left) - left + 10;
    const int new_height = (host_rect.bottom - host_rect.top) - top + 10;
    ::SetWindowPos(hwnd(), nullptr, left, top, new_width, new_height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }

  UniqueGdiObject default_font_;
  HWND taskbar_window_ = nullptr;
};

class OtherPreviewForm final : public PreviewForm {
 public:
  bool Create() {
    if (!CreateForm({"TOtherPreviewForm", "OtherPreviewForm", 360, 233, 517, 392})) return false;
    bold_font_ = MakeFont("MS Sans Serif", -11, true);
    Label::Style name_style;
    name_style.font = static_cast<HFONT>(bold_font_.get());
    name_style.color = RGB(255, 255, 255);
    name_style.word_wrap = true;
    name_style.auto_size = false;
    name_style.transparent = false;
    label1_ = Label::Create(hwnd(), 8, 12, 143, 79, "Label1", name_style);

    Label::Style link_style;
    link_style.font = default_font();
    link_style.color = RGB(216, 216, 216);
    link_style.auto_size = false;
    link_style.transparent = false;
    link_style.hand_cursor = true;
    label2_ = Label::Create(hwnd(), 36, 95, 113, 13, std::string("- Powered by ") + kMakerSiteName,
                            link_style);
    if (!label1_ || !label2_) return false;
    label2_->SetClick([] { Label2Click(); });
    AddTooltip(label2_->hwnd(), std::string("Visit ") + kMakerHomePage);
    return true;
  }

 protected:
  void FormShow() override {
    label1_->SetText(SaverName);
    const bool powered_by = !SaverSettings.resell && !SaverSettings.HideMarvexText;
    ::ShowWindow(label2_->hwnd(), powered_by ? SW_SHOW : SW_HIDE);
    HideTaskbarWindow();
  }

 private:
  static void Label2Click() {
    ::ShellExecuteA(nullptr, nullptr, kMakerHomePage, nullptr, nullptr, SW_SHOW);
  }

  void AddTooltip(HWND tool, const std::string& text) {
    tooltip_text_ = text;
    HWND tip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                                 nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!tip) return;
    TOOLINFOA info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = tooltip_text_.data();
    ::SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  }

  UniqueGdiObject bold_font_;
  std::unique_ptr<Label> label1_;
  std::unique_ptr<Label> label2_;
  std::string tooltip_text_;
};

class CommercePreviewForm final : public PreviewForm {
 public:
  bool Create() {
    if (!CreateForm({"TCommercePreviewForm", "CommercePreviewForm", 262, 129, 696, 480})) {
      return false;
    }
    image1_ = PictureBox::Create(hwnd(), 4, 4, 152, 112);
    bold_font_ = MakeFont("MS Sans Serif", -13, true);
    Label::Style name_style;
    name_style.font = static_cast<HFONT>(bold_font_.get());
    name_style.color = RGB(255, 255, 255);
    name_style.transparent = false;
    label1_ = Label::Create(hwnd(), 8, 8, 0, 0, "Label1", name_style);
    if (!image1_ || !label1_) return false;
    // The name lies above the picture's place, which shows black without a picture.
    ::SetWindowPos(label1_->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::ShowWindow(label1_->hwnd(), SW_HIDE);
    return true;
  }

 protected:
  void FormShow() override {
    HideTaskbarWindow();
    std::unique_ptr<Picture> picture = LoadPictureFile(SaverSettings.Build_StaticImage);
    if (picture) {
      image1_->SetPicture(std::move(picture));
    } else {
      label1_->SetText(SaverName);
      ::ShowWindow(label1_->hwnd(), SW_SHOW);
    }
  }

 private:
  UniqueGdiObject bold_font_;
  std::unique_ptr<PictureBox> image1_;
  std::unique_ptr<Label> label1_;
};

}  // namespace

bool ChoosePreviewForm() {
  if (!SaverSettings.Build_UseStaticPreview) return false;
  // The resolved path replaces the setting; the still-picture preview loads it from there.
  return ResolveMediaItem(SaverSettings.Build_StaticImage);
}

std::unique_ptr<Window> CreatePreviewForm(bool commerce) {
  if (commerce) {
    auto form = std::make_unique<CommercePreviewForm>();
    if (!form->Create()) throw WindowCreationError("TCommercePreviewForm", form->creation_error());
    return form;
  }
  auto form = std::make_unique<OtherPreviewForm>();
  if (!form->Create()) throw WindowCreationError("TOtherPreviewForm", form->creation_error());
  return form;
}

}  // namespace flashsaver
