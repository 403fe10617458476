// The scratch file through which every extracted archive entry reaches its loader. It is
// Temp.dat beside the executable, held so that no other process can use it while an extraction
// waits there (an advisory lock on Linux, the file's sharing mode on Windows), so a live
// instance is told from a dead one: a Temp.dat that another running instance holds is left
// alone, and one left by a run that ended abruptly is taken over. When the folder cannot be
// written (an installed program) or another instance is using Temp.dat, a private file in the
// temporary folder takes its place, a new one for every extraction, removed when its entry is
// loaded and at shutdown.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "resources/BinaryIo.h"

// The file the last extraction wrote and no loader has taken yet; empty when there is none.
inline std::string ScratchFilePath;

// AppPath + "Temp.dat".
std::string DefaultScratchPath();

// Replaces the scratch file with exactly these bytes and records where it is.
void WriteScratchFile(std::span<const uint8_t> bytes);

// Reads the pending scratch file whole and deletes it. Without a pending extraction this is
// error 53: a loader never reads a scratch file left over from an earlier extraction.
std::vector<uint8_t> TakeScratchFile(const DataSource& source);

// Deletes the pending scratch file, if any, and gives up its lock.
void DeleteScratchFile();
