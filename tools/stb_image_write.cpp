// The one implementation unit of the PNG writer for this tool.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
