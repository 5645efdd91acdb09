#pragma once

// What the benchmarks that run rounds of windows and threads share: timing, medians, and waiting
// until a round's threads have really gone.

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

using BenchClock = std::chrono::steady_clock;

// Seconds since start.
double Since(BenchClock::time_point start);
double Median(std::vector<double> values);
// The value below which the given share (0..1) of the values lie.
double Percentile(std::vector<double> values, double share);

// The threads of this process, exiting ones included: a detached thread that has left its
// function still unmaps and frees for a while.
std::size_t Tasks();

// Untimed: every thread of the last round has really gone, so rounds do not overlap. A thread
// started meanwhile for good (a timekeeper, say) only costs the wait's bound. Events are served
// meanwhile, as the program's event loop would.
void AwaitThreads(const std::function<std::size_t()> &live, std::size_t tasks);
