// The five media lists of the settings file and the one way an item becomes a usable path.
#pragma once

#include <string>
#include <vector>

namespace flashsaver {

using MediaList = std::vector<std::string>;

// Items exactly as the settings file stores them ("**" standing for "="), filled once by
// LoadContent and not changed afterwards. Callers resolve a copy.
inline MediaList PicturesList;
inline MediaList MusicList;
inline MediaList FlashList;
inline MediaList VideoList;
inline MediaList WebList;

// Fills list from the keys of section; "(Resource) " and "(External) " items are extracted into
// TempFolder instead of listed, lines whose value reads as 0 are left out.
void ReadMediaList(const std::string& section, MediaList& list);

// Extracts a "(Resource) " or "(External) " item of the package into TempFolder. Errors of the
// extraction pass to the caller.
void ExtractSideFile(const std::string& key);

// Puts list into a random order, drawn uniformly, seeded from the clock.
void ShuffleList(MediaList& list);

// Rewrites item in place into a full path, folder or address and reports whether it can be
// used. A packed movie is cut out of the program file on its first resolution only. Also serves
// single file names from the settings (preview image, banner, read-me).
bool ResolveMediaItem(std::string& item);

}  // namespace flashsaver
