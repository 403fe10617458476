// Structural checks on PNG and BMP bytes before the decoder sees them. The decoder trusts the
// sizes a file declares: a PNG chunk claiming a gigabyte makes it allocate a gigabyte before it
// notices the data is not there, and a BMP cut short decodes its missing rows as black.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Empty when every PNG chunk fits within the bytes and a BMP's pixel rows are all present;
// otherwise what is wrong. Bytes of other kinds pass unchanged: the decoder rejects them.
std::string ImageStructureProblem(std::span<const uint8_t> bytes);
