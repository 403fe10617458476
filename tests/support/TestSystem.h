// What tests need from the system, the same on Linux and Windows: programs of the build run
// with their arguments as they are (no shell, so no quoting), environment variables changed for
// a scope, the process id. One source file per system (TestSystemPosix.cpp,
// TestSystemWin32.cpp).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The path of a program built beside the tests ("kqx" is kqx.exe on Windows).
std::string BuiltProgram(const std::string& name);

struct ProgramRun {
    int status = -1;     // the exit status; -1 when it did not start or did not exit
    std::string output;  // what it wrote on standard output
    std::string errors;  // and on standard error
};

// Runs the program with these arguments and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);

// The words of arguments written as a test writes them: spaces between words, single quotes
// around a word that has spaces ("pack 'a b.kqx' x" is three words).
inline std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

// The value of an environment variable; nullopt when it is not set.
inline std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    if (v == nullptr) return std::nullopt;
    return std::string(v);
}

// Sets (or with nullopt removes) an environment variable of this process.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// Sets a variable for the scope and gives it its old value (or absence) back afterwards.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)), old_(EnvironmentValue(name_)) {
        SetEnvironment(name_, value);
    }
    ~ScopedEnvironment() { SetEnvironment(name_, old_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

int ProcessId();

// The variable that names the temporary folder (TMPDIR; TMP on Windows).
extern const char* const kTemporaryFolderVariable;

// Whether other users may read the file, where its own permissions say so; nullopt where the
// folder's access rules decide instead (Windows).
std::optional<bool> OthersMayRead(const std::string& path);

// Files this process writes fail past `bytes`, the way they do on a full disk, for the scope;
// Active() is false where the system has no such limit (Windows).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return active_; }

  private:
    bool active_ = false;
    long long oldLimit_ = 0;
    void (*oldSignal_)(int) = nullptr;
};
