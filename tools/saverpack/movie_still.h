// saverpack --still: the preview still drawn by the built-in player from a frame of a movie,
// written as a 24-bit BMP (a format the preview window reads) and packed into the saver.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "player/render/picture.h"
#include "tools/saverpack/saver_builder.h"

namespace saverpack {

struct StillSource {
  std::string movie;
  int frame = 1;  // 1 is the first frame shown
};

// "MOVIE.swf" or "MOVIE.swf:FRAME"; a colon followed by anything but digits belongs to the path
// (C:\movies\a.swf). Throws std::runtime_error for a frame below 1.
StillSource ParseStillArgument(const std::string& text);

// The stage picture after frame frames have been shown, at the stage size. Throws
// std::runtime_error when the movie cannot be read or has fewer frames.
flashsaver::Picture RenderMovieStill(std::span<const uint8_t> movie, int frame);

// A bottom-up 24-bit BMP of an opaque picture.
std::string EncodeBmp24(const flashsaver::Picture& picture);

// Renders the still into work_dir, packs it (raw or zipped as the files around it) and points
// Set.Build_StaticImage at it, with Set.Build_UseStaticPreview on so that the preview shows it.
// Returns the packed file's key.
std::string AddMovieStill(BuildRequest& request, const std::string& argument, bool raw,
                          const std::filesystem::path& work_dir);

}  // namespace saverpack
