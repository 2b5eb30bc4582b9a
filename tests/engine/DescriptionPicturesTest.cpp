#include "engine/DescriptionPictures.h"
#include "LogLines.h"
#include "PictureBytes.h"
#include "PictureWorkerTest.h"
#include "TestFiles.h"

#include "LoopbackServer.h"
#include "doc/RegexMatcher.h"
#include "engine/ItemRecord.h"
#include "engine/PictureType.h"
#include "engine/WorkerContext.h"
#include "net/Endpoints.h"
#include "net/HttpClient.h"
#include "shell/ActivityLog.h"
#include "shell/Settings.h"
#include "text/GbkText.h"
#include "text/Md5.h"
#include "text/TextCodec.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::engine {
namespace {

using quillon::support::LoopbackServer;

using quillon::support::kGif;
using quillon::support::kJpeg;
using quillon::support::kPng;
using text::gbk;

// Addresses as captured from a description: without "http://".
const std::string kTaobaoPng = "img01.taobaocdn.com/bao/a.png";
const std::string kTaobaoGif = "img02.taobaocdn.com/bao/b.gif";
const std::string kOtherPng = "www.example.com/bao/a.png";
const std::string kMissing = "img01.taobaocdn.com/missing.jpg";
const std::string kFlaky = "img01.taobaocdn.com/flaky.png";

using quillon::support::messageOf;
using quillon::support::readFile;

// Description markup after the description clean-up: attribute quotes doubled.
std::string imgTag(const std::string& captured) {
    return "<img align=\"\"middle\"\" src=\"\"http://" + captured + "\"\" />";
}
std::string backgroundTable(const std::string& captured) {
    return "<table background=\"\"http://" + captured + "\"\"><tr><td>x</td></tr></table>";
}

// D1 to D5 for worker 2, row 3 of 7.
std::string skippedLine(int i, int n) {
    return gbk(" 线程：2  正在下载第:3/7 个宝贝 描述图片 " + std::to_string(i) + "/" +
               std::to_string(n) + "  非淘宝空间图片 已跳过\r\n");
}
std::string fetchingLine(int i, int n) {
    return gbk(" 线程：2  正在下载第:3/7 个宝贝 描述图片 " + std::to_string(i) + "/" +
               std::to_string(n) + "\r\n");
}
std::string deletedLine(int i, int n) {
    return gbk(" 线程：2  第:3/7 个宝贝 描述图片 字节集为0 已经删除 " + std::to_string(i) + "/" +
               std::to_string(n) + "\r\n");
}
std::string retryingLine(int i, int n) {
    return gbk(" 线程：2  第:3/7 个宝贝 描述图片 字节集为0 正在重新下载 " + std::to_string(i) +
               "/" + std::to_string(n) + "\r\n");
}
std::string retryFailedLine(int i, int n) {
    return gbk(" 线程：2  第:3/7 个宝贝 描述图片 字节集为0 重新下载失败===已经删除图片 " +
               std::to_string(i) + "/" + std::to_string(n) + "\r\n");
}

class DescriptionPicturesTest : public PictureWorkerTest {
  protected:
    DescriptionPicturesTest()
        : m_server([this](httplib::Server& s) {
              s.Get("/bao/a.png", [](const httplib::Request&, httplib::Response& r) {
                  r.set_content(kPng, "image/png");
              });
              s.Get("/bao/b.gif", [](const httplib::Request&, httplib::Response& r) {
                  r.set_content(kGif, "image/gif");
              });
              // Only the address with "&amp;" turned into "&".
              s.Get("/q.jpg", [](const httplib::Request& q, httplib::Response& r) {
                  if (q.target == "/q.jpg?a=1&b=2") {
                      r.set_content(kJpeg, "image/jpeg");
                  } else {
                      r.status = 404;
                  }
              });
              // Only when the Chinese character comes as upper-case "%" pairs of
              // its GBK bytes; the plain first download does not send that, so
              // these pictures get the failure type.
              s.Get("/cn/.*", [](const httplib::Request& q, httplib::Response& r) {
                  if (q.target.find("%D6%D0") != std::string::npos) {
                      r.set_content(kPng, "image/png");
                  } else {
                      r.status = 404;
                  }
              });
              // Empty twice, then a picture.
              s.Get("/flaky.png", [this](const httplib::Request&, httplib::Response& r) {
                  if (++m_flakyRequests >= 3) {
                      r.set_content(kPng, "image/png");
                  } else {
                      r.status = 404;
                  }
              });
          }) {}

    void SetUp() override {
        net::Endpoints endpoints;
        endpoints.connectTo.push_back({"*", 80, "127.0.0.1", m_server.port()});
        net::setActiveEndpoints(endpoints);
        net::HttpClient::clearSharedCookies();

        prepareWorker("Bag");
    }

