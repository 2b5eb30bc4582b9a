#include "engine/ItemPictures.h"

#include "doc/XmlDocument.h"
#include "engine/ItemRecord.h"
#include "engine/WorkerContext.h"
#include "net/PlainDownload.h"
#include "shell/ActivityLog.h"
#include "shell/Settings.h"
#include "text/LocalTime.h"
#include "text/Md5.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quillon::engine {
namespace {

// "  开始下载 第：", "  正在下载 第：", "  下载完毕 第："
constexpr std::string_view kStarting = "  \xBF\xAA\xCA\xBC\xCF\xC2\xD4\xD8 \xB5\xDA\xA3\xBA";
constexpr std::string_view kLoading = "  \xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8 \xB5\xDA\xA3\xBA";
constexpr std::string_view kFinished = "  \xCF\xC2\xD4\xD8\xCD\xEA\xB1\xCF \xB5\xDA\xA3\xBA";
// "  个宝贝   宝贝主图数据！"
constexpr std::string_view kItemMain =
    "  \xB8\xF6\xB1\xA6\xB1\xB4   \xB1\xA6\xB1\xB4\xD6\xF7\xCD\xBC"
    "\xCA\xFD\xBE\xDD\xA3\xA1\r\n";
// "  个宝贝   销售属性图片数据！"
constexpr std::string_view kItemProperty = "  \xB8\xF6\xB1\xA6\xB1\xB4   \xCF\xFA\xCA\xDB\xCA\xF4"
                                           "\xD0\xD4\xCD\xBC\xC6\xAC\xCA\xFD\xBE\xDD\xA3\xA1\r\n";
// "  张 宝贝主图数据... "
constexpr std::string_view kPictureMain =
    "  \xD5\xC5 \xB1\xA6\xB1\xB4\xD6\xF7\xCD\xBC\xCA\xFD\xBE\xDD"
    "... \r\n";
// "  张 销售属性图片数据... "
constexpr std::string_view kPictureProperty = "  \xD5\xC5 \xCF\xFA\xCA\xDB\xCA\xF4\xD0\xD4\xCD\xBC"
                                              "\xC6\xAC\xCA\xFD\xBE\xDD... \r\n";

constexpr std::string_view kMainPictures = "item_get_response/item/item_imgs";
constexpr std::string_view kPropertyPictures = "item_get_response/item/prop_imgs";

// The last stamp given out by pictureStampText, in milliseconds.
std::atomic<long long> g_lastPictureStamp{0};

std::string progressLine(std::string_view head, int done, int count, std::string_view tail) {
    std::string line(head);
    line += std::to_string(done);
    line += '/';
    line += std::to_string(count);
    line += tail;
    return line;
}

std::string pictureFolderOf(const WorkerContext& context) {
    return context.settings ? context.settings->pictureFolder() : std::string();
}

int assistantVersionOf(const WorkerContext& context) {
    return context.settings ? context.settings->values().assistantVersion : 5;
}

std::string childPath(std::string_view list, int index, std::string_view field) {
    std::string path(list);
    path += "/@";
    path += std::to_string(index);
    path += '/';
    path += field;
    return path;
}

// Downloads `address` and writes what comes (even nothing) into the picture
// folder as name + ".tbi". False when stopped at a checkpoint.
bool fetchPictureFile(const WorkerContext& context, const std::string& address,
                      const std::string& name) {
    if (!pictureCheckpoint(context)) {
        return false;
    }
    const std::string bytes = net::plainDownload(address, context.cancel);
    if (!pictureCheckpoint(context)) {
        return false;
    }
    writeFileBytes(joinPath(pictureFolderOf(context), name + ".tbi"), bytes);
    return true;
}

} // namespace

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += shell::kPathSeparator;
    path += name;
    return path;
}

bool folderExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool ensureFolder(const std::string& path) {
    if (folderExists(path)) {
        return true;
    }
    std::error_code error;
    std::filesystem::create_directory(path, error);
    return folderExists(path);
}

bool writeFileBytes(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

std::string pictureStampText() {
    const std::string clock = text::unixStampText(true);
    long long now = 0;
    std::from_chars(clock.data(), clock.data() + clock.size(), now);
    long long last = g_lastPictureStamp.load();
    long long next = 0;
    do {
        next = std::max(now, last + 1);
    } while (!g_lastPictureStamp.compare_exchange_weak(last, next));
    return std::to_string(next);
}

std::string pictureName(std::string_view title, std::string_view itemId) {
    std::string source = pictureStampText();
    source += title;
    source += itemId;
    return text::md5Hex(source);
}

bool pictureCheckpoint(const WorkerContext& context) {
    if (context.cancel != nullptr && context.cancel->load()) {
        return false;
    }
    return !context.checkpoint || context.checkpoint();
}

void logPictureLine(const WorkerContext& context, std::string_view message) {
    if (context.log == nullptr) {
        return;
    }
    std::string line = shell::ActivityLog::stamp();
    line += message;
    context.log->append(line);
}

bool downloadItemPictures(const doc::XmlDocument& document, ItemRecord& record,
                          const WorkerContext& context) {
    record.pictureText.clear();

    logPictureLine(context, progressLine(kStarting, context.row, context.total, kItemMain));
    const int mainCount = document.childCount(kMainPictures);
    for (int i = 1; i <= mainCount; ++i) {
        logPictureLine(context, progressLine(kLoading, i, mainCount, kPictureMain));
        const std::string name = pictureName(record.title, record.itemId);
        record.pictureText += name;
        record.pictureText += assistantVersionOf(context) == 4 ? ":0:" : ":1:";
        record.pictureText += std::to_string(i - 1);
        record.pictureText += ":|;";
        const std::string address = document.getText(childPath(kMainPictures, i, "url"));
        if (!fetchPictureFile(context, address, name)) {
            return false;
        }
    }
    logPictureLine(context, progressLine(kFinished, context.row, context.total, kItemMain));

    logPictureLine(context, progressLine(kStarting, context.row, context.total, kItemProperty));
    const int propertyCount = document.childCount(kPropertyPictures);
    for (int i = 1; i <= propertyCount; ++i) {
        logPictureLine(context, progressLine(kLoading, i, propertyCount, kPictureProperty));
        const std::string name = pictureName(record.title, record.itemId);
        record.pictureText += name;
        record.pictureText += assistantVersionOf(context) == 4 ? ":1:0:" : ":2:0:";
        record.pictureText += document.getText(childPath(kPropertyPictures, i, "properties"));
        record.pictureText += "|;";
        const std::string address = document.getText(childPath(kPropertyPictures, i, "url"));
        if (!fetchPictureFile(context, address, name)) {
            return false;
        }
    }
    logPictureLine(context, progressLine(kFinished, context.row, context.total, kItemProperty));
    return true;
}

} // namespace quillon::engine
