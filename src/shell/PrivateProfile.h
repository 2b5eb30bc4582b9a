#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::shell {

// The buffer a profile value is read into: a longer value keeps one byte less.
inline constexpr std::size_t kProfileBufferSize = 10240;

// An ini file ("[section]" lines, "key=value" lines, GBK text) read and
// written one value at a time, the way the classic private-profile functions
// do it: nothing is cached, every read opens the file again and every write
// rewrites it. Sections and keys match without regard to ASCII case; a write
// leaves every other line, and the order of all lines, as it was. Paths are
// GBK bytes handed to the file system as they are. Holds no state besides
// the path; use from one thread at a time per file.
class PrivateProfile {
  public:
    explicit PrivateProfile(std::string path);

    const std::string& path() const { return m_path; }

    // The value of `key` in the first `section` of that name: blanks around it
    // removed, one pair of enclosing quotes dropped, cut at a NUL and to
    // kProfileBufferSize - 1 bytes (never inside a double-byte character).
    // Empty when the file, the section or the key is missing.
    std::string read(std::string_view section, std::string_view key) const;

    // Sets `key` in `section` to `value`, creating the file, the section or the
    // key when missing (never the folder). The value is cut at its first line
    // break or NUL, so one value stays one line. New lines end in CRLF. False
    // when the file could not be written.
    bool write(std::string_view section, std::string_view key, std::string_view value) const;

  private:
    std::string m_path;
};

// Whole-file helpers of the shell. Paths are GBK bytes, passed as they are.

// The bytes of a regular file; false (and `bytes` empty) when it cannot be read.
bool readFileBytes(const std::string& path, std::string& bytes);

// Replaces the file's content through a temporary file in the same folder and
// a rename, so readers see the old or the new content, never a part. False
// with a reason naming the path (GBK) when it cannot; nothing is left behind.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// A name for a temporary file beside `path`, unique in this process, ending
// in `suffix`: renamed over `path`, it stays on the same file system.
std::string temporaryPathBeside(const std::string& path, std::string_view suffix);

} // namespace quillon::shell
