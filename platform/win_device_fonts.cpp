// Device fonts of the Windows build: GDI's unhinted glyph outlines (GetGlyphOutline with
// GGO_NATIVE) at the font's own EM size, so that outlines come in font units.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/unique_handle.h"
#include "player/text/device_fonts.h"

namespace flashsaver {
namespace {

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

double FromFixed(FIXED f) { return f.value + f.fract / 65536.0; }

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  }
  return out;
}

std::wstring Lower(std::wstring s) {
  std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
  return s;
}

// family: FF_* and *_PITCH hints that lead GDI's mapper to a like face when the named one is
// missing.
UniqueGdiObject CreateFace(const std::wstring& name, int height, bool bold, bool italic,
                           BYTE family) {
  LOGFONTW lf{};
  lf.lfHeight = -height;  // negative: the EM height, not the cell height
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lf.lfPitchAndFamily = family;
  wcsncpy_s(lf.lfFaceName, name.c_str(), _TRUNCATE);
  return UniqueGdiObject(::CreateFontIndirectW(&lf));
}

// The polygons of a GGO_NATIVE buffer: each a header, then line, quadratic B-spline and cubic
// records; y points up there and down in SWF.
Path ReadOutline(const std::vector<uint8_t>& buffer) {
  Path path;
  auto point = [](const POINTFX& p) { return Point{FromFixed(p.x), -FromFixed(p.y)}; };
  size_t offset = 0;
  while (offset + sizeof(TTPOLYGONHEADER) <= buffer.size()) {
    TTPOLYGONHEADER header;
    std::memcpy(&header, buffer.data() + offset, sizeof header);
    if (header.cb < sizeof header || offset + header.cb > buffer.size()) break;
    const Point start = point(header.pfxStart);
    path.MoveTo(start);
    Point current = start;
    size_t at = offset + sizeof header;
    const size_t end = offset + header.cb;
    while (at + offsetof(TTPOLYCURVE, apfx) <= end) {
      TTPOLYCURVE curve;
      std::memcpy(&curve, buffer.data() + at, offsetof(TTPOLYCURVE, apfx));
      const size_t count = curve.cpfx;
      const size_t size = offsetof(TTPOLYCURVE, apfx) + count * sizeof(POINTFX);
      if (at + size > end) break;
      std::vector<Point> points(count);
      for (size_t i = 0; i < count; ++i) {
        POINTFX p;
        std::memcpy(&p, buffer.data() + at + offsetof(TTPOLYCURVE, apfx) + i * sizeof p, sizeof p);
        points[i] = point(p);
      }
      if (curve.wType == TT_PRIM_LINE) {
        for (const Point& p : points) path.LineTo(p);
        if (count) current = points.back();
      } else if (curve.wType == TT_PRIM_QSPLINE) {
        // Implied on-curve points lie halfway between consecutive control points.
        for (size_t i = 0; i + 1 < count; ++i) {
          const Point to = i + 2 == count ? points[i + 1]
                                          : Point{(points[i].x + points[i + 1].x) / 2,
                                                  (points[i].y + points[i + 1].y) / 2};
          path.CurveTo(points[i], to);
          current = to;
        }
      } else if (curve.wType == TT_PRIM_CSPLINE) {
        for (size_t i = 0; i + 2 < count; i += 3) {
          const Point& a = points[i];
          const Point& b = points[i + 1];
          const Point& to = points[i + 2];
          path.CurveTo(
              {(3 * (a.x + b.x) - current.x - to.x) / 4, (3 * (a.y + b.y) - current.y - to.y) / 4},
              to);
          current = to;
        }
      }
      at += size;
    }
    path.LineTo(start);
    offset = end;
  }
  return path;
}

class GdiFace final : public DeviceFace {
 public:
  GdiFace(UniqueMemoryDc dc, UniqueGdiObject font, double em, double ascent, double descent)
      : dc_(std::move(dc)), font_(std::move(font)), em_(em), ascent_(ascent), descent_(descent) {
    previous_ = ::SelectObject(dc_.get(), font_.get());
  }
  ~GdiFace() override { ::SelectObject(dc_.get(), previous_); }
  GdiFace(const GdiFace&) = delete;
  GdiFace& operator=(const GdiFace&) = delete;

  double em_square() const override { return em_; }
  double ascent() const override { return ascent_; }
  double descent() const override { return descent_; }

  const DeviceGlyph* Glyph(char32_t c) const override {
    if (c > 0xFFFF) return nullptr;
    const std::lock_guard lock(mutex_);
    auto [it, inserted] = glyphs_.try_emplace(c);
    if (inserted) it->second = Load(static_cast<UINT>(c));
    return it->second ? &*it->second : nullptr;
  }

