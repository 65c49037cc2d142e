#pragma once
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
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
