#include "shell/select_regions_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace nubo {

CSelectRegionsDialog::CSelectRegionsDialog(RegionSelection& selection, QWidget* parent)
    : QDialog(parent), selection_(selection), list_(new QListWidget(this)),
      outlines_(new QCheckBox(QStringLiteral("Show region's outlines on image."), this))
{
    setWindowTitle(QStringLiteral("Decoding: Select regions"));
    list_->setObjectName(QStringLiteral("regions"));
    outlines_->setObjectName(QStringLiteral("showOutlines"));
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    list_->setSortingEnabled(false);

    // List position 0 is the background, position p >= 1 the region at stream position p - 1.
    list_->addItem(QStringLiteral("Background"));
    for (int n = 1; n <= selection_.regionCount(); ++n)
        list_->addItem(QStringLiteral("Region of Interest %1").arg(n));
    list_->item(0)->setSelected(true);
    outlines_->setChecked(false);

    auto* all = new QPushButton(QStringLiteral("All"), this);
    auto* none = new QPushButton(QStringLiteral("None"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    all->setObjectName(QStringLiteral("all"));
    none->setObjectName(QStringLiteral("none"));
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(all, &QPushButton::clicked, this, &CSelectRegionsDialog::selectAll);
    connect(none, &QPushButton::clicked, this, &CSelectRegionsDialog::selectNone);
    connect(ok, &QPushButton::clicked, this, &CSelectRegionsDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select regions:"), this), 0, 0, 1, 2);
    layout->addWidget(list_, 1, 0, 3, 1);
    layout->addWidget(all, 1, 1);
    layout->addWidget(none, 2, 1);
    layout->addWidget(outlines_, 4, 0);
    layout->addWidget(ok, 4, 1);
}

void CSelectRegionsDialog::selectAll()
{
    for (int p = 0; p < list_->count(); ++p)
        list_->item(p)->setSelected(true);
}

void CSelectRegionsDialog::selectNone()
{
    for (int p = 0; p < list_->count(); ++p)
        list_->item(p)->setSelected(false);
}

void CSelectRegionsDialog::accept()
{
    int selectedCount = 0;
    for (int p = 0; p < list_->count(); ++p)
        selectedCount += list_->item(p)->isSelected() ? 1 : 0;
    if (selectedCount > 0) {
        for (int p = 0; p < list_->count(); ++p) {
            if (!list_->item(p)->isSelected())
                continue;
            if (p == 0)
                selection_.setBackground(true);
            else
                selection_.select(p - 1);
        }
        selection_.setShowOutlines(outlines_->isChecked());
    } else {
        selection_.setShowOutlines(false);
    }
    QDialog::accept();
}

} // namespace nubo
