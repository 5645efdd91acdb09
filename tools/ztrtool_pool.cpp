#include "WorkerPool.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <system_error>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct TWorker {
    pid_t Pid = -1;
    int Requests = -1; // the parent's end: job numbers go out
    int Answers = -1;  // the parent's end: length-prefixed answers come in
    std::optional<std::size_t> Job;
    Clock::time_point Started;
    bool Killed = false; // by us, for the wall-time bound
    std::string Received;
};

bool WriteAll(int descriptor, const void *data, std::size_t size) {
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

// Reads exactly size bytes; false at the end of the pipe or on an error.
bool ReadAll(int descriptor, void *data, std::size_t size) {
    auto *bytes = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t got = ::read(descriptor, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= std::size_t(got);
    }
    return true;
}

// A worker's life: job numbers in, answers out, until the parent closes the pipe. It never
// returns; _exit leaves the parent's buffers and exit handlers to the parent.
[[noreturn]] void Serve(int requests, int answers, double processorSeconds,
                        const std::function<std::string(std::size_t)> &job) {
    // No core files for a job the system stops or that crashes; SIGXCPU must end the worker.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(SIGXCPU, SIG_DFL);
    ::signal(SIGPIPE, SIG_IGN);
    // A crash must end the worker by its signal, for the parent to name it, whatever handler
    // the parent installed.
    for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        ::signal(fault, SIG_DFL);
    for (;;) {
        std::uint64_t index = 0;
        if (!ReadAll(requests, &index, sizeof index)) ::_exit(0);
        // The backstop: the job's own deadline, a second more, counted from what this worker
        // has used so far.
        rlimit cpu{};
        if (::getrlimit(RLIMIT_CPU, &cpu) == 0) {
            const double limit = std::ceil(ProcessorSeconds() + processorSeconds) + 1;
            const auto wanted = rlim_t(limit);
            cpu.rlim_cur = cpu.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, cpu.rlim_max);
            ::setrlimit(RLIMIT_CPU, &cpu);
        }
        std::string answer;
        try {
            answer = job(std::size_t(index));
        } catch (...) {
            ::_exit(70);
        }
        if (answer.size() > MaxJobAnswer) ::_exit(71);
        const std::uint64_t length = answer.size();
        if (!WriteAll(answers, &length, sizeof length) ||
            !WriteAll(answers, answer.data(), answer.size()))
            ::_exit(0);
    }
}

class TPool {
public:
    TPool(const TPoolLimits &limits, const std::function<std::string(std::size_t)> &job)
        : FLimits(limits), FJob(job) {}
    ~TPool() {
        for (TWorker &worker : FWorkers)
            Stop(worker, true);
    }

    void Start(TWorker &worker) {
        int requests[2], answers[2];
        if (::pipe2(requests, O_CLOEXEC) != 0)
            throw std::system_error(errno, std::generic_category());
        if (::pipe2(answers, O_CLOEXEC) != 0) {
            const int error = errno;
            ::close(requests[0]);
            ::close(requests[1]);
            throw std::system_error(error, std::generic_category());
        }
        std::fflush(stdout);
        std::fflush(stderr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The other workers' pipes stay with the parent: held here, a dead worker's answer
            // pipe would never show its end.
            for (const TWorker &other : FWorkers) {
                if (other.Requests >= 0) ::close(other.Requests);
                if (other.Answers >= 0) ::close(other.Answers);
            }
            ::close(requests[1]);
            ::close(answers[0]);
            Serve(requests[0], answers[1], FLimits.ProcessorSeconds, FJob);
        }
        const int error = errno;
        ::close(requests[0]);
        ::close(answers[1]);
        if (pid < 0) {
            ::close(requests[1]);
            ::close(answers[0]);
            throw std::system_error(error, std::generic_category());
        }
        worker = TWorker{};
        worker.Pid = pid;
        worker.Requests = requests[1];
        worker.Answers = answers[0];
    }

    // Closes the pipes and reaps the worker (killing it first when asked); the wait status, or
    // -1 for none.
    int Stop(TWorker &worker, bool kill) {
        if (worker.Pid < 0) return -1;
        if (kill) ::kill(worker.Pid, SIGKILL);
        ::close(worker.Requests);
        ::close(worker.Answers);
        int status = 0;
        while (::waitpid(worker.Pid, &status, 0) < 0 && errno == EINTR) {
        }
        worker.Pid = -1;
        worker.Requests = worker.Answers = -1;
        return status;
    }

