// The Windows side of System.h. The program's strings are UTF-8 and Windows' are UTF-16; they
// meet here, never through the ANSI code page, which cannot spell every folder's name.
// clang-format off
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/host/System.h"

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return L"";
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (length == 0) return "";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), n, nullptr,
                        nullptr);
    return narrow;
}

std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

// The system's own words for an error code, without the line end it adds.
std::string ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n > 0 ? Narrow(text, n) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

HANDLE AsHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle FromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

}  // namespace

int ProcessorCount() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int MostThreads() {
    return INT_MAX;
}

std::string ExecutableFolderOfProcess() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return "./";
        if (n < buffer.size()) {
            std::wstring path(buffer.data(), n);
            const size_t slash = path.find_last_of(L"\\/");
            if (slash == std::wstring::npos) return "./";
            return Narrow(path.substr(0, slash + 1));
        }
        // Truncated: long paths (\\?\...) are allowed to exceed MAX_PATH.
        if (buffer.size() >= 32768) return "./";
        buffer.resize(buffer.size() * 2);
    }
}

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}

double ResidentMemoryMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.WorkingSetSize) / 1048576.0;
}

double PeakResidentMemoryMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0;
}

namespace {

double Seconds(const FILETIME& f) {
    return static_cast<double>(static_cast<uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime) *
           1e-7;
}

// The cycles QueryThreadCycleTime and QueryProcessCycleTime count, per second. They run at a
// fixed reference rate the system does not tell, so it is measured once against the
// performance counter, over a few stretches of busy waiting of 2 ms each: a stretch in which the
// thread lost the processor counts fewer cycles for its time, never more, so the fastest one is
// kept. 0 where the system counts no cycles (Wine answers "not implemented").
double CyclesPerSecond() {
    static const double rate = [] {
        const HANDLE self = GetCurrentThread();
        ULONG64 cycles = 0;
        LARGE_INTEGER frequency{};
        if (!QueryThreadCycleTime(self, &cycles) || !QueryPerformanceFrequency(&frequency) ||
            frequency.QuadPart <= 0) {
            return 0.0;
        }
        double best = 0;
        for (int stretch = 0; stretch < 5; ++stretch) {
            LARGE_INTEGER from{}, to{};
            ULONG64 first = 0, last = 0;
            QueryPerformanceCounter(&from);
            QueryThreadCycleTime(self, &first);
            do {
                QueryPerformanceCounter(&to);
            } while (to.QuadPart - from.QuadPart < frequency.QuadPart / 500);
            QueryThreadCycleTime(self, &last);
            QueryPerformanceCounter(&to);
            const double seconds = static_cast<double>(to.QuadPart - from.QuadPart) /
                                   static_cast<double>(frequency.QuadPart);
            best = std::max(best, static_cast<double>(last - first) / seconds);
        }
        // A counter that hardly moves (an emulation that counts something else) is not used.
        return best > 1e7 ? best : 0.0;
    }();
    return rate;
}

// A thread's or the process's processor time: its cycles where the system counts them, else its
// coarse kernel and user times.
template <typename CycleTime, typename Times>
double CpuSeconds(HANDLE of, CycleTime cycleTime, Times times) {
    const double rate = CyclesPerSecond();
    ULONG64 cycles = 0;
    if (rate > 0 && cycleTime(of, &cycles)) return static_cast<double>(cycles) / rate;
    FILETIME created, ended, kernel, user;
    if (!times(of, &created, &ended, &kernel, &user)) return 0;
    return Seconds(kernel) + Seconds(user);
}

}  // namespace

double ThreadCpuSeconds() {
    return CpuSeconds(GetCurrentThread(), QueryThreadCycleTime, GetThreadTimes);
}

double ProcessCpuSeconds() {
    return CpuSeconds(GetCurrentProcess(), QueryProcessCycleTime, GetProcessTimes);
}

// Windows counts a thread's switches, not which of them were forced.
int64_t InvoluntarySwitches() {
    return -1;
}

namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr) {
        folder = Narrow(path, wcslen(path));
    }
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

std::string AccountHomeFolder() {
    return KnownFolder(FOLDERID_Profile);
}

std::string SystemPicturesFolder() {
    return KnownFolder(FOLDERID_Pictures);
}

std::string TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) return ".";
    std::wstring folder(buffer, n);
    // Without its trailing separator, like $TMPDIR.
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return Narrow(folder);
}

FileHandle ClaimExclusiveFile(const std::string& path, std::string& failure) {
    // Other processes may read the file but never write or claim it while this handle is open;
    // the system closes the handle when a process dies, so a file left behind is free again.
    // Removal stays allowed so that the holder can remove it before closing.
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        failure = code == ERROR_SHARING_VIOLATION ? "in use by another instance" : ErrorText(code);
        return kNoFile;
    }
    // A link would send the bytes somewhere the name does not say.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        failure = "not a plain file";
        CloseHandle(h);
        return kNoFile;
    }
    if (!SetEndOfFile(h)) {
        failure = ErrorText(GetLastError());
        CloseHandle(h);
        return kNoFile;
    }
    return FromHandle(h);
}

