#include "shell/ProcessResources.h"

#if defined(__linux__)
#include <sched.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#endif

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quillon::shell {

#if defined(__linux__)
namespace {

// A processor set sized for this machine: the kernel refuses a set smaller
// than its own count of possible processors.
class CpuSet {
  public:
    CpuSet() = default;
    ~CpuSet() {
        if (m_set)
            CPU_FREE(m_set);
    }
    CpuSet(const CpuSet&) = delete;
    CpuSet& operator=(const CpuSet&) = delete;

    // The processors the calling thread may run on; false when unknown.
    bool readOwn() {
        for (int count = 1024; count <= 1 << 20; count *= 2) {
            allocate(count);
            if (!m_set)
                return false;
            if (::sched_getaffinity(0, m_size, m_set) == 0)
                return true;
            if (errno != EINVAL)
                return false;
        }
        return false;
    }

    // The lowest processor of the set, or -1 when it is empty.
    int lowest() const {
        for (int cpu = 0; cpu < m_count; ++cpu) {
            if (CPU_ISSET_S(cpu, m_size, m_set))
                return cpu;
        }
        return -1;
    }

    // Leaves only `cpu` in the set.
    void only(int cpu) {
        CPU_ZERO_S(m_size, m_set);
        CPU_SET_S(cpu, m_size, m_set);
    }

    const cpu_set_t* data() const { return m_set; }
    std::size_t size() const { return m_size; }

  private:
    void allocate(int count) {
        if (m_set)
            CPU_FREE(m_set);
        m_set = CPU_ALLOC(count);
        m_count = count;
        m_size = m_set ? CPU_ALLOC_SIZE(count) : 0;
    }

    cpu_set_t* m_set = nullptr;
    int m_count = 0;
    std::size_t m_size = 0;
};

// The ids of the process's threads as listed right now.
std::set<pid_t> currentThreads() {
    std::set<pid_t> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string name = entry.path().filename().string();
        char* end = nullptr;
        const long id = std::strtol(name.c_str(), &end, 10);
        if (end != name.c_str() && *end == '\0' && id > 0)
            ids.insert(static_cast<pid_t>(id));
    }
    return ids;
}

} // namespace

bool bindToFirstProcessor() {
    CpuSet set;
    if (!set.readOwn())
        return false;
    const int cpu = set.lowest();
    if (cpu < 0)
        return false;
    set.only(cpu);
    // The calling thread first: threads it starts from now on are bound.
    if (::sched_setaffinity(0, set.size(), set.data()) != 0)
        return false;

    // A thread that another, not yet bound thread starts during the sweep is
    // missed by it, so sweep again until a pass finds no new thread.
    std::set<pid_t> bound;
    bool allBound = true;
    for (int pass = 0; pass < 100; ++pass) {
        bool foundNew = false;
        for (const pid_t id : currentThreads()) {
            if (!bound.insert(id).second)
                continue;
            foundNew = true;
            // A thread that ended meanwhile needs no binding.
            if (::sched_setaffinity(id, set.size(), set.data()) != 0 && errno != ESRCH)
                allBound = false;
        }
        if (!foundNew)
            return allBound && !bound.empty();
    }
    return false;
}

#else

bool bindToFirstProcessor() {
    return false;
}

#endif

void trimMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

} // namespace quillon::shell
