#pragma once

#include <QPixmap>
#include <QSize>

namespace quillon::gui {

// The program's own pictures, drawn at run time so that no binary file is
// carried: one per toolbar button (1..7, in button order) and one banner
// picture per page choice (1..6, the toolbar button that shows the page).
// An index out of range gives an empty pixmap.
QPixmap toolbarPicture(int button, QSize size = QSize(40, 40));
QPixmap bannerPicture(int choice, QSize size = QSize(1000, 38));

// The window icon (also the notification icon).
QPixmap programIcon(QSize size = QSize(32, 32));

} // namespace quillon::gui
