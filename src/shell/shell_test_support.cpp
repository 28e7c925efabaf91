#include "shell/shell_test_support.h"

#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/ratio_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace nubo::test {

namespace {

// Set by stopWaiting for every poll started before it.
std::shared_ptr<bool>& currentStop()
{
    static std::shared_ptr<bool> stop = std::make_shared<bool>(false);
    return stop;
}

// Looks for the widget every 10 ms until it is found, the deadline passes or the caller stops waiting. The limit is
// one of time, not of tries, and a generous one: under a sanitizer on a loaded machine a command can take seconds
// before its window comes up.
void poll(const std::function<QWidget*()>& find, std::function<void(QWidget*)> handler, QDeadlineTimer deadline,
          std::shared_ptr<bool> stopped = currentStop())
{
    QTimer::singleShot(10, [find, handler = std::move(handler), deadline, stopped]() mutable {
        if (*stopped)
            return;
        if (QWidget* w = find(); w && w->isVisible()) {
            handler(w);
            return;
        }
        if (!deadline.hasExpired())
            poll(find, std::move(handler), deadline, stopped);
    });
}

constexpr int kWindowWaitMs = 60000;

} // namespace

void stopWaiting()
{
    *currentStop() = true;
    currentStop() = std::make_shared<bool>(false);
}

bool showActive(QWidget* window)
{
    window->show();
    if (!QTest::qWaitForWindowActive(window, kWindowWaitMs))
        return false;
    QCoreApplication::sendPostedEvents();
    return true;
}

void whenModal(std::function<void(QWidget*)> handler)
{
    poll([] { return QApplication::activeModalWidget(); }, std::move(handler), QDeadlineTimer(kWindowWaitMs));
}

void whenPopup(std::function<void(QMenu*)> handler)
{
    poll([] { return QApplication::activePopupWidget(); },
         [handler = std::move(handler)](QWidget* w) { handler(qobject_cast<QMenu*>(w)); },
         QDeadlineTimer(kWindowWaitMs));
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
        QDeadlineTimer(kWindowWaitMs), stopped);
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

std::shared_ptr<QString> answerRatioDialog(const QString& text)
{
    auto prompt = std::make_shared<QString>();
    whenModal([prompt, text](QWidget* w) {
        auto* dialog = qobject_cast<CRatioDialog*>(w);
        if (!dialog) {
            w->close();
            return;
        }
        *prompt = dialog->promptText();
        dialog->ratioField()->setText(text);
        dialog->accept();
    });
    return prompt;
}

void ViewTestCase::openPicture(const QString& name, int w, int h, QRgb colour, QSize frameSize)
{
    const QString path = writeBitmap(w, h, static_cast<std::uint8_t>(qRed(colour)),
                                     static_cast<std::uint8_t>(qGreen(colour)), static_cast<std::uint8_t>(qBlue(colour)),
                                     QStringLiteral("%1_%2x%3.bmp").arg(name).arg(w).arg(h));
    QVERIFY(!path.isEmpty());
    app_ = std::make_unique<CnuboApp>();
    QVERIFY(app_->initInstance({path}));
    view_ = app_->documents()->activeView();
    QVERIFY(view_);
    doc_ = view_->document();
    app_->mainFrame()->resize(frameSize);
    QVERIFY(QTest::qWaitForWindowExposed(app_->mainFrame()));
}

void AppTestCase::closeApp()
{
    stopWaiting();
    app_.reset();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->close();
}

void ViewTestCase::closePicture()
{
    closeApp();
    view_ = nullptr;
    doc_ = nullptr;
}

CMainFrame* ViewTestCase::frame() const { return app_->mainFrame(); }

RegionSet& ViewTestCase::regions() const { return doc_->data().regions(); }

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

QString writePicture(const RasterImage& image, const QString& name)
{
    const QString path = QDir(test::scratchDir()).filePath(name);
    return image.saveBitmap(path.toStdString()) ? path : QString();
}

} // namespace nubo::test
