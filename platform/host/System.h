// What the program needs from the operating system besides the window: where the executable
// is, the local time, the memory in use, files that only this process may use, and the user's
// folders. One header, one source file per system (SystemPosix.cpp, SystemWin32.cpp), chosen
// by the build. Paths are UTF-8 strings (platform/host/FilePath.h turns them into
// std::filesystem paths); the Windows side speaks to the system in UTF-16.
// Nothing here includes a device header: the Windows side includes <windows.h>, whose RECT and
// WAVEFORMATEX are not the device's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <span>
#include <string>
#include <vector>

// The running executable's folder with a separator at the end; "./" when it cannot be known.
std::string ExecutableFolderOfProcess();

// The processors this process's threads can run on; at least 1.
int ProcessorCount();
// The most threads, the caller's included, the process can run at once: 1 where it can start
// none (a page without shared memory), the workers it started with in a page with it.
int MostThreads();

// The broken-down local time of t.
std::tm LocalTime(std::time_t t);

// Memory in use by this process now and at most so far, in MB; 0 when unknown.
double ResidentMemoryMb();
double PeakResidentMemoryMb();

// The processor time the calling thread, or the whole process, has had so far, in seconds; 0
// when unknown. Fine enough to weigh bursts of a few milliseconds: Windows' own thread and
// process times advance in timer ticks (15.6 ms), so there they come from the processor cycles
// the system counts for the thread, at a rate measured once (the first call takes about 10 ms),
// and from the coarse times only where cycles are not counted (Wine).
double ThreadCpuSeconds();
double ProcessCpuSeconds();
// How often the system has taken the processor from this process's threads while they were
// ready to run (involuntary context switches), over its life; -1 where it does not count them.
int64_t InvoluntarySwitches();

// The account's home folder from the system's account records, for when the environment names
// none; "" when unknown.
std::string AccountHomeFolder();

// The pictures folder the system keeps for the user (Windows' Known Folder); "" where the
// system has none and the desktop's conventions decide (Linux).
std::string SystemPicturesFolder();

// The folder for temporary files ($TMPDIR, else /tmp; on Windows GetTempPath).
std::string TemporaryFolder();

// An open file; kNoFile when none.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens path for writing, created or emptied, and holds it so that no other process can use it
// while it is open; a file left by a process that ended abruptly is taken over. kNoFile, with
// the reason, when another process holds it, when it is not a plain file or cannot be written.
FileHandle ClaimExclusiveFile(const std::string& path, std::string& failure);

// A new file only this user may read, in the temporary folder, named from prefix; path gets
// its name.
FileHandle CreateTemporaryFile(const std::string& prefix, std::string& path, std::string& failure);

// Creates path only when nothing has that name. kNoFile with exists set when something has.
FileHandle CreateNewFile(const std::string& path, bool& exists, std::string& failure);

// fopen(path, "wb") for a UTF-8 path; nullptr when it cannot be opened.
std::FILE* OpenFileForWriting(const std::string& path);

// Writes all the bytes; false with the reason otherwise.
bool WriteAllBytes(FileHandle file, std::span<const uint8_t> bytes, std::string& failure);

// Closes the file; false with the reason when the system reports the data not written.
bool CloseFile(FileHandle file, std::string& failure);

// Removes the file at path; an open file held by this process may be removed too.
void RemoveFile(const std::string& path);

// Standard output passes bytes through unchanged (Windows would otherwise write each line end
// as CR LF); nothing to do on Linux.
void UseBinaryStandardOutput();

// The program's arguments after its name, in UTF-8 (Windows hands main() its ANSI code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The value of an environment variable in UTF-8; "" when it is not set.
std::string EnvironmentVariable(const char* name);

// Connects standard input, output and error to the console of the program that started this
// one, where they are not already redirected to a file or pipe: a Windows program of the
// window kind has no console of its own, so a double-click shows no console window, while
// "velmora --help" in a command prompt still prints there. Nothing to do on Linux.
void ConnectStandardStreams();

// Writes text and a line end to standard output (to standard error when error is true); when
// that reaches no one (a Windows program started from Explorer has no console) the system's
// message box shows it instead, so that no error goes unseen.
void TellUser(const std::string& text, bool error);

// Whether standard error reaches anyone (always on Linux); where it does not, a window shows
// its errors in a message box of its own.
bool StandardErrorSeen();
