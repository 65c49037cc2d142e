// An unbroken long line against the same bytes in short lines: 8 MB through
// `spindle-cli exec`, as a user running `cat` on a binary file would. Reports
// wall time and peak memory of each run and their ratios.
#include "bench_util.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

struct Result
{
    double seconds = 0;
    long peakKb = 0;
    long long outputBytes = -1;
    int status = -1;
};

std::string binDir()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p(buf, n > 0 ? size_t(n) : 0);
    return p.substr(0, p.rfind('/'));
}

// Runs spindle-cli exec on the test child with its output in a file.
Result run(const std::string &childArgs)
{
    const std::string dir = binDir();
    const std::string out = dir + "/bench_long_line.out";
    const std::string commandLine = "\"" + dir + "/spindle-testchild\" " + childArgs;
    std::vector<std::string> args{dir + "/spindle-cli", "exec", commandLine};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    Result r;
    const double start = nowSeconds();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        return r;
    int status = 0;
    rusage u{};
    while (wait4(pid, &status, 0, &u) < 0 && errno == EINTR) {
    }
    r.seconds = nowSeconds() - start;
    r.peakKb = u.ru_maxrss;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    struct stat st{};
    if (stat(out.c_str(), &st) == 0)
        r.outputBytes = st.st_size;
    unlink(out.c_str());
    posix_spawn_file_actions_destroy(&fa);
    return r;
}

} // namespace

int main()
{
    const long long size = 8LL << 20;
    const Result oneLine = run("blob " + std::to_string(size));
    const Result shortLines = run("blob " + std::to_string(size) + " 100");
    for (const Result *r : {&oneLine, &shortLines}) {
        if (r->status != 0 || r->outputBytes != size) {
            std::printf("long line: a run failed (status %d, %lld bytes out)\n", r->status, r->outputBytes);
            return 1;
        }
    }
    reportLine("8 MB in one line: %.3f s, peak %ld MB; in 100-byte lines: %.3f s, peak %ld MB\n",
                oneLine.seconds, oneLine.peakKb >> 10, shortLines.seconds, shortLines.peakKb >> 10);
    reportLine("ratio (one line / short lines): time %.2f (target <= 10), memory %.2f; one-line peak "
                "%ld MB (target < 256 MB)\n",
                oneLine.seconds / shortLines.seconds, double(oneLine.peakKb) / double(shortLines.peakKb),
                oneLine.peakKb >> 10);
    return 0;
}
