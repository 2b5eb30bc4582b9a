// The item list commands, the count label, the context menu and the save
// path of the collect page.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

#include "CollectPage.h"
#include "ItemListView.h"
#include "QtText.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "UiHandOver.h"
#include "shell/ItemList.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"
#include "text/TextCodec.h"

using namespace quillon;
using gui::tr8;
using gui::testing::ScriptedDialogs;
using shell::ItemEntry;

namespace {

// A collect page of its own, shown so that clicks land.
struct Page {
    shell::ItemList list;
    shell::Settings settings;
    ScriptedDialogs dialogs;
    gui::UiHandOver handOver;
    gui::CollectPage page{list, settings, dialogs, handOver,
                          [] { return acquisition::CollectMode::Single; }};
    support::TempFolder folder;

    Page() { page.show(); }
    ~Page() { handOver.shutDown(); }

    QPushButton* button(const char* name) {
        auto* found = page.findChild<QPushButton*>(QString::fromLatin1(name));
        if (found == nullptr)
            qFatal("no button %s", name);
        return found;
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString count() { return page.findChild<QLabel*>(QStringLiteral("countLabel"))->text(); }
    gui::ItemListView* view() { return page.listView(); }
    void select(int row) { view()->topLevelItem(row)->setSelected(true); }
    QString path(const char* name) { return QString::fromStdString(folder.file(name)); }
};

const std::vector<ItemEntry> kRows = {
    {text::gbk("  春装 连衣裙"), "128.00", "http://item.example/item.htm?id=1001", "1001"},
    {text::gbk("男士 T恤"), "", "http://item.example/item.htm?id=1002", "1002"},
    {"plain", "9.90", "http://item.example/item.htm?id=1003", "1003"},
};

} // namespace

class CollectPageTest : public QObject {
    Q_OBJECT

  private slots:
    void listShowsFourColumnsWithTheirHeadersAndWidths() {
        Page page;
        const QStringList headers = {tr8("名称"), tr8("价格"), tr8("宝贝地址"), tr8("ID")};
        const int widths[] = {500, 100, 50, 100};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(page.view()->headerItem()->text(column), headers[column]);
            QCOMPARE(page.view()->columnWidth(column), widths[column]);
        }
        page.list.append(kRows[1]);
        QCOMPARE(page.view()->topLevelItem(0)->text(0), tr8("男士 T恤"));
        QCOMPARE(page.view()->topLevelItem(0)->text(3), QStringLiteral("1002"));
    }

    void exportThenImportRestoresTheRows() {
        Page page;
        for (const ItemEntry& row : kRows)
            page.list.append(row);
        page.dialogs.fileNames = {page.path("list.txt"), page.path("list.txt")};

        page.click("exportButton");
        QCOMPARE(page.dialogs.messages.back().text, tr8("宝贝列表已经成功导出！"));
        QCOMPARE(page.dialogs.messages.back().title, tr8("信息："));
        QCOMPARE(page.dialogs.filters.back(), tr8("宝贝列表文件(*.txt)|*.txt .txt"));

        page.click("clearButton");
        QCOMPARE(page.count(), QStringLiteral("0"));
        page.click("importButton");

        QCOMPARE(page.dialogs.messages.back().text, tr8("已经成功导入宝贝列表！"));
        QCOMPARE(page.dialogs.messages.back().title, tr8("温馨提示："));
        QCOMPARE(page.count(), QStringLiteral("3"));
        std::vector<ItemEntry> expected = kRows;
        expected[0].name = text::gbk("春装 连衣裙"); // blanks at the very start go on export
        QVERIFY(page.list.rows() == expected);
        QCOMPARE(page.view()->topLevelItemCount(), 3);
        QCOMPARE(page.view()->topLevelItem(2)->text(2),
                 QStringLiteral("http://item.example/item.htm?id=1003"));
    }

    void exportOfAnEmptyListAsksNothing() {
        Page page;
        page.click("exportButton");
        QVERIFY(page.dialogs.filters.isEmpty());
        QVERIFY(page.dialogs.messages.empty());
    }

    void exportThatCannotBeWrittenSaysSo() {
        Page page;
        page.list.append(kRows[2]);
        page.dialogs.fileNames = {page.path("no-such-folder/list.txt")};
        page.click("exportButton");
        QVERIFY(page.dialogs.messages.back().text.startsWith(tr8("宝贝列表没有导出：")));
    }

