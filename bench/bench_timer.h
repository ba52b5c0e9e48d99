// Small timing helpers shared by the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <functional>
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

// The median of `values` (the upper one of an even count), so that one
// disturbed round does not decide a ratio.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds that `rounds` runs of `body` take together.
template <typename Body>
double secondsFor(int rounds, Body&& body)
{
    const double start = now();
    for (int i = 0; i < rounds; ++i) {
        body();
    }
    return now() - start;
}

// Times `repeats` batches of `rounds` runs of `body` and returns the median
// batch's seconds.
template <typename Body>
double medianSeconds(int repeats, int rounds, Body&& body)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        times.push_back(secondsFor(rounds, body));
    }
    return median(times);
}

// Times `repeats` batches of `rounds` runs of each of `bodies` and returns
// each one's median batch in seconds. The bodies take turns, batch after
// batch, so that a change of the machine's load falls on all of them, and
// the one that goes first moves on by one every batch.
inline std::vector<double> medianSecondsInTurns(int repeats, int rounds,
                                                const std::vector<std::function<void()>>& bodies)
{
    std::vector<std::vector<double>> times(bodies.size());
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (std::size_t turn = 0; turn < bodies.size(); ++turn) {
            const std::size_t which = (static_cast<std::size_t>(repeat) + turn) % bodies.size();
            times[which].push_back(secondsFor(rounds, bodies[which]));
        }
    }
    std::vector<double> medians;
    for (const std::vector<double>& each : times) {
        medians.push_back(median(each));
    }
    return medians;
}

// Runs `body` `rounds` times and returns the median duration in seconds.
template <typename Body>
double medianSeconds(int rounds, Body&& body)
{
    return medianSeconds(rounds, 1, body);
}

// Runs `body` `rounds` times and returns the shortest duration in seconds.
template <typename Body>
double fastestSeconds(int rounds, Body&& body)
{
    double fastest = secondsFor(1, body);
    for (int i = 1; i < rounds; ++i) {
        fastest = std::min(fastest, secondsFor(1, body));
    }
    return fastest;
}

}  // namespace vantor::bench