 private:
  std::optional<DeviceGlyph> Load(UINT c) const {
    WORD index = 0;
    const wchar_t wc = static_cast<wchar_t>(c);
    // A character the face lacks maps to its missing glyph: no glyph at all for text.
    if (::GetGlyphIndicesW(dc_.get(), &wc, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
        index == 0xFFFF) {
      return std::nullopt;
    }
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS metrics{};
    const UINT format = GGO_NATIVE | GGO_UNHINTED;
    const DWORD size = ::GetGlyphOutlineW(dc_.get(), c, format, &metrics, 0, nullptr, &identity);
    if (size == GDI_ERROR) return std::nullopt;
    DeviceGlyph glyph;
    glyph.advance = metrics.gmCellIncX;
    if (size > 0) {
      std::vector<uint8_t> buffer(size);
      if (::GetGlyphOutlineW(dc_.get(), c, format, &metrics, size, buffer.data(), &identity) ==
          GDI_ERROR) {
        return std::nullopt;
      }
      glyph.outline = ReadOutline(buffer);
    }
    return glyph;
  }

  UniqueMemoryDc dc_;
  UniqueGdiObject font_;
  HGDIOBJ previous_ = nullptr;
  double em_, ascent_, descent_;
  mutable std::mutex mutex_;
  mutable std::unordered_map<char32_t, std::optional<DeviceGlyph>> glyphs_;
};

class GdiFonts final : public DeviceFonts {
 public:
  const DeviceFace* Face(std::string_view name, bool bold, bool italic) const override {
    std::wstring face;
    BYTE hint = FF_DONTCARE;
    if (const auto family = StandardDeviceFamily(name)) {
      face = *family == DeviceFamily::kSans    ? L"Arial"
             : *family == DeviceFamily::kSerif ? L"Times New Roman"
                                               : L"Courier New";
      hint = *family == DeviceFamily::kSans    ? FF_SWISS | VARIABLE_PITCH
             : *family == DeviceFamily::kSerif ? FF_ROMAN | VARIABLE_PITCH
                                               : FF_MODERN | FIXED_PITCH;
    } else {
      face = Widen(name);
    }
    const std::lock_guard lock(mutex_);
    const auto key = std::make_tuple(Lower(face), bold, italic);
    auto [it, inserted] = faces_.try_emplace(key);
    if (inserted) {
      // The generic names take whatever face GDI maps them to (a metric-compatible one where
      // the core fonts are missing); other names the system lacks get the default device font,
      // as in Flash.
      const bool standard = StandardDeviceFamily(name).has_value();
      it->second = Open(face, bold, italic, hint, !standard);
      if (!it->second) {
        it->second = Open(L"Times New Roman", bold, italic, FF_ROMAN | VARIABLE_PITCH, false);
      }
    }
    return it->second.get();
  }

 private:
  static std::unique_ptr<GdiFace> Open(const std::wstring& name, bool bold, bool italic,
                                       BYTE family, bool exact_name) {
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return nullptr;
    // First at any size to learn the EM square, then again at that size: outlines in font units.
    UniqueGdiObject probe = CreateFace(name, 1024, bold, italic, family);
    if (!probe) return nullptr;
    const HGDIOBJ previous = ::SelectObject(dc.get(), probe.get());
    wchar_t actual[LF_FACESIZE] = {};
    ::GetTextFaceW(dc.get(), LF_FACESIZE, actual);
    OUTLINETEXTMETRICW otm{};
    otm.otmSize = sizeof otm;
    const bool outline = ::GetOutlineTextMetricsW(dc.get(), sizeof otm, &otm) != 0;
    ::SelectObject(dc.get(), previous);
    // GDI substitutes another face for a name it lacks; Flash falls back to its own default.
    if (!outline || (exact_name && Lower(actual) != Lower(name))) return nullptr;
    const int em = static_cast<int>(otm.otmEMSquare);
    UniqueGdiObject font = CreateFace(name, em, bold, italic, family);
    if (!font) return nullptr;
    const HGDIOBJ before = ::SelectObject(dc.get(), font.get());
    TEXTMETRICW tm{};
    const bool metrics = ::GetTextMetricsW(dc.get(), &tm) != 0;
    ::SelectObject(dc.get(), before);
    if (!metrics) return nullptr;
    return std::make_unique<GdiFace>(std::move(dc), std::move(font), em, tm.tmAscent, tm.tmDescent);
  }

  mutable std::mutex mutex_;
  mutable std::map<std::tuple<std::wstring, bool, bool>, std::unique_ptr<GdiFace>> faces_;
};

}  // namespace

const DeviceFonts* SystemDeviceFonts() {
  // Never destroyed: a picture still being drawn while the process ends may ask for a glyph.
  static const GdiFonts& fonts = *new GdiFonts;
  static const bool usable = fonts.Face("_serif", false, false) != nullptr;
  return usable ? &fonts : nullptr;
}

}  // namespace flashsaver
