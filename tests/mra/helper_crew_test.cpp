// The kept helper threads: each run reaches exactly the helpers it asks for, a task's
// failure comes back to the caller, and a process forked from the crew's owner (as the
// sweep's workers are) works with a crew of its own instead of waiting for threads it
// does not have.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <stdexcept>
#include <vector>

#include "mra/HelperCrew.h"
#include "mra/LevelChange.h"

namespace tesora::testing {
namespace {

TEST(HelperCrew, RunsExactlyTheHelpersEachRunAsksFor) {
    HelperCrew crew(3);
    ASSERT_EQ(crew.Size(), 3u);
    std::vector<std::atomic<int>> calls(3);
    for (int run = 0; run < 300; ++run) {
        const std::size_t count = static_cast<std::size_t>(run % 4);  // 0 ... 3 helpers
        for (auto& c : calls) c.store(0);
        crew.Start(count, [&](std::size_t h) { calls[h].fetch_add(1); });
        crew.Wait();
        for (std::size_t h = 0; h < 3; ++h) ASSERT_EQ(calls[h].load(), h < count ? 1 : 0) << "run " << run;
    }
}

TEST(HelperCrew, AFailedTaskComesBackFromWaitAndTheCrewGoesOn) {
    HelperCrew crew(2);
    crew.Start(2, [](std::size_t h) {
        if (h == 1) throw std::runtime_error("helper failed");
    });
    EXPECT_THROW(crew.Wait(), std::runtime_error);
    std::atomic<int> calls{0};
    crew.Start(2, [&](std::size_t) { calls.fetch_add(1); });
    EXPECT_NO_THROW(crew.Wait());
    EXPECT_EQ(calls.load(), 2);
}

TEST(HelperCrew, AForkedChildWorksWithACrewOfItsOwn) {
#ifdef TESORA_TESTS_EMULATED
    // qemu-user fails its own assertions when a forked child of a threaded process
    // starts a thread; real processors are tested by the native builds.
    GTEST_SKIP() << "the user-mode emulator cannot start threads in a forked child";
#endif
    TransformWorkspace workspace;
    HelperCrew* parents = &workspace.Crew(1);
    std::atomic<int> calls{0};
    parents->Start(1, [&](std::size_t) { calls.fetch_add(1); });
    parents->Wait();
    ASSERT_EQ(calls.load(), 1);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(20);  // a child waiting for the parent's threads would hang: end it instead
        HelperCrew& own = workspace.Crew(1);
        int ok = own.Here() ? 1 : 0;
        std::atomic<int> childCalls{0};
        own.Start(1, [&](std::size_t) { childCalls.fetch_add(1); });
        own.Wait();
        ok = ok && childCalls.load() == 1;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child hung or crashed (signal " << WTERMSIG(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The parent's crew is untouched by the child.
    EXPECT_EQ(&workspace.Crew(1), parents);
    parents->Start(1, [&](std::size_t) { calls.fetch_add(1); });
    parents->Wait();
    EXPECT_EQ(calls.load(), 2);
}

}  // namespace
}  // namespace tesora::testing
