#include "shell/about_dialog.h"

#include "common/version.h"
#include "shell/shell_icons.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

namespace nubo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About nubo"));
    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(32, 32));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);
    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(QStringLiteral("nubo Version %1").arg(QLatin1String(kVersionText)), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Region-of-interest image compression workbench"), this), 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Built with Qt %1").arg(QString::fromLatin1(qVersion())), this),
                      2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2);
}

} // namespace nubo
