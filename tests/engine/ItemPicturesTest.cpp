#include "engine/ItemPictures.h"
#include "LogLines.h"
#include "PictureBytes.h"
#include "PictureWorkerTest.h"
#include "TestFiles.h"

#include "HoldingServer.h"
#include "LoopbackServer.h"
#include "doc/XmlDocument.h"
#include "engine/ItemRecord.h"
#include "engine/WorkerContext.h"
#include "shell/ActivityLog.h"
#include "shell/Settings.h"
#include "text/LocalTime.h"
#include "text/Md5.h"
#include "text/TextCodec.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillon::engine {
namespace {

using quillon::support::HoldingServer;
using quillon::support::LoopbackServer;

using quillon::support::kGif;
using quillon::support::kJpeg;
using quillon::support::kPng;
using text::gbk;

using quillon::support::messageOf;
using quillon::support::readFile;

bool isPictureName(std::string_view name) {
    return name.size() == 32 &&
           name.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

struct PropertyPicture {
    std::string properties;
    std::string url;
};

// An item answer; an empty address leaves the picture without its url element.
std::string itemAnswer(const std::vector<std::string>& mainUrls,
                       const std::vector<PropertyPicture>& propertyPictures) {
    std::string answer = "<item_get_response><item><title>t</title><item_imgs>";
    for (std::size_t i = 0; i < mainUrls.size(); ++i) {
        answer += "<item_img><id>" + std::to_string(i + 1) + "</id>";
        if (!mainUrls[i].empty()) {
            answer += "<url>" + mainUrls[i] + "</url>";
        }
        answer += "</item_img>";
    }
    answer += "</item_imgs><prop_imgs>";
    for (const PropertyPicture& picture : propertyPictures) {
        answer += "<prop_img><properties>" + picture.properties + "</properties>";
        if (!picture.url.empty()) {
            answer += "<url>" + picture.url + "</url>";
        }
        answer += "</prop_img>";
    }
    return answer + "</prop_imgs></item></item_get_response>";
}

// The entries of a picture text, each without its closing "|;".
std::vector<std::string> entriesOf(const std::string& pictureText) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t end = pictureText.find("|;"); end != std::string::npos;
         end = pictureText.find("|;", start)) {
        entries.push_back(pictureText.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, pictureText.size()) << "text after the last entry";
    return entries;
}

class ItemPicturesTest : public PictureWorkerTest {
  protected:
    void SetUp() override { prepareWorker(gbk("女包 单肩")); }

    void setVersion(int version) {
        shell::SettingsValues values = m_settings.values();
        values.assistantVersion = version;
        m_settings.setValues(values);
    }

    bool run(const std::string& answer) {
        m_document.load(answer);
        return downloadItemPictures(m_document, m_record, m_context);
    }

    std::string picturePath(std::string_view name) const {
        return m_settings.pictureFolder() + "/" + std::string(name) + ".tbi";
    }

    std::size_t filesInFolder() const {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator(m_settings.pictureFolder())) {
            ++count;
        }
        return count;
    }

    doc::XmlDocument m_document;
};

LoopbackServer pictureServer() {
    return LoopbackServer([](httplib::Server& s) {
        s.Get("/m1.png", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(kPng, "image/png");
        });
        s.Get("/m2.gif", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(kGif, "image/gif");
        });
        s.Get("/m3.jpg", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(kJpeg, "image/jpeg");
        });
        s.Get("/p1.jpg", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(kJpeg, "image/jpeg");
        });
    });
}

