#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace nubo {

// "Ratio": asks for a compression ratio from 1 to 500, for a region or (with its own prompt) the background.
class CRatioDialog : public QDialog {
    Q_OBJECT
public:
    explicit CRatioDialog(QWidget* parent = nullptr);

    int ratio() const { return ratio_; }
    void setRatio(int ratio);

    // Replaces the text "Insert Ratio for this ROI:".
    void setPrompt(const QString& prompt);

    QLineEdit* ratioField() const { return field_; }
    QString promptText() const;

public slots:
    void accept() override;

private:
    int ratio_ = 1;
    QLabel* prompt_;
    QLineEdit* field_;
};

} // namespace nubo
