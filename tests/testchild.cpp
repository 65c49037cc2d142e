// A child program for the runner tests: writes given bytes with pauses,
// echoes its input, exits with a given code, starts a sleeping grandchild,
// plays recorded tool output, starts a family of sleeping processes.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

static std::string unescape(const char *s)
{
    std::string out;
    for (; *s; ++s) {
        if (*s != '\\' || !s[1]) {
            out += *s;
            continue;
        }
        ++s;
        switch (*s) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case '0': out += '\0'; break;
        case 'x': {
            char hex[3] = {s[1], s[2], 0};
            out += char(std::strtol(hex, nullptr, 16));
            s += 2;
            break;
        }
        default: out += *s;
        }
    }
    return out;
}

static void sleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A stubborn process notes each SIGTERM in a log ("T" and its pid) and
// goes on: only SIGKILL ends it.
static int g_termLog = -1;
static void noteTerm(int)
{
    char line[32];
    const int n = std::snprintf(line, sizeof line, "T %d\n", int(getpid()));
    (void)!write(g_termLog, line, size_t(n));
}
static void beStubborn(const char *log)
{
    g_termLog = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    struct sigaction sa = {};
    sa.sa_handler = noteTerm;
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
}

// Starts two grandchildren ("linger MARKER FD [LOG]"), each with the marker
// in its command line, and returns once both run.
static void startFamily(const char *marker, const char *log)
{
    int ready[2];
    if (pipe(ready) != 0)
        _exit(2);
    char fd[16];
    std::snprintf(fd, sizeof fd, "%d", ready[1]);
    for (int i = 0; i < 2; ++i) {
        if (fork() == 0) {
            close(ready[0]);
            const char *args[] = {"spindle-testchild", "linger", marker, fd, log, nullptr};
            execv("/proc/self/exe", const_cast<char **>(args));
            _exit(2);
        }
    }
    close(ready[1]);
    char b[2];
    size_t got = 0;
    while (got < 2) {
        const ssize_t n = read(ready[0], b, 2 - got);
        if (n <= 0)
            _exit(2);
        got += size_t(n);
    }
    close(ready[0]);
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    if (mode == "write") {
        // Arguments: byte strings (with \r \n \0 \xHH), "@MS" pauses, "=CODE" the exit code.
        int code = 0;
        for (int i = 2; i < argc; ++i) {
            if (argv[i][0] == '@')
                sleepMs(std::atol(argv[i] + 1));
            else if (argv[i][0] == '=')
                code = std::atoi(argv[i] + 1);
            else {
                const std::string b = unescape(argv[i]);
                (void)!write(1, b.data(), b.size());
            }
        }
        return code;
    }
    if (mode == "exit")
        return std::atoi(argv[2]);
    if (mode == "args") {
        for (int i = 2; i < argc; ++i)
            std::printf("[%s]\n", argv[i]);
        return 0;
    }
    if (mode == "echo") {
        // Each byte read from standard input is reported in hex, one read a line.
        char buf[256];
        ssize_t n;
        while ((n = read(0, buf, sizeof buf)) > 0) {
            std::string line = "in:";
            for (ssize_t i = 0; i < n; ++i) {
                char h[4];
                std::snprintf(h, sizeof h, "%02x", (unsigned char)buf[i]);
                line += h;
            }
            line += '\n';
            (void)!write(1, line.data(), line.size());
            if (std::memchr(buf, 'q', size_t(n)))
                break;
        }
        return 0;
    }
    if (mode == "lines") {
        // N short lines as fast as possible.
        const long n = std::atol(argv[2]);
        std::string out;
        char line[32];
        for (long i = 0; i < n; ++i) {
            int len = std::snprintf(line, sizeof line, "line %ld\n", i);
            out.append(line, size_t(len));
            if (out.size() > 60000) {
                (void)!write(1, out.data(), out.size());
                out.clear();
            }
        }
        (void)!write(1, out.data(), out.size());
        return 0;
    }
    if (mode == "blob") {
        // N bytes of text as fast as possible: lines of LEN bytes (the line
        // feed included) when LEN is given, else one line without an end.
        const long n = std::atol(argv[2]);
        const long len = argc > 3 ? std::atol(argv[3]) : 0;
        std::string out;
        for (long i = 0; i < n; ++i) {
            out += len > 0 && i % len == len - 1 ? '\n' : char('a' + i % 26);
            if (out.size() >= 65536 || i == n - 1) {
                (void)!write(1, out.data(), out.size());
                out.clear();
            }
        }
        return 0;
    }
    if (mode == "ticks") {
        // N lines, one every MS milliseconds.
        const long n = std::atol(argv[2]), ms = std::atol(argv[3]);
        for (long i = 0; i < n; ++i) {
            std::printf("tick %ld\n", i);
            std::fflush(stdout);
            sleepMs(ms);
        }
        return 0;
    }
    if (mode == "play") {
        // Arguments: FILE MS [CODE|hang]. Writes a recorded transcript one
        // line (up to and including its CR or LF) at a time, MS apart, then
        // exits with CODE, or hangs when asked.
        FILE *f = std::fopen(argv[2], "rb");
        if (!f)
            return 2;
        const long ms = argc > 3 ? std::atol(argv[3]) : 0;
        std::string piece;
        int c;
        while ((c = std::fgetc(f)) != EOF) {
            piece += char(c);
            if (c == '\r' || c == '\n') {
                (void)!write(1, piece.data(), piece.size());
                piece.clear();
                if (ms > 0)
                    sleepMs(ms);
            }
        }
        std::fclose(f);
        (void)!write(1, piece.data(), piece.size());
        if (argc > 4 && std::string(argv[4]) == "hang") {
            sleepMs(600000);
            return 0;
        }
        return argc > 4 ? std::atoi(argv[4]) : 0;
    }
    if (mode == "slowread" && argc >= 5) {
        // Arguments: FROM TO BYTES_PER_SECOND. Copies FROM (a FIFO a writer
        // fills) into TO at that rate, so the writer's output comes over time.
        const int in = open(argv[2], O_RDONLY);
        const int out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const long rate = std::atol(argv[4]);
        if (in < 0 || out < 0 || rate <= 0)
            return 2;
        char buf[65536];
        ssize_t n;
        while ((n = read(in, buf, sizeof buf)) > 0) {
            (void)!write(out, buf, size_t(n));
            sleepMs(long(n) * 1000 / rate);
        }
        return 0;
    }
    if (mode == "sleep") {
        sleepMs(std::atol(argv[2]));
        return 0;
    }
    if (mode == "grandchild") {
        // Starts a grandchild that sleeps; writes its pid to the file named.
        pid_t pid = fork();
        if (pid == 0) {
            sleepMs(60000);
            _exit(0);
        }
        if (FILE *f = std::fopen(argv[2], "w")) {
            std::fprintf(f, "%d\n", int(pid));
            std::fclose(f);
        }
        std::printf("started %d\n", int(pid));
        std::fflush(stdout);
        sleepMs(60000);
        return 0;
    }
    if (mode == "family" && argc >= 3) {
        // Arguments: MARKER [stubborn LOG]. Starts two grandchildren, says
        // "ready" and sleeps.
        const char *log = argc >= 5 && std::string(argv[3]) == "stubborn" ? argv[4] : nullptr;
        if (log)
            beStubborn(log);
        startFamily(argv[2], log);
        std::printf("ready\n");
        std::fflush(stdout);
        sleepMs(600000);
        return 0;
    }
    if (mode == "family-exit" && argc >= 4) {
        // Arguments: CODE MARKER. Starts two grandchildren, says "ready" and
        // exits with CODE while they sleep.
        startFamily(argv[3], nullptr);
        std::printf("ready\n");
        std::fflush(stdout);
        return std::atoi(argv[2]);
    }
    if (mode == "detached" && argc >= 5) {
        // Arguments: OPTION CODE MARKER [LOG]. Runs "setsid [OPTION]
        // spindle-testchild linger MARKER FD [LOG]" ("-": no option), which
        // leaves the group and the session, says "ready" once it runs, then
        // exits with CODE ("-": sleeps).
        char self[4096];
        const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
        int ready[2];
        if (len <= 0 || pipe(ready) != 0)
            return 2;
        self[len] = 0;
        char fd[16];
        std::snprintf(fd, sizeof fd, "%d", ready[1]);
        if (fork() == 0) {
            close(ready[0]);
            const char *args[8];
            int n = 0;
            args[n++] = "setsid";
            if (std::string(argv[2]) != "-")
                args[n++] = argv[2];
            for (const char *a : {static_cast<const char *>(self), "linger", static_cast<const char *>(argv[4]),
                                  static_cast<const char *>(fd)})
                args[n++] = a;
            if (argc >= 6)
                args[n++] = argv[5];
            args[n] = nullptr;
            execvp("setsid", const_cast<char **>(args));
            _exit(2);
        }
        close(ready[1]);
        char b;
        if (read(ready[0], &b, 1) != 1)
            return 2;
        std::printf("ready\n");
        std::fflush(stdout);
        if (std::string(argv[3]) == "-")
            sleepMs(600000);
        return std::atoi(argv[3]);
    }
    if (mode == "linger" && argc >= 4) {
        // Arguments: MARKER FD [LOG]: one byte to FD once running, then sleep.
        if (argc >= 5)
            beStubborn(argv[4]);
        const int fd = std::atoi(argv[3]);
        (void)!write(fd, "x", 1);
        close(fd);
        sleepMs(600000);
        return 0;
    }
    return 2;
}
