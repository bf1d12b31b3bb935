// The players behind FlashControl for the show window: the system's Shockwave Flash ActiveX
// control hosted in an OLE container, or, where that class is not registered, the engine's
// built-in player. Windows only (window classes include this header).
#pragma once

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "show/flash_control.h"

namespace flashsaver {

// Class id of the system's Shockwave Flash ActiveX control.
inline constexpr char kFlashClassId[] = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";
// Window class of the built-in player's window. Its window text is the Movie last written.
inline constexpr char kBuiltInPlayerClass[] = "TFlashPlayerControl";

// A player could not be created, or a call into the hosted control failed (with its HRESULT).
class FlashPlayerError : public std::runtime_error {
 public:
  explicit FlashPlayerError(const std::string& what, long hresult = 0)
      : std::runtime_error(what), hresult_(hresult) {}
  long hresult() const { return hresult_; }

 private:
  long hresult_;
};

// Calls CoInitialize(NULL) on this thread (result ignored), then creates the ActiveX control of
// class kFlashClassId inside show_window; when that class is not registered, the built-in player.
// Either is made visible at 0,0 with the show window's current client size, gets a sent (not
// posted) WM_LBUTTONDOWN with wParam 0 and lParam 0, and from then on fills the show window's
// client area (it follows the show window's size by itself). Destroy the player before the show
// window. Throws FlashPlayerError when the registered control fails to come up (the built-in
// player does not stand in for a broken installation), or when the built-in player fails.
std::unique_ptr<FlashControl> CreateFlashPlayer(HWND show_window);

// Only the ActiveX control, placed as above. Throws FlashPlayerError, also when the class is not
// registered.
std::unique_ptr<FlashControl> CreateActiveXFlashPlayer(HWND show_window);
// Only the built-in player, placed as above. Throws FlashPlayerError when its window fails.
std::unique_ptr<FlashControl> CreateBuiltInFlashPlayer(HWND show_window);

// Stretches the built-in player's last finished picture over target (a cover window's client
// rectangle to). False when show_window holds no built-in player: the ActiveX control draws
// where the engine cannot see its frames, so its covers copy the window's device context.
bool MirrorBuiltInPlayer(HWND show_window, HDC target, const RECT& to);
bool ShowsBuiltInPlayer(HWND show_window);

// The user's failure report when no player can be created: a modal box with kFlashFailureText,
// the caption "Error" and the buttons Yes and No, owned by owner (may be null: a hidden show
// window makes a poor owner). Yes opens kFlashDownloadPage through the shell (no verb, SW_SHOW).
// Returns when the box has closed; the caller then closes the show.
void ReportFlashPlayerFailure(HWND owner);
inline constexpr char kFlashFailureText[] =
    "Playing Flash failed, Please install Shockware Flash firstly.";
inline constexpr char kFlashDownloadPage[] = "https://get.adobe.com/flashplayer/";

}  // namespace flashsaver
