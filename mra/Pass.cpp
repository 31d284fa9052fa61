// The caller takes chunks from the front and finishes each at once; helper threads take
// them from the back. So the caller never waits for a helper that the system has not
// scheduled yet, only at the end of the pass for the chunks helpers are still on.
#include "mra/Pass.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <vector>

#include "mra/LevelChange.h"

namespace tesora {

namespace {

// A helper needs at least kMinChunksPerThread chunks to be worth starting.
constexpr std::size_t kMinChunksPerThread = 2;

void ReserveHelpers(TransformWorkspace& workspace, std::size_t chunks, std::size_t helpers, std::size_t slot) {
    if (workspace.results.size() < chunks * slot) workspace.results.resize(chunks * slot);
    if (workspace.helperIn.size() < helpers) workspace.helperIn.resize(helpers);
    if (workspace.helperOut.size() < helpers) workspace.helperOut.resize(helpers);
    if (workspace.helperWords.size() < helpers) workspace.helperWords.resize(helpers);
    for (std::size_t h = 0; h < helpers; ++h) {
        if (workspace.helperIn[h].size() < slot) workspace.helperIn[h].resize(slot);
        if (workspace.helperOut[h].size() < slot) workspace.helperOut[h].resize(slot);
        if (workspace.helperWords[h].size() < slot) workspace.helperWords[h].resize(slot);
    }
}

// Which chunks are still unclaimed (front ... back-1), which a helper has finished, and
// the first failure.
struct Claims {
    explicit Claims(std::size_t chunks) : done(chunks), back(chunks) {}
    std::vector<std::atomic<unsigned char>> done;
    std::mutex mutex;
    std::size_t front = 0, back;
    std::atomic<bool> failed{false};
    std::exception_ptr failure;

    bool TakeBack(std::size_t& k) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (front == back) return false;
        k = --back;
        return true;
    }
    bool TakeFront(std::size_t k) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (front != k || front >= back) return false;
        ++front;
        return true;
    }
    void Fail() {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = std::current_exception();
        failed.store(true);
    }
    void Stop() {
        const std::lock_guard<std::mutex> lock(mutex);
        back = front;
    }
};

// The helpers use the pass's frame: on every way out of it they are stopped from taking
// more chunks and waited for.
struct Waited {
    HelperCrew& crew;
    Claims& claims;
    bool done = false;
    ~Waited() {
        if (done) return;
        try {
            claims.Stop();
            crew.Wait();
        } catch (...) {  // the pass is failing already
        }
    }
};

void StartHelpers(HelperCrew& crew, std::size_t helpers, TransformWorkspace& workspace, Claims& claims,
                  const PassCompute& compute, std::size_t slot) {
    std::uint32_t* const results = workspace.results.data();
    crew.Start(helpers, [&workspace, &claims, &compute, results, slot](std::size_t h) {
        double* const in = workspace.helperIn[h].data();
        double* const out = workspace.helperOut[h].data();
        std::uint32_t* const scratch = workspace.helperWords[h].data();
        std::size_t k = 0;
        while (claims.TakeBack(k)) {
            if (!claims.failed.load()) {
                try {
                    compute(k, in, out, scratch, results + k * slot);
                } catch (...) {
                    claims.Fail();
                }
            }
            claims.done[k].store(1, std::memory_order_release);
            claims.done[k].notify_all();
        }
    });
}

}  // namespace

void RunPass(std::size_t lines, TransformWorkspace& workspace, const PassCompute& compute, const PassFinish& finish) {
    const std::size_t chunks = (lines + kChunk - 1) / kChunk;
    const std::size_t threads = std::min(static_cast<std::size_t>(TransformThreads()), chunks / kMinChunksPerThread);
    double* const own = workspace.out.data();
    if (threads <= 1) {
        for (std::size_t k = 0; k < chunks; ++k) {
            compute(k, workspace.in.data(), own, workspace.wordScratch.data(), nullptr);
            finish(k, nullptr);
        }
        return;
    }
    const std::size_t slot = lines * kChunk;
    ReserveHelpers(workspace, chunks, threads - 1, slot);
    Claims claims(chunks);
    HelperCrew& crew = workspace.Crew(threads - 1);
    StartHelpers(crew, threads - 1, workspace, claims, compute, slot);
    Waited waited{crew, claims};
    for (std::size_t k = 0; k < chunks && !claims.failed.load(); ++k) {
        if (claims.TakeFront(k)) {
            try {
                compute(k, workspace.in.data(), own, workspace.wordScratch.data(), nullptr);
            } catch (...) {
                claims.Fail();
                break;
            }
            finish(k, nullptr);
        } else {
            claims.done[k].wait(0, std::memory_order_acquire);
            if (claims.failed.load()) break;
            finish(k, workspace.results.data() + k * slot);
        }
    }
    // The pass may have ended early: the helpers take no more chunks.
    claims.Stop();
    waited.done = true;
    crew.Wait();
    if (claims.failure) std::rethrow_exception(claims.failure);
}

}  // namespace tesora
