#include "shell/PrivateProfile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "text/GbkText.h"

namespace quillon::shell {
namespace {

// 无法写入文件
constexpr std::string_view kCannotWrite = "\xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB\xCE\xC4\xBC\xFE";

enum class ReadResult { Ok, Missing, Failed };

ReadResult readFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    // A folder, a device or a pipe is no profile: reading one could block forever.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            bytes.clear();
            return ReadResult::Failed;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return ReadResult::Ok;
}

std::string writeError(const std::string& path, int error) {
    std::string text(kCannotWrite);
    text += ' ';
    text += path;
    text += " (";
    text += std::generic_category().message(error);
    text += ')';
    return text;
}

bool isBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlankByte(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankByte(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && text::lowerAscii(a) == text::lowerAscii(b);
}

// One line of the file: its content runs from `begin` to `end` (without the
// line break), the next line starts at `next`; `next == end` only for a last
// line without a break.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

class LineScanner {
  public:
    explicit LineScanner(std::string_view text) : m_text(text) {}

    bool next(Line& line) {
        if (m_pos >= m_text.size())
            return false;
        line.begin = m_pos;
        const std::size_t feed = m_text.find('\n', m_pos);
        line.next = feed == std::string_view::npos ? m_text.size() : feed + 1;
        line.end = feed == std::string_view::npos ? m_text.size() : feed;
        if (line.end > line.begin && m_text[line.end - 1] == '\r')
            --line.end;
        m_pos = line.next;
        return true;
    }

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

enum class LineKind { Blank, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // after "=", trimmed; empty for a key line without "="
};

ParsedLine parseLine(std::string_view content) {
    const std::string_view line = trimBlanks(content);
    if (line.empty())
        return {};
    if (line.front() == '[') {
        // "]" can be the trail byte of a double-byte character in the name.
        const std::size_t close = text::findText(line, "]", 1);
        const std::string_view name =
            close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
        return {LineKind::Section, trimBlanks(name), {}};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return {LineKind::Key, line, {}};
    return {LineKind::Key, trimBlanks(line.substr(0, equals)), trimBlanks(line.substr(equals + 1))};
}

// What the caller's buffer receives of a stored value.
std::string finishValue(std::string_view value) {
    const std::size_t nul = value.find('\0');
    if (nul != std::string_view::npos)
        value = value.substr(0, nul);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    const std::size_t limit = kProfileBufferSize - 1;
    if (value.size() > limit) {
        std::size_t cut = 0;
        while (cut < value.size()) {
            const std::size_t length = text::charLengthAt(value, cut);
            if (cut + length > limit)
                break;
            cut += length;
        }
        value = value.substr(0, cut);
    }
    return std::string(value);
}

std::string_view firstLineOf(std::string_view value) {
    const std::size_t stop = value.find_first_of(std::string_view("\r\n\0", 3));
    return stop == std::string_view::npos ? value : value.substr(0, stop);
}

} // namespace

PrivateProfile::PrivateProfile(std::string path) : m_path(std::move(path)) {}

std::string PrivateProfile::read(std::string_view section, std::string_view key) const {
    std::string content;
    if (readFile(m_path, content) != ReadResult::Ok)
        return {};
    LineScanner scanner(content);
    Line line;
    bool inSection = false;
    while (scanner.next(line)) {
        const ParsedLine parsed =
            parseLine(std::string_view(content).substr(line.begin, line.end - line.begin));
        if (parsed.kind == LineKind::Section) {
            // Only the first section of the name counts.
            if (inSection)
                break;
            inSection = equalsNoCase(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Key && equalsNoCase(parsed.name, key)) {
            return finishValue(parsed.value);
        }
    }
    return {};
}

bool PrivateProfile::write(std::string_view section, std::string_view key,
                           std::string_view value) const {
    std::string content;
    if (readFile(m_path, content) == ReadResult::Failed)
        return false;

    std::string newLine(key);
    newLine += '=';
    newLine += firstLineOf(value);

    LineScanner scanner(content);
    Line line;
    bool sectionFound = false;
    std::size_t insertAt = 0;
    bool insertNeedsBreak = false;
    while (scanner.next(line)) {
        const ParsedLine parsed =
            parseLine(std::string_view(content).substr(line.begin, line.end - line.begin));
        if (parsed.kind == LineKind::Section) {
            if (sectionFound)
                break;
            if (!equalsNoCase(parsed.name, section))
                continue;
            sectionFound = true;
        } else if (!sectionFound) {
            continue;
        } else if (parsed.kind == LineKind::Key && equalsNoCase(parsed.name, key)) {
            content.replace(line.begin, line.end - line.begin, newLine);
            return writeFileAtomically(m_path, content);
        } else if (parsed.kind == LineKind::Blank) {
            // New keys go after the section's last line, before the blank lines
            // that part it from the next section.
            continue;
        }
        insertAt = line.next;
        insertNeedsBreak = line.next == line.end;
    }

    if (sectionFound) {
        std::string inserted = insertNeedsBreak ? "\r\n" : "";
        inserted += newLine;
        inserted += "\r\n";
        content.insert(insertAt, inserted);
    } else {
        if (!content.empty() && content.back() != '\n')
            content += "\r\n";
        content += '[';
        content += section;
        content += "]\r\n";
        content += newLine;
        content += "\r\n";
    }
    return writeFileAtomically(m_path, content);
}

bool readFileBytes(const std::string& path, std::string& bytes) {
    return readFile(path, bytes) == ReadResult::Ok;
}

std::string temporaryPathBeside(const std::string& path, std::string_view suffix) {
    static std::atomic<unsigned> counter{0};
    // "/" is never the trail byte of a GBK character.
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + ".quillon-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + std::string(suffix);
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    const std::string temporary = temporaryPathBeside(path, ".tmp");

    const auto fail = [&](int code) {
        if (error)
            *error = writeError(path, code);
        return false;
    };

    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            return fail(code);
        }
        written += static_cast<std::size_t>(put);
    }
    const int syncCode = ::fsync(fd) == 0 ? 0 : errno;
    const int closeCode = ::close(fd) == 0 ? 0 : errno;
    if (syncCode != 0 || closeCode != 0) {
        ::unlink(temporary.c_str());
        return fail(syncCode != 0 ? syncCode : closeCode);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return fail(code);
    }
    return true;
}

} // namespace quillon::shell
