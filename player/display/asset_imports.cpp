#include "player/display/asset_imports.h"

#include "player/avm1/object.h"
#include "player/display/movie_definition.h"
#include "player/swf/byte_reader.h"
#include "player/swf/tag_codes.h"

namespace flashsaver {
namespace {

// Libraries that import from libraries: deep enough for real chains, short enough that two
// movies importing each other end at once.
constexpr int kMaxLibraryNesting = 4;
// Library movies read for one movie and its libraries together.
constexpr size_t kMaxLibraries = 32;

// The exported id of `name`: an exact match first, else one that differs in case only, as
// linkage names are looked up case-insensitively.
std::optional<uint16_t> ExportedId(const MovieDefinition& library, const std::string& name) {
  const auto exact = library.exports.find(name);
  if (exact != library.exports.end()) return exact->second;
  for (const auto& [exported, id] : library.exports) {
    if (avm1::NamesEqual(exported, name, false)) return id;
  }
  return std::nullopt;
}

void Resolve(MovieDefinition& movie, const LibraryReader& read, int nesting, size_t& reads_left);

}  // namespace

AssetImport ReadAssetImport(const SwfTag& tag, uint32_t frame) {
  ByteReader reader(tag.body);
  AssetImport import;
  import.frame = frame;
  import.url = ReadCString(reader);
  if (tag.code == swf_tag::kImportAssets2) reader.Skip(2);  // reserved bytes
  const uint16_t count = reader.U16();
  if (!reader.ok()) throw SwfError(SwfErrorKind::kBadTag, "ImportAssets ends early", tag.code);
  for (uint16_t i = 0; i < count; ++i) {
    const uint16_t id = reader.U16();
    std::string name = ReadCString(reader);
    if (!reader.ok()) break;
    import.symbols.emplace_back(id, std::move(name));
  }
  return import;
}

void ResolveImports(MovieDefinition& movie, const LibraryReader& read) {
  size_t reads_left = kMaxLibraries;
  Resolve(movie, read, 0, reads_left);
}

namespace {

void Resolve(MovieDefinition& movie, const LibraryReader& read, int nesting, size_t& reads_left) {
  if (movie.imports.empty() || nesting >= kMaxLibraryNesting) return;
  std::vector<std::pair<std::string, std::shared_ptr<const MovieDefinition>>> read_already;
  for (const AssetImport& import : movie.imports) {
    std::shared_ptr<const MovieDefinition> library;
    bool found = false;
    for (const auto& [url, known] : read_already) {
      if (url == import.url) {
        library = known;
        found = true;
      }
    }
    if (!found) {
      if (reads_left == 0) continue;
      --reads_left;
      std::unique_ptr<MovieDefinition> loaded = read ? read(import.url) : nullptr;
      if (loaded) Resolve(*loaded, read, nesting + 1, reads_left);
      library = std::move(loaded);
      read_already.emplace_back(import.url, library);
    }
    if (!library) continue;
    for (const auto& [id, name] : import.symbols) {
      const std::optional<uint16_t> source_id = ExportedId(*library, name);
      if (!source_id || movie.library.Find(id)) continue;
      std::shared_ptr<const Character> character = library->library.Shared(*source_id);
      if (!character) continue;
      // A symbol the library itself imported lives in the movie it came from.
      std::shared_ptr<const MovieDefinition> owner = library;
      if (const auto chained = library->imported_from.find(*source_id);
          chained != library->imported_from.end()) {
        owner = chained->second;
      }
      movie.library.Define(id, std::move(character));
      movie.imported_from.insert_or_assign(id, owner);
      movie.exports.try_emplace(name, id);
      // The symbol's init scripts run in the importing movie, with the frame of the import.
      if (import.frame < movie.root.frames.size()) {
        Frame& frame = movie.root.frames[import.frame];
        for (std::span<const uint8_t> body : owner->init_actions) {
          if (body.size() >= 2 && (body[0] | body[1] << 8) == *source_id) {
            frame.imported_init_actions.push_back({owner, body});
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace flashsaver
