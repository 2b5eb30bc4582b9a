#include "engine/DescriptionPictures.h"

#include "doc/RegexMatcher.h"
#include "engine/ItemPictures.h"
#include "engine/ItemRecord.h"
#include "engine/PictureType.h"
#include "engine/WorkerContext.h"
#include "net/PlainDownload.h"
#include "shell/Settings.h"
#include "text/GbkText.h"
#include "text/Md5.h"
#include "text/PercentEncode.h"

#include <array>

namespace quillon::engine {
namespace {

// Picture tags, then background attributes (whose quotes the description
// clean-up has doubled).
constexpr std::array<std::string_view, 2> kPassPatterns{
    R"re(<IMG .*?"http://(.*?)".*?>)re",
    R"re(background=""http://(.*?)"")re",
};

// One Chinese character.
constexpr std::string_view kChineseCharacter = R"(([\u4e00-\u9fa5]))";

// " 线程："
constexpr std::string_view kThread = " \xCF\xDF\xB3\xCC\xA3\xBA";
// "  正在下载第:"
constexpr std::string_view kLoadingRow = "  \xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8\xB5\xDA:";
// "  第:"
constexpr std::string_view kRow = "  \xB5\xDA:";
// " 个宝贝 描述图片 "
constexpr std::string_view kDescriptionPicture =
    " \xB8\xF6\xB1\xA6\xB1\xB4 \xC3\xE8\xCA\xF6\xCD\xBC\xC6\xAC ";
// "字节集为0 "
constexpr std::string_view kEmptyDownload = "\xD7\xD6\xBD\xDA\xBC\xAF\xCE\xAA"
                                            "0 ";
// "已经删除 "
constexpr std::string_view kDeleted = "\xD2\xD1\xBE\xAD\xC9\xBE\xB3\xFD ";
// "正在重新下载 "
constexpr std::string_view kRetrying = "\xD5\xFD\xD4\xDA\xD6\xD8\xD0\xC2\xCF\xC2\xD4\xD8 ";
// "重新下载失败===已经删除图片 "
constexpr std::string_view kRetryFailed = "\xD6\xD8\xD0\xC2\xCF\xC2\xD4\xD8\xCA\xA7\xB0\xDC==="
                                          "\xD2\xD1\xBE\xAD\xC9\xBE\xB3\xFD\xCD\xBC\xC6\xAC ";
// "  非淘宝空间图片 已跳过"
constexpr std::string_view kSkipped = "  \xB7\xC7\xCC\xD4\xB1\xA6\xBF\xD5\xBC\xE4\xCD\xBC\xC6\xAC "
                                      "\xD2\xD1\xCC\xF8\xB9\xFD";

enum class DescriptionLine { Skipped, Fetching, Deleted, Retrying, RetryFailed };

void logDescriptionLine(const WorkerContext& context, DescriptionLine kind, int picture,
                        int count) {
    std::string line(kThread);
    line += std::to_string(context.workerNumber);
    const bool fetching = kind == DescriptionLine::Skipped || kind == DescriptionLine::Fetching;
    line += fetching ? kLoadingRow : kRow;
    line += std::to_string(context.row);
    line += '/';
    line += std::to_string(context.total);
    line += kDescriptionPicture;
    switch (kind) {
    case DescriptionLine::Deleted:
        line += kEmptyDownload;
        line += kDeleted;
        break;
    case DescriptionLine::Retrying:
        line += kEmptyDownload;
        line += kRetrying;
        break;
    case DescriptionLine::RetryFailed:
        line += kEmptyDownload;
        line += kRetryFailed;
        break;
    case DescriptionLine::Skipped:
    case DescriptionLine::Fetching:
        break;
    }
    line += std::to_string(picture);
    line += '/';
    line += std::to_string(count);
    if (kind == DescriptionLine::Skipped) {
        line += kSkipped;
    }
    line += "\r\n";
    logPictureLine(context, line);
}

shell::SettingsValues settingsOf(const WorkerContext& context) {
    return context.settings ? context.settings->values() : shell::SettingsValues{};
}

// One pass over the description with one pattern.
class DescriptionPass {
  public:
    DescriptionPass(ItemRecord& record, doc::RegexMatcher& characterMatcher,
                    const WorkerContext& context)
        : m_record(record), m_characterMatcher(characterMatcher), m_context(context) {}

    // False when stopped at a checkpoint.
    bool run(doc::RegexMatcher& pictureMatcher, std::string_view pattern) {
        pictureMatcher.create(pattern);
        const int count = pictureMatcher.execute(m_record.desc);
        if (count < 1) {
            return true;
        }
        m_titleFolder = descriptionTitleFolder(m_record.title);
        const std::string pictureFolder =
            m_context.settings ? m_context.settings->pictureFolder() : std::string();
        ensureFolder(joinPath(pictureFolder, m_titleFolder));
        for (int i = 1; i <= count; ++i) {
            if (!picture(pictureMatcher.subMatch(i, 1), i, count)) {
                return false;
            }
        }
        return true;
    }

