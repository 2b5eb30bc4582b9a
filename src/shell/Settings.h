#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

namespace quillon::shell {

// The platform's path separator. Never the trail byte of a GBK character.
inline constexpr char kPathSeparator = '/';

// "请检查文件名是否正确！" with the title "提示": the chosen data file has no
// "." in its name part.
inline constexpr std::string_view kBadFileNameMessage =
    "\xC7\xEB\xBC\xEC\xB2\xE9\xCE\xC4\xBC\xFE\xC3\xFB\xCA\xC7\xB7\xF1\xD5\xFD\xC8\xB7\xA3\xA1";
inline constexpr std::string_view kHintTitle = "\xCC\xE1\xCA\xBE";

// The options that shape every copied item, and the data file path. GBK
// texts. Values as the settings page holds them before anything is loaded.
struct SettingsValues {
    bool downloadDescPictures = false;
    bool descTaobaoOnly = false;
    bool descTaobaoOnlyEnabled = true; // the check box can be ticked
    int descFailMode = 0;              // 1 keep, 2 delete, 3 retry then delete; 0 none yet
    bool priceAdjust = false;
    std::string pricePercent = "100";
    std::string priceDecimals = "0";
    bool stockUniform = false;
    std::string stockValue = "100";
    std::array<std::string, 3> replaceFrom{};
    std::array<std::string, 3> replaceTo{};
    int assistantVersion = 5; // as last loaded or saved
    int versionChoice = 5;    // as the radio buttons show it now

    std::string savePath;   // the data file
    std::string outputDir;  // savePath up to and including its last separator
    std::string outputName; // the file name part up to its first "."
};

// outputDir and outputName of a data file path.
struct SavePathParts {
    std::string outputDir;  // up to and including the last separator; empty without one
    std::string outputName; // the name part up to its first "."; empty when it has none
};

// Splits a GBK path; a trail byte is never taken for a separator or a ".".
SavePathParts splitSavePath(std::string_view path);

// The live settings, shared by the front end that edits them and the workers
// that read them at the moment of use. Every call is safe from any thread and
// works on a copy, so a reader never sees a half-written value.
class Settings {
  public:
    SettingsValues values() const;
    void setValues(const SettingsValues& values);

    // Sets savePath and derives outputDir and outputName from it.
    void setSavePath(const std::string& path);

    // The rule of the "浏览" button for the path the user chose: ".csv" is
    // appended when the whole path has no ".", then the path is set as by
    // setSavePath. When the name part has no "." (outputName empty) the save
    // path is emptied and false returned: the front end then shows
    // kBadFileNameMessage. User-interface thread.
    bool applyChosenSavePath(const std::string& chosen);

    // The folder of the run's pictures: outputDir + outputName.
    std::string pictureFolder() const;

  private:
    mutable std::mutex m_mutex;
    SettingsValues m_values;
};

} // namespace quillon::shell
