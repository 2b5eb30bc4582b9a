#include "ItemListView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include "QtText.h"
#include "UiHandOver.h"

namespace quillon::gui {
namespace {

QTreeWidgetItem* makeItem(const shell::ItemEntry& entry) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, toQt(entry.name));
    item->setText(1, toQt(entry.price));
    item->setText(2, toQt(entry.address));
    item->setText(3, toQt(entry.itemId));
    return item;
}

} // namespace

ItemListView::ItemListView(shell::ItemList& list, UiHandOver& handOver, QWidget* parent)
    : QTreeWidget(parent), m_list(list), m_handOver(handOver) {
    setObjectName(QStringLiteral("itemList"));
    setColumnCount(4);
    setHeaderLabels({tr8("名称"), tr8("价格"), tr8("宝贝地址"), tr8("ID")});
    for (int column = 0; column < 4; ++column)
        setColumnWidth(column, kColumnWidths[column]);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    buildMenu();
    showAll();
    m_list.setObserver(this);
}

ItemListView::~ItemListView() {
    m_list.setObserver(nullptr);
}

void ItemListView::buildMenu() {
    m_menu = new QMenu(tr8("列表菜单"), this);
    m_menu->setObjectName(QStringLiteral("listMenu"));
    connect(m_menu->addAction(tr8("导出宝贝列表")), &QAction::triggered, this,
            &ItemListView::exportChosen);
    connect(m_menu->addAction(tr8("用IE打开宝贝链接")), &QAction::triggered, this,
            &ItemListView::openAddressChosen);
    connect(m_menu->addAction(tr8("用EXCEL打开宝贝列表")), &QAction::triggered, this,
            &ItemListView::spreadsheetChosen);
    m_menu->addSeparator();
    connect(m_menu->addAction(tr8("复制宝贝地址")), &QAction::triggered, this,
            &ItemListView::copyAddressChosen);
    connect(m_menu->addAction(tr8("复制宝贝名称")), &QAction::triggered, this,
            &ItemListView::copyNameChosen);
    connect(m_menu->addAction(tr8("删除选中宝贝")), &QAction::triggered, this,
            &ItemListView::deleteChosen);
}

void ItemListView::contextMenuEvent(QContextMenuEvent* event) {
    m_menu->popup(event->globalPos());
}

void ItemListView::rowAppended(int position, const shell::ItemEntry& entry) {
    m_handOver.runAndWait([this, position, entry] { showAppended(position, entry); });
}

void ItemListView::rowsReset() {
    m_handOver.runAndWait([this] { showAll(); });
}

void ItemListView::showAppended(int position, const shell::ItemEntry& entry) {
    // Between two resets (made on this thread) the list only grows at its end,
    // so the view is always a prefix of it. Appends of several readers may
    // cross: an append whose row is already shown needs nothing, and one
    // that finds the view behind shows every row up to the list's end.
    const int shown = topLevelItemCount();
    if (position < shown)
        return;
    if (position == shown && m_list.rowCount() == shown + 1) {
        addTopLevelItem(makeItem(entry));
        return;
    }
    QList<QTreeWidgetItem*> items;
    const int rowCount = m_list.rowCount();
    for (int row = shown; row < rowCount; ++row)
        items.push_back(makeItem(m_list.row(row)));
    addTopLevelItems(items);
}

void ItemListView::showAll() {
    clear();
    QList<QTreeWidgetItem*> items;
    for (const shell::ItemEntry& entry : m_list.rows())
        items.push_back(makeItem(entry));
    addTopLevelItems(items);
}

std::vector<std::string> ItemListView::selectedNames() const {
    std::vector<std::string> names;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        // The list's own bytes: a GBK text need not survive a round trip
        // through the widget.
        if (topLevelItem(row)->isSelected())
            names.push_back(m_list.row(row).name);
    }
    return names;
}

shell::ItemEntry ItemListView::currentEntry() const {
    const QTreeWidgetItem* item = currentItem();
    if (item == nullptr || !item->isSelected()) {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        if (selected.isEmpty())
            return {};
        item = selected.constFirst();
    }
    const int position = indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return m_list.row(position);
}

} // namespace quillon::gui
