/* stb_vorbis.c: the sound decoder for the browser build, from Debian's libstb-dev single-file
   source (the desktop links Debian's compiled library). Only decoding from memory is used. */
#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#include <stb/stb_vorbis.h>
