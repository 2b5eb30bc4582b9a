#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "shell/ProcessResources.h"

using namespace quillon::shell;

namespace {

// The processor `tid` is bound to, -1 when it may run on more than one (or
// on none, or the set cannot be read).
int soleProcessor(pid_t tid) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(tid, sizeof set, &set) != 0 || CPU_COUNT(&set) != 1)
        return -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            return cpu;
    }
    return -1;
}

int lowestAllowedProcessor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            return cpu;
    }
    return -1;
}

// What the child reports through its exit code.
enum ChildResult : int {
    kBound = 0,
    kBindFailed = 10,
    kCallerNotBound = 11,
    kEarlierThreadNotBound = 12,
    kLaterThreadNotBound = 13,
};

// Runs in a forked child, so that the test process keeps every processor:
// a thread started before the binding and one started after must both end
// up on `expected` alone, as the calling thread does.
int bindInChild(int expected) {
    std::atomic<pid_t> earlierId{0};
    std::atomic<bool> release{false};
    std::thread earlier([&] {
        earlierId = ::gettid();
        while (!release)
            std::this_thread::yield();
    });
    while (earlierId == 0)
        std::this_thread::yield();

    int result = kBound;
    if (!bindToFirstProcessor())
        result = kBindFailed;
    else if (soleProcessor(0) != expected)
        result = kCallerNotBound;
    else if (soleProcessor(earlierId) != expected)
        result = kEarlierThreadNotBound;
    if (result == kBound) {
        int later = -1;
        std::thread([&] { later = soleProcessor(0); }).join();
        if (later != expected)
            result = kLaterThreadNotBound;
    }
    release = true;
    earlier.join();
    return result;
}

TEST(ProcessResources, BindsEveryThreadToTheFirstAllowedProcessor) {
    const int expected = lowestAllowedProcessor();
    ASSERT_GE(expected, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(bindInChild(expected));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kBound);
    // The parent was left alone.
    EXPECT_EQ(lowestAllowedProcessor(), expected);
}

TEST(ProcessResources, TrimsMemoryAfterALargeRelease) {
    // Many small blocks, which live on the heap rather than in their own maps.
    std::vector<std::unique_ptr<char[]>> blocks;
    for (int i = 0; i < 20000; ++i)
        blocks.push_back(std::make_unique<char[]>(1000));
    blocks.clear();
    trimMemory();
    trimMemory(); // nothing left to give back: still harmless
    SUCCEED();
}

} // namespace
