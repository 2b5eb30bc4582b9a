#include "shell/Settings.h"

#include "text/GbkText.h"

namespace quillon::shell {

SavePathParts splitSavePath(std::string_view path) {
    const std::string_view separator(&kPathSeparator, 1);
    const std::size_t lastSeparator = text::findLastText(path, separator);
    const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
    // The name part starts on a character boundary, so the search for "."
    // below walks its characters from the right place.
    const std::string_view name = path.substr(nameStart);
    const std::size_t dot = text::findText(name, ".");
    return {std::string(path.substr(0, nameStart)),
            dot == std::string_view::npos ? std::string() : std::string(name.substr(0, dot))};
}

SettingsValues Settings::values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

void Settings::setValues(const SettingsValues& values) {
    std::lock_guard lock(m_mutex);
    m_values = values;
}

void Settings::setSavePath(const std::string& path) {
    SavePathParts parts = splitSavePath(path);
    std::lock_guard lock(m_mutex);
    m_values.savePath = path;
    m_values.outputDir = std::move(parts.outputDir);
    m_values.outputName = std::move(parts.outputName);
}

bool Settings::applyChosenSavePath(const std::string& chosen) {
    std::string path = chosen;
    if (!text::containsText(path, "."))
        path += ".csv";
    SavePathParts parts = splitSavePath(path);
    const bool accepted = !parts.outputName.empty();
    std::lock_guard lock(m_mutex);
    // A refused name still leaves the parts derived from it; only the box is emptied.
    m_values.savePath = accepted ? path : std::string();
    m_values.outputDir = std::move(parts.outputDir);
    m_values.outputName = std::move(parts.outputName);
    return accepted;
}

std::string Settings::pictureFolder() const {
    std::lock_guard lock(m_mutex);
    return m_values.outputDir + m_values.outputName;
}

} // namespace quillon::shell
