#include "Rounds.h"

#include <QCoreApplication>

#include <dirent.h>

#include <algorithm>
#include <thread>

double Since(BenchClock::time_point start) {
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

double Median(std::vector<double> values) {
    return Percentile(std::move(values), 0.5);
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(share * double(values.size()));
    return values[std::min(index, values.size() - 1)];
}

std::size_t Tasks() {
    std::size_t count = 0;
    if (DIR *tasks = opendir("/proc/self/task")) {
        while (const dirent *entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

void AwaitThreads(const std::function<std::size_t()> &live, std::size_t tasks) {
    const auto pause = [] {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    while (live() > 0)
        pause();
    for (const auto end = BenchClock::now() + std::chrono::seconds(2);
         Tasks() > tasks && BenchClock::now() < end;)
        pause();
}
