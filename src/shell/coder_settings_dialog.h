#pragma once

#include <QDialog>

class QLineEdit;

namespace nubo {

// The wavelet stages a document's coder uses through this dialog.
inline constexpr int kMinDialogStages = 2;
inline constexpr int kMaxDialogStages = 5;

// "Coder settings": the number of wavelet stages, 2 to 5.
class CCoderSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CCoderSettingsDialog(QWidget* parent = nullptr);

    int stages() const { return stages_; }
    void setStages(int stages);

    QLineEdit* stagesField() const { return field_; }

public slots:
    void accept() override;

private:
    int stages_ = 0;
    QLineEdit* field_;
};

} // namespace nubo
