#include "platform/controls.h"

#include <commctrl.h>

#include <utility>

namespace flashsaver {
namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

WindowParams ChildParams(const char* class_name, HWND parent, int x, int y, int width, int height) {
  WindowParams p;
  p.class_name = class_name;
  p.style = kChildStyle;
  p.parent = parent;
  p.x = x;
  p.y = y;
  p.width = width;
  p.height = height;
  p.background = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
  return p;
}

bool HandCursorMessage(UINT message, LPARAM lparam, bool hand) {
  if (message != WM_SETCURSOR || !hand || LOWORD(lparam) != HTCLIENT) return false;
  ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
  return true;
}

}  // namespace

int FontHeightForPoints(int points) { return -::MulDiv(points, 96, 72); }

UniqueGdiObject MakeFont(const char* face, int height, bool bold, bool underline) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  return UniqueGdiObject(::CreateFontIndirectA(&lf));
}

void PaintParentBehind(HWND control, HDC dc) {
  HWND parent = ::GetParent(control);
  if (!parent) return;
  POINT origin{0, 0};
  ::MapWindowPoints(control, parent, &origin, 1);
  POINT old{};
  ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
  ::SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

// ---- Label

std::unique_ptr<Label> Label::Create(HWND parent, int x, int y, int width, int height,
                                     const std::string& text, const Style& style) {
  auto label = std::make_unique<Label>();
  label->style_ = style;
  WindowParams p = ChildParams("TLabel", parent, x, y, width, height);
  p.caption = text.c_str();
  if (!label->CreateWindowFromParams(p)) return nullptr;
  if (style.auto_size) label->FitToText();
  return label;
}

void Label::FitToText() {
  HDC dc = ::GetDC(hwnd());
  HGDIOBJ old = ::SelectObject(dc, style_.font ? style_.font : ::GetStockObject(DEFAULT_GUI_FONT));
  char text[1024] = {};
  ::GetWindowTextA(hwnd(), text, sizeof(text));
  RECT r{0, 0, 0, 0};
  if (text[0]) {
    ::DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
  } else {
    TEXTMETRICA tm{};
    ::GetTextMetricsA(dc, &tm);
    r.bottom = tm.tmHeight;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd(), dc);
  ::SetWindowPos(hwnd(), nullptr, 0, 0, r.right, r.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::SetText(const std::string& text) {
  ::SetWindowTextA(hwnd(), text.c_str());
  if (style_.auto_size) FitToText();
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void Label::SetFont(HFONT font) {
  style_.font = font;
  if (style_.auto_size) FitToText();
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void Label::SetColor(COLORREF color) {
  style_.color = color;
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

RECT Label::RectInParent() const {
  RECT r{};
  ::GetWindowRect(hwnd(), &r);
  ::MapWindowPoints(nullptr, ::GetParent(hwnd()), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Label::MoveTo(int x, int y) {
  ::SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Label::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (HandCursorMessage(message, lparam, style_.hand_cursor)) return TRUE;
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      RECT client;
      ::GetClientRect(hwnd(), &client);
      if (style_.transparent) {
        PaintParentBehind(hwnd(), dc);
      } else {
        HBRUSH brush = ::CreateSolidBrush(style_.background);
        ::FillRect(dc, &client, brush);
        ::DeleteObject(brush);
      }
      char text[1024] = {};
      ::GetWindowTextA(hwnd(), text, sizeof(text));
      HGDIOBJ old =
          ::SelectObject(dc, style_.font ? style_.font : ::GetStockObject(DEFAULT_GUI_FONT));
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, style_.color);
      UINT format = style_.right_aligned ? DT_RIGHT : DT_LEFT;
      format |= style_.word_wrap ? DT_WORDBREAK : DT_SINGLELINE;
      ::DrawTextA(dc, text, -1, &client, format);
      ::SelectObject(dc, old);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_LBUTTONUP:
      if (click_) click_();
      return 0;
    case WM_SETTEXT: {
      const LRESULT result = DefaultHandling(message, wparam, lparam);
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      return result;
    }
    default:
      return DefaultHandling(message, wparam, lparam);
  }
}

// ---- PictureBox

std::unique_ptr<PictureBox> PictureBox::Create(HWND parent, int x, int y, int width, int height) {
  auto box = std::make_unique<PictureBox>();
  if (!box->CreateWindowFromParams(ChildParams("TImage", parent, x, y, width, height))) {
    return nullptr;
  }
  return box;
}

void PictureBox::SetPicture(std::unique_ptr<Picture> picture) {
  picture_ = std::move(picture);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void PictureBox::DrawInParent(HDC dc) const {
  if (!picture_ || !::IsWindowVisible(hwnd())) return;
  RECT r;
  ::GetWindowRect(hwnd(), &r);
  ::MapWindowPoints(nullptr, ::GetParent(hwnd()), reinterpret_cast<POINT*>(&r), 2);
  picture_->Draw(dc, r);
}

LRESULT PictureBox::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (HandCursorMessage(message, lparam, hand_cursor_)) return TRUE;
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      RECT client;
      ::GetClientRect(hwnd(), &client);
      if (picture_) {
        picture_->Draw(dc, client);
      } else {
        PaintParentBehind(hwnd(), dc);
      }
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_LBUTTONUP:
      if (click_) click_();
      return 0;
    default:
      return DefaultHandling(message, wparam, lparam);
  }
}

// ---- Container

std::unique_ptr<Container> Container::Create(const char* class_name, HWND parent, HWND notify,
                                             int x, int y, int width, int height, Look look,
                                             const std::string& caption, HFONT font,
                                             COLORREF frame) {
  auto container = std::make_unique<Container>();
  container->notify_ = notify;
  container->look_ = look;
  container->font_ = font;
  container->frame_ = frame;
  WindowParams p = ChildParams(class_name, parent, x, y, width, height);
  p.caption = caption.c_str();
  p.ex_style = WS_EX_CONTROLPARENT;
  p.style |= WS_CLIPCHILDREN;
  p.background = nullptr;
  if (!container->CreateWindowFromParams(p)) return nullptr;
  return container;
}

void Container::Paint(HDC dc) {
  RECT r;
  ::GetClientRect(hwnd(), &r);
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  switch (look_) {
    case Look::kPlain:
      break;
    case Look::kLoweredPanel: {
      ::DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_RECT);
      RECT inner = r;
      ::InflateRect(&inner, -3, -3);
      ::DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT);
      break;
    }
    case Look::kFlatGroup:
    case Look::kFlatFrame: {
      HGDIOBJ old_font = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
      TEXTMETRICA tm{};
      ::GetTextMetricsA(dc, &tm);
      RECT frame = r;
      if (look_ == Look::kFlatGroup) frame.top += tm.tmHeight / 2;
      HBRUSH brush = ::CreateSolidBrush(frame_);
      ::FrameRect(dc, &frame, brush);
      ::DeleteObject(brush);
      char text[256] = {};
      ::GetWindowTextA(hwnd(), text, sizeof(text));
      if (look_ == Look::kFlatGroup && text[0]) {
        RECT t{8, 0, r.right - 8, tm.tmHeight};
        ::DrawTextA(dc, text, -1, &t, DT_CALCRECT | DT_SINGLELINE);
        ::SetBkMode(dc, OPAQUE);
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::DrawTextA(dc, text, -1, &t, DT_SINGLELINE);
      }
      ::SelectObject(dc, old_font);
      break;
    }
  }
}

LRESULT Container::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      Paint(dc);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (notify_) return ::SendMessageA(notify_, message, wparam, lparam);
      return DefaultHandling(message, wparam, lparam);
    default:
      return DefaultHandling(message, wparam, lparam);
  }
}

// ---- Flat borders

namespace {

struct FlatBorder {
  COLORREF colour;
  FlatPart part;
};

LRESULT CALLBACK FlatBorderProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                DWORD_PTR data) {
  auto* border = reinterpret_cast<FlatBorder*>(data);
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &FlatBorderProc, 1);
    delete border;
    return ::DefSubclassProc(hwnd, message, wparam, lparam);
  }
  const LRESULT result = ::DefSubclassProc(hwnd, message, wparam, lparam);
  const bool repainted = message == WM_PAINT || message == WM_ENABLE || message == BM_SETCHECK ||
                         message == BM_SETSTATE || message == WM_SETFOCUS ||
                         message == WM_KILLFOCUS || message == WM_LBUTTONUP ||
                         message == CB_SETCURSEL || message == WM_SETTEXT ||
                         message == WM_CAPTURECHANGED;
  if (repainted && ::IsWindowVisible(hwnd)) {
    HDC dc = ::GetDC(hwnd);
    RECT r;
    ::GetClientRect(hwnd, &r);
    HPEN pen = ::CreatePen(PS_SOLID, 1, border->colour);
    HGDIOBJ old_pen = ::SelectObject(dc, pen);
    HGDIOBJ old_brush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    const int mark = 13;
    const int top = (r.bottom - mark) / 2;
    switch (border->part) {
      case FlatPart::kWhole:
        ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
        break;
      case FlatPart::kCheckMark:
        ::Rectangle(dc, 0, top, mark, top + mark);
        break;
      case FlatPart::kRadioMark:
        ::Ellipse(dc, 0, top, mark - 1, top + mark - 1);
        break;
    }
    ::SelectObject(dc, old_brush);
    ::SelectObject(dc, old_pen);
    ::DeleteObject(pen);
    ::ReleaseDC(hwnd, dc);
  }
  return result;
}

}  // namespace

void AddFlatBorder(HWND control, COLORREF colour, FlatPart part) {
  auto* border = new FlatBorder{colour, part};
  if (!::SetWindowSubclass(control, &FlatBorderProc, 1, reinterpret_cast<DWORD_PTR>(border))) {
    delete border;
  }
}

}  // namespace flashsaver
