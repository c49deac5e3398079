// The one implementation unit of stb_image_write in the preview.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
