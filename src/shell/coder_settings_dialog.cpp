#include "shell/coder_settings_dialog.h"

#include "shell/integer_field.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace nubo {

CCoderSettingsDialog::CCoderSettingsDialog(QWidget* parent)
    : QDialog(parent), field_(new QLineEdit(this)),
      predictiveBox_(new QCheckBox(QStringLiteral("Code small Wavelet regions Lossless (predictive)"), this))
{
    predictiveBox_->setObjectName(QStringLiteral("predictiveSmallRegions"));
    predictiveBox_->setToolTip(QStringLiteral("Wavelet regions at most 32 pixels wide or high are coded losslessly; "
                                              "by default with the Arithmetic coder"));
    setWindowTitle(QStringLiteral("Coder settings"));
    field_->setObjectName(QStringLiteral("stages"));
    auto* heading = new QLabel(QStringLiteral("Wavelet coder settings:"), this);
    auto* label = new QLabel(QStringLiteral("Number of wavelet stages:"), this);
    label->setBuddy(field_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCoderSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCoderSettingsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(label);
    layout->addWidget(field_);
    layout->addWidget(predictiveBox_);
    layout->addWidget(buttons);
    setStages(stages_);
}

void CCoderSettingsDialog::setStages(int stages)
{
    stages_ = stages;
    field_->setText(QString::number(stages));
    field_->selectAll();
}

void CCoderSettingsDialog::setPredictiveSmallRegions(bool predictive)
{
    predictive_ = predictive;
    predictiveBox_->setChecked(predictive);
}

void CCoderSettingsDialog::accept()
{
    const std::optional<int> value = readIntegerField(this, field_, kMinChosenStages, kMaxChosenStages);
    if (!value)
        return;
    stages_ = *value;
    predictive_ = predictiveBox_->isChecked();
    QDialog::accept();
}

} // namespace nubo
