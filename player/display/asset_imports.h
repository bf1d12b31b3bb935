// Runtime shared libraries: ImportAssets and ImportAssets2 name another movie (by a URL relative
// to the importing one) and the symbols it exports; the importing movie uses them under ids of
// its own. The library is read when the importing movie starts, before the frame holding the
// import runs, as Flash holds that frame until the library has arrived.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace flashsaver {

struct MovieDefinition;
struct SwfTag;

struct AssetImport {
  std::string url;
  std::vector<std::pair<uint16_t, std::string>> symbols;  // importing id, exported name
  uint32_t frame = 0;                                     // the root frame holding the tag
};

// Throws SwfError (kBadTag) when the tag ends before its URL.
AssetImport ReadAssetImport(const SwfTag& tag, uint32_t frame);

// Reads a library movie by URL; null when it is missing or no movie.
using LibraryReader = std::function<std::unique_ptr<MovieDefinition>(std::string_view url)>;

// Gives `movie` the characters its imports name, with the library movies' own imports resolved
// first. A library that cannot be read, or a name it does not export, leaves that id undefined:
// placing it places nothing, as in Flash. Libraries importing each other stop at a few levels.
void ResolveImports(MovieDefinition& movie, const LibraryReader& read);

}  // namespace flashsaver
