#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

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

// Runs f() `runs` times and returns the median wall time in seconds.
template <class F>
double timeMedian(int runs, F &&f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double s = nowSeconds();
        f();
        t.push_back(nowSeconds() - s);
    }
    return median(t);
}
