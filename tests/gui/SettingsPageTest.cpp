// The settings page driven through its widgets, with options.ini in a
// temporary folder.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>

#include "QtText.h"
#include "ScriptedDialogs.h"
#include "SettingsPage.h"
#include "TestFiles.h"
#include "shell/PrivateProfile.h"
#include "shell/Settings.h"

using quillon::gui::SettingsPage;
using quillon::gui::tr8;
using quillon::gui::testing::ScriptedDialogs;
using quillon::shell::PrivateProfile;
using quillon::shell::Settings;
using quillon::support::TempFolder;

namespace {

const std::string kTrue = "\xD5\xE6";  // 真
const std::string kFalse = "\xBC\xD9"; // 假

// One page with its own record and dialogs, shown so that clicks land.
struct Page {
    Settings settings;
    ScriptedDialogs dialogs;
    SettingsPage page{settings, dialogs};

    Page() { page.show(); }
    void load(const std::string& path) { page.load(path); }

    template <typename T> T* find(const char* name) {
        T* widget = page.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr)
            qFatal("no control named %s", name);
        return widget;
    }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    QCheckBox* check(const char* name) { return find<QCheckBox>(name); }
    QRadioButton* radio(const char* name) { return find<QRadioButton>(name); }
    QComboBox* failMode() { return find<QComboBox>("descFailMode"); }
    void clickSave() { QTest::mouseClick(find<QPushButton>("saveSettings"), Qt::LeftButton); }
};

// options.ini in its "options" folder under a fresh temporary folder.
struct Profile {
    TempFolder folder;
    std::string path;

    Profile() {
        std::filesystem::create_directory(folder.file("options"));
        path = folder.file("options/options.ini");
    }
    void write(const std::string& bytes) const { quillon::support::writeFile(path, bytes); }
    std::string bytes() const { return quillon::support::readFile(path); }
    std::string value(const char* section, const char* key) const {
        return PrivateProfile(path).read(section, key);
    }
    bool hasKey(const std::string& key) const {
        const std::string text = bytes();
        return text.rfind(key + "=", 0) == 0 || text.find("\n" + key + "=") != std::string::npos;
    }
};

} // namespace

class SettingsPageTest : public QObject {
    Q_OBJECT

  private slots:
    void formBeforeLoading();
    void freshInstallationShowsEmptyBoxes();
    void failModeIsSavedAndShownAgain();
    void replacementTargetsUseSwappedKeys();
    void storedTypeSelectsLayout_data();
    void storedTypeSelectsLayout();
    void radioSwitchChangesChoiceOnly();
    void noFailModeShownWritesOnlyCheckBoxes();
    void taobaoOnlyFollowsDownloadTick();
    void controlChangeReachesSettingsAtOnce();
    void chineseReplacementRoundTripsAsGbk();
    void saveCreatesTheOptionsFolderOrSaysItCannot();
};

void SettingsPageTest::formBeforeLoading() {
    Page p;
    QCOMPARE(p.edit("pricePercent")->text(), QStringLiteral("100"));
    QCOMPARE(p.edit("priceDecimals")->text(), QStringLiteral("0"));
    QCOMPARE(p.edit("stockValue")->text(), QStringLiteral("100"));
    for (const char* name :
         {"replaceFrom1", "replaceFrom2", "replaceFrom3", "replaceTo1", "replaceTo2", "replaceTo3"})
        QVERIFY2(p.edit(name)->text().isEmpty(), name);
    for (const char* name :
         {"downloadDescPictures", "descTaobaoOnly", "priceAdjust", "stockUniform"})
        QVERIFY2(!p.check(name)->isChecked(), name);
    QCOMPARE(p.failMode()->count(), 3);
    QCOMPARE(p.failMode()->itemText(1), tr8("删除图片"));
    QCOMPARE(p.failMode()->currentIndex(), -1);
}

