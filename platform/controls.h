// Child controls of the program's windows that the system's classes do not offer in the form
// the windows need: labels and pictures that let their parent show through, and containers
// (pages, panels, group boxes) that pass their controls' notifications on to the window that
// handles them. Each registers its own class name so that other programs can find it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/picture.h"
#include "platform/unique_handle.h"
#include "platform/window.h"

namespace flashsaver {

// "MS Sans Serif" 8 points is height -11; points convert at the screen's 96 pixels per inch.
UniqueGdiObject MakeFont(const char* face, int height, bool bold = false, bool underline = false);
int FontHeightForPoints(int points);

// Paints what lies behind a transparent control: asks the parent to draw its client area into
// dc, shifted so that the control's own origin is (0, 0).
void PaintParentBehind(HWND control, HDC dc);

// A text label. Without a fixed size it sizes itself to its text.
class Label : public Window {
 public:
  struct Style {
    HFONT font = nullptr;
    COLORREF color = RGB(0, 0, 0);
    bool right_aligned = false;
    bool word_wrap = false;
    bool auto_size = true;
    bool transparent = true;
    COLORREF background = RGB(0, 0, 0);  // when not transparent
    bool hand_cursor = false;
  };
  // With auto_size the width and height are computed from the text.
  static std::unique_ptr<Label> Create(HWND parent, int x, int y, int width, int height,
                                       const std::string& text, const Style& style);

  void SetText(const std::string& text);
  void SetFont(HFONT font);
  void SetColor(COLORREF color);
  void SetHandCursor(bool hand) { style_.hand_cursor = hand; }
  HFONT font() const { return style_.font; }
  COLORREF color() const { return style_.color; }
  bool hand_cursor() const { return style_.hand_cursor; }
  void SetClick(std::function<void()> click) { click_ = std::move(click); }
  RECT RectInParent() const;
  void MoveTo(int x, int y);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FitToText();

  Style style_;
  std::function<void()> click_;
};

// A picture stretched over the control; without a picture its parent shows through.
class PictureBox : public Window {
 public:
  static std::unique_ptr<PictureBox> Create(HWND parent, int x, int y, int width, int height);

  void SetPicture(std::unique_ptr<Picture> picture);
  bool has_picture() const { return picture_ != nullptr; }
  // Draws the picture over the control's own place in the parent's coordinates (for controls
  // above it that let it show through).
  void DrawInParent(HDC dc) const;
  void SetHandCursor(bool hand) { hand_cursor_ = hand; }
  void SetClick(std::function<void()> click) { click_ = std::move(click); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  std::unique_ptr<Picture> picture_;
  bool hand_cursor_ = false;
  std::function<void()> click_;
};

// Pages, panels, group boxes and flat frames around other controls.
class Container : public Window {
 public:
  enum class Look {
    kPlain,
    kLoweredPanel,  // raised outer bevel, a border of 2, lowered inner bevel
    kFlatGroup,     // one-pixel frame with the caption in its top edge
    kFlatFrame,     // one-pixel frame only
  };
  // notify receives the notifications (commands, colours, owner drawing) of the controls inside.
  static std::unique_ptr<Container> Create(const char* class_name, HWND parent, HWND notify, int x,
                                           int y, int width, int height, Look look,
                                           const std::string& caption = std::string(),
                                           HFONT font = nullptr,
                                           COLORREF frame = RGB(143, 143, 143));

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint(HDC dc);

  HWND notify_ = nullptr;
  Look look_ = Look::kPlain;
  HFONT font_ = nullptr;
  COLORREF frame_ = 0;
};

// Draws a one-pixel frame over a control of the system's after it painted itself, for the flat
// look: around the whole control, or around the mark of a check box or radio button.
enum class FlatPart { kWhole, kCheckMark, kRadioMark };
void AddFlatBorder(HWND control, COLORREF colour, FlatPart part);

}  // namespace flashsaver