    void TearDown() override { net::setActiveEndpoints({}); }

    void setOptions(bool taobaoOnly, int failMode) {
        shell::SettingsValues values = m_settings.values();
        values.descTaobaoOnly = taobaoOnly;
        values.descFailMode = failMode;
        m_settings.setValues(values);
    }

    bool run() {
        return downloadDescriptionPictures(m_record, m_pictureMatcher, m_characterMatcher,
                                           m_context);
    }

    // The file name and the local address of a captured address in the title folder.
    static std::string fileName(const std::string& captured, std::string_view type) {
        return text::md5Mid16(captured) + "." + std::string(type);
    }
    std::string localAddress(const std::string& folder, const std::string& file) const {
        return "file://" + pictureFolder() + "/" + folder + "/" + file;
    }

    std::vector<std::string> requestTargets() const {
        std::vector<std::string> out;
        for (const support::RecordedRequest& request : m_server.requests()) {
            out.push_back(request.target);
        }
        return out;
    }

    std::vector<std::string> filesIn(const std::string& folder) const {
        std::vector<std::string> out;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
            out.push_back(entry.path().filename().string());
        }
        return out;
    }

    std::atomic<int> m_flakyRequests{0};
    LoopbackServer m_server;
    doc::RegexMatcher m_pictureMatcher;
    doc::RegexMatcher m_characterMatcher;
};

TEST_F(DescriptionPicturesTest, BothPassesSaveThePicturesAndPointTheDescriptionAtThem) {
    m_record.desc = "<p>" + imgTag(kTaobaoPng) + "</p>" + backgroundTable(kTaobaoGif);
    ASSERT_TRUE(run());

    const std::string png = fileName(kTaobaoPng, "png");
    const std::string gif = fileName(kTaobaoGif, "gif");
    EXPECT_EQ(m_record.desc, "<p><img align=\"\"middle\"\" src=\"\"" + localAddress("Bag", png) +
                                 "\"\" /></p><table background=\"\"" + localAddress("Bag", gif) +
                                 "\"\"><tr><td>x</td></tr></table>");
    EXPECT_TRUE(localAddress("Bag", png).starts_with("file:///")) << "one slash too many or few";
    EXPECT_EQ(readFile(pictureFolder() + "/Bag/" + png), kPng);
    EXPECT_EQ(readFile(pictureFolder() + "/Bag/" + gif), kGif);
    // Each picture is downloaded twice: once for its type, once to keep.
    EXPECT_EQ(requestTargets(),
              (std::vector<std::string>{"/bao/a.png", "/bao/a.png", "/bao/b.gif", "/bao/b.gif"}));
    EXPECT_EQ(m_server.requests()[2].header("Host"), "img02.taobaocdn.com");
    EXPECT_EQ(messages(), (std::vector<std::string>{fetchingLine(1, 1), fetchingLine(1, 1)}));
}

