#include "mra/HelperCrew.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tesora {

namespace {

// How long a helper that finished its part keeps looking for the next run before it
// sleeps: the passes of a level change follow each other within microseconds, and a
// sleeping thread takes longer than that to wake.
constexpr auto kSpin = std::chrono::microseconds(50);

inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace

struct HelperCrew::Shared {
    std::mutex mutex;
    std::condition_variable wake, finished;
    std::function<void(std::size_t)> task;
    std::size_t count = 0;            // helpers of the current run
    std::size_t remaining = 0;        // of them, still working
    std::atomic<std::size_t> run{0};  // counts runs, so that a helper takes each one once
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::vector<std::thread> threads;

    // Looks for a new run (or the stop) for up to kSpin without the lock, which Start()
    // holds while it writes the run's fields; the caller then takes the lock.
    void Spin(std::size_t seen) const {
        const auto until = std::chrono::steady_clock::now() + kSpin;
        for (;;) {
            for (int i = 0; i < 64; ++i) {
                if (stop.load(std::memory_order_relaxed) || run.load(std::memory_order_relaxed) != seen) return;
                Relax();
            }
            if (std::chrono::steady_clock::now() >= until) return;
        }
    }

    void Serve(std::size_t index) {
        std::size_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (seen != 0) {
                lock.unlock();
                Spin(seen);
                lock.lock();
            }
            wake.wait(lock, [&] { return stop || run != seen; });
            if (stop) return;
            seen = run;
            if (index >= count) continue;  // not needed in this run
            lock.unlock();
            std::exception_ptr failed;
            try {
                task(index);
            } catch (...) {
                failed = std::current_exception();
            }
            lock.lock();
            if (failed && !failure) failure = failed;
            if (--remaining == 0) finished.notify_all();
        }
    }

    void StopAndJoin() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        wake.notify_all();
        for (std::thread& t : threads) t.join();
    }
};

HelperCrew::HelperCrew(std::size_t helpers) : owner_(::getpid()), size_(helpers), shared_(new Shared) {
    try {
        shared_->threads.reserve(helpers);
        for (std::size_t h = 0; h < helpers; ++h) shared_->threads.emplace_back([s = shared_, h] { s->Serve(h); });
    } catch (...) {
        shared_->StopAndJoin();
        delete shared_;
        throw;
    }
}

HelperCrew::~HelperCrew() {
    if (!Here()) return;
    shared_->StopAndJoin();
    delete shared_;
}

bool HelperCrew::Here() const { return ::getpid() == owner_; }

void HelperCrew::Start(std::size_t count, std::function<void(std::size_t)> task) {
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->task = std::move(task);
        shared_->count = count < size_ ? count : size_;
        shared_->remaining = shared_->count;
        shared_->failure = nullptr;
        ++shared_->run;
    }
    shared_->wake.notify_all();
}

void HelperCrew::Wait() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->finished.wait(lock, [this] { return shared_->remaining == 0; });
    shared_->task = nullptr;
    if (shared_->failure) std::rethrow_exception(std::exchange(shared_->failure, nullptr));
}

}  // namespace tesora