void SettingsPageTest::freshInstallationShowsEmptyBoxes() {
    Profile profile;
    Page p;
    p.load(profile.path);

    QVERIFY(p.edit("pricePercent")->text().isEmpty());
    QVERIFY(p.edit("priceDecimals")->text().isEmpty());
    QVERIFY(p.edit("stockValue")->text().isEmpty());
    QCOMPARE(p.failMode()->currentText(), tr8("重新下载 仍失败删除"));
    QVERIFY(p.radio("version5")->isChecked());
    QVERIFY(!p.radio("version4")->isChecked());
    const auto values = p.settings.values();
    QCOMPARE(values.descFailMode, 3);
    QCOMPARE(values.assistantVersion, 5);
    QCOMPARE(values.versionChoice, 5);
    QVERIFY(values.pricePercent.empty());
    QVERIFY(p.dialogs.messages.empty());
    QVERIFY(!std::filesystem::exists(profile.path)); // loading never writes
}

void SettingsPageTest::failModeIsSavedAndShownAgain() {
    Profile profile;
    {
        Page p;
        p.load(profile.path);
        p.failMode()->setCurrentIndex(1);
        // The list alone does not change the mode the workers use.
        QCOMPARE(p.settings.values().descFailMode, 3);

        p.clickSave();
        QCOMPARE(p.dialogs.messages.size(), std::size_t{1});
        QCOMPARE(p.dialogs.messages[0].title, tr8("提示"));
        QCOMPARE(p.dialogs.messages[0].text, tr8("已经保存！"));
        QCOMPARE(p.settings.values().descFailMode, 2);
        QVERIFY(profile.bytes().find("fall=2\r\n") != std::string::npos);
    }
    Page reopened;
    reopened.load(profile.path);
    QCOMPARE(reopened.failMode()->currentText(), tr8("删除图片"));
    QCOMPARE(reopened.settings.values().descFailMode, 2);
}

void SettingsPageTest::replacementTargetsUseSwappedKeys() {
    Profile profile;
    {
        Page p;
        p.load(profile.path);
        p.edit("replaceTo1")->setText(QStringLiteral("t1"));
        p.edit("replaceTo2")->setText(QStringLiteral("t2"));
        p.edit("replaceTo3")->setText(QStringLiteral("t3"));
        p.clickSave();
    }
    const std::string written = profile.bytes();
    QVERIFY(written.find("to1=t1\r\n") != std::string::npos);
    QVERIFY(written.find("to3=t2\r\n") != std::string::npos);
    QVERIFY(written.find("to2=t3\r\n") != std::string::npos);

    profile.write("[REPLACE]\r\n1=a\r\n2=b\r\n3=c\r\nto1=x\r\nto2=y\r\nto3=z\r\n");
    Page p;
    p.load(profile.path);
    QCOMPARE(p.edit("replaceFrom2")->text(), QStringLiteral("b"));
    QCOMPARE(p.edit("replaceFrom3")->text(), QStringLiteral("c"));
    QCOMPARE(p.edit("replaceTo1")->text(), QStringLiteral("x"));
    QCOMPARE(p.edit("replaceTo2")->text(), QStringLiteral("z"));
    QCOMPARE(p.edit("replaceTo3")->text(), QStringLiteral("y"));
    QCOMPARE(p.settings.values().replaceTo[2], std::string("y"));
}

void SettingsPageTest::storedTypeSelectsLayout_data() {
    QTest::addColumn<QByteArray>("saveSection");
    QTest::addColumn<int>("version");
    QTest::newRow("4") << QByteArray("[SAVE]\r\ntype=4\r\n") << 4;
    QTest::newRow("5") << QByteArray("[SAVE]\r\ntype=5\r\n") << 5;
    QTest::newRow("4.0") << QByteArray("[SAVE]\r\ntype=4.0\r\n") << 5;
    QTest::newRow("other text") << QByteArray("[SAVE]\r\ntype=x4\r\n") << 5;
    QTest::newRow("no key") << QByteArray("[SAVE]\r\n") << 5;
}

