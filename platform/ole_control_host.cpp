#include "platform/ole_control_host.h"

#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>
#include <utility>

namespace flashsaver {

OleError::OleError(const std::string& what, HRESULT hr)
    : std::runtime_error([&] {
        char code[16];
        std::snprintf(code, sizeof(code), "%08lX", static_cast<unsigned long>(hr));
        return what + " (0x" + code + ")";
      }()),
      hr_(hr) {}

namespace {

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw OleError(what, hr);
}

template <typename T>
void ReleaseAndClear(T*& p) {
  if (p) std::exchange(p, nullptr)->Release();
}

}  // namespace

// The container's side: one object serving as client site, in-place site and in-place frame.
class OleControlSite final : public IOleClientSite,
                             public IOleInPlaceSite,
                             public IOleInPlaceFrame {
 public:
  explicit OleControlSite(HWND parent, const RECT& rect) : parent_(parent), rect_(rect) {}

  void set_in_place(IOleInPlaceObject* object) { in_place_ = object; }
  void set_rect(const RECT& rect) { rect_ = rect; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) ||
               IsEqualIID(riid, IID_IOleInPlaceFrame)) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = parent_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = rect_;
    *clip = rect_;
    info->cb = sizeof(OLEINPLACEFRAMEINFO);
    info->fMDIApp = FALSE;
    info->hwndFrame = parent_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
    if (!rect) return E_POINTER;
    // The container decides the place: the control gets the rectangle it has been given.
    if (in_place_) in_place_->SetObjectRects(&rect_, &rect_);
    return S_OK;
  }

  // IOleInPlaceUIWindow
  STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

  // IOleInPlaceFrame
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~OleControlSite() = default;

  ULONG refs_ = 1;
  HWND parent_;
  RECT rect_;
  IOleInPlaceObject* in_place_ = nullptr;  // not owned
};

OleControlHost::OleControlHost(const CLSID& clsid, HWND parent, const RECT& rect) {
  site_ = new OleControlSite(parent, rect);
  try {
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                             reinterpret_cast<void**>(&object_)),
          "the control cannot be created");
    Check(object_->SetClientSite(static_cast<IOleClientSite*>(site_)),
          "the control refuses its site");
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(
            object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
      persist->InitNew();
      persist->Release();
    }
    RECT place = rect;
    Check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0,
                          parent, &place),
          "the control does not activate");
    Check(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&in_place_)),
          "the control has no in-place interface");
    site_->set_in_place(in_place_);
    Check(in_place_->GetWindow(&control_window_), "the control has no window");
    Check(object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_)),
          "the control has no dispatch interface");
    SetRect(rect);
  } catch (...) {
    Teardown();
    throw;
  }
}

OleControlHost::~OleControlHost() { Teardown(); }

void OleControlHost::Teardown() {
  if (site_) site_->set_in_place(nullptr);
  ReleaseAndClear(dispatch_);
  if (in_place_) in_place_->InPlaceDeactivate();
  ReleaseAndClear(in_place_);
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  ReleaseAndClear(object_);
  ReleaseAndClear(site_);
  control_window_ = nullptr;
}

void OleControlHost::SetRect(const RECT& rect) {
  site_->set_rect(rect);
  if (in_place_) {
    RECT place = rect;
    in_place_->SetObjectRects(&place, &place);
  }
}

void OleControlHost::PutProperty(DISPID id, VARIANT value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  Check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                          nullptr, nullptr),
        "a property of the control cannot be set");
}

void OleControlHost::PutInt(DISPID id, int32_t value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  PutProperty(id, v);
}

void OleControlHost::PutString(DISPID id, const std::wstring& value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (!v.bstrVal) throw OleError("out of memory", E_OUTOFMEMORY);
  try {
    PutProperty(id, v);
  } catch (...) {
    ::VariantClear(&v);
    throw;
  }
  ::VariantClear(&v);
}

VARIANT OleControlHost::Get(DISPID id) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  ::VariantInit(&result);
  Check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                          nullptr, nullptr),
        "a property of the control cannot be read");
  return result;
}

int32_t OleControlHost::GetInt(DISPID id) {
  VARIANT v = Get(id);
  const HRESULT hr = ::VariantChangeType(&v, &v, 0, VT_I4);
  const int32_t value = SUCCEEDED(hr) ? v.lVal : 0;
  ::VariantClear(&v);
  Check(hr, "a property of the control is not a number");
  return value;
}

std::wstring OleControlHost::GetString(DISPID id) {
  VARIANT v = Get(id);
  const HRESULT hr = ::VariantChangeType(&v, &v, 0, VT_BSTR);
  std::wstring value;
  if (SUCCEEDED(hr) && v.bstrVal) value.assign(v.bstrVal, ::SysStringLen(v.bstrVal));
  ::VariantClear(&v);
  Check(hr, "a property of the control is not text");
  return value;
}

void OleControlHost::Call(const wchar_t* name, DISPID fallback) {
  DISPID id = fallback;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
    id = fallback;
  }
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                          nullptr, nullptr),
        "a method of the control fails");
}

std::wstring WideFromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string AnsiFromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace flashsaver
