// The one translation unit that holds stb_image's code: only the PNG and GIF decoders, which
// SWF 8 allows in DefineBitsJPEG2 and 3. Its sides are capped as the player's bitmaps are.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 8191
#include <stb_image.h>
