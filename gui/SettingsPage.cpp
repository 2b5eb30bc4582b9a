#include "SettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <filesystem>
#include <optional>
#include <system_error>

#include "Dialogs.h"
#include "QtText.h"
#include "shell/SettingsFile.h"

namespace quillon::gui {
namespace {

QLineEdit* lineEdit(const char* objectName, int width) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setFixedWidth(width);
    return edit;
}

QCheckBox* checkBox(const char* objectName, const char* caption) {
    auto* box = new QCheckBox(tr8(caption));
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}

} // namespace

SettingsPage::SettingsPage(shell::Settings& settings, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_dialogs(dialogs) {
    buildControls();
    // The form as it stands before anything is loaded. The shared record is
    // left alone: it may already hold what another page put there.
    showValues(shell::SettingsValues{});
    m_descFailMode->setCurrentIndex(-1);

    const auto store = [this] { storeControls(); };
    connect(m_downloadDescPictures, &QCheckBox::toggled, m_descTaobaoOnly, &QWidget::setEnabled);
    for (QCheckBox* box : {m_downloadDescPictures, m_descTaobaoOnly, m_priceAdjust, m_stockUniform})
        connect(box, &QCheckBox::toggled, this, store);
    for (QLineEdit* edit : {m_pricePercent, m_priceDecimals, m_stockValue})
        connect(edit, &QLineEdit::textChanged, this, store);
    for (int i = 0; i < 3; ++i) {
        connect(m_replaceFrom[i], &QLineEdit::textChanged, this, store);
        connect(m_replaceTo[i], &QLineEdit::textChanged, this, store);
    }
    connect(m_descFailMode, &QComboBox::currentIndexChanged, this, store);
    connect(m_version4, &QRadioButton::toggled, this, store);
    connect(m_version5, &QRadioButton::toggled, this, store);
}

void SettingsPage::buildControls() {
    m_downloadDescPictures = checkBox("downloadDescPictures", "下载描述图片");
    m_descTaobaoOnly = checkBox("descTaobaoOnly", "只下载淘宝空间图片");
    m_descFailMode = new QComboBox;
    m_descFailMode->setObjectName(QStringLiteral("descFailMode"));
    for (std::string_view item : shell::kFailModeItems)
        m_descFailMode->addItem(toQt(item));

    auto* pictureRow = new QHBoxLayout;
    pictureRow->addWidget(m_downloadDescPictures);
    pictureRow->addWidget(m_descTaobaoOnly);
    pictureRow->addWidget(new QLabel(tr8("（只有“下载描述图片”选择时才有效）")));
    pictureRow->addStretch();
    auto* failRow = new QHBoxLayout;
    failRow->addWidget(new QLabel(tr8("描述图片下载失败处理方式：")));
    failRow->addWidget(m_descFailMode);
    failRow->addWidget(new QLabel(tr8("（建议选择带删除的选项）")));
    failRow->addStretch();
    auto* pictureGroup = new QGroupBox(tr8("宝贝图片选项"));
    auto* pictureLayout = new QVBoxLayout(pictureGroup);
    pictureLayout->addLayout(pictureRow);
    pictureLayout->addLayout(failRow);

    m_priceAdjust = checkBox("priceAdjust", "价格调整");
    m_pricePercent = lineEdit("pricePercent", 60);
    m_priceDecimals = lineEdit("priceDecimals", 40);
    m_stockUniform = checkBox("stockUniform", "库存统一为");
    m_stockValue = lineEdit("stockValue", 60);

    auto* priceRow = new QHBoxLayout;
    priceRow->addWidget(new QLabel(tr8("宝贝价格：")));
    priceRow->addWidget(m_priceAdjust);
    priceRow->addWidget(m_pricePercent);
    priceRow->addWidget(new QLabel(tr8("％ 保留小数位")));
    priceRow->addWidget(m_priceDecimals);
    priceRow->addStretch();
    auto* stockRow = new QHBoxLayout;
    stockRow->addWidget(new QLabel(tr8("宝贝库存：")));
    stockRow->addWidget(m_stockUniform);
    stockRow->addWidget(m_stockValue);
    stockRow->addStretch();
    auto* infoGroup = new QGroupBox(tr8("宝贝信息选项"));
    auto* infoLayout = new QVBoxLayout(infoGroup);
    infoLayout->addLayout(priceRow);
    infoLayout->addLayout(stockRow);

    static constexpr const char* kReplaceCaptions[3] = {"替换一：", "替换二：", "替换三："};
    auto* replaceGroup = new QGroupBox(tr8("替换设置"));
    auto* replaceLayout = new QGridLayout(replaceGroup);
    for (int i = 0; i < 3; ++i) {
        const QString number = QString::number(i + 1);
        m_replaceFrom[i] = new QLineEdit;
        m_replaceFrom[i]->setObjectName(QStringLiteral("replaceFrom") + number);
        m_replaceTo[i] = new QLineEdit;
        m_replaceTo[i]->setObjectName(QStringLiteral("replaceTo") + number);
        replaceLayout->addWidget(new QLabel(tr8(kReplaceCaptions[i])), i, 0);
        replaceLayout->addWidget(m_replaceFrom[i], i, 1);
        replaceLayout->addWidget(new QLabel(QStringLiteral("-->")), i, 2);
        replaceLayout->addWidget(m_replaceTo[i], i, 3);
    }
    // Two lines, the second indented by blanks to sit under the first.
    const char* note = "说明： 替换只是简单的替换，比如QQ、手机号等\n"
                       "       替换的对象是 宝贝标题跟宝贝描述信息里面的内容";
    replaceLayout->addWidget(new QLabel(tr8(note)), 3, 0, 1, 4);

    m_version4 = new QRadioButton(tr8("生成淘宝助理4.X数据"));
    m_version4->setObjectName(QStringLiteral("version4"));
    m_version5 = new QRadioButton(tr8("生成淘宝助理5.X数据"));
    m_version5->setObjectName(QStringLiteral("version5"));
    auto* outputGroup = new QGroupBox(tr8("生成选项"));
    auto* outputLayout = new QHBoxLayout(outputGroup);
    outputLayout->addWidget(m_version4);
    outputLayout->addWidget(m_version5);
    outputLayout->addStretch();

    auto* saveButton = new QPushButton(tr8("保存配置"));
    saveButton->setObjectName(QStringLiteral("saveSettings"));
    connect(saveButton, &QPushButton::clicked, this, &SettingsPage::save);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(saveButton);

    auto* collectGroup = new QGroupBox(tr8("宝贝采集设置"));
    auto* collectLayout = new QVBoxLayout(collectGroup);
    collectLayout->addWidget(pictureGroup);
    collectLayout->addWidget(infoGroup);
    collectLayout->addWidget(replaceGroup);
    collectLayout->addWidget(outputGroup);
    collectLayout->addLayout(buttonRow);

    auto* pageLayout = new QVBoxLayout(this);
    pageLayout->addWidget(collectGroup);
    pageLayout->addStretch();
}

void SettingsPage::load(const std::string& profilePath) {
    m_profilePath = profilePath;
    shell::loadSettings(m_settings, profilePath);
    showValues(m_settings.values());
}

void SettingsPage::save() {
    // A fresh installation has no "options" folder yet; without it nothing
    // would be kept.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(m_profilePath).parent_path(),
                                        ignored);

    const int item = m_descFailMode->currentIndex();
    const shell::SaveSettingsResult result = shell::saveSettings(
        m_settings, m_profilePath, item < 0 ? std::nullopt : std::optional<int>(item));
    if (result.saved && !result.allWritten) {
        m_dialogs.message(this, toQt(shell::kHintTitle),
                          tr8("配置没有保存，无法写入：") + toQt(m_profilePath));
        return;
    }
    m_dialogs.message(this, toQt(result.title), toQt(result.message));
}

