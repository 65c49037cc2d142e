#pragma once
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

// The machine's load as /proc/loadavg gives it ("0.52 0.61 0.70"), printed
// beside each ratio: a ratio measured on a busy machine says less.
inline const char *loadAverage()
{
    static char text[64];
    text[0] = 0;
    if (std::FILE *f = std::fopen("/proc/loadavg", "r")) {
        double a = 0, b = 0, c = 0;
        if (std::fscanf(f, "%lf %lf %lf", &a, &b, &c) == 3)
            std::snprintf(text, sizeof text, "load %.2f %.2f %.2f", a, b, c);
        std::fclose(f);
    }
    return text;
}

inline double nowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// CPU time of the calling thread, in seconds: on a loaded machine a short
// baseline and a longer run lose different shares of wall time to other
// processes, so ratios of short steps compare CPU time.
inline double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Runs f() `runs` times and returns the median of the times `clock` gives.
template <class Clock, class F>
double medianTime(int runs, Clock &&clock, F &&f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double s = clock();
        f();
        t.push_back(clock() - s);
    }
    return median(t);
}

// The median wall time in seconds.
template <class F>
double timeMedian(int runs, F &&f)
{
    return medianTime(runs, nowSeconds, f);
}

// The median thread CPU time in seconds.
template <class F>
double cpuMedian(int runs, F &&f)
{
    return medianTime(runs, threadCpuSeconds, f);
}

// The machine's load (/proc/loadavg: runnable tasks over 1, 5 and 15
// minutes). On a shared machine a ratio means little without it.
inline const char *loadText()
{
    static char text[64];
    double a = 0, b = 0, c = 0;
    FILE *f = std::fopen("/proc/loadavg", "r");
    const bool ok = f && std::fscanf(f, "%lf %lf %lf", &a, &b, &c) == 3;
    if (f)
        std::fclose(f);
    if (ok)
        std::snprintf(text, sizeof text, "load %.2f %.2f %.2f", a, b, c);
    else
        std::snprintf(text, sizeof text, "load unknown");
    return text;
}

// Prints one line of a benchmark's report with the load beside it.
__attribute__((format(printf, 1, 2))) inline void reportLine(const char *format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    size_t n = std::strlen(line);
    while (n > 0 && line[n - 1] == '\n')
        line[--n] = 0;
    std::printf("%s [%s]\n", line, loadText());
    std::fflush(stdout);
}
