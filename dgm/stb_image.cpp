// The one unit that holds stb_image's implementation: PNG and JPEG pictures
// and the zlib inflater behind Deflate-compressed TIFF.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
