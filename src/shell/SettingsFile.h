#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "shell/Settings.h"

namespace quillon::shell {

// The folder of the running program, without a trailing separator ("." when
// it cannot be told).
std::string programDirectory();

// Where the user's options are kept: programDirectory() + "/options/options.ini".
std::string optionsFilePath();

// The items of the settings page's fail-mode list, in list order; item i
// stands for descFailMode i + 1. GBK.
inline constexpr std::array<std::string_view, 3> kFailModeItems = {
    "\xB1\xA3\xB3\xD6\xB2\xBB\xB1\xE4",                                          // 保持不变
    "\xC9\xBE\xB3\xFD\xCD\xBC\xC6\xAC",                                          // 删除图片
    "\xD6\xD8\xD0\xC2\xCF\xC2\xD4\xD8 \xC8\xD4\xCA\xA7\xB0\xDC\xC9\xBE\xB3\xFD", // 重新下载
                                                                                 // 仍失败删除
};

// "已经保存！", title "提示".
inline constexpr std::string_view kSavedMessage = "\xD2\xD1\xBE\xAD\xB1\xA3\xB4\xE6\xA3\xA1";
// "请设置图片下载失败处理方式", title "信息：".
inline constexpr std::string_view kNoFailModeMessage =
    "\xC7\xEB\xC9\xE8\xD6\xC3\xCD\xBC\xC6\xAC\xCF\xC2\xD4\xD8\xCA\xA7\xB0\xDC\xB4\xA6\xC0\xED\xB7"
    "\xBD\xCA\xBD";
inline constexpr std::string_view kInfoTitle = "\xD0\xC5\xCF\xA2\xA3\xBA";

// Fills the stored options into `settings` from the profile at `profilePath`;
// a missing file or key reads as empty text. Afterwards the fail-mode list
// shows item descFailMode - 1, or keeps what it showed while descFailMode is
// left at 0 by a stored value other than empty, "1", "2" or "3". The check
// box "只下载淘宝空间图片" is enabled exactly when pictures are downloaded
// (decided here only). User-interface thread.
void loadSettings(Settings& settings, const std::string& profilePath);

// What saveSettings did, for the front end's message box.
struct SaveSettingsResult {
    bool saved = false;       // false: no fail mode chosen; only the check boxes were written
    bool allWritten = false;  // every write reached the file (the user is not told otherwise)
    std::string_view message; // kSavedMessage or kNoFailModeMessage
    std::string_view title;   // kHintTitle or kInfoTitle
};

// Writes the options of `settings` to the profile. `failModeItem` is the item
// the fail-mode list shows (0..2), none when it shows none: then only the
// four check boxes are written. On success descFailMode and assistantVersion
// take the saved values. User-interface thread.
SaveSettingsResult saveSettings(Settings& settings, const std::string& profilePath,
                                std::optional<int> failModeItem);

} // namespace quillon::shell
