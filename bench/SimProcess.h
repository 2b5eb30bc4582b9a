#pragma once

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// quillon-sim in a child process of its own, so that what a benchmark
// measures of itself (CPU time, peak memory) is the program's alone.
class SimProcess {
  public:
    // Starts quillon-sim with `arguments`, optionally bound to one processor,
    // and waits until it has written its endpoints file.
    bool start(const std::vector<std::string>& arguments, const std::string& endpointsFile,
               int processor = -1) {
        std::remove(endpointsFile.c_str());
        m_pid = ::fork();
        if (m_pid < 0)
            return false;
        if (m_pid == 0) {
            if (processor >= 0) {
                cpu_set_t set;
                CPU_ZERO(&set);
                CPU_SET(processor, &set);
                ::sched_setaffinity(0, sizeof set, &set);
            }
            std::vector<std::string> all = {QUILLON_SIM_PATH, "--endpoints-file", endpointsFile};
            all.insert(all.end(), arguments.begin(), arguments.end());
            std::vector<char*> argv;
            for (std::string& argument : all)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            if (std::freopen("/dev/null", "w", stdout) == nullptr)
                _exit(127);
            ::execv(QUILLON_SIM_PATH, argv.data());
            _exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            if (::access(endpointsFile.c_str(), R_OK) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGINT);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }

  private:
    pid_t m_pid = -1;
};
