/* stb_vorbis.c: the sound decoder, built from Debian's libstb-dev single-file source for the
   desktop and the browser alike. Not Debian's compiled libstb: that library also exports the
   stbi_* image functions, which would take the place of SOIL's own copies inside the game. Only
   decoding from memory is used. */
#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#include <stb/stb_vorbis.h>
