#include "engine/DownloadWorker.h"

#include <cstring>

#include "api/ApiRequest.h"
#include "api/CredentialList.h"
#include "engine/AssistantCsv.h"
#include "engine/DescriptionPictures.h"
#include "engine/ItemPictures.h"
#include "engine/ItemRecordReader.h"
#include "engine/WorkerContext.h"
#include "net/HttpClient.h"
#include "shell/ActivityLog.h"
#include "shell/CollectionRun.h"
#include "shell/ItemList.h"
#include "shell/Settings.h"
#include "text/TextCodec.h"

namespace quillon::engine {
namespace {

std::string number(int value) {
    return std::to_string(value);
}

// The part of an answer before its first zero byte.
std::string_view upToZero(const std::string& body) {
    return std::string_view(body.data(), ::strnlen(body.data(), body.size()));
}

} // namespace

DownloadWorker::DownloadWorker(const CopyJob& job, int workerNumber)
    : m_job(job), m_workerNumber(workerNumber) {}

void DownloadWorker::run() {
    shell::CollectionRun& run = *m_job.run;
    m_total = run.counters().total;
    int lastRow = 0;
    for (;;) {
        if (!run.checkpoint())
            return;
        const auto row = run.takeNextItem();
        if (!row)
            break;
        lastRow = *row;
        if (!copyItem(*row))
            return;
    }
    if (run.workerFinished())
        finishRun(lastRow);
}

bool DownloadWorker::copyItem(int row) {
    shell::CollectionRun& run = *m_job.run;
    api::CredentialList& credentials = *m_job.credentials;
    const std::string W = number(m_workerNumber);
    const std::string progress = number(row) + "/" + number(m_total);

    int position = credentials.currentCredential();
    const shell::ItemEntry entry = m_job.list->row(row - 1);
    log(text::gbk("线程：") + W + text::gbk("  开始下载 第：") + progress + text::gbk(" 个宝贝:") +
        entry.name + "\r\n");

    if (!request(entry.itemId, position))
        return false;
    // A refusal names its reason under the root; an item answer has none.
    const int count = std::max(credentials.size(), 1);
    while (!m_answer.getText("@1/msg").empty()) {
        position = position >= count ? 1 : position + 1;
        if (!request(entry.itemId, position))
            return false;
        log(text::gbk("  通过当前App参数调用'淘宝官方接口'失败！正在尝试下一组App\r\n"));
        if (position == count) {
            log(text::gbk(
                " ####################淘宝接口忙,请点'暂停'按钮5分钟后再点'继续'按钮接着处理\r\n"));
            if (!run.sleepFor(m_job.wrapPause))
                return false;
        }
    }
    credentials.setCurrentCredential(position);

    log(text::gbk("线程：") + W + text::gbk("  开始获取 第：") + progress +
        text::gbk(" 个宝贝   基本信息！\r\n"));
    ItemRecord record = ItemRecordReader::readBasicFields(m_answer, entry.itemId, *m_job.settings);
    log(text::gbk("线程：") + W + text::gbk("  获取成功 第：") + progress +
        text::gbk(" 个宝贝   基本信息！\r\n"));
    log(text::gbk("线程：") + W + text::gbk("  开始获取 第：") + progress +
        text::gbk("  个宝贝   描述信息！\r\n"));
    record.desc = ItemRecordReader::readDescription(m_answer, *m_job.settings);
    log(text::gbk("线程：") + W + text::gbk("  成功获取 第：") + progress +
        text::gbk("  个宝贝   描述信息！\r\n"));

    WorkerContext context;
    context.log = m_job.log;
    context.settings = m_job.settings;
    context.workerNumber = m_workerNumber;
    context.row = row;
    context.total = m_total;
    context.cancel = run.cancelFlag();
    context.checkpoint = [&run] { return run.checkpoint(); };

    if (m_job.settings->values().downloadDescPictures &&
        !downloadDescriptionPictures(record, m_pictureMatcher, m_characterMatcher, context)) {
        return false;
    }
    if (!downloadItemPictures(m_answer, record, context))
        return false;

    if (!record.title.empty()) {
        if (!run.checkpoint())
            return false;
        run.addRow(AssistantCsv::buildRow(record, m_job.settings->values().assistantVersion));
    }
    log(text::gbk(" 线程：") + W + text::gbk(" 第：") + progress +
        text::gbk(" 个宝贝 下载完成！\r\n"));
    run.itemDone();
    return true;
}

bool DownloadWorker::request(const std::string& itemId, int position) {
    shell::CollectionRun& run = *m_job.run;
    if (!run.checkpoint())
        return false;
    const api::Credential credential = m_job.credentials->at(position);
    const std::string address =
        api::ApiRequest::forItem(itemId, credential.appKey, credential.appSecret);
    net::HttpOptions options;
    options.cancel = run.cancelFlag();
    const std::string body = net::HttpClient::fetch(address, options);
    if (run.isStopRequested())
        return false;
    m_answer.load(upToZero(body));
    return true;
}

void DownloadWorker::finishRun(int lastRow) {
    shell::CollectionRun& run = *m_job.run;
    const shell::RunCounters counters = run.closeRun();
    log(text::gbk(" 线程：") + number(m_workerNumber) + text::gbk(" 第：") + number(lastRow) + "/" +
        number(counters.total) + text::gbk(" 个宝贝 下载完成！成功： ") +
        number(counters.successCount) + text::gbk(" 失败：") + number(counters.failureCount) +
        "\r\n");
    if (m_job.listener != nullptr)
        m_job.listener->runFinished(counters);

    const shell::SettingsValues settings = m_job.settings->values();
    std::string reason;
    const bool written = AssistantCsv::writeFile(settings.savePath, settings.assistantVersion,
                                                 run.csvRows(), reason);
    if (!written) {
        log(text::gbk("  数据文件写入失败：") + settings.savePath + "  " + reason + "\r\n");
    }
    if (m_job.listener != nullptr)
        m_job.listener->dataFileWritten(settings.savePath, written, reason);
}

void DownloadWorker::log(const std::string& message) {
    m_job.log->append(shell::ActivityLog::stamp() + message);
}

bool startCopyRun(const CopyJob& job) {
    const int total = job.list->rowCount();
    if (total == 0)
        return false;
    if (job.settings->values().savePath.empty())
        return false;
    if (job.run->isRunning())
        return false;
    ensureFolder(job.settings->pictureFolder());
    return job.run->start(total, [job](int workerNumber) {
        DownloadWorker worker(job, workerNumber);
        worker.run();
    });
}

} // namespace quillon::engine
