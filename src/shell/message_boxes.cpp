#include "shell/message_boxes.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace nubo {

namespace {

QPointer<QWidget>& owner()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

QWidget* messageBoxOwner() { return owner().data(); }

void setMessageBoxOwner(QWidget* window) { owner() = window; }

void showError(const QString& caption, const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, messageBoxOwner());
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

void showMessage(QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, messageBoxOwner());
    box.exec();
}

} // namespace nubo
