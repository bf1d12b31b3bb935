// The files a movie loads (loadMovie, loadMovieNum, MovieClipLoader) read from the folder of
// the movie itself, as the player reads them for a local movie.
#pragma once

#include <cstdint>
#include <string>

#include "player/display/movie_player.h"

namespace flashsaver {

// A loaded movie is held whole in memory; a larger file fails as a missing one does.
inline constexpr uintmax_t kMaxLoadedFileBytes = 64u << 20;

// Reads a relative path (UTF-8, '/' or '\' between names) below or beside `folder`, a path in
// the system's own narrow encoding. An empty folder means the movie has none (an address):
// every read fails.
MoviePlayer::FileReader FolderFileReader(const std::string& folder);

// The folder of a movie's path ("C:\a\b.swf" -> "C:\a"); empty for an address ("http://...")
// or a bare name.
std::string MovieFolderOf(const std::string& movie);

}  // namespace flashsaver
