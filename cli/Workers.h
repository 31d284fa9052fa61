#pragma once
// Independent tasks in worker processes. The core keeps its state in one set of
// globals, so threads would share it; each forked worker has its own copy. A worker
// takes the next task from a shared counter, runs it and sends the task's bytes back
// through its pipe; the caller gets them in task order, whatever finished first.
#include <QByteArray>
#include <functional>
#include <vector>

namespace tesora::cli {

// The number of cores this process may use (at least 1).
int CoreCount();

// Runs work(0) ... work(count - 1) in min(jobs, count) processes (in this one when that
// is 1) and returns their results in task order. `done(i)` runs here as task i's result
// arrives. An exception of a task is raised here as the same kind (UsageError,
// tesora::Error, else tesora::Error), for the first failed task in task order.
std::vector<QByteArray> RunTasks(int count, int jobs, const std::function<QByteArray(int)>& work,
                                 const std::function<void(int)>& done);

}  // namespace tesora::cli
