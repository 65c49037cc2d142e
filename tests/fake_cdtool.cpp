// Stands in for cdrecord and readcd, which need a drive. Staged under the
// tools' names, it prints a transcript chosen by what it was asked:
//   FAKECD_SCANBUS  file printed for -scanbus
//   FAKECD_PRCAP    file printed for -prcap
//   FAKECD_OUTPUT   file printed for anything else
//   FAKECD_ARGS     file that gets one line per run: the name it was
//                   started under, then each argument in brackets
//   FAKECD_PROGRESS N: then N progress lines ended by a lone CR
//   FAKECD_HOLD     an argument (e.g. dev=2,0,0): a run given it waits
//                   until it is killed (at most a minute)
//   FAKECD_EXIT     exit code
//   FAKECD_WRITE    any value: an f=FILE argument gets a few bytes written
//                   into FILE, as a read that began
//   FAKECD_VERSION  file printed for -version (Spindle's identification of
//                   the tool; not logged in FAKECD_ARGS)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

static const char *env(const char *name)
{
    const char *v = std::getenv(name);
    return v && *v ? v : nullptr;
}

int main(int argc, char **argv)
{
    const char *self = std::strrchr(argv[0], '/');
    self = self ? self + 1 : argv[0];
    if (argc == 2 && !std::strcmp(argv[1], "-version")) {
        if (const char *path = env("FAKECD_VERSION"))
            if (FILE *f = std::fopen(path, "rb")) {
                char buf[4096];
                size_t n;
                while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                    std::fwrite(buf, 1, n, stdout);
                std::fclose(f);
            }
        return 0;
    }
    if (const char *log = env("FAKECD_ARGS")) {
        std::string line = self;
        for (int i = 1; i < argc; ++i)
            line += std::string(" [") + argv[i] + "]";
        line += '\n';
        if (FILE *f = std::fopen(log, "a")) {
            std::fwrite(line.data(), 1, line.size(), f);
            std::fclose(f);
        }
    }
    const char *which = "FAKECD_OUTPUT";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-scanbus"))
            which = "FAKECD_SCANBUS";
        else if (!std::strcmp(argv[i], "-prcap"))
            which = "FAKECD_PRCAP";
    }
    if (const char *hold = env("FAKECD_HOLD"))
        for (int i = 1; i < argc; ++i)
            if (!std::strcmp(argv[i], hold)) {
                std::fputs("holding\n", stdout);
                std::fflush(stdout);
                std::this_thread::sleep_for(std::chrono::seconds(60));
                return 3;
            }
    if (const char *path = env(which)) {
        if (FILE *f = std::fopen(path, "rb")) {
            char buf[65536];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                std::fwrite(buf, 1, n, stdout);
            std::fclose(f);
        } else {
            std::fprintf(stderr, "%s: cannot open transcript %s\n", self, path);
            return 4;
        }
    }
    if (env("FAKECD_WRITE"))
        for (int i = 1; i < argc; ++i)
            if (!std::strncmp(argv[i], "f=", 2))
                if (FILE *out = std::fopen(argv[i] + 2, "wb")) {
                    std::fputs("partial", out);
                    std::fclose(out);
                }
    if (const char *p = env("FAKECD_PROGRESS")) {
        const int steps = std::atoi(p);
        for (int k = 1; k <= steps; ++k) {
            std::printf("Track 01: %4d of %4d MB written.\r", k, steps);
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    std::fflush(stdout);
    const char *code = env("FAKECD_EXIT");
    return code ? std::atoi(code) : 0;
}