FileHandle CreateTemporaryFile(const std::string& prefix, std::string& path, std::string& failure) {
    const std::string folder = TemporaryFolder();
    // A random name, created only when nothing has it, as mkstemp does.
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long random =
            (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64() ^
            (static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ull);
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        random ^= static_cast<unsigned long long>(counter.QuadPart) * 0xBF58476D1CE4E5B9ull;
        std::string name = prefix;
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[random % 36];
            random /= 36;
        }
        const std::string candidate = folder + "\\" + name;
        HANDLE h = CreateFileW(Wide(candidate).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            path = candidate;
            return FromHandle(h);
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            failure = ErrorText(code);
            return kNoFile;
        }
    }
    failure = "no free name";
    return kNoFile;
}

FileHandle CreateNewFile(const std::string& path, bool& exists, std::string& failure) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    exists = false;
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        failure = ErrorText(code);
    }
    return FromHandle(h);
}

bool WriteAllBytes(FileHandle file, std::span<const uint8_t> bytes, std::string& failure) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(AsHandle(file), bytes.data() + done, chunk, &written, nullptr)) {
            failure = ErrorText(GetLastError());
            return false;
        }
        if (written == 0) {
            failure = "nothing written";
            return false;
        }
        done += written;
    }
    return true;
}

std::FILE* OpenFileForWriting(const std::string& path) {
    return _wfopen(Wide(path).c_str(), L"wb");
}

bool CloseFile(FileHandle file, std::string& failure) {
    if (CloseHandle(AsHandle(file))) return true;
    failure = ErrorText(GetLastError());
    return false;
}

void RemoveFile(const std::string& path) {
    DeleteFileW(Wide(path).c_str());
}

void UseBinaryStandardOutput() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::vector<std::string> CommandLineArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return args;
}

std::string EnvironmentVariable(const char* name) {
    const std::wstring wideName = Wide(name);
    std::vector<wchar_t> value(256);
    for (;;) {
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                static_cast<DWORD>(value.size()));
        if (n == 0) return "";
        if (n < value.size()) return Narrow(value.data(), n);
        value.resize(n);
    }
}

namespace {

// Whether standard output and error reach anyone: a file, a pipe or a console.
bool outputSeen = true, errorsSeen = true;
UINT consoleCodePage = 0;

// The type of a standard handle that the starter gave: a file or pipe it redirected to
// (FILE_TYPE_DISK, FILE_TYPE_PIPE), a console's (FILE_TYPE_CHAR); FILE_TYPE_UNKNOWN for none, as
// a program of the window kind started from Explorer or typed into a command prompt gets.
DWORD GivenType(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
    return GetFileType(h);
}

bool Redirected(DWORD type) {
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

void RestoreConsoleCodePage() {
    if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
}

}  // namespace

void ConnectStandardStreams() {
    const DWORD in = GivenType(STD_INPUT_HANDLE), out = GivenType(STD_OUTPUT_HANDLE),
                err = GivenType(STD_ERROR_HANDLE);
    if (Redirected(out) && Redirected(err)) return;
    // A program of the window kind gets no console; the command prompt it was typed into has
    // one to lend. The streams that the starter redirected stay where they were sent.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        // A console's handles the starter gave (Wine gives them) are kept. Started from
        // Explorer there are none: what is printed goes nowhere, quietly (a stream that cannot
        // be written would otherwise turn the exit status into a failure), and TellUser shows
        // the errors in a box.
        outputSeen = out != FILE_TYPE_UNKNOWN;
        errorsSeen = err != FILE_TYPE_UNKNOWN;
        if (!outputSeen) std::freopen("NUL", "w", stdout);
        if (!errorsSeen) std::freopen("NUL", "w", stderr);
        return;
    }
    if (!Redirected(out)) std::freopen("CONOUT$", "w", stdout);
    if (!Redirected(err)) std::freopen("CONOUT$", "w", stderr);
    if (!Redirected(in)) std::freopen("CONIN$", "r", stdin);
    // Paths are UTF-8; the console shows them so while this program runs, and the prompt gets
    // its own code page back afterwards.
    consoleCodePage = GetConsoleOutputCP();
    if (consoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(RestoreConsoleCodePage);
    } else {
        consoleCodePage = 0;
    }
}

bool StandardErrorSeen() {
    return errorsSeen;
}

void TellUser(const std::string& text, bool error) {
    std::FILE* stream = error ? stderr : stdout;
    std::fputs((text + "\n").c_str(), stream);
    std::fflush(stream);
    if (error ? errorsSeen : outputSeen) return;
    MessageBoxW(
        nullptr, Wide(text).c_str(), L"Velmora",
        (error ? MB_ICONERROR : MB_ICONINFORMATION) | MB_OK | MB_SETFOREGROUND | MB_TASKMODAL);
}
