#pragma once

#include "commands/stage_range.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace nubo {

// "Coder settings": the number of wavelet stages, 2 to 5, and whether "Wavelet" regions too small for the
// wavelet coder are coded "Lossless (predictive)" rather than "Arithmetic".
class CCoderSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CCoderSettingsDialog(QWidget* parent = nullptr);

    int stages() const { return stages_; }
    void setStages(int stages);

    bool predictiveSmallRegions() const { return predictive_; }
    void setPredictiveSmallRegions(bool predictive);

    QLineEdit* stagesField() const { return field_; }
    QCheckBox* predictiveBox() const { return predictiveBox_; }

public slots:
    void accept() override;

private:
    int stages_ = 0;
    bool predictive_ = false;
    QLineEdit* field_;
    QCheckBox* predictiveBox_;
};

} // namespace nubo
