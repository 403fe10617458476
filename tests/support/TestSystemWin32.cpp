// clang-format off
#include <windows.h>
// clang-format on

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/host/FilePath.h"
#include "tests/support/TestSystem.h"

namespace {

// The program's strings, paths included, are UTF-8.
std::wstring Wide(const std::string& text) {
    return FilePath(text).wstring();
}

// One argument as the C run-time splits a command line: quotes around it when it has spaces,
// tabs or quotes, backslashes doubled before a quote.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        q.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, L'\\');
    return q + L"\"";
}

HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string TakeText(const std::filesystem::path& path) {
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return text;
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
    return std::string(VELMORA_BINARY_DIR) + "/" + name + ".exe";
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
    ProgramRun run;
    static int serial = 0;
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() /
        ("velmora-run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    const std::filesystem::path outPath = base.string() + ".out", errPath = base.string() + ".err";
    HANDLE out = InheritableFile(outPath.wstring()), err = InheritableFile(errPath.wstring());
    std::wstring command = Quoted(Wide(program));
    for (const std::string& a : args) command += L" " + Quoted(Wide(a));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessW(Wide(program).c_str(), command.data(), nullptr, nullptr,
                                        TRUE, 0, nullptr, nullptr, &startup, &process);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) run.status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    run.output = TakeText(outPath);
    run.errors = TakeText(errPath);
    return run;
}

// Through the C run-time, whose copy getenv reads (it passes the change on to Windows too), in
// UTF-16: the ANSI form would turn a folder name outside the code page into question marks.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // An empty value removes a variable on Windows; the tests only set paths.
    _wputenv_s(Wide(name).c_str(), value ? Wide(*value).c_str() : L"");
}

int ProcessId() {
    return static_cast<int>(GetCurrentProcessId());
}

FileSizeLimit::FileSizeLimit(long long) {}

FileSizeLimit::~FileSizeLimit() {}

// GetTempPath looks at TMP first.
const char* const kTemporaryFolderVariable = "TMP";

std::optional<bool> OthersMayRead(const std::string&) {
    return std::nullopt;
}
