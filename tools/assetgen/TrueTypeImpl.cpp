// The one translation unit that holds the TrueType rasteriser the font builder uses.
#define STB_TRUETYPE_IMPLEMENTATION
#include "stb_truetype.h"
