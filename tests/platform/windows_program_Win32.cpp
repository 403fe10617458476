// velmora.exe as Windows and its users meet it: started from folders whose names are not
// ASCII, whatever the system's code page; its manifest, icon and version read back from the
// executable as Explorer reads them; and a program of the window kind that still prints where
// it was started and shows its errors in a box where it was not.
// clang-format off
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/FilePath.h"
#include "platform/host/Screenshots.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

std::filesystem::path Program() {
    return FilePath(BuiltProgram("velmora"));
}

std::string Version() {
    const ProgramRun run = RunProgram(BuiltProgram("velmora"), {"--version"});
    EXPECT_EQ(run.status, 0);
    std::string version = run.output.substr(0, run.output.find_first_of("\r\n"));
    EXPECT_TRUE(version.starts_with("velmora ")) << run.output;
    return version.substr(std::string("velmora ").size());
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// The executable's resources, loaded as data (nothing of it runs).
class Resources {
  public:
    Resources() : module_(LoadLibraryExW(Program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~Resources() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    Resources(const Resources&) = delete;
    Resources& operator=(const Resources&) = delete;
    bool Loaded() const { return module_ != nullptr; }
    // The bytes of resource `id` of the type; empty when there is none.
    std::string Bytes(LPCWSTR type, int id) const {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) return "";
        HGLOBAL loaded = LoadResource(module_, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        return data == nullptr ? "" : std::string(data, SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

// The names of files made and removed in a folder while it is watched.
class FolderWatch {
  public:
    FolderWatch(const std::filesystem::path& folder, std::vector<std::wstring>& made,
                std::vector<std::wstring>& removed)
        : folder_(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                              nullptr)),
          event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        EXPECT_NE(folder_, INVALID_HANDLE_VALUE);
        // The first request is made before the program starts; changes between two requests
        // wait in the system's queue for the handle.
        Request();
        thread_ = std::thread([this, &made, &removed] {
            for (;;) {
                const DWORD woke = WaitForSingleObject(event_, 20);
                DWORD bytes = 0;
                if (woke == WAIT_OBJECT_0 &&
                    GetOverlappedResult(folder_, &overlapped_, &bytes, FALSE)) {
                    for (size_t at = 0; bytes > 0;) {
                        const auto* n =
                            reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_ + at);
                        const std::wstring name(n->FileName, n->FileNameLength / sizeof(wchar_t));
                        if (n->Action == FILE_ACTION_ADDED) made.push_back(name);
                        if (n->Action == FILE_ACTION_REMOVED) removed.push_back(name);
                        if (n->NextEntryOffset == 0) break;
                        at += n->NextEntryOffset;
                    }
                    Request();
                } else if (stop_) {
                    return;
                }
            }
        });
    }
    ~FolderWatch() {
        Sleep(200);  // the last changes' notice
        stop_ = true;
        thread_.join();
        CancelIo(folder_);
        CloseHandle(folder_);
        CloseHandle(event_);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

  private:
    void Request() {
        ResetEvent(event_);
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_;
        ReadDirectoryChangesW(folder_, buffer_, sizeof buffer_, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME,
                              nullptr, &overlapped_, nullptr);
    }
    HANDLE folder_, event_;
    OVERLAPPED overlapped_{};
    alignas(DWORD) BYTE buffer_[64 * 1024];
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The folder names of people whose programs must start: Cyrillic (inside the Russian code
// page, outside the Western one), Chinese (outside both) and Polish.
const char* const kFolderNames[] = {"Проверка Дмитрий", "测试 文件夹", "Łukasz"};

}  // namespace

// The manifest is what makes Windows give the program UTF-8 as its code page and real pixels
// on every monitor: an element in the wrong namespace is silently ignored.
TEST(WindowsProgram, ManifestAsksForUtf8AndPerMonitorDpi) {
    Resources exe;
    ASSERT_TRUE(exe.Loaded());
    // The manifest the process starts with (RT_MANIFEST, id 1).
    const std::string manifest = exe.Bytes(MAKEINTRESOURCEW(24), 1);
    ASSERT_FALSE(manifest.empty()) << "no manifest in velmora.exe";
    auto has = [&](const char* pattern) {
        return std::regex_search(manifest, std::regex(pattern));
    };
    EXPECT_TRUE(has(R"(<activeCodePage\s+xmlns="http://schemas.microsoft.com/SMI/2019/)"
                    R"(WindowsSettings"\s*>\s*UTF-8\s*</activeCodePage>)"))
        << manifest;
    EXPECT_TRUE(has(R"(<dpiAwareness\s+xmlns="http://schemas.microsoft.com/SMI/2016/)"
                    R"(WindowsSettings"\s*>\s*PerMonitorV2\b)"))
        << manifest;
    // What Windows 10 before 1607 reads instead.
    EXPECT_TRUE(has(R"(<dpiAware\s+xmlns="http://schemas.microsoft.com/SMI/2005/)"
                    R"(WindowsSettings"\s*>\s*true/pm\s*</dpiAware>)"))
        << manifest;
    EXPECT_TRUE(has(R"(<supportedOS\s+Id="\{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a\}")"))
        << "Windows 10/11 not named: " << manifest;
}

// Explorer, the taskbar and Alt+Tab show the first icon group; Properties and Task Manager the
// version resource, whose version must be the one --version prints.
TEST(WindowsProgram, IconAndVersionAsExplorerReadsThem) {
    Resources exe;
    ASSERT_TRUE(exe.Loaded());
    const std::string group = exe.Bytes(MAKEINTRESOURCEW(14), 1);  // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u) << "no icon in velmora.exe";
    const int count = static_cast<uint8_t>(group[4]) | static_cast<uint8_t>(group[5]) << 8;
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const char* entry = group.data() + 6 + 14 * i;
        const int width = static_cast<uint8_t>(entry[0]);
        sizes.push_back(width == 0 ? 256 : width);
        const int id = static_cast<uint8_t>(entry[12]) | static_cast<uint8_t>(entry[13]) << 8;
        const std::string image = exe.Bytes(MAKEINTRESOURCEW(3), id);  // RT_ICON
        ASSERT_FALSE(image.empty()) << "icon image " << id << " missing";
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(const_cast<char*>(image.data())),
            static_cast<DWORD>(image.size()), TRUE, 0x00030000, sizes.back(), sizes.back(), 0);
        EXPECT_NE(icon, nullptr) << "the " << sizes.back() << "-pixel icon does not decode";
        if (icon != nullptr) DestroyIcon(icon);
    }
    for (int wanted : {16, 32, 48, 256}) {
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), wanted), sizes.end())
            << "no " << wanted << "-pixel icon";
    }
    HICON large = nullptr, small = nullptr;
    EXPECT_GE(ExtractIconExW(Program().c_str(), 0, &large, &small, 1), 1u);
    EXPECT_NE(large, nullptr);
    if (large != nullptr) DestroyIcon(large);
    if (small != nullptr) DestroyIcon(small);

    const std::string version = Version();
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(Program().c_str(), &ignored));
    ASSERT_FALSE(info.empty()) << "no version resource in velmora.exe";
    ASSERT_TRUE(
        GetFileVersionInfoW(Program().c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
            length == 0) {
            return std::string();
        }
        return Utf8(std::filesystem::path(std::wstring(value, wcslen(value))));
    };
    EXPECT_EQ(text(L"ProductVersion"), version);
    EXPECT_EQ(text(L"FileVersion"), version);
    EXPECT_EQ(text(L"ProductName"), "Velmora");
    EXPECT_EQ(text(L"OriginalFilename"), "velmora.exe");
    EXPECT_NE(text(L"FileDescription").find("Velmora"), std::string::npos);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string numbers = std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwProductVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwProductVersionLS));
    EXPECT_EQ(numbers, version);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

// A program of the window kind: Explorer opens no console for it. Started with its output
// redirected (as here, and as a script does), it prints as a console program would.
TEST(WindowsProgram, WindowKindThatStillPrints) {
    const std::vector<uint8_t> bytes = FileBytes(Program());
    ASSERT_GT(bytes.size(), 0x40u);
    const uint32_t peOffset = *reinterpret_cast<const uint32_t*>(&bytes[0x3C]);
    ASSERT_LT(peOffset + sizeof(IMAGE_NT_HEADERS64), bytes.size());
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS64*>(&bytes[peOffset]);
    ASSERT_EQ(headers->Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    EXPECT_EQ(headers->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    const std::string velmora = BuiltProgram("velmora");
    ProgramRun run = RunProgram(velmora, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("usage: velmora"), std::string::npos) << run.output;
    run = RunProgram(velmora, {"--frames", "x"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find("velmora: --frames needs"), std::string::npos) << run.errors;
    run = RunProgram(velmora, {"--headless", "--frames", "3", "--stats"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find("frames=3 "), std::string::npos) << run.output;
}

// Started with nowhere to print (from Explorer, a shortcut), an error reaches a message box
// named after the program, which says what the console would have said. Wine without an X
// server has no windows at all: the suite skips it there, and scripts/test-windows.sh runs it
// again on its private X server.
TEST(WindowsProgram, ErrorsWithoutAConsoleReachABox) {
    HWND probe =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no windows here (Wine without a display)";
    DestroyWindow(probe);
    std::wstring command = L"\"" + Program().wstring() + L"\" --frames x";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handles given and no console to lend: what a double-click gives. This test's own
    // output goes to ctest through pipes, which stay.
    FreeConsole();
    ASSERT_TRUE(CreateProcessW(Program().c_str(), command.data(), nullptr, nullptr, FALSE,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &process));
    struct Found {
        DWORD process;
        HWND box;
    } found{process.dwProcessId, nullptr};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (found.box == nullptr && std::chrono::steady_clock::now() < deadline &&
           WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
        EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto* f = reinterpret_cast<Found*>(context);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t title[64] = {};
                GetWindowTextW(window, title, 64);
                if (owner != f->process || std::wstring(title) != L"Velmora") return TRUE;
                f->box = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
    }
    std::string text;
    if (found.box != nullptr) {
        wchar_t words[512] = {};
        GetDlgItemTextW(found.box, 0xFFFF, words, 512);  // a message box's text
        text = Utf8(std::filesystem::path(std::wstring(words)));
        PostMessageW(found.box, WM_COMMAND, IDOK, 0);
    }
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 99);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_NE(found.box, nullptr) << "no box from a program started without a console";
    EXPECT_NE(text.find("velmora: --frames needs"), std::string::npos) << text;
    EXPECT_TRUE(ended);
    EXPECT_EQ(status, 2u);
}

// Under another system locale (scripts/test-windows.sh runs this file again with one whose
// code page is not the Western one), the locale must really have been taken.
TEST(WindowsPaths, SystemCodePageIsTheOneAskedFor) {
    const std::optional<std::string> wanted = EnvironmentValue("VELMORA_EXPECT_ACP");
    if (!wanted) GTEST_SKIP() << "run under the default locale";
    EXPECT_EQ(std::to_string(GetACP()), *wanted);
}

// The zip unpacked into a folder with such a name: the flight runs, Temp.dat is made beside
// the program (the temporary folder cannot take it over: it does not exist) and removed, the
// frame written into that folder is the one the build folder's program writes.
TEST(WindowsPaths, FlightFromFoldersNamedOutsideAscii) {
    TempDir dir;
    const std::vector<std::string> flight = {"--headless", "--frames", "60", "--seed", "1"};
    std::vector<std::string> args = flight;
    args.push_back("--shot");
    args.push_back("60:" + Utf8(dir.Path() / "reference.png"));
    const ProgramRun reference = RunProgram(BuiltProgram("velmora"), args);
    ASSERT_EQ(reference.status, 0) << reference.errors;
    const std::vector<uint8_t> expected = FileBytes(dir.Path() / "reference.png");
    ASSERT_FALSE(expected.empty());

    for (const char* name : kFolderNames) {
        SCOPED_TRACE(name);
        const std::filesystem::path folder = dir.Path() / FilePath(name);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(Program(), folder / "velmora.exe");
        std::filesystem::copy_file(FilePath(std::string(VELMORA_BINARY_DIR) + "/Data.kqx"),
                                   folder / "Data.kqx");
        const std::filesystem::path shot = folder / FilePath("кадр 画面.png");
        args = flight;
        args.push_back("--shot");
        args.push_back("60:" + Utf8(shot));
        std::vector<std::wstring> made, removed;
        ProgramRun run;
        {
            const FolderWatch watch(folder, made, removed);
            run = RunProgram(Utf8(folder / "velmora.exe"), args);
        }
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_TRUE(FileBytes(shot) == expected) << "the frame differs or was not written";
        // Made beside the program (not in the temporary folder) and removed again.
        EXPECT_NE(std::find(made.begin(), made.end(), L"Temp.dat"), made.end());
        EXPECT_NE(std::find(removed.begin(), removed.end(), L"Temp.dat"), removed.end());
        EXPECT_FALSE(std::filesystem::exists(folder / "Temp.dat"));
    }
}

// Without Data.kqx the error names the folder as it is spelled.
TEST(WindowsPaths, MissingDataNamesTheFolderRightly) {
    TempDir dir;
    for (const char* name : kFolderNames) {
        SCOPED_TRACE(name);
        const std::filesystem::path folder = dir.Path() / FilePath(name);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(Program(), folder / "velmora.exe");
        const ProgramRun run = RunProgram(Utf8(folder / "velmora.exe"), {"--headless"});
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.errors.find("Data.kqx not found; looked in "), std::string::npos)
            << run.errors;
        EXPECT_NE(run.errors.find("/" + std::string(name) + "/"), std::string::npos) << run.errors;
    }
}

// Pictures redirected to a folder with such a name (here through the variable that overrides
// the system's folder; scripts/test-windows.sh redirects the system's own and presses SPACE).
TEST(WindowsPaths, ScreenshotIntoPicturesNamedOutsideAscii) {
    TempDir dir;
    const std::filesystem::path pictures = dir.Path() / FilePath("Картинки 图片");
    ScopedEnvironment redirected("XDG_PICTURES_DIR", Utf8(pictures));
    const std::vector<uint16_t> frame(8 * 4, 0xF800);
    std::tm local{};
    local.tm_year = 126;
    local.tm_mday = 1;
    const std::filesystem::path saved =
        SaveScreenshot(PicturesFolder(CurrentPicturesEnvironment()), local, frame.data(), 8, 4, 8);
    EXPECT_EQ(saved.parent_path(), pictures / "Velmora");
    EXPECT_TRUE(std::filesystem::is_regular_file(pictures / "Velmora" / saved.filename()));
}