TEST_F(ItemPicturesTest, PictureTextAndFilesInBothLayouts) {
    struct LayoutCase {
        int version;
        std::string mainKind;
        std::string propertyKind;
    };
    const LayoutCase layouts[] = {{4, ":0:", ":1:0:"}, {5, ":1:", ":2:0:"}};
    LoopbackServer server = pictureServer();
    const std::string answer =
        itemAnswer({server.url("/m1.png"), server.url("/m2.gif"), server.url("/m3.jpg")},
                   {{"1627207:28320;20509:28315", server.url("/p1.jpg")}});
    const std::string served[] = {kPng, kGif, kJpeg, kJpeg};

    for (const LayoutCase& layout : layouts) {
        SCOPED_TRACE(layout.version);
        setVersion(layout.version);
        ASSERT_TRUE(run(answer));
        const std::vector<std::string> entries = entriesOf(m_record.pictureText);
        ASSERT_EQ(entries.size(), 4u);
        std::set<std::string> names;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string name = entries[i].substr(0, 32);
            EXPECT_TRUE(isPictureName(name)) << entries[i];
            const std::string expected =
                i < 3 ? name + layout.mainKind + std::to_string(i) + ":"
                      : name + layout.propertyKind + "1627207:28320;20509:28315";
            EXPECT_EQ(entries[i], expected);
            EXPECT_EQ(readFile(picturePath(name)), served[i]) << name;
            names.insert(name);
        }
        EXPECT_EQ(names.size(), 4u);
    }
    EXPECT_EQ(server.requests().size(), 8u);
}

TEST_F(ItemPicturesTest, LogsEachStepWithRowAndPictureNumbers) {
    LoopbackServer server = pictureServer();
    ASSERT_TRUE(
        run(itemAnswer({server.url("/m1.png"), server.url("/m2.gif"), server.url("/m3.jpg")},
                       {{"1:2", server.url("/p1.jpg")}})));
    const std::vector<std::string> expected = {
        gbk("  开始下载 第：3/7  个宝贝   宝贝主图数据！\r\n"),
        gbk("  正在下载 第：1/3  张 宝贝主图数据... \r\n"),
        gbk("  正在下载 第：2/3  张 宝贝主图数据... \r\n"),
        gbk("  正在下载 第：3/3  张 宝贝主图数据... \r\n"),
        gbk("  下载完毕 第：3/7  个宝贝   宝贝主图数据！\r\n"),
        gbk("  开始下载 第：3/7  个宝贝   销售属性图片数据！\r\n"),
        gbk("  正在下载 第：1/1  张 销售属性图片数据... \r\n"),
        gbk("  下载完毕 第：3/7  个宝贝   销售属性图片数据！\r\n"),
    };
    EXPECT_EQ(messages(), expected);
    for (const std::string& line : m_sink.lines()) {
        const std::string stamp = line.substr(0, line.size() - messageOf(line).size());
        EXPECT_NE(stamp.find(gbk("日")), std::string::npos) << "no stamp: " << line;
    }
}

TEST_F(ItemPicturesTest, AnswerWithoutPicturesStillLogsBothStages) {
    for (const std::string& answer :
         {std::string(), std::string("not xml at all"), itemAnswer({}, {})}) {
        SCOPED_TRACE(answer);
        const std::size_t before = m_sink.lines().size();
        m_record.pictureText = "stale|;";
        ASSERT_TRUE(run(answer));
        EXPECT_EQ(m_record.pictureText, "");
        const std::vector<std::string> all = messages();
        const std::vector<std::string> added(all.begin() + static_cast<std::ptrdiff_t>(before),
                                             all.end());
        const std::vector<std::string> expected = {
            gbk("  开始下载 第：3/7  个宝贝   宝贝主图数据！\r\n"),
            gbk("  下载完毕 第：3/7  个宝贝   宝贝主图数据！\r\n"),
            gbk("  开始下载 第：3/7  个宝贝   销售属性图片数据！\r\n"),
            gbk("  下载完毕 第：3/7  个宝贝   销售属性图片数据！\r\n"),
        };
        EXPECT_EQ(added, expected);
    }
    EXPECT_EQ(filesInFolder(), 0u);
}

