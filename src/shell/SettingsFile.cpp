#include "shell/SettingsFile.h"

#include <climits>
#include <unistd.h>

#include "shell/PrivateProfile.h"

namespace quillon::shell {
namespace {

constexpr std::string_view kTrue = "\xD5\xE6";  // 真
constexpr std::string_view kFalse = "\xBC\xD9"; // 假

// The stored sections and keys. The targets of replacements two and three sit
// under "to3" and "to2": files written so far use that pairing.
constexpr std::string_view kPictures = "DL_PIC";
constexpr std::string_view kPrice = "PR_INFO";
constexpr std::string_view kReplace = "REPLACE";
constexpr std::string_view kSave = "SAVE";
constexpr std::array<std::string_view, 3> kReplaceFromKeys = {"1", "2", "3"};
constexpr std::array<std::string_view, 3> kReplaceToKeys = {"to1", "to3", "to2"};

std::string_view boolText(bool value) {
    return value ? kTrue : kFalse;
}

} // namespace

std::string programDirectory() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return ".";
    const std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string(1, kPathSeparator) : path.substr(0, slash);
}

std::string optionsFilePath() {
    std::string directory = programDirectory();
    if (directory.back() == kPathSeparator)
        directory.pop_back();
    return directory + kPathSeparator + "options" + kPathSeparator + "options.ini";
}

void loadSettings(Settings& settings, const std::string& profilePath) {
    const PrivateProfile profile(profilePath);
    SettingsValues values = settings.values();

    values.downloadDescPictures = profile.read(kPictures, "download") == kTrue;
    values.descTaobaoOnly = profile.read(kPictures, "taobao_only") == kTrue;
    values.priceAdjust = profile.read(kPrice, "p_type") == kTrue;
    values.stockUniform = profile.read(kPrice, "n_type") == kTrue;
    values.descTaobaoOnlyEnabled = values.downloadDescPictures;

    const std::string fall = profile.read(kPictures, "fall");
    if (fall.empty() || fall == "3") {
        values.descFailMode = 3;
    } else if (fall == "1") {
        values.descFailMode = 1;
    } else if (fall == "2") {
        values.descFailMode = 2;
    }
    // Any other text leaves the list and the mode as they were.

    values.pricePercent = profile.read(kPrice, "price");
    values.priceDecimals = profile.read(kPrice, "price_num");
    values.stockValue = profile.read(kPrice, "num");

    for (std::size_t i = 0; i < kReplaceFromKeys.size(); ++i) {
        values.replaceFrom[i] = profile.read(kReplace, kReplaceFromKeys[i]);
        values.replaceTo[i] = profile.read(kReplace, kReplaceToKeys[i]);
    }

    values.assistantVersion = profile.read(kSave, "type") == "4" ? 4 : 5;
    values.versionChoice = values.assistantVersion;

    settings.setValues(values);
}

SaveSettingsResult saveSettings(Settings& settings, const std::string& profilePath,
                                std::optional<int> failModeItem) {
    const PrivateProfile profile(profilePath);
    SettingsValues values = settings.values();
    bool allWritten = true;
    const auto write = [&](std::string_view section, std::string_view key, std::string_view value) {
        allWritten = profile.write(section, key, value) && allWritten;
    };

    write(kPictures, "download", boolText(values.downloadDescPictures));
    write(kPictures, "taobao_only", boolText(values.descTaobaoOnly));
    write(kPrice, "p_type", boolText(values.priceAdjust));
    write(kPrice, "n_type", boolText(values.stockUniform));

    if (!failModeItem || *failModeItem < 0 ||
        *failModeItem >= static_cast<int>(kFailModeItems.size()))
        return {false, allWritten, kNoFailModeMessage, kInfoTitle};

    const int mode = *failModeItem + 1;
    write(kPictures, "fall", std::to_string(mode));

    write(kPrice, "price", values.pricePercent);
    write(kPrice, "price_num", values.priceDecimals);
    write(kPrice, "num", values.stockValue);

    for (std::size_t i = 0; i < kReplaceFromKeys.size(); ++i) {
        write(kReplace, kReplaceFromKeys[i], values.replaceFrom[i]);
        write(kReplace, kReplaceToKeys[i], values.replaceTo[i]);
    }

    const int version = values.versionChoice == 4 ? 4 : 5;
    write(kSave, "type", std::to_string(version));

    values.descFailMode = mode;
    values.assistantVersion = version;
    settings.setValues(values);
    return {true, allWritten, kSavedMessage, kHintTitle};
}

} // namespace quillon::shell