TEST_F(DescriptionPicturesTest, DescriptionWithoutPicturesCreatesNoFolder) {
    const std::string descriptions[] = {
        "",
        "<p>" + gbk("纯文字描述") + "</p>",
        // Not the addresses the passes look for.
        "<img src=\"\"https://secure.example.com/a.png\"\" /><div background=\"\"x.png\"\">",
    };
    for (const std::string& desc : descriptions) {
        SCOPED_TRACE(desc);
        m_record.desc = desc;
        ASSERT_TRUE(run());
        EXPECT_EQ(m_record.desc, desc);
    }
    EXPECT_TRUE(filesIn(pictureFolder()).empty());
    EXPECT_TRUE(m_sink.lines().empty());
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(DescriptionPicturesTest, TitleFolderDropsSlashesBackslashesAndFullStops) {
    struct FolderCase {
        std::string title;
        std::string folder;
    };
    const FolderCase cases[] = {
        {"a/b\\c", "abc"},
        {"v1.2 ./\\", "v12 "},
        // The second byte of this character is the byte of "\".
        {"\x95\x5C/" + gbk("包"), "\x95\x5C" + gbk("包")},
        {"/\\.", ""},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(descriptionTitleFolder(c.title), c.folder);
    }

    m_record.title = gbk("女包/单肩\\新款");
    m_record.desc = imgTag(kTaobaoPng);
    ASSERT_TRUE(run());
    const std::string folder = gbk("女包单肩新款");
    const std::string file = fileName(kTaobaoPng, "png");
    EXPECT_EQ(readFile(pictureFolder() + "/" + folder + "/" + file), kPng);
    EXPECT_EQ(m_record.desc,
              "<img align=\"\"middle\"\" src=\"\"" + localAddress(folder, file) + "\"\" />");
    EXPECT_EQ(filesIn(pictureFolder()), std::vector<std::string>{folder});
}

TEST_F(DescriptionPicturesTest, TaobaoOnlySkipsOtherHostsAndKeepsEveryDownload) {
    setOptions(true, 2);
    // "taobao" is looked for with its case: the upper-case host is skipped too.
    const std::string upperCase = "img01.TAOBAOcdn.com/bao/b.gif";
    m_record.desc = imgTag(kOtherPng) + imgTag(kMissing) + imgTag(upperCase) + imgTag(kTaobaoPng);
    ASSERT_TRUE(run());

    // The failed picture is written all the same, and its type is the failure text.
    const std::string missing = fileName(kMissing, kUnknownPictureType);
    const std::string png = fileName(kTaobaoPng, "png");
    EXPECT_EQ(m_record.desc, imgTag(kOtherPng) + "<img align=\"\"middle\"\" src=\"\"" +
                                 localAddress("Bag", missing) + "\"\" />" + imgTag(upperCase) +
                                 "<img align=\"\"middle\"\" src=\"\"" + localAddress("Bag", png) +
                                 "\"\" />");
    ASSERT_TRUE(std::filesystem::is_regular_file(pictureFolder() + "/Bag/" + missing));
    EXPECT_EQ(std::filesystem::file_size(pictureFolder() + "/Bag/" + missing), 0u);
    EXPECT_EQ(readFile(pictureFolder() + "/Bag/" + png), kPng);
    EXPECT_EQ(messages(), (std::vector<std::string>{skippedLine(1, 4), fetchingLine(2, 4),
                                                    skippedLine(3, 4), fetchingLine(4, 4)}));
    for (const support::RecordedRequest& request : m_server.requests()) {
        EXPECT_EQ(request.header("Host"), "img01.taobaocdn.com");
    }
    EXPECT_EQ(m_server.requests().size(), 4u);
}

TEST_F(DescriptionPicturesTest, AddressTextsAsFetched) {
    // "amp;" is removed on the plain route only; a Chinese character goes
    // out as "%" pairs of its GBK bytes, on a route that keeps "amp;".
    struct AddressCase {
        const char* name;
        std::string captured;
        std::string typeTarget; // the first download, which gives the type ("": any)
        std::string keptTarget; // the download that is kept
        std::string type;
        std::string served;
    };
    const AddressCase cases[] = {
        {"entity", "www.example.com/q.jpg?a=1&amp;b=2", "/q.jpg?a=1&b=2", "/q.jpg?a=1&b=2", "jpg",
         kJpeg},
        {"chinese", "www.example.com/cn/" + gbk("中") + ".png", "", "/cn/%D6%D0.png",
         std::string(kUnknownPictureType), kPng},
        {"chinese and entity", "www.example.com/cn/" + gbk("中") + ".png?a=1&amp;b=2", "",
         "/cn/%D6%D0.png?a=1&amp;b=2", std::string(kUnknownPictureType), kPng},
    };
    for (const AddressCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = m_server.requests().size();
        m_record.desc = imgTag(c.captured);
        ASSERT_TRUE(run());
        const std::vector<std::string> targets = requestTargets();
        ASSERT_EQ(targets.size(), before + 2);
        if (!c.typeTarget.empty()) {
            EXPECT_EQ(targets[before], c.typeTarget);
        }
        EXPECT_EQ(targets[before + 1], c.keptTarget);
        const std::string file = fileName(c.captured, c.type);
        EXPECT_EQ(readFile(pictureFolder() + "/Bag/" + file), c.served);
        EXPECT_EQ(m_record.desc,
                  "<img align=\"\"middle\"\" src=\"\"" + localAddress("Bag", file) + "\"\" />");
    }
}

TEST_F(DescriptionPicturesTest, FailModesForAPictureThatCannotBeFetched) {
    enum class Line { Fetching, Deleted, Retrying, RetryFailed };
    struct FailCase {
        int mode;
        bool background; // the second pass
        std::vector<Line> lines;
        bool addressKept;
        std::size_t requests;
    };
    const FailCase cases[] = {
        {0, false, {Line::Fetching}, true, 2},
        {1, false, {Line::Fetching}, true, 2},
        {1, true, {Line::Fetching}, true, 2},
        {2, false, {Line::Fetching, Line::Deleted}, false, 2},
        {2, true, {Line::Fetching, Line::Deleted}, false, 2},
        {3, false, {Line::Fetching, Line::Retrying, Line::RetryFailed}, false, 3},
        {3, true, {Line::Fetching, Line::Retrying, Line::RetryFailed}, false, 3},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "mode " << c.mode << (c.background ? " background" : " img"));
        setOptions(false, c.mode);
        const std::size_t linesBefore = m_sink.lines().size();
        const std::size_t requestsBefore = m_server.requests().size();
        const std::string markup = c.background ? backgroundTable(kMissing) : imgTag(kMissing);
        m_record.desc = "<p>" + markup + "</p>";
        ASSERT_TRUE(run());

        const std::string expected =
            c.addressKept ? "<p>" + markup + "</p>"
                          : "<p>" + text::replaceAll(markup, "http://" + kMissing, "") + "</p>";
        EXPECT_EQ(m_record.desc, expected);
        std::vector<std::string> lines;
        for (Line line : c.lines) {
            switch (line) {
            case Line::Fetching:
                lines.push_back(fetchingLine(1, 1));
                break;
            case Line::Deleted:
                lines.push_back(deletedLine(1, 1));
                break;
            case Line::Retrying:
                lines.push_back(retryingLine(1, 1));
                break;
            case Line::RetryFailed:
                lines.push_back(retryFailedLine(1, 1));
                break;
            }
        }
        const std::vector<std::string> all = messages();
        EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                                           all.end()),
                  lines);
        EXPECT_EQ(m_server.requests().size() - requestsBefore, c.requests);
        EXPECT_TRUE(filesIn(pictureFolder() + "/Bag").empty());
    }
}

