#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace nubo {

// The window that owns the program's message boxes (the main frame); none before it exists.
QWidget* messageBoxOwner();
void setMessageBoxOwner(QWidget* owner);

// Where showError and showMessage send their message instead of a modal box, when set: the headless tools have
// nobody to answer a box. An empty receiver brings the boxes back.
using MessageReceiver = std::function<void(const QString& caption, const QString& text, const QString& detail)>;
void setMessageReceiver(MessageReceiver receiver);

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
