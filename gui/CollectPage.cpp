#include "CollectPage.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "AddressBox.h"
#include "Dialogs.h"
#include "ItemListView.h"
#include "LogBox.h"
#include "QtText.h"
#include "shell/ItemList.h"
#include "shell/ListSpreadsheet.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"

namespace quillon::gui {
namespace {

const char* const kListFilter = "宝贝列表文件(*.txt)|*.txt";
const char* const kCsvFilter = "逗号分隔符文件(*.csv)|*.csv";

// File names from the dialogs are the platform's; the list files are read
// and written under exactly that name.
std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

CollectPage::CollectPage(shell::ItemList& list, shell::Settings& settings, Dialogs& dialogs,
                         UiHandOver& handOver, std::function<acquisition::CollectMode()> mode,
                         QWidget* parent)
    : QWidget(parent), m_list(list), m_settings(settings), m_dialogs(dialogs), m_handOver(handOver),
      m_mode(std::move(mode)) {
    setObjectName(QStringLiteral("collectPage"));

    m_listView = new ItemListView(m_list, m_handOver, this);
    connect(m_listView, &ItemListView::exportChosen, this, &CollectPage::exportList);
    connect(m_listView, &ItemListView::openAddressChosen, this, &CollectPage::openCurrentAddress);
    connect(m_listView, &ItemListView::spreadsheetChosen, this,
            &CollectPage::openListInSpreadsheet);
    connect(m_listView, &ItemListView::copyAddressChosen, this, &CollectPage::copyCurrentAddress);
    connect(m_listView, &ItemListView::copyNameChosen, this, &CollectPage::copyCurrentName);
    connect(m_listView, &ItemListView::deleteChosen, this, &CollectPage::deleteSelected);

    m_logTabs = new QTabWidget(this);
    m_logBox = new LogBox(m_handOver, m_logTabs);
    m_logTabs->addTab(m_logBox, tr8("操作记录"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildAddressRow());
    layout->addWidget(m_listView, 3);
    layout->addWidget(buildListButtons());
    layout->addWidget(buildSavePathRow());
    layout->addWidget(m_logTabs, 2);
    setRunButtons(false);
}

QPushButton* CollectPage::makeButton(const char* caption, const char* objectName) {
    auto* button = new QPushButton(tr8(caption), this);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QWidget* CollectPage::buildAddressRow() {
    auto* row = new QWidget(this);
    m_addressLabel = new QLabel(tr8("商品地址："), row);
    m_addressLabel->setObjectName(QStringLiteral("addressLabel"));
    m_addressBox = new AddressBox(m_mode, row);
    m_addressBox->setText(AddressBox::placeholderFor(acquisition::CollectMode::Single));
    QPushButton* add = makeButton("添加到列表", "addButton");
    connect(add, &QPushButton::clicked, this, [this] { emit addRequested(m_addressBox->text()); });

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_addressLabel);
    layout->addWidget(m_addressBox, 1);
    layout->addWidget(add);
    return row;
}

QWidget* CollectPage::buildListButtons() {
    auto* row = new QWidget(this);
    auto* countCaption = new QLabel(tr8("宝贝数："), row);
    m_countLabel = new QLabel(QStringLiteral("0"), row);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_countLabel->setMinimumWidth(60);

    QPushButton* remove = makeButton("删除", "deleteButton");
    QPushButton* clear = makeButton("清空", "clearButton");
    QPushButton* import = makeButton("导入", "importButton");
    QPushButton* exportButton = makeButton("导出列表", "exportButton");
    m_startButton = makeButton("开始采集", "startButton");
    m_pauseButton = makeButton("暂停", "pauseButton");
    m_stopButton = makeButton("停止", "stopButton");
    connect(remove, &QPushButton::clicked, this, &CollectPage::deleteSelected);
    connect(clear, &QPushButton::clicked, this, &CollectPage::clearList);
    connect(import, &QPushButton::clicked, this, &CollectPage::importList);
    connect(exportButton, &QPushButton::clicked, this, &CollectPage::exportList);
    connect(m_startButton, &QPushButton::clicked, this, &CollectPage::startRequested);
    connect(m_pauseButton, &QPushButton::clicked, this, &CollectPage::pauseRequested);
    connect(m_stopButton, &QPushButton::clicked, this, &CollectPage::stopRequested);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(countCaption);
    layout->addWidget(m_countLabel);
    layout->addStretch();
    for (QPushButton* button :
         {remove, clear, import, exportButton, m_startButton, m_pauseButton, m_stopButton})
        layout->addWidget(button);
    return row;
}

QWidget* CollectPage::buildSavePathRow() {
    auto* row = new QWidget(this);
    auto* caption = new QLabel(tr8("保存路径："), row);
    m_savePathBox = new QLineEdit(row);
    m_savePathBox->setObjectName(QStringLiteral("savePathBox"));
    connect(m_savePathBox, &QLineEdit::editingFinished, this, [this] { renewSavePath(); });
    QPushButton* browse = makeButton("浏览", "browseButton");
    connect(browse, &QPushButton::clicked, this, &CollectPage::browseSavePath);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    layout->addWidget(m_savePathBox, 1);
    layout->addWidget(browse);
    return row;
}

void CollectPage::setRunButtons(bool running) {
    m_startButton->setEnabled(!running);
    m_pauseButton->setEnabled(running);
    m_stopButton->setEnabled(running);
}

void CollectPage::updateCountLabel() {
    m_countLabel->setText(QString::number(m_list.rowCount()));
}

void CollectPage::showSavePath() {
    m_savePathBox->setText(toQt(m_settings.values().savePath));
}

bool CollectPage::renewSavePath() {
    const std::string typed = toGbk(m_savePathBox->text());
    if (typed == m_settings.values().savePath)
        return true;
    if (typed.empty()) {
        m_settings.setSavePath(typed);
        return true;
    }
    if (!m_settings.applyChosenSavePath(typed)) {
        m_savePathBox->clear();
        m_dialogs.message(this, toQt(shell::kHintTitle), toQt(shell::kBadFileNameMessage));
        return false;
    }
    showSavePath();
    return true;
}

void CollectPage::browseSavePath() {
    const QString chosen = m_dialogs.saveFileName(this, tr8(kCsvFilter), QStringLiteral("csv"));
    if (chosen.isEmpty())
        return;
    const bool usable = m_settings.applyChosenSavePath(toGbk(chosen));
    showSavePath();
    if (!usable)
        m_dialogs.message(this, toQt(shell::kHintTitle), toQt(shell::kBadFileNameMessage));
}

void CollectPage::deleteSelected() {
    m_list.deleteByNames(m_listView->selectedNames());
    updateCountLabel();
}

void CollectPage::clearList() {
    m_list.clear();
    updateCountLabel();
}

void CollectPage::exportList() {
    if (m_list.rowCount() == 0)
        return;
    const QString path = m_dialogs.saveFileName(this, tr8(kListFilter), QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    std::string error;
    if (!m_list.exportToFile(nativePath(path), &error)) {
        m_dialogs.message(this, tr8("信息："), tr8("宝贝列表没有导出：") + toQt(error));
        return;
    }
    m_dialogs.message(this, tr8("信息："), tr8("宝贝列表已经成功导出！"));
}

void CollectPage::importList() {
    const QString path = m_dialogs.openFileName(this, tr8(kListFilter), QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    const bool read = m_list.importFromFile(nativePath(path));
    updateCountLabel();
    if (!read) {
        m_dialogs.message(this, tr8("温馨提示："), tr8("无法读取宝贝列表文件：") + path);
        return;
    }
    m_dialogs.message(this, tr8("温馨提示："), tr8("已经成功导入宝贝列表！"));
}

void CollectPage::openListInSpreadsheet() {
    const std::string path = shell::programDirectory() + "/temp.xlsx";
    std::string error;
    if (!shell::writeListSpreadsheet(m_list.rows(), path, &error)) {
        m_dialogs.message(this, tr8("信息："), tr8("无法生成表格文件：") + toQt(error));
        return;
    }
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    if (!m_dialogs.openFile(file))
        m_dialogs.message(this, tr8("信息："),
                          tr8("没有找到能打开表格文件的程序，列表已保存在：") + file);
}

void CollectPage::openCurrentAddress() {
    const std::string address = m_listView->currentEntry().address;
    if (!address.empty())
        m_dialogs.openAddress(toQt(address));
}

void CollectPage::copyCurrentAddress() {
    QApplication::clipboard()->setText(toQt(m_listView->currentEntry().address));
}

void CollectPage::copyCurrentName() {
    QApplication::clipboard()->setText(toQt(m_listView->currentEntry().name));
}

} // namespace quillon::gui
