// Small timing helpers shared by the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace vantor::bench {

// Seconds on the performance counter.
inline double now()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs `body` `rounds` times and returns the median duration in seconds.
template <typename Body>
double medianSeconds(int rounds, Body body)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double start = now();
        body();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace vantor::bench
