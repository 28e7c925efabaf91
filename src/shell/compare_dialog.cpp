#include "shell/compare_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

namespace nubo {

CCompareDialog::CCompareDialog(QWidget* parent)
    : QDialog(parent), sourceLabel_(new QLabel(this)), list_(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Compare images"));
    sourceLabel_->setObjectName(QStringLiteral("sourceTitle"));
    list_->setObjectName(QStringLiteral("documents"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCompareDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCompareDialog::reject);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Source image:"), this), 0, 0);
    layout->addWidget(sourceLabel_, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Select result image:"), this), 1, 0, 1, 2);
    layout->addWidget(list_, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
}

void CCompareDialog::setSourceTitle(const QString& title)
{
    sourceTitle_ = title;
    sourceLabel_->setText(title);
}

void CCompareDialog::addEntry(const QString& title, CnuboDoc* document)
{
    list_->addItem(title);
    entries_.push_back({title, document, list_->count() - 1});
}

void CCompareDialog::accept()
{
    const int s = list_->currentIndex();
    if (s >= 0 && s < list_->count()) {
        selectedDocument_ = nullptr;
        for (const Entry& entry : entries_) {
            if (entry.comboIndex == s) {
                selectedDocument_ = entry.document;
                break;
            }
        }
    }
    sourceTitle_ = sourceLabel_->text();
    QDialog::accept();
}

} // namespace nubo