    std::vector<TWorker> FWorkers;

private:
    TPoolLimits FLimits;
    const std::function<std::string(std::size_t)> &FJob;
};

TJobOutcome Death(int status, bool killed) {
    TJobOutcome outcome;
    outcome.Kind = TJobOutcome::TKind::Crashed;
    if (killed || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
        outcome.Kind = TJobOutcome::TKind::OutOfTime;
    } else if (WIFSIGNALED(status)) {
        outcome.Reason = "crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    } else if (WIFEXITED(status)) {
        outcome.Reason = "the worker exited with status " + std::to_string(WEXITSTATUS(status));
    } else {
        outcome.Reason = "the worker ended";
    }
    return outcome;
}

// The complete answer at the start of received, taken out of it; none while it is still coming.
// A length past the bound is a broken worker: an empty Crashed outcome.
std::optional<TJobOutcome> TakeAnswer(std::string &received) {
    std::uint64_t length = 0;
    if (received.size() < sizeof length) return std::nullopt;
    std::memcpy(&length, received.data(), sizeof length);
    if (length > MaxJobAnswer)
        return TJobOutcome{TJobOutcome::TKind::Crashed, {}, "garbled answer"};
    if (received.size() - sizeof length < length) return std::nullopt;
    TJobOutcome outcome;
    outcome.Answer = received.substr(sizeof length, std::size_t(length));
    received.erase(0, sizeof length + std::size_t(length));
    return outcome;
}

// Restores the disposition of SIGPIPE on the way out.
struct TIgnorePipe {
    TIgnorePipe() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &Old);
    }
    ~TIgnorePipe() { ::sigaction(SIGPIPE, &Old, nullptr); }
    struct sigaction Old {};
};

} // namespace

void RunInWorkers(std::size_t count, const TPoolLimits &limits,
                  const std::function<std::string(std::size_t)> &job,
                  const std::function<void(std::size_t, TJobOutcome)> &done) {
    if (count == 0) return;
    // A write to a worker that just died must fail, not end this process.
    const TIgnorePipe ignorePipe;
    TPool pool(limits, job);
    pool.FWorkers.resize(std::min<std::size_t>(count, std::size_t(std::max(limits.Workers, 1))));
    for (TWorker &worker : pool.FWorkers)
        pool.Start(worker);
    std::size_t next = 0, finished = 0;
    const auto wallLimit = std::chrono::duration<double>(limits.WallSeconds);
    while (finished < count) {
        for (TWorker &worker : pool.FWorkers) {
            if (worker.Pid < 0 && next < count) pool.Start(worker);
            if (worker.Pid < 0 || worker.Job || next >= count) continue;
            const std::uint64_t index = next++;
            worker.Job = std::size_t(index);
            worker.Started = Clock::now();
            // A worker that cannot take it has died; its end shows below.
            WriteAll(worker.Requests, &index, sizeof index);
        }
        std::vector<pollfd> waits;
        for (const TWorker &worker : pool.FWorkers)
            if (worker.Pid >= 0 && worker.Job) waits.push_back({worker.Answers, POLLIN, 0});
        if (::poll(waits.data(), nfds_t(waits.size()), 100) < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category());
        for (TWorker &worker : pool.FWorkers) {
            if (worker.Pid < 0 || !worker.Job) continue;
            const auto wait = std::find_if(waits.begin(), waits.end(), [&](const pollfd &entry) {
                return entry.fd == worker.Answers;
            });
            bool ended = false;
            if (wait != waits.end() && wait->revents != 0) {
                char buffer[65536];
                const ssize_t got = ::read(worker.Answers, buffer, sizeof buffer);
                if (got > 0)
                    worker.Received.append(buffer, std::size_t(got));
                else if (got == 0 || errno != EINTR)
                    ended = true;
            }
            if (std::optional<TJobOutcome> outcome = TakeAnswer(worker.Received)) {
                const std::size_t index = *worker.Job;
                worker.Job.reset();
                ++finished;
                if (outcome->Kind != TJobOutcome::TKind::Answered) pool.Stop(worker, true);
                done(index, std::move(*outcome));
                continue;
            }
            if (!ended && Clock::now() - worker.Started > wallLimit) {
                ::kill(worker.Pid, SIGKILL);
                worker.Killed = true;
                continue; // its end shows as the pipe's end
            }
            if (!ended) continue;
            const std::size_t index = *worker.Job;
            const bool killed = worker.Killed;
            const int status = pool.Stop(worker, false);
            ++finished;
            done(index, Death(status, killed));
        }
    }
}

int AvailableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return int(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

double ProcessorSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}
