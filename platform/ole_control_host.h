// A minimal OLE container for one windowed ActiveX control inside a parent window: client site,
// in-place site and in-place frame. Properties and methods go through the control's IDispatch
// by dispatch id. Failures throw OleError with the HRESULT.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <stdexcept>
#include <string>

namespace flashsaver {

class OleError : public std::runtime_error {
 public:
  OleError(const std::string& what, HRESULT hr);
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

class OleControlSite;

class OleControlHost {
 public:
  // Creates the control of class clsid (in-process) and activates it in place inside parent at
  // rect. REGDB_E_CLASSNOTREG comes out as an OleError with that code.
  OleControlHost(const CLSID& clsid, HWND parent, const RECT& rect);
  OleControlHost(const OleControlHost&) = delete;
  OleControlHost& operator=(const OleControlHost&) = delete;
  // Deactivates and closes the control and lets go of it.
  ~OleControlHost();

  // The control's own window.
  HWND control_window() const { return control_window_; }
  void SetRect(const RECT& rect);

  void PutProperty(DISPID id, VARIANT value);
  void PutInt(DISPID id, int32_t value);
  void PutString(DISPID id, const std::wstring& value);
  int32_t GetInt(DISPID id);
  std::wstring GetString(DISPID id);
  // A method without arguments, found by name, or at fallback when the control does not name it.
  void Call(const wchar_t* name, DISPID fallback);

 private:
  VARIANT Get(DISPID id);
  void Teardown();

  OleControlSite* site_ = nullptr;
  IOleObject* object_ = nullptr;
  IOleInPlaceObject* in_place_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  HWND control_window_ = nullptr;
};

// Wide text from the program's ANSI text and back (the system code page).
std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const std::wstring& text);

}  // namespace flashsaver
