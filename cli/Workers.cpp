#include "cli/Workers.h"

#include <QDataStream>
#include <QIODevice>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/Arguments.h"
#include "matrix/Error.h"

namespace tesora::cli {
namespace {

// How a task ended, as sent through the pipe.
enum Outcome : qint32 { kDone = 0, kUsage = 1, kFailure = 2 };

struct Reply {
    qint32 outcome = kDone;
    QByteArray bytes;  // the result, or the error message
};

Reply Attempt(const std::function<QByteArray(int)>& work, int task) {
    try {
        return {kDone, work(task)};
    } catch (const UsageError& e) {
        return {kUsage, QByteArray(e.what())};
    } catch (const std::bad_alloc&) {
        return {kFailure, QByteArray("Zu wenig Speicher.")};
    } catch (const std::exception& e) {
        return {kFailure, QByteArray(e.what())};
    }
}

[[noreturn]] void Raise(const Reply& reply) {
    const QString message = QString::fromUtf8(reply.bytes);
    if (reply.outcome == kUsage) throw UsageError(message);
    throw Error(message.toStdString());
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + sent, static_cast<std::size_t>(bytes.size() - sent));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

// A worker's life: tasks from the shared counter until none is left, each reply framed
// as task number, outcome and bytes. Ends with _exit: the parent's Qt objects and
// buffered streams belong to the parent.
[[noreturn]] void Work(int fd, std::atomic<int>* next, int count, const std::function<QByteArray(int)>& work) {
    for (int task = next->fetch_add(1); task < count; task = next->fetch_add(1)) {
        const Reply reply = Attempt(work, task);
        QByteArray frame;
        QDataStream stream(&frame, QIODevice::WriteOnly);
        stream << qint32(task) << reply.outcome << reply.bytes;
        QByteArray sized;
        QDataStream(&sized, QIODevice::WriteOnly) << quint32(frame.size());
        if (!WriteAll(fd, sized + frame)) _exit(3);
    }
    _exit(0);
}

// Takes every complete frame off the front of `pending`.
void TakeFrames(QByteArray& pending, std::vector<Reply>& replies, std::vector<bool>& arrived,
                const std::function<void(int)>& done) {
    while (pending.size() >= 4) {
        quint32 size = 0;
        QDataStream(pending.left(4)) >> size;
        if (static_cast<quint64>(pending.size()) < 4 + static_cast<quint64>(size)) return;
        QDataStream stream(pending.mid(4, size));
        qint32 task = 0;
        Reply reply;
        stream >> task >> reply.outcome >> reply.bytes;
        pending.remove(0, 4 + size);
        if (task < 0 || static_cast<std::size_t>(task) >= replies.size() || arrived[static_cast<std::size_t>(task)])
            throw Error("Ein Arbeitsprozess hat Unsinn geschickt.");
        arrived[static_cast<std::size_t>(task)] = true;
        replies[static_cast<std::size_t>(task)] = std::move(reply);
        if (replies[static_cast<std::size_t>(task)].outcome == kDone) done(task);
    }
}

struct Worker {
    pid_t pid = -1;
    int fd = -1;
    QByteArray pending;
};

// Reads every worker's pipe until all are closed, then reaps them.
void Collect(std::vector<Worker>& workers, std::vector<Reply>& replies, std::vector<bool>& arrived,
             const std::function<void(int)>& done) {
    std::size_t open = workers.size();
    while (open > 0) {
        std::vector<pollfd> fds;
        for (const Worker& w : workers) fds.push_back({w.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            throw Error("Die Arbeitsprozesse sind nicht erreichbar.");
        }
        for (std::size_t i = 0; i < workers.size(); ++i) {
            if (workers[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = ::read(workers[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) {
                workers[i].pending.append(buffer, n);
                TakeFrames(workers[i].pending, replies, arrived, done);
                continue;
            }
            ::close(workers[i].fd);
            workers[i].fd = -1;
            --open;
        }
    }
}

// Closes the pipes and waits for every worker started so far.
void Reap(std::vector<Worker>& workers) {
    for (Worker& w : workers) {
        if (w.fd >= 0) ::close(w.fd);
        w.fd = -1;
        int status = 0;
        while (w.pid > 0 && ::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

std::vector<QByteArray> RunHere(int count, const std::function<QByteArray(int)>& work,
                                const std::function<void(int)>& done) {
    std::vector<QByteArray> results;
    for (int task = 0; task < count; ++task) {
        results.push_back(work(task));
        done(task);
    }
    return results;
}

}  // namespace

int CoreCount() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

std::vector<QByteArray> RunTasks(int count, int jobs, const std::function<QByteArray(int)>& work,
                                 const std::function<void(int)>& done) {
    jobs = std::min(jobs, count);
    if (jobs <= 1) return RunHere(count, work, done);

    void* shared = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) throw Error("Kein gemeinsamer Speicher für die Arbeitsprozesse.");
    auto* next = new (shared) std::atomic<int>(0);
    std::vector<Worker> workers;
    std::vector<Reply> replies(static_cast<std::size_t>(count));
    std::vector<bool> arrived(static_cast<std::size_t>(count), false);
    try {
        for (int j = 0; j < jobs; ++j) {
            int fds[2];
            if (::pipe(fds) != 0) throw Error("Kein Kanal für einen Arbeitsprozess.");
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(fds[0]);
                for (const Worker& w : workers) ::close(w.fd);  // the siblings' pipes are not ours
                Work(fds[1], next, count, work);
            }
            ::close(fds[1]);
            if (pid < 0) {
                ::close(fds[0]);
                throw Error("Kein Arbeitsprozess startbar.");
            }
            workers.push_back({pid, fds[0], {}});
        }
        Collect(workers, replies, arrived, done);
    } catch (...) {
        next->store(count);  // the workers take no further task
        Reap(workers);
        ::munmap(shared, sizeof(std::atomic<int>));
        throw;
    }
    Reap(workers);
    ::munmap(shared, sizeof(std::atomic<int>));
    std::vector<QByteArray> results;
    for (std::size_t task = 0; task < replies.size(); ++task) {
        if (!arrived[task]) throw Error("Ein Arbeitsprozess ist abgebrochen.");
        if (replies[task].outcome != kDone) Raise(replies[task]);
        results.push_back(std::move(replies[task].bytes));
    }
    return results;
}

}  // namespace tesora::cli
