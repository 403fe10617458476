#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/TestSystem.h"

namespace {

std::string TakeText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return text;
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
    return std::string(VELMORA_BINARY_DIR) + "/" + name;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
    ProgramRun run;
    const std::string base = std::filesystem::temp_directory_path().string() + "/velmora-run-" +
                             std::to_string(::getpid()) + "-";
    std::string outPath = base + "out-XXXXXX", errPath = base + "err-XXXXXX";
    const int out = ::mkstemp(outPath.data()), err = ::mkstemp(errPath.data());
    if (out < 0 || err < 0) return run;
    // A build for another CPU runs its programs through the emulator that runs the tests,
    // named by the build (VELMORA_EMULATOR, empty for a native build).
    std::vector<std::string> words = Words(EnvironmentValue("VELMORA_EMULATOR").value_or(""));
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    // Made before the fork: the child only calls what is safe between fork and exec.
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(err);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    run.output = TakeText(outPath);
    run.errors = TakeText(errPath);
    return run;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

int ProcessId() {
    return static_cast<int>(::getpid());
}

// Also as root: the limit fails the write, and with its signal ignored the write reports it.
FileSizeLimit::FileSizeLimit(long long bytes) {
    rlimit old{};
    if (getrlimit(RLIMIT_FSIZE, &old) != 0) return;
    oldLimit_ = static_cast<long long>(old.rlim_cur);
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = static_cast<rlim_t>(bytes);
    active_ = setrlimit(RLIMIT_FSIZE, &tiny) == 0;
    if (!active_) std::signal(SIGXFSZ, oldSignal_);
}

FileSizeLimit::~FileSizeLimit() {
    if (!active_) return;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    old.rlim_cur = static_cast<rlim_t>(oldLimit_);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal_);
}

const char* const kTemporaryFolderVariable = "TMPDIR";

std::optional<bool> OthersMayRead(const std::string& path) {
    return (std::filesystem::status(path).permissions() & std::filesystem::perms::others_read) !=
           std::filesystem::perms::none;
}
