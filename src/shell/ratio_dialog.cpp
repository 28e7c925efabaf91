#include "shell/ratio_dialog.h"

#include "regions/background_settings.h"
#include "shell/integer_field.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace nubo {

CRatioDialog::CRatioDialog(QWidget* parent)
    : QDialog(parent), prompt_(new QLabel(QStringLiteral("Insert Ratio for this ROI:"), this)),
      field_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Ratio"));
    prompt_->setObjectName(QStringLiteral("prompt"));
    field_->setObjectName(QStringLiteral("ratio"));
    prompt_->setBuddy(field_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRatioDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRatioDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(field_);
    layout->addWidget(buttons);
    setRatio(ratio_);
}

void CRatioDialog::setRatio(int ratio)
{
    ratio_ = ratio;
    field_->setText(QString::number(ratio));
    field_->selectAll();
}

void CRatioDialog::setPrompt(const QString& prompt) { prompt_->setText(prompt); }

QString CRatioDialog::promptText() const { return prompt_->text(); }

void CRatioDialog::accept()
{
    const std::optional<int> value = readIntegerField(this, field_, kMinRatio, kMaxRatio);
    if (!value)
        return;
    ratio_ = *value;
    QDialog::accept();
}

} // namespace nubo
