// Checks one archive entry's bytes with the reader the program uses for its type, so a content
// tool can find bad data before the program meets it.
#pragma once

#include <cstdint>
#include <span>

#include "resources/BinaryIo.h"

// Returns when the bytes are valid for entryType; otherwise throws the RuntimeError the program
// would raise (images that do not decode become error 321), naming source.
void CheckEntryBytes(std::span<const uint8_t> bytes, uint8_t entryType, const DataSource& source);