TEST_F(ItemPicturesTest, FailedDownloadsLeaveZeroByteFiles) {
    LoopbackServer server = pictureServer();
    // Not served (404 with no body), no url element, and a picture that works.
    ASSERT_TRUE(run(itemAnswer({server.url("/gone.jpg"), "", server.url("/m1.png")},
                               {{"1:2", "http://127.0.0.1:1/closed.jpg"}})));
    const std::vector<std::string> entries = entriesOf(m_record.pictureText);
    ASSERT_EQ(entries.size(), 4u);
    const std::size_t sizes[] = {0, 0, kPng.size(), 0};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string path = picturePath(entries[i].substr(0, 32));
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
        EXPECT_EQ(std::filesystem::file_size(path), sizes[i]) << path;
    }
}

TEST_F(ItemPicturesTest, MissingPictureFolderIsNotAnError) {
    LoopbackServer server = pictureServer();
    m_settings.setSavePath(m_folder.path() + "/absent/items.csv");
    ASSERT_TRUE(run(itemAnswer({server.url("/m1.png")}, {})));
    EXPECT_EQ(entriesOf(m_record.pictureText).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_folder.path() + "/absent"));
    EXPECT_EQ(messages().size(), 5u);
}

TEST_F(ItemPicturesTest, CheckpointRefusalStopsAtOnce) {
    // Checkpoints come before each download and each write: 3 main pictures,
    // then the property picture.
    struct StopCase {
        int allowed; // checkpoints that return true before the first false
        std::size_t requests;
        std::size_t files;
        bool finished;
    };
    const StopCase cases[] = {
        {0, 0, 0, false}, {1, 1, 0, false}, {2, 1, 1, false}, {7, 4, 3, false}, {8, 4, 4, true},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.allowed);
        LoopbackServer server = pictureServer();
        std::filesystem::remove_all(m_settings.pictureFolder());
        std::filesystem::create_directory(m_settings.pictureFolder());
        int calls = 0;
        m_context.checkpoint = [&calls, &c] { return calls++ < c.allowed; };
        const bool finished =
            run(itemAnswer({server.url("/m1.png"), server.url("/m2.gif"), server.url("/m3.jpg")},
                           {{"1:2", server.url("/p1.jpg")}}));
        EXPECT_EQ(finished, c.finished);
        EXPECT_EQ(calls, c.finished ? c.allowed : c.allowed + 1) << "calls after a refusal";
        EXPECT_EQ(server.requests().size(), c.requests);
        EXPECT_EQ(filesInFolder(), c.files);
    }
}

TEST_F(ItemPicturesTest, StopEndsADownloadFromAHostThatNeverAnswers) {
    HoldingServer server;
    std::atomic<bool> cancel{false};
    m_context.cancel = &cancel;
    m_context.checkpoint = [&cancel] { return !cancel.load(); };
    std::thread stopper([&] {
        if (server.waitForRequest()) {
            cancel = true;
        }
    });
    const bool finished = run(itemAnswer({server.url("/big.jpg"), server.url("/next.jpg")}, {}));
    stopper.join();
    EXPECT_FALSE(finished);
    EXPECT_EQ(server.server().requests().size(), 1u);
    EXPECT_EQ(filesInFolder(), 0u);
    const std::vector<std::string> logged = messages();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[1], gbk("  正在下载 第：1/2  张 宝贝主图数据... \r\n"));
}

TEST(PictureNameTest, NamesStayDistinctWithinOneMillisecond) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kPerThread; ++i) {
                made[t].push_back(pictureName("same title", "3301"));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<std::string> names;
    for (const std::vector<std::string>& some : made) {
        for (const std::string& name : some) {
            EXPECT_TRUE(isPictureName(name)) << name;
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), std::size_t{kThreads * kPerThread});
}

TEST(PictureNameTest, NameIsTheDigestOfStampTitleAndItemId) {
    const std::string title = gbk("女包 单肩");
    const long long before = std::stoll(text::unixStampText(true));
    const std::string name = pictureName(title, "3301");
    const long long after = std::stoll(pictureStampText());
    ASSERT_LT(before, after);
    bool found = false;
    for (long long stamp = before; stamp < after && !found; ++stamp) {
        found = text::md5Hex(std::to_string(stamp) + title + "3301") == name;
    }
    EXPECT_TRUE(found) << name;
}

} // namespace
} // namespace quillon::engine