void SettingsPageTest::storedTypeSelectsLayout() {
    QFETCH(QByteArray, saveSection);
    QFETCH(int, version);
    Profile profile;
    Page p;
    // Start from the other layout, so that a page that keeps its radio fails.
    profile.write(version == 4 ? "[SAVE]\r\ntype=5\r\n" : "[SAVE]\r\ntype=4\r\n");
    p.load(profile.path);
    profile.write(saveSection.toStdString());
    p.load(profile.path);

    QCOMPARE(p.radio("version4")->isChecked(), version == 4);
    QCOMPARE(p.radio("version5")->isChecked(), version == 5);
    QCOMPARE(p.settings.values().assistantVersion, version);
    QCOMPARE(p.settings.values().versionChoice, version);
}

void SettingsPageTest::radioSwitchChangesChoiceOnly() {
    Profile profile;
    profile.write("[SAVE]\r\ntype=5\r\n");
    Page p;
    p.load(profile.path);

    QTest::mouseClick(p.radio("version4"), Qt::LeftButton);
    QVERIFY(p.radio("version4")->isChecked());
    QCOMPARE(p.settings.values().versionChoice, 4);
    QCOMPARE(p.settings.values().assistantVersion, 5);
    QCOMPARE(profile.value("SAVE", "type"), std::string("5"));

    p.radio("version5")->setChecked(true);
    QCOMPARE(p.settings.values().versionChoice, 5);
    p.radio("version4")->setChecked(true);

    p.clickSave();
    QCOMPARE(p.settings.values().assistantVersion, 4);
    QCOMPARE(profile.value("SAVE", "type"), std::string("4"));
}

void SettingsPageTest::noFailModeShownWritesOnlyCheckBoxes() {
    Profile profile;
    // An unknown fall value leaves the list showing nothing on a new page.
    profile.write("[DL_PIC]\r\nfall=9\r\n[PR_INFO]\r\nprice=7\r\n");
    Page p;
    p.load(profile.path);
    QCOMPARE(p.failMode()->currentIndex(), -1);
    QCOMPARE(p.settings.values().descFailMode, 0);

    p.check("priceAdjust")->setChecked(true);
    p.edit("pricePercent")->setText(QStringLiteral("55"));
    p.edit("replaceFrom1")->setText(QStringLiteral("QQ"));
    p.radio("version4")->setChecked(true);
    p.clickSave();

    QCOMPARE(p.dialogs.messages.size(), std::size_t{1});
    QCOMPARE(p.dialogs.messages[0].title, tr8("信息："));
    QCOMPARE(p.dialogs.messages[0].text, tr8("请设置图片下载失败处理方式"));
    QCOMPARE(profile.value("PR_INFO", "p_type"), kTrue);
    QCOMPARE(profile.value("PR_INFO", "n_type"), kFalse);
    QCOMPARE(profile.value("DL_PIC", "download"), kFalse);
    QCOMPARE(profile.value("DL_PIC", "taobao_only"), kFalse);
    QCOMPARE(profile.value("DL_PIC", "fall"), std::string("9"));
    QCOMPARE(profile.value("PR_INFO", "price"), std::string("7"));
    QVERIFY(!profile.hasKey("1"));
    QVERIFY(!profile.hasKey("type"));
    QCOMPARE(p.settings.values().assistantVersion, 5);
    QCOMPARE(p.settings.values().descFailMode, 0);
}

void SettingsPageTest::taobaoOnlyFollowsDownloadTick() {
    Profile profile;
    profile.write("[DL_PIC]\r\ndownload=" + kTrue + "\r\ntaobao_only=" + kTrue + "\r\n");
    Page p;
    QCheckBox* download = p.check("downloadDescPictures");
    QCheckBox* taobaoOnly = p.check("descTaobaoOnly");
    QVERIFY(!taobaoOnly->isEnabled());

    p.load(profile.path);
    QVERIFY(download->isChecked());
    QVERIFY(taobaoOnly->isChecked());
    QVERIFY(taobaoOnly->isEnabled());

    QTest::mouseClick(download, Qt::LeftButton);
    QVERIFY(!taobaoOnly->isEnabled());
    QVERIFY(!p.settings.values().descTaobaoOnlyEnabled);
    QVERIFY(!p.settings.values().downloadDescPictures);

    download->setChecked(true);
    QVERIFY(taobaoOnly->isEnabled());
    QVERIFY(p.settings.values().descTaobaoOnlyEnabled);

    // Loading an unticked download disables it again.
    profile.write("[DL_PIC]\r\ndownload=" + kFalse + "\r\n");
    p.load(profile.path);
    QVERIFY(!taobaoOnly->isEnabled());
    QVERIFY(!p.settings.values().descTaobaoOnlyEnabled);
}

