#include "Dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace quillon::gui {
namespace {

// "逗号分隔符文件(*.csv)|*.csv" in Qt's spelling: "逗号分隔符文件(*.csv)".
QString qtFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    return bar < 0 ? filter : filter.left(bar);
}

QString runFileDialog(QWidget* parent, const QString& filter, const QString& suffix,
                      QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    dialog.setNameFilter(qtFilter(filter));
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtDialogs::message(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QString QtDialogs::saveFileName(QWidget* parent, const QString& filter, const QString& suffix) {
    return runFileDialog(parent, filter, suffix, QFileDialog::AcceptSave);
}

QString QtDialogs::openFileName(QWidget* parent, const QString& filter, const QString& suffix) {
    return runFileDialog(parent, filter, suffix, QFileDialog::AcceptOpen);
}

bool QtDialogs::openAddress(const QString& address) {
    const QUrl url = QUrl::fromUserInput(address);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool QtDialogs::openFile(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace quillon::gui
