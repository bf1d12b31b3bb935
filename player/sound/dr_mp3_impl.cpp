// dr_mp3's code, compiled once and without our warning flags.
#define DR_MP3_IMPLEMENTATION
#define DR_MP3_NO_STDIO
#include <dr_mp3.h>
