#include "HelpPage.h"

#include <QUrl>

namespace quillon::gui {

HelpPage::HelpPage(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("helpPage"));
    setOpenExternalLinks(true);
    setSource(QUrl(QStringLiteral("qrc:/help/help.html")));
}

} // namespace quillon::gui