TEST_F(DescriptionPicturesTest, RetryThatSucceedsKeepsTheFailureTypeInTheName) {
    setOptions(false, 3);
    m_record.desc = imgTag(kFlaky);
    ASSERT_TRUE(run());
    const std::string file = fileName(kFlaky, kUnknownPictureType);
    EXPECT_EQ(readFile(pictureFolder() + "/Bag/" + file), kPng);
    EXPECT_EQ(m_record.desc,
              "<img align=\"\"middle\"\" src=\"\"" + localAddress("Bag", file) + "\"\" />");
    EXPECT_EQ(messages(), (std::vector<std::string>{fetchingLine(1, 1), retryingLine(1, 1)}));
    EXPECT_EQ(m_flakyRequests.load(), 3);
}

TEST_F(DescriptionPicturesTest, SameAddressTwiceIsRewrittenAtTheFirstVisit) {
    m_record.desc = imgTag(kTaobaoPng) + "<br>" + imgTag("IMG01.TAOBAOCDN.COM/bao/a.png");
    ASSERT_TRUE(run());
    const std::string file = fileName(kTaobaoPng, "png");
    const std::string local =
        "<img align=\"\"middle\"\" src=\"\"" + localAddress("Bag", file) + "\"\" />";
    // The address is replaced without regard to case, so both tags point at the first file.
    EXPECT_EQ(m_record.desc, local + "<br>" + local);
    EXPECT_EQ(messages(), (std::vector<std::string>{fetchingLine(1, 2), fetchingLine(2, 2)}));
    EXPECT_EQ(m_server.requests().size(), 4u);
    EXPECT_EQ(readFile(pictureFolder() + "/Bag/" + file), kPng);
}

TEST_F(DescriptionPicturesTest, CheckpointRefusalStopsTheStep) {
    // Checkpoints before the type download, the kept download and the write
    // of each picture; two pictures in the first pass, none in the second.
    struct StopCase {
        int allowed; // checkpoints that return true before the first false
        std::size_t requests;
        std::size_t files;
        bool firstRewritten;
        bool finished;
    };
    const StopCase cases[] = {
        {0, 0, 0, false, false},
        {2, 2, 0, true, false},
        {3, 2, 1, true, false},
        {6, 4, 2, true, true},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.allowed);
        std::filesystem::remove_all(pictureFolder() + "/Bag");
        const std::size_t requestsBefore = m_server.requests().size();
        int calls = 0;
        m_context.checkpoint = [&calls, &c] { return calls++ < c.allowed; };
        m_record.desc = imgTag(kTaobaoPng) + imgTag(kTaobaoGif);
        EXPECT_EQ(run(), c.finished);
        EXPECT_EQ(calls, c.finished ? c.allowed : c.allowed + 1);
        EXPECT_EQ(m_server.requests().size() - requestsBefore, c.requests);
        EXPECT_EQ(filesIn(pictureFolder() + "/Bag").size(), c.files);
        EXPECT_EQ(m_record.desc.starts_with(imgTag(kTaobaoPng)), !c.firstRewritten);
    }
}

} // namespace
} // namespace quillon::engine

namespace quillon::engine {
namespace {

TEST_F(DescriptionPicturesTest, TenThousandPictureTagsAllComeHome) {
    setOptions(false, 1);
    constexpr int kTags = 10000;
    std::string description;
    for (int i = 0; i < kTags; ++i) {
        description += imgTag(kTaobaoPng + "?n=" + std::to_string(i)) + "<p>text, more text</p>";
    }
    m_record.desc = description;
    ASSERT_TRUE(run());
    EXPECT_EQ(m_record.desc.find("\"http://"), std::string::npos);
    EXPECT_EQ(filesIn(pictureFolder() + "/Bag").size(), static_cast<std::size_t>(kTags));
}

} // namespace
} // namespace quillon::engine