void SettingsPageTest::controlChangeReachesSettingsAtOnce() {
    Profile profile;
    Page p;
    p.load(profile.path);
    // Set after the page was built: a page writing back a stale copy loses it.
    p.settings.setSavePath("/data/out/items.csv");

    p.check("stockUniform")->setChecked(true);
    QVERIFY(p.settings.values().stockUniform);
    p.edit("stockValue")->setText(QStringLiteral("12"));
    QCOMPARE(p.settings.values().stockValue, std::string("12"));
    p.edit("priceDecimals")->setText(QStringLiteral("2"));
    QCOMPARE(p.settings.values().priceDecimals, std::string("2"));
    p.check("descTaobaoOnly")->setChecked(true);
    QVERIFY(p.settings.values().descTaobaoOnly);
    p.edit("replaceFrom3")->setText(QStringLiteral("r3"));
    QCOMPARE(p.settings.values().replaceFrom[2], std::string("r3"));
    p.failMode()->setCurrentIndex(0);

    const auto values = p.settings.values();
    QCOMPARE(values.savePath, std::string("/data/out/items.csv"));
    QCOMPARE(values.outputDir, std::string("/data/out/"));
    QCOMPARE(values.outputName, std::string("items"));
    QCOMPARE(values.descFailMode, 3);
    QCOMPARE(values.assistantVersion, 5);
    QVERIFY(p.dialogs.messages.empty());
    QVERIFY(!std::filesystem::exists(profile.path)); // live changes are not saved
}

void SettingsPageTest::chineseReplacementRoundTripsAsGbk() {
    const std::string wangwanghao = "\xCD\xFA\xCD\xFA\xBA\xC5"; // 旺旺号
    const std::string weixin = "\xCE\xA2\xD0\xC5";              // 微信
    Profile profile;
    {
        Page p;
        p.load(profile.path);
        p.edit("replaceFrom1")->setText(tr8("旺旺号"));
        p.edit("replaceTo2")->setText(tr8("微信"));
        QCOMPARE(p.settings.values().replaceFrom[0], wangwanghao);
        QCOMPARE(p.settings.values().replaceTo[1], weixin);
        p.failMode()->setCurrentIndex(2);
        p.clickSave();
    }
    const std::string written = profile.bytes();
    QVERIFY(written.find("1=" + wangwanghao + "\r\n") != std::string::npos);
    QVERIFY(written.find("to3=" + weixin + "\r\n") != std::string::npos);

    Page reopened;
    reopened.load(profile.path);
    QCOMPARE(reopened.edit("replaceFrom1")->text(), tr8("旺旺号"));
    QCOMPARE(reopened.edit("replaceTo2")->text(), tr8("微信"));
}

void SettingsPageTest::saveCreatesTheOptionsFolderOrSaysItCannot() {
    TempFolder folder;
    Page p;
    p.load(folder.file("options/options.ini"));
    p.failMode()->setCurrentIndex(1);
    p.clickSave();
    QCOMPARE(p.dialogs.messages.back().text, tr8("已经保存！"));
    QCOMPARE(PrivateProfile(folder.file("options/options.ini")).read("DL_PIC", "fall"),
             std::string("2"));

    // A file where the folder should be: nothing can be written.
    quillon::support::writeFile(folder.file("blocked"), "x");
    Page blocked;
    blocked.load(folder.file("blocked/options.ini"));
    blocked.clickSave();
    QCOMPARE(blocked.dialogs.messages.back().title, tr8("提示"));
    QVERIFY(blocked.dialogs.messages.back().text.startsWith(tr8("配置没有保存")));
}

QTEST_MAIN(SettingsPageTest)
#include "SettingsPageTest.moc"
