#pragma once
// Helper threads kept from one pass of a level step to the next: starting a thread costs
// about as much as a small level's whole pass, and a decomposition makes two passes per
// level.
#include <cstddef>
#include <functional>

#include <sys/types.h>

namespace tesora {

class HelperCrew {
public:
    explicit HelperCrew(std::size_t helpers);
    // Stops and joins the helpers. In a process forked from the one that started them
    // they do not exist, and a lock or condition may be stuck in the state the fork
    // caught: the crew then leaves all of it alone (a small leak in the child only).
    ~HelperCrew();
    HelperCrew(const HelperCrew&) = delete;
    HelperCrew& operator=(const HelperCrew&) = delete;

    std::size_t Size() const { return size_; }
    // Whether this process started the helpers; a forked child must make its own crew.
    bool Here() const;

    // Runs task(h) on helpers h = 0 ... count-1 (at most Size()) and returns at once.
    // Wait() returns when all have finished and rethrows the first exception of a task.
    // One run at a time, from this process only.
    void Start(std::size_t count, std::function<void(std::size_t)> task);
    void Wait();

private:
    struct Shared;
    pid_t owner_;
    std::size_t size_;
    Shared* shared_;
};

}  // namespace tesora
