#include "ExitConfirmWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "PagePictures.h"
#include "QtText.h"

namespace quillon::gui {

ExitConfirmWindow::ExitConfirmWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("exitConfirmWindow"));
    setWindowTitle(tr8("退出程序？"));
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(programIcon(QSize(48, 48)));
    auto* question = new QLabel(tr8("你是否确定退出程序！"), this);

    auto* confirm = new QPushButton(tr8("确 定"), this);
    confirm->setObjectName(QStringLiteral("confirmExit"));
    auto* cancel = new QPushButton(tr8("取 消"), this);
    cancel->setObjectName(QStringLiteral("cancelExit"));
    cancel->setDefault(true);
    connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(question, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

} // namespace quillon::gui
