#include "ConsoleLog.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "text/TextCodec.h"

namespace quillon::cli {

ConsoleLog::ConsoleLog() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

ConsoleLog::~ConsoleLog() {
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool ConsoleLog::openFile(const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        if (error != nullptr)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = file;
    return true;
}

void ConsoleLog::appendLine(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr) {
        std::fwrite(line.data(), 1, line.size(), m_file);
        std::fflush(m_file);
    }
    std::string shown = text::gbkToUtf8(line);
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    eraseProgressLocked();
    std::fprintf(stderr, "%s\n", shown.c_str());
    if (!m_progress.empty())
        std::fprintf(stderr, "%s", m_progress.c_str());
    std::fflush(stderr);
}

void ConsoleLog::showProgress(int done, int total) {
    if (!m_terminal)
        return;
    std::lock_guard lock(m_mutex);
    eraseProgressLocked();
    m_progress = "[" + std::to_string(done) + " / " + std::to_string(total) + "]";
    std::fprintf(stderr, "%s", m_progress.c_str());
    std::fflush(stderr);
}

void ConsoleLog::clearProgress() {
    std::lock_guard lock(m_mutex);
    eraseProgressLocked();
    m_progress.clear();
    std::fflush(stderr);
}

void ConsoleLog::eraseProgressLocked() {
    if (m_terminal && !m_progress.empty())
        std::fprintf(stderr, "\r\033[K");
}

} // namespace quillon::cli
