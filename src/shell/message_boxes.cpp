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

MessageReceiver& receiver()
{
    static MessageReceiver taker;
    return taker;
}

} // namespace

QWidget* messageBoxOwner() { return owner().data(); }

void setMessageBoxOwner(QWidget* window) { owner() = window; }

void setMessageReceiver(MessageReceiver taker) { receiver() = std::move(taker); }

void showError(const QString& caption, const QString& text, const QString& detail)
{
    if (receiver()) {
        receiver()(caption, text, detail);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, messageBoxOwner());
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

void showMessage(QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    if (receiver()) {
        receiver()(caption, text, QString());
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, messageBoxOwner());
    box.exec();
}

} // namespace nubo
