#include "common/worker_team.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#if defined(__linux__)
#include <sched.h>
#endif
#include <system_error>
#include <thread>
#include <vector>

namespace nubo {

namespace {

// One call's tasks: handed out in order, each to one thread.
struct TaskGroup {
    explicit TaskGroup(const std::vector<std::function<void()>>& list) : tasks(&list), unfinished(list.size()) {}

    const std::vector<std::function<void()>>* tasks;
    std::size_t next = 0;       // the first task not yet handed out
    std::size_t unfinished = 0; // tasks handed out or waiting, not yet run to the end
    std::exception_ptr failure; // the first exception a task threw, thrown again by the group's caller
    std::condition_variable finished;

    bool open() const { return next < tasks->size(); }
};

// The threads of one runTasks call and the groups they share; all fields under `mutex`.
struct Team {
    std::mutex mutex;
    std::condition_variable work;   // a group was added or has finished, or the team is done
    std::vector<TaskGroup*> groups; // open groups, the newest last
    bool done = false;
    unsigned size = 1;
};

// The team the calling thread works in, if any.
thread_local Team* currentTeam = nullptr;

// Runs the next task of `group` with the team's lock released, then counts it finished.
void runNext(Team& team, TaskGroup& group, std::unique_lock<std::mutex>& lock)
{
    const std::size_t index = group.next++;
    lock.unlock();
    std::exception_ptr thrown;
    try {
        (*group.tasks)[index]();
    } catch (...) {
        thrown = std::current_exception();
    }
    lock.lock();
    if (thrown && !group.failure)
        group.failure = thrown;
    if (--group.unfinished == 0) {
        group.finished.notify_all();
        team.work.notify_all();
    }
}

// The newest group with a task not yet handed out: the work of a task already running comes before tasks not
// started, so a large task's helpers finish it first.
TaskGroup* newestOpenGroup(const Team& team)
{
    for (auto group = team.groups.rbegin(); group != team.groups.rend(); ++group) {
        if ((*group)->open())
            return *group;
    }
    return nullptr;
}

// Takes up tasks of any group of the team until `stop` holds.
template <typename Stop>
void serveTeam(Team& team, std::unique_lock<std::mutex>& lock, Stop stop)
{
    while (!stop()) {
        if (TaskGroup* open = newestOpenGroup(team))
            runNext(team, *open, lock);
        else
            team.work.wait(lock);
    }
}

void addGroup(Team& team, TaskGroup& group, std::unique_lock<std::mutex>& lock)
{
    team.groups.push_back(&group);
    lock.unlock();
    team.work.notify_all();
    lock.lock();
}

void removeGroup(Team& team, TaskGroup& group)
{
    team.groups.erase(std::find(team.groups.begin(), team.groups.end(), &group));
}

void helpTeam(Team& team)
{
    currentTeam = &team;
    std::unique_lock lock(team.mutex);
    serveTeam(team, lock, [&team] { return team.done; });
    currentTeam = nullptr;
}

void runInTurn(const std::vector<std::function<void()>>& tasks)
{
    for (const std::function<void()>& task : tasks)
        task();
}

} // namespace

void runTasks(const std::vector<std::function<void()>>& tasks, unsigned workers)
{
    if (currentTeam != nullptr) {
        runTeamTasks(tasks);
        return;
    }
    // Helpers are started even for a single task, which may hand out smaller ones.
    const std::size_t extra = workers > 1 && !tasks.empty() ? workers - 1 : 0;
    if (extra == 0) {
        runInTurn(tasks);
        return;
    }
    Team team;
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < extra; ++i) {
        try {
            threads.emplace_back(helpTeam, std::ref(team));
        } catch (const std::system_error&) {
            break;
        }
    }
    {
        std::lock_guard lock(team.mutex);
        team.size = static_cast<unsigned>(threads.size() + 1);
    }
    TaskGroup group(tasks);
    currentTeam = &team;
    {
        // The caller works like its helpers until its own tasks are done.
        std::unique_lock lock(team.mutex);
        addGroup(team, group, lock);
        serveTeam(team, lock, [&group] { return group.unfinished == 0; });
        removeGroup(team, group);
        team.done = true;
    }
    currentTeam = nullptr;
    team.work.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    if (group.failure)
        std::rethrow_exception(group.failure);
}

void runTeamTasks(const std::vector<std::function<void()>>& tasks)
{
    if (currentTeam == nullptr || tasks.size() < 2) {
        runInTurn(tasks);
        return;
    }
    Team& team = *currentTeam;
    TaskGroup group(tasks);
    std::unique_lock lock(team.mutex);
    addGroup(team, group, lock);
    while (group.open())
        runNext(team, group, lock);
    group.finished.wait(lock, [&group] { return group.unfinished == 0; });
    removeGroup(team, group);
    if (group.failure)
        std::rethrow_exception(group.failure);
}

unsigned teamSize()
{
    if (currentTeam == nullptr)
        return 1;
    std::lock_guard lock(currentTeam->mutex);
    return currentTeam->size;
}

unsigned defaultWorkerCount()
{
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Under a fuzzer every task runs on the calling thread: an input then always takes the same path (libFuzzer
    // needs repeatable coverage) and no time goes into starting threads. The sanitizer builds test the threads.
    return 1;
#else
#if defined(__linux__)
    // The cores this process may run on: pinned to one (taskset -c 0), it runs as the single-threaded program.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) >= 1)
        return static_cast<unsigned>(CPU_COUNT(&allowed));
#endif
    const unsigned cores = std::thread::hardware_concurrency();
    return cores < 1 ? 1 : cores;
#endif
}

double sharedFinishTime(std::span<const std::int64_t> costs, unsigned workers, unsigned cores)
{
    std::vector<std::int64_t> waiting;
    for (const std::int64_t cost : costs)
        waiting.push_back(std::max<std::int64_t>(cost, 0));
    std::sort(waiting.begin(), waiting.end()); // the largest last, taken first
    workers = std::max(workers, 1u);
    cores = std::max(cores, 1u);
    std::vector<std::int64_t> running; // the work each running task has left
    double time = 0.0;
    for (;;) {
        while (running.size() < workers && !waiting.empty()) {
            running.push_back(waiting.back());
            waiting.pop_back();
        }
        if (running.empty())
            return time;
        // Until the next task finishes every running one advances by the same work, at a core's pace at most.
        const std::int64_t step = *std::min_element(running.begin(), running.end());
        const double share = std::min(1.0, static_cast<double>(cores) / static_cast<double>(running.size()));
        time += static_cast<double>(step) / share;
        for (std::int64_t& left : running)
            left -= step;
        running.erase(std::remove(running.begin(), running.end(), std::int64_t{0}), running.end());
    }
}

unsigned serialTaskWorkers(std::span<const std::int64_t> costs)
{
    const unsigned cores = defaultWorkerCount();
    if (cores <= 1 || costs.size() <= cores)
        return cores;
    return sharedFinishTime(costs, cores + 1, cores) < sharedFinishTime(costs, cores, cores) ? cores + 1 : cores;
}

} // namespace nubo
