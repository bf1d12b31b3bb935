// Device fonts of native builds: FreeType outlines of Debian's Liberation fonts, which keep the
// metrics of the Windows core fonts that Flash maps its generic names to.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "player/text/device_fonts.h"

namespace flashsaver {
namespace {

constexpr const char* kFontFolders[] = {"/usr/share/fonts/truetype/liberation",
                                        "/usr/share/fonts/truetype/liberation2"};

struct OutlineSink {
  Path* path;
  Point Convert(const FT_Vector* v) const {
    return {static_cast<double>(v->x), -static_cast<double>(v->y)};  // FreeType's y is up
  }
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  sink->path->MoveTo(sink->Convert(to));
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  sink->path->LineTo(sink->Convert(to));
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  sink->path->CurveTo(sink->Convert(control), sink->Convert(to));
  return 0;
}

// TrueType outlines have no cubics; one quadratic through the cubic's mid-tangents is close
// enough for any other.
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  const Point from = sink->path->commands.empty() ? Point{} : sink->path->commands.back().to;
  const Point a = sink->Convert(c1), b = sink->Convert(c2), end = sink->Convert(to);
  const Point control{(3 * (a.x + b.x) - from.x - end.x) / 4,
                      (3 * (a.y + b.y) - from.y - end.y) / 4};
  sink->path->CurveTo(control, end);
  return 0;
}

class FreeTypeFace final : public DeviceFace {
 public:
  explicit FreeTypeFace(FT_Face face) : face_(face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    // Windows measures lines by the OS/2 table's Windows metrics; so does Flash there.
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
      ascent_ = os2->usWinAscent;
      descent_ = os2->usWinDescent;
    } else {
      ascent_ = face_->ascender;
      descent_ = -face_->descender;
    }
  }
  ~FreeTypeFace() override { FT_Done_Face(face_); }
  FreeTypeFace(const FreeTypeFace&) = delete;
  FreeTypeFace& operator=(const FreeTypeFace&) = delete;

  double em_square() const override { return face_->units_per_EM; }
  double ascent() const override { return ascent_; }
  double descent() const override { return descent_; }

  const DeviceGlyph* Glyph(char32_t c) const override {
    const std::lock_guard lock(mutex_);
    auto [it, inserted] = glyphs_.try_emplace(c);
    if (inserted) it->second = Load(c);
    return it->second ? &*it->second : nullptr;
  }

 private:
  std::optional<DeviceGlyph> Load(char32_t c) const {
    const FT_UInt index = FT_Get_Char_Index(face_, c);
    if (index == 0 || FT_Load_Glyph(face_, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0 ||
        face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      return std::nullopt;
    }
    DeviceGlyph glyph;
    glyph.advance = static_cast<double>(face_->glyph->metrics.horiAdvance);
    OutlineSink sink{&glyph.outline};
    const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    FT_Outline_Decompose(&face_->glyph->outline, &funcs, &sink);
    return glyph;
  }

  FT_Face face_;
  double ascent_ = 0, descent_ = 0;
  mutable std::mutex mutex_;
  mutable std::unordered_map<char32_t, std::optional<DeviceGlyph>> glyphs_;
};

class FreeTypeFonts final : public DeviceFonts {
 public:
  FreeTypeFonts() { ok_ = FT_Init_FreeType(&library_) == 0; }
  ~FreeTypeFonts() override {
    for (auto& family : faces_) {
      for (auto& face : family) face.reset();
    }
    if (ok_) FT_Done_FreeType(library_);
  }
  FreeTypeFonts(const FreeTypeFonts&) = delete;
  FreeTypeFonts& operator=(const FreeTypeFonts&) = delete;

  bool usable() const { return ok_ && Face("_serif", false, false) != nullptr; }

  const DeviceFace* Face(std::string_view name, bool bold, bool italic) const override {
    // Names the system lacks get the default device font, a serif face, as in Flash.
    const DeviceFamily family = StandardDeviceFamily(name).value_or(DeviceFamily::kSerif);
    const size_t style = (bold ? 1 : 0) + (italic ? 2 : 0);
    const std::lock_guard lock(mutex_);
    auto& slot = faces_[static_cast<size_t>(family)][style];
    if (!slot && ok_) slot = Open(family, style);
    return slot.get();
  }

 private:
  std::unique_ptr<FreeTypeFace> Open(DeviceFamily family, size_t style) const {
    static constexpr const char* kFamilies[] = {"LiberationSans", "LiberationSerif",
                                                "LiberationMono"};
    static constexpr const char* kStyles[] = {"Regular", "Bold", "Italic", "BoldItalic"};
    const std::string file =
        std::string(kFamilies[static_cast<size_t>(family)]) + "-" + kStyles[style] + ".ttf";
    for (const char* folder : kFontFolders) {
      const std::filesystem::path path = std::filesystem::path(folder) / file;
      FT_Face face = nullptr;
      if (FT_New_Face(library_, path.c_str(), 0, &face) == 0) {
        return std::make_unique<FreeTypeFace>(face);
      }
    }
    return nullptr;
  }

  FT_Library library_ = nullptr;
  bool ok_ = false;
  mutable std::mutex mutex_;
  mutable std::array<std::array<std::unique_ptr<FreeTypeFace>, 4>, 3> faces_;
};

}  // namespace

const DeviceFonts* SystemDeviceFonts() {
  static const FreeTypeFonts fonts;
  static const bool usable = fonts.usable();
  return usable ? &fonts : nullptr;
}

}  // namespace flashsaver
