// Plain driver of the fuzz targets, for builds without libFuzzer: runs LLVMFuzzerTestOneInput once for every file
// named on the command line (a folder stands for the files in it), each in a child process of its own, under
// limits: time (5 s), resident memory (512 MiB), address space (2 GiB), single allocations (512 MiB) and output
// files (64 MiB, cut by the file-size limit of the shell that starts the driver when that one is lower). Each
// child gets a fresh $TMPDIR, which must be empty again when the input passes, and is removed afterwards.
// The libFuzzer options -timeout=S, -rss_limit_mb=M and -malloc_limit_mb=M change the limits; other options are
// ignored. Exit status 1 when any input failed.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr uint64_t MiB = uint64_t{1} << 20;
uint64_t timeoutSeconds = 5;
uint64_t rssLimit = 512 * MiB;
uint64_t addressLimit = 2048 * MiB;
uint64_t fileLimit = 64 * MiB;
size_t mallocLimit = 512 * MiB;

[[noreturn]] void TooLarge(size_t n)
{
    std::fprintf(stderr, "==FINDING== allocation of %zu bytes (limit %zu)\n", n, mallocLimit);
    std::fflush(stderr);
    std::abort();
}

void* Allocate(size_t n)
{
    if (mallocLimit != 0 && n > mallocLimit)
        TooLarge(n);
    for (;;) {
        if (void* p = std::malloc(n ? n : 1))
            return p;
        std::new_handler h = std::get_new_handler();
        if (!h)
            throw std::bad_alloc();
        h();
    }
}

void* AllocateAligned(size_t n, std::align_val_t a)
{
    if (mallocLimit != 0 && n > mallocLimit)
        TooLarge(n);
    const size_t align = static_cast<size_t>(a);
    void* p = std::aligned_alloc(align, (std::max<size_t>(n, 1) + align - 1) / align * align);
    if (!p)
        throw std::bad_alloc();
    return p;
}

// A value in kB of /proc/PID/status ("VmRSS", "VmHWM", "VmPeak"), in bytes; 0 when missing.
uint64_t StatusValue(const std::string& file, const char* key)
{
    std::ifstream in(file);
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::strtoull(line.c_str() + n + 1, nullptr, 10) * 1024;
    return 0;
}

void SetLimit(int resource, uint64_t value)
{
    rlimit r{};
    getrlimit(resource, &r);
    if (r.rlim_cur == RLIM_INFINITY || r.rlim_cur > value) {
        r.rlim_cur = value;
        setrlimit(resource, &r);
    }
}

[[noreturn]] void RunChild(const std::vector<uint8_t>& bytes, const std::string& tmp)
{
    setenv("TMPDIR", tmp.c_str(), 1);
    SetLimit(RLIMIT_FSIZE, fileLimit);
    // A safety net only: an allocation refused here may be caught and hidden, so the address space is judged
    // by its peak below, and the net lies well above the limit.
    SetLimit(RLIMIT_AS, addressLimit + 1024 * MiB);
    std::signal(SIGXFSZ, SIG_DFL);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    const uint64_t peak = StatusValue("/proc/self/status", "VmPeak");
    const uint64_t hwm = StatusValue("/proc/self/status", "VmHWM");
    if (peak > addressLimit) {
        std::fprintf(stderr, "==FINDING== address space reached %llu MiB (limit %llu MiB)\n",
                     static_cast<unsigned long long>(peak / MiB), static_cast<unsigned long long>(addressLimit / MiB));
        std::_Exit(3);
    }
    if (hwm > rssLimit) {
        std::fprintf(stderr, "==FINDING== resident memory reached %llu MiB (limit %llu MiB)\n",
                     static_cast<unsigned long long>(hwm / MiB), static_cast<unsigned long long>(rssLimit / MiB));
        std::_Exit(3);
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

// Runs one input in a child; returns the failure, or "" when it passed.
std::string RunOne(const std::vector<uint8_t>& bytes, double& seconds)
{
    const char* parentTmp = std::getenv("TMPDIR");
    std::string tmp = std::string(parentTmp && *parentTmp ? parentTmp : "/tmp") + "/tarvesh-fuzz-case-XXXXXX";
    if (!mkdtemp(tmp.data()))
        return "cannot create a temporary folder";
    struct Remove {
        std::string path;
        ~Remove()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } removeTmp{tmp};
    const auto start = std::chrono::steady_clock::now();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0)
        RunChild(bytes, tmp);
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    std::string failure;
    int ws = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &ws, WNOHANG);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r == pid)
            break;
        if (failure.empty() && seconds > static_cast<double>(timeoutSeconds))
            failure = "timeout: still running after " + std::to_string(timeoutSeconds) + " s";
        if (failure.empty() && StatusValue(status, "VmRSS") > rssLimit)
            failure = "resident memory over " + std::to_string(rssLimit / MiB) + " MiB";
        if (!failure.empty()) {
            kill(pid, SIGKILL);
            waitpid(pid, &ws, 0);
            return failure;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(seconds < 0.05 ? 1 : 10));
    }
    if (WIFSIGNALED(ws)) {
        const int sig = WTERMSIG(ws);
        if (sig == SIGXFSZ)
            return "an output file grew past " + std::to_string(fileLimit / MiB) + " MiB";
        return std::string("killed by signal ") + strsignal(sig);
    }
    if (WIFEXITED(ws) && WEXITSTATUS(ws) != 0)
        return "exit status " + std::to_string(WEXITSTATUS(ws));
    std::error_code ec;
    if (!std::filesystem::is_empty(tmp, ec))
        return "files left behind in $TMPDIR";
    return "";
}

bool Option(const char* arg, const char* name, uint64_t& value, uint64_t unit)
{
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0 || arg[n] != '=')
        return false;
    value = std::strtoull(arg + n + 1, nullptr, 10) * unit;
    return true;
}

} // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(size_t n, std::align_val_t a) { return AllocateAligned(n, a); }
void* operator new[](size_t n, std::align_val_t a) { return AllocateAligned(n, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (a[0] == '-') {
            uint64_t v = 0;
            if (Option(a, "-timeout", v, 1))
                timeoutSeconds = v;
            else if (Option(a, "-rss_limit_mb", v, MiB))
                rssLimit = v;
            else if (Option(a, "-malloc_limit_mb", v, MiB))
                mallocLimit = static_cast<size_t>(v);
            continue;
        }
        std::error_code ec;
        if (std::filesystem::is_directory(a, ec)) {
            std::vector<std::string> inDir;
            for (const auto& e : std::filesystem::directory_iterator(a, ec))
                if (e.is_regular_file(ec))
                    inDir.push_back(e.path().string());
            std::sort(inDir.begin(), inDir.end());
            files.insert(files.end(), inDir.begin(), inDir.end());
        } else {
            files.push_back(a);
        }
    }
    int failed = 0;
    for (const std::string& f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read\n", f.c_str());
            ++failed;
            continue;
        }
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        double seconds = 0;
        const std::string failure = RunOne(bytes, seconds);
        if (failure.empty()) {
            std::printf("ok %7.3f s  %s\n", seconds, f.c_str());
        } else {
            std::printf("FAILED %7.3f s  %s: %s\n", seconds, f.c_str(), failure.c_str());
            ++failed;
        }
        std::fflush(stdout);
    }
    std::printf("%zu inputs, %d failed\n", files.size(), failed);
    return failed ? 1 : 0;
}
