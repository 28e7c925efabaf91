#pragma once

#include <QDialog>

namespace nubo {

// "About nubo": the program's icon and version.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace nubo