  private:
    // One picture whose address, without "http://", is `captured`.
    bool picture(const std::string& captured, int index, int count) {
        const std::string remote = "http://" + captured;
        const std::string address = "http://" + text::replaceAll(captured, "amp;", "");
        const bool taobaoOnly = settingsOf(m_context).descTaobaoOnly;
        if (taobaoOnly && !text::containsText(captured, "taobao")) {
            logDescriptionLine(m_context, DescriptionLine::Skipped, index, count);
            return true;
        }
        logDescriptionLine(m_context, DescriptionLine::Fetching, index, count);
        if (!pictureCheckpoint(m_context)) {
            return false;
        }
        // The type comes from this first download even when a later one is kept.
        const std::string file = text::md5Mid16(captured) + "." +
                                 detectPictureType(net::plainDownload(address, m_context.cancel));
        const std::string folder =
            m_context.settings ? m_context.settings->pictureFolder() : std::string();
        const std::string path = joinPath(joinPath(folder, m_titleFolder), file);
        const std::string local = localPictureAddress(folder, m_titleFolder, file);

        if (taobaoOnly) {
            m_record.desc = text::replaceAllNoCase(m_record.desc, remote, local);
            if (!pictureCheckpoint(m_context)) {
                return false;
            }
            const std::string data = net::plainDownload(address, m_context.cancel);
            if (!pictureCheckpoint(m_context)) {
                return false;
            }
            writeFileBytes(path, data);
            return true;
        }

        bool stopped = false;
        std::string data = fetchToKeep(captured, address, stopped);
        if (stopped) {
            return false;
        }
        if (!data.empty()) {
            return keep(remote, local, path, data);
        }
        switch (settingsOf(m_context).descFailMode) {
        case 2:
            m_record.desc = text::replaceAllNoCase(m_record.desc, remote, "");
            logDescriptionLine(m_context, DescriptionLine::Deleted, index, count);
            return true;
        case 3:
            logDescriptionLine(m_context, DescriptionLine::Retrying, index, count);
            data = fetchToKeep(captured, address, stopped);
            if (stopped) {
                return false;
            }
            if (!data.empty()) {
                return keep(remote, local, path, data);
            }
            m_record.desc = text::replaceAllNoCase(m_record.desc, remote, "");
            // Logged in both passes, so that every removed picture shows in the log.
            logDescriptionLine(m_context, DescriptionLine::RetryFailed, index, count);
            return true;
        default:
            // Kept as it is: the description still names the remote picture.
            return true;
        }
    }

    // The download that is kept. An address holding Chinese characters is
    // fetched with them percent-encoded (and "amp;" left alone); any other
    // address as `address`.
    std::string fetchToKeep(const std::string& captured, const std::string& address,
                            bool& stopped) {
        if (m_characterMatcher.pattern() != kChineseCharacter) {
            m_characterMatcher.create(kChineseCharacter);
        }
        const int count = m_characterMatcher.execute(captured);
        std::string target = address;
        if (count > 0) {
            std::string encoded = captured;
            for (int j = 1; j <= count; ++j) {
                const std::string character = m_characterMatcher.subMatch(j, 1);
                encoded = text::replaceAll(encoded, character, text::percentEncode(character));
            }
            target = "http://" + encoded;
        }
        if (!pictureCheckpoint(m_context)) {
            stopped = true;
            return {};
        }
        return net::plainDownload(target, m_context.cancel);
    }

    bool keep(const std::string& remote, const std::string& local, const std::string& path,
              const std::string& data) {
        m_record.desc = text::replaceAllNoCase(m_record.desc, remote, local);
        if (!pictureCheckpoint(m_context)) {
            return false;
        }
        writeFileBytes(path, data);
        return true;
    }

    ItemRecord& m_record;
    doc::RegexMatcher& m_characterMatcher;
    const WorkerContext& m_context;
    std::string m_titleFolder;
};

} // namespace

std::string descriptionTitleFolder(std::string_view title) {
    std::string folder = text::replaceAll(title, "/", "");
    folder = text::replaceAll(folder, "\\", "");
    return text::replaceAll(folder, ".", "");
}

std::string localPictureAddress(std::string_view pictureFolder, std::string_view titleFolder,
                                std::string_view file) {
    // The folder is absolute here, so "file:///" already stands for its leading separator.
    if (pictureFolder.starts_with(shell::kPathSeparator)) {
        pictureFolder.remove_prefix(1);
    }
    std::string address = "file:///";
    address += joinPath(joinPath(pictureFolder, titleFolder), file);
    return address;
}

bool downloadDescriptionPictures(ItemRecord& record, doc::RegexMatcher& pictureMatcher,
                                 doc::RegexMatcher& characterMatcher,
                                 const WorkerContext& context) {
    DescriptionPass pass(record, characterMatcher, context);
    for (std::string_view pattern : kPassPatterns) {
        if (!pass.run(pictureMatcher, pattern)) {
            return false;
        }
    }
    return true;
}

} // namespace quillon::engine
