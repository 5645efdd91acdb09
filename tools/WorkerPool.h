#pragma once

// Jobs run in forked worker processes, so that a job that crashes or runs away costs only its own
// answer. The workers are forked from the calling process, which must not have started a thread
// (a fork copies only the calling one): each takes job numbers over a pipe, runs the job and
// sends its answer back, for as many jobs as come. A worker that dies is replaced by a new fork.

#include <cstddef>
#include <functional>
#include <string>

struct TJobOutcome {
    enum class TKind { Answered, Crashed, OutOfTime };
    TKind Kind = TKind::Answered;
    std::string Answer; // Answered: what the job returned
    std::string Reason; // Crashed: "crashed (signal 11)", "exited with status 3"
};

struct TPoolLimits {
    int Workers = 1;
    // A job's processor time, in seconds: the job itself is to give up in time; past this and a
    // second more, the system stops its worker (RLIMIT_CPU), which counts as OutOfTime.
    double ProcessorSeconds = 10;
    // The wall time after which a job's worker is killed (OutOfTime), for one that waits rather
    // than computes.
    double WallSeconds = 60;
};

// The largest answer a job may give; a longer one counts as a crash.
constexpr std::size_t MaxJobAnswer = std::size_t(64) << 20;

// Runs job(i) for every i below count in limits.Workers processes (at most count), and calls
// done(i, outcome) in this process, in the order the jobs finish, each job once. job runs in a
// worker: what it changes stays there, and an exception it lets out ends the worker (a crash).
// Raises std::system_error when no worker can be started; the workers are gone when it returns or
// raises. Standard output is flushed before each fork.
void RunInWorkers(std::size_t count, const TPoolLimits &limits,
                  const std::function<std::string(std::size_t)> &job,
                  const std::function<void(std::size_t, TJobOutcome)> &done);

// The processors this process may run on.
int AvailableProcessors();
// This process's processor time in seconds (its threads', a worker's own).
double ProcessorSeconds();
