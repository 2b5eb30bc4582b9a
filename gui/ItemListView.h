#pragma once

#include <QTreeWidget>

#include "shell/ItemList.h"

class QMenu;

namespace quillon::gui {

class UiHandOver;

// The four-column list of the collect page, showing an ItemList. Rows that
// readers append are shown on the GUI thread before the reader goes on. The
// context menu "列表菜单" holds the list commands; the view only raises them.
class ItemListView : public QTreeWidget, public shell::ItemListObserver {
    Q_OBJECT

  public:
    // Column headers and widths, in display order.
    static constexpr int kColumnWidths[4] = {500, 100, 50, 100};

    ItemListView(shell::ItemList& list, UiHandOver& handOver, QWidget* parent = nullptr);
    ~ItemListView() override;

    void rowAppended(int position, const shell::ItemEntry& entry) override;
    void rowsReset() override;

    // The names of the selected rows, in list order (GBK).
    std::vector<std::string> selectedNames() const;
    // The row "列表菜单" works on: the selected one, empty texts without one.
    shell::ItemEntry currentEntry() const;

    QMenu* listMenu() const { return m_menu; }

  signals:
    void exportChosen();
    void openAddressChosen();
    void spreadsheetChosen();
    void copyAddressChosen();
    void copyNameChosen();
    void deleteChosen();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void showAppended(int position, const shell::ItemEntry& entry);
    void showAll();
    void buildMenu();

    shell::ItemList& m_list;
    UiHandOver& m_handOver;
    QMenu* m_menu = nullptr;
};

} // namespace quillon::gui
