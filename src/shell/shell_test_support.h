#pragma once

#include "image/raster_image.h"
#include "regions/region_set.h"
#include "shell/nubo_app.h"
#include "shell/select_regions_dialog.h"
#include "shell/wait_dialog.h"
#include "test_support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class QAbstractButton;
class QMenu;
class QWidget;

namespace nubo {
class CMainFrame;
class CnuboDoc;
class CnuboView;
} // namespace nubo

namespace nubo::test {

// Runs handler on the next modal widget (dialog or message box) once it is up, from a short timer, so that a
// test can answer a dialog that a command opens with exec(). Gives up after a minute.
void whenModal(std::function<void(QWidget*)> handler);

// Same for the next popup menu.
void whenPopup(std::function<void(QMenu*)> handler);

// Shows a window and waits until it is active and the work its activation queued has run, as a user's first
// click would find it. Offscreen, activation follows show() later, and under load it can land in the middle of the
// test's next step: a line edit that is activated while its window is covered by a message box drops its
// selection from a queued call.
bool showActive(QWidget* window);

// Drops every handler still waiting: a test calls it once the dialogs it expected have come and gone, so that a
// handler whose window never came cannot answer a later one.
void stopWaiting();

// Clicks button; if a message box comes up, returns its text and closes it; otherwise returns an empty string.
QString clickAndCatchMessage(QAbstractButton* button);

// Left-button drag with simulated mouse events: press at from, moves through the midpoint to to, release at to.
void drag(QWidget* view, QPoint from, QPoint to);

// Chooses the action with this text in the menu (or in its submenus, opening them as a user would).
void chooseMenuItem(QMenu* menu, const QString& text);

// A w x h picture of one colour, saved as a bitmap in a temporary folder; returns the path.
QString writeBitmap(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, const QString& name);

// Saves a picture as a bitmap in the temporary folder; returns the path, or an empty string.
QString writePicture(const RasterImage& image, const QString& name);

// Keeps this test program's settings (the recent-file list) in its own temporary folder, apart from the user's
// and from other test programs running at the same time.
void isolateSettings();

// The temporary folder of this test run.
QString scratchDir();

// Answers the next ratio dialog with text and OK (and closes any other modal widget that comes instead); returns
// the prompt the dialog showed, once it has been answered.
std::shared_ptr<QString> answerRatioDialog(const QString& text);

// What the desktop tests share: an application of the test's own, made by the test and ended from its cleanup
// slot with closeApp.
class AppTestCase : public QObject {
protected:
    std::unique_ptr<CnuboApp> app_;

    // Stops the dialog waits, ends the application and closes every window left.
    void closeApp();
};

// The start the view tests share: one picture of one colour opened in a new application, its main window resized
// and on screen. A test class derives from it and calls closePicture from its cleanup slot.
class ViewTestCase : public AppTestCase {
protected:
    CnuboView* view_ = nullptr;
    CnuboDoc* doc_ = nullptr;

    // Writes a w x h picture of colour (0xRRGGBB) as "<name>_<w>x<h>.bmp" and opens it in a main window of
    // frameSize.
    void openPicture(const QString& name, int w, int h, QRgb colour, QSize frameSize);
    // Stops the dialog waits, ends the application and closes every window left.
    void closePicture();

    CMainFrame* frame() const;
    RegionSet& regions() const;
};

// What one message box showed.
struct BoxSeen {
    bool shown = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onlyOk = false;
    bool ownedByMainWindow = false;
};

// Types a path into a file dialog's name field, as a user would (selectFile leaves a focused field alone).
inline void typeFileName(QFileDialog* dialog, const QString& path)
{
    dialog->selectFile(path);
    if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        field->setText(path);
}

// Answers the modal widgets a command opens, one step per widget in order, letting the wait dialogs run. A modal
// widget that no step expects is recorded and closed, so a wrong flow fails the test instead of hanging it. Steps
// run from their own zero-time timer, so a step may open a nested modal loop (a file dialog's confirmation).
class DialogScript : public QObject {
public:
    using Step = std::function<void(QWidget*)>;

    DialogScript()
    {
        connect(&timer_, &QTimer::timeout, this, &DialogScript::look);
        timer_.start(5);
        qApp->installEventFilter(this);
    }
    ~DialogScript() override { qApp->removeEventFilter(this); }

    DialogScript& then(Step step)
    {
        steps_.push_back(std::move(step));
        return *this;
    }

    // A message box: records what it showed and presses OK.
    DialogScript& box(std::shared_ptr<BoxSeen> seen)
    {
        return then([seen](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                seen->caption = QStringLiteral("<not a message box: %1>").arg(w->metaObject()->className());
                w->close();
                return;
            }
            seen->shown = true;
            seen->caption = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            seen->onlyOk = box->buttons().size() == 1 && box->button(QMessageBox::Ok);
            seen->ownedByMainWindow = box->parentWidget() && box->parentWidget()->inherits("nubo::CMainFrame");
            box->button(QMessageBox::Ok)->click();
        });
    }

    // The file dialog: checks nothing itself, chooses path and accepts.
    DialogScript& file(const QString& path, std::shared_ptr<QStringList> filters = {})
    {
        return then([path, filters](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog) {
                w->close();
                return;
            }
            if (filters)
                *filters = dialog->nameFilters();
            typeFileName(dialog, path);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept, reached through the public one
        });
    }

    // The region selection dialog: selects the given list positions (0 = background) and accepts.
    DialogScript& select(QList<int> positions, bool outlines = false)
    {
        return then([positions, outlines](QWidget* w) {
            auto* dialog = qobject_cast<CSelectRegionsDialog*>(w);
            if (!dialog) {
                w->close();
                return;
            }
            dialog->selectNone();
            for (int p : positions)
                dialog->regionList()->item(p)->setSelected(true);
            dialog->outlinesBox()->setChecked(outlines);
            dialog->accept();
        });
    }

    bool done() const { return steps_.empty(); }
    const QStringList& unexpected() const { return unexpected_; }
    int waitDialogsSeen() const { return waitMessages_.size(); }
    // The message of every wait dialog shown, in order; a wait dialog may come and go between two looks, so they
    // are caught as they show.
    const QStringList& waitMessages() const { return waitMessages_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* wait = qobject_cast<WaitDialog*>(watched))
                waitMessages_.append(wait->message());
        return false;
    }

private:
    void look()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        if (qobject_cast<WaitDialog*>(w))
            return;
        for (const QPointer<QWidget>& seen : handled_)
            if (seen == w)
                return;
        handled_.append(w);
        if (steps_.empty()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            unexpected_.append(box ? box->text() : QString::fromLatin1(w->metaObject()->className()));
            QTimer::singleShot(0, w, [w] { w->close(); });
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        QTimer::singleShot(0, w, [step = std::move(step), w] { step(w); });
    }

    QTimer timer_;
    std::deque<Step> steps_;
    QList<QPointer<QWidget>> handled_;
    QStringList waitMessages_;
    QStringList unexpected_;
};

} // namespace nubo::test
