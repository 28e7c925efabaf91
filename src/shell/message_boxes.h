#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace nubo {

// The window that owns the program's message boxes (the main frame); none before it exists.
QWidget* messageBoxOwner();
void setMessageBoxOwner(QWidget* owner);

// A modal box with the stop icon and one OK button, owned by the main window. A `detail` (the reason behind the
// text) goes to the box's detailed text, shown on request.
void showError(const QString& caption, const QString& text, const QString& detail = {});

// A modal box with the given icon (NoIcon for none) and one OK button, owned by the main window.
void showMessage(QMessageBox::Icon icon, const QString& caption, const QString& text);

// The picture file errors and their caption.
inline const QString kErrorCaption = QStringLiteral("Błąd!");
inline const QString kCannotOpenFile = QStringLiteral("Nie można otworzyć pliku");
inline const QString kCannotSaveFile = QStringLiteral("Nie można zapisać pliku");

} // namespace nubo