void SettingsPage::showValues(const shell::SettingsValues& values) {
    m_showing = true;
    m_downloadDescPictures->setChecked(values.downloadDescPictures);
    m_descTaobaoOnly->setChecked(values.descTaobaoOnly);
    // Follows the tick rather than descTaobaoOnlyEnabled, so the page and
    // the toggled connection never disagree.
    m_descTaobaoOnly->setEnabled(values.downloadDescPictures);
    // Mode 0 (an unknown stored value) leaves the list as it was.
    if (values.descFailMode >= 1 && values.descFailMode <= m_descFailMode->count())
        m_descFailMode->setCurrentIndex(values.descFailMode - 1);
    m_priceAdjust->setChecked(values.priceAdjust);
    m_pricePercent->setText(toQt(values.pricePercent));
    m_priceDecimals->setText(toQt(values.priceDecimals));
    m_stockUniform->setChecked(values.stockUniform);
    m_stockValue->setText(toQt(values.stockValue));
    for (std::size_t i = 0; i < 3; ++i) {
        m_replaceFrom[i]->setText(toQt(values.replaceFrom[i]));
        m_replaceTo[i]->setText(toQt(values.replaceTo[i]));
    }
    (values.assistantVersion == 4 ? m_version4 : m_version5)->setChecked(true);
    m_showing = false;
}

void SettingsPage::storeControls() {
    if (m_showing)
        return;
    // Read afresh: the path fields belong to the collect page, and
    // descFailMode and assistantVersion change only on load and save.
    shell::SettingsValues values = m_settings.values();
    values.downloadDescPictures = m_downloadDescPictures->isChecked();
    values.descTaobaoOnly = m_descTaobaoOnly->isChecked();
    values.descTaobaoOnlyEnabled = values.downloadDescPictures;
    values.priceAdjust = m_priceAdjust->isChecked();
    values.pricePercent = toGbk(m_pricePercent->text());
    values.priceDecimals = toGbk(m_priceDecimals->text());
    values.stockUniform = m_stockUniform->isChecked();
    values.stockValue = toGbk(m_stockValue->text());
    for (std::size_t i = 0; i < 3; ++i) {
        values.replaceFrom[i] = toGbk(m_replaceFrom[i]->text());
        values.replaceTo[i] = toGbk(m_replaceTo[i]->text());
    }
    values.versionChoice = m_version4->isChecked() ? 4 : 5;
    m_settings.setValues(values);
}

} // namespace quillon::gui