    void importWithoutValidLinesEmptiesTheListAndReportsSuccess_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no line of four fields") << QByteArray("a||b||c\r\nx||y||z||w||v\r\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("stops at a zero byte") << QByteArray("\0a||1||2||http://x\r\n", 20);
    }

    void importWithoutValidLinesEmptiesTheListAndReportsSuccess() {
        QFETCH(QByteArray, bytes);
        Page page;
        page.list.append(kRows[0]);
        support::writeFile(page.folder.file("bad.txt"), bytes.toStdString());
        page.dialogs.fileNames = {page.path("bad.txt")};

        page.click("importButton");

        QCOMPARE(page.list.rowCount(), 0);
        QCOMPARE(page.view()->topLevelItemCount(), 0);
        QCOMPARE(page.count(), QStringLiteral("0"));
        QCOMPARE(page.dialogs.messages.back().text, tr8("已经成功导入宝贝列表！"));
    }

    void importOfRandomBytesShowsWhatTheListHolds() {
        Page page;
        std::mt19937 random(7);
        std::string bytes(200000, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() % 256);
        // Some separators, so that a few lines may well count.
        for (std::size_t at = 0; at + 2 < bytes.size(); at += 37)
            bytes.replace(at, 2, at % 3 == 0 ? "\n" : "||");
        bytes[0] = 'x';
        support::writeFile(page.folder.file("random.txt"), bytes);
        page.dialogs.fileNames = {page.path("random.txt")};

        page.click("importButton");

        QCOMPARE(page.view()->topLevelItemCount(), page.list.rowCount());
        QCOMPARE(page.count(), QString::number(page.list.rowCount()));
    }

    void deletingTheLowerOfTwoEqualNamesRemovesTheUpper() {
        Page page;
        page.list.append({"same", "1", "http://a/1", "1"});
        page.list.append({"other", "2", "http://a/2", "2"});
        page.list.append({"SAME", "3", "http://a/3", "3"});
        page.select(2);

        page.click("deleteButton");

        QCOMPARE(page.list.rowCount(), 2);
        QCOMPARE(page.list.row(0).itemId, std::string("2"));
        QCOMPARE(page.list.row(1).itemId, std::string("3"));
        QCOMPARE(page.count(), QStringLiteral("2"));
    }

    void contextMenuHoldsTheListCommandsInOrder() {
        Page page;
        QMenu* menu = page.view()->listMenu();
        QCOMPARE(menu->title(), tr8("列表菜单"));
        QStringList captions;
        for (const QAction* action : menu->actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(captions,
                 (QStringList{tr8("导出宝贝列表"), tr8("用IE打开宝贝链接"),
                              tr8("用EXCEL打开宝贝列表"), QStringLiteral("-"), tr8("复制宝贝地址"),
                              tr8("复制宝贝名称"), tr8("删除选中宝贝")}));
    }

    void menuCommandsWorkOnTheSelectedRow() {
        Page page;
        for (const ItemEntry& row : kRows)
            page.list.append(row);
        const QList<QAction*> actions = page.view()->listMenu()->actions();
        QClipboard* clipboard = QApplication::clipboard();

        clipboard->setText(QStringLiteral("before"));
        actions[4]->trigger(); // 复制宝贝地址, nothing selected
        QCOMPARE(clipboard->text(), QString());
        actions[1]->trigger(); // 用IE打开宝贝链接, nothing selected
        QVERIFY(page.dialogs.openedAddresses.isEmpty());

        page.view()->setCurrentItem(page.view()->topLevelItem(1));
        actions[4]->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("http://item.example/item.htm?id=1002"));
        actions[5]->trigger(); // 复制宝贝名称
        QCOMPARE(clipboard->text(), tr8("男士 T恤"));
        actions[1]->trigger();
        QCOMPARE(page.dialogs.openedAddresses,
                 QStringList{QStringLiteral("http://item.example/item.htm?id=1002")});

        actions[6]->trigger(); // 删除选中宝贝
        QCOMPARE(page.list.rowCount(), 2);
        QCOMPARE(page.count(), QStringLiteral("2"));

        page.dialogs.fileNames = {page.path("menu.txt")};
        actions[0]->trigger(); // 导出宝贝列表 runs the export
        QVERIFY(std::filesystem::exists(page.folder.file("menu.txt")));
    }

    void spreadsheetIsWrittenAndHandedToTheDesktop() {
        Page page;
        page.list.append(kRows[0]);
        QAction* spreadsheet = page.view()->listMenu()->actions()[2];

        spreadsheet->trigger();
        QCOMPARE(page.dialogs.openedFiles.size(), 1);
        const QString file = page.dialogs.openedFiles[0];
        QVERIFY(file.endsWith(QStringLiteral("/temp.xlsx")));
        QVERIFY(std::filesystem::exists(file.toStdString()));
        QVERIFY(page.dialogs.messages.empty());

        page.dialogs.desktopAnswers = false;
        spreadsheet->trigger();
        QCOMPARE(page.dialogs.messages.size(), 1u);
        QVERIFY(page.dialogs.messages[0].text.contains(file));
    }

    void rowsOfManyThreadsAreAllShownAcrossAClear() {
        Page page;
        constexpr int kThreads = 5;
        constexpr int kRowsEach = 200;
        std::atomic<int> finished{0};
        std::vector<std::thread> readers;
        for (int reader = 0; reader < kThreads; ++reader)
            readers.emplace_back([&page, &finished, reader] {
                for (int row = 0; row < kRowsEach; ++row)
                    page.list.append({"r" + std::to_string(reader) + "-" + std::to_string(row), "",
                                      "", std::to_string(row)});
                ++finished;
            });
        // Each append returns only once shown, so the readers need this thread.
        // A clear in the middle must not leave stale or missing rows behind.
        QTRY_VERIFY_WITH_TIMEOUT(page.view()->topLevelItemCount() >= 100, 60000);
        page.click("clearButton");
        QTRY_COMPARE_WITH_TIMEOUT(finished.load(), kThreads, 60000);
        for (std::thread& reader : readers)
            reader.join();
        QVERIFY(page.list.rowCount() > 0);
        QCOMPARE(page.view()->topLevelItemCount(), page.list.rowCount());
        for (int row = 0; row < page.list.rowCount(); ++row)
            QCOMPARE(page.view()->topLevelItem(row)->text(0),
                     QString::fromStdString(page.list.row(row).name));
    }

    void browseDerivesTheDataFileAndItsPictureFolder_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("outputDir");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<bool>("refused");
        QTest::newRow("no suffix") << "/srv/out/items"
                                   << "/srv/out/items.csv"
                                   << "/srv/out/"
                                   << "items" << false;
        QTest::newRow("two dots") << "/srv/out/a.b.csv"
                                  << "/srv/out/a.b.csv"
                                  << "/srv/out/"
                                  << "a" << false;
        QTest::newRow("dot only in a folder") << "/srv/out.d/items"
                                              << ""
                                              << "/srv/out.d/"
                                              << "" << true;
        // A backslash is no separator on this platform: the whole path is the name.
        QTest::newRow("C:-style") << "C:\\out\\items"
                                  << "C:\\out\\items.csv"
                                  << ""
                                  << "C:\\out\\items" << false;
        QTest::newRow("C:-style with two dots") << "C:\\out\\a.b.csv"
                                                << "C:\\out\\a.b.csv"
                                                << ""
                                                << "C:\\out\\a" << false;
    }

    void browseDerivesTheDataFileAndItsPictureFolder() {
        QFETCH(QString, chosen);
        QFETCH(QString, box);
        QFETCH(QString, outputDir);
        QFETCH(QString, outputName);
        QFETCH(bool, refused);
        Page page;
        page.dialogs.fileNames = {chosen};

        page.click("browseButton");

        QCOMPARE(page.dialogs.filters.back(), tr8("逗号分隔符文件(*.csv)|*.csv .csv"));
        QCOMPARE(page.page.savePathBox()->text(), box);
        const shell::SettingsValues values = page.settings.values();
        QCOMPARE(QString::fromStdString(values.outputDir), outputDir);
        QCOMPARE(QString::fromStdString(values.outputName), outputName);
        QCOMPARE(page.dialogs.messages.size(), refused ? 1u : 0u);
        if (refused) {
            QCOMPARE(page.dialogs.messages[0].text, tr8("请检查文件名是否正确！"));
            QCOMPARE(page.dialogs.messages[0].title, tr8("提示"));
        }
    }

    void browseCancelledChangesNothing() {
        Page page;
        page.settings.setSavePath("/srv/keep.csv");
        page.page.showSavePath();
        page.click("browseButton");
        QCOMPARE(page.page.savePathBox()->text(), QStringLiteral("/srv/keep.csv"));
        QCOMPARE(page.settings.values().outputName, std::string("keep"));
    }

    void typedSavePathFollowsTheBrowseRules() {
        Page page;
        QLineEdit* box = page.page.savePathBox();
        box->setText(QStringLiteral("/srv/typed/report"));
        QVERIFY(page.page.renewSavePath());
        QCOMPARE(box->text(), QStringLiteral("/srv/typed/report.csv"));
        QCOMPARE(page.settings.pictureFolder(), std::string("/srv/typed/report"));

        box->setText(QStringLiteral("/srv/typed.d/report"));
        QVERIFY(!page.page.renewSavePath());
        QCOMPARE(box->text(), QString());
        QCOMPARE(page.dialogs.messages.back().text, tr8("请检查文件名是否正确！"));
    }
};

QTEST_MAIN(CollectPageTest)
#include "CollectPageTest.moc"
