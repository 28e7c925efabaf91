#include "shell/shell_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace nubo::test {

namespace {

// Set by stopWaiting for every poll started before it.
std::shared_ptr<bool>& currentStop()
{
    static std::shared_ptr<bool> stop = std::make_shared<bool>(false);
    return stop;
}

// Looks for the widget every 10 ms until it is found, the tries run out or the caller stops waiting.
void poll(const std::function<QWidget*()>& find, std::function<void(QWidget*)> handler, int triesLeft,
          std::shared_ptr<bool> stopped = currentStop())
{
    QTimer::singleShot(10, [find, handler = std::move(handler), triesLeft, stopped]() mutable {
        if (*stopped)
            return;
        if (QWidget* w = find(); w && w->isVisible()) {
            handler(w);
            return;
        }
        if (triesLeft > 0)
            poll(find, std::move(handler), triesLeft - 1, stopped);
    });
}

} // namespace

void stopWaiting()
{
    *currentStop() = true;
    currentStop() = std::make_shared<bool>(false);
}

void whenModal(std::function<void(QWidget*)> handler)
{
    poll([] { return QApplication::activeModalWidget(); }, std::move(handler), 500);
}

void whenPopup(std::function<void(QMenu*)> handler)
{
    poll([] { return QApplication::activePopupWidget(); },
         [handler = std::move(handler)](QWidget* w) { handler(qobject_cast<QMenu*>(w)); }, 500);
}

QString clickAndCatchMessage(QAbstractButton* button)
{
    auto text = std::make_shared<QString>();
    auto stopped = std::make_shared<bool>(false);
    QWidget* owner = button->window();
    poll(
        [owner]() -> QWidget* {
            QWidget* modal = QApplication::activeModalWidget();
            return modal && modal != owner ? modal : nullptr;
        },
        [text](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                *text = box->text();
            w->close();
        },
        50, stopped);
    QTest::mouseClick(button, Qt::LeftButton);
    // A message box comes up inside the click; once the click has returned there is nothing left to wait for.
    *stopped = true;
    QCoreApplication::processEvents();
    return *text;
}

void drag(QWidget* view, QPoint from, QPoint to)
{
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(view, (from + to) / 2);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
}

void chooseMenuItem(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
            return;
        }
        if (QMenu* sub = action->menu()) {
            for (QAction* inner : sub->actions()) {
                if (inner->text() != text)
                    continue;
                menu->setActiveAction(action);
                sub->popup(menu->mapToGlobal(menu->actionGeometry(action).topRight()));
                QTest::mouseClick(sub, Qt::LeftButton, Qt::NoModifier, sub->actionGeometry(inner).center());
                return;
            }
        }
    }
    menu->close();
}

void isolateSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratchDir());
}

QString scratchDir()
{
    static QTemporaryDir dir;
    return dir.path();
}

QString writeBitmap(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, const QString& name)
{
    RasterImage image;
    if (!image.allocate(w, h))
        return {};
    for (int i = 0; i < image.size(); i += 3) {
        image.data()[i] = b;
        image.data()[i + 1] = g;
        image.data()[i + 2] = r;
    }
    const QString path = QDir(scratchDir()).filePath(name);
    return image.saveBitmap(path.toStdString()) ? path : QString();
}

} // namespace nubo::test
