// Where the program finds Data.kqx: beside the executable first (a build tree, or a copy kept
// together in one folder), then the data folder of an installation, found from the executable's
// own place (<prefix>/bin/velmora reads <prefix>/share/velmora/, and a game installed as Debian
// lays games out, <prefix>/games/velmora, reads <prefix>/share/games/velmora/), then the data
// folder the build was configured to install into.
#pragma once

#include <string>
#include <vector>

inline constexpr char kArchiveName[] = "Data.kqx";

// The folders to look in, in order, each with a trailing "/", without repeats. builtDataFolder
// is the configured installation's folder ("" for none).
std::vector<std::string> DataFolders(const std::string& exeFolder,
                                     const std::string& builtDataFolder);

// The configured installation's data folder, fixed at build time.
std::string BuiltDataFolder();

// The path of the first folder's archive that exists; error 53 naming every place looked at when
// there is none.
std::string FindDataArchive(const std::vector<std::string>& folders);
