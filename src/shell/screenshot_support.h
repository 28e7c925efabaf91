#pragma once

// What the headless screenshot tools share: their start on one picture, the mouse events that draw the sample
// picture's regions as a user would, and the saving of a window's picture.

#include "document/document_data.h"
#include "shell/nubo_app.h"

#include <QApplication>
#include <QEvent>
#include <QPoint>
#include <QString>

#include <memory>

class QWidget;

namespace nubo {

class CnuboView;

// Qt started on the command line with the user's settings (recent files) left untouched, the program's message
// boxes said on standard error instead of waiting for an answer, and the program opened on the picture the command
// line names. Lives as long as main.
class ScreenshotRun {
public:
    // least..most: how many arguments the tool takes after its name; usage: its command line, said when they do
    // not fit.
    ScreenshotRun(int& argc, char** argv, int least, int most, const char* usage);
    ~ScreenshotRun();

    // Opens the picture that argument names in a new main window; none when the arguments do not fit or the
    // picture cannot be read.
    CnuboApp* open(int argument);
    // The exit status once open has given none: 2 for arguments that do not fit, 1 for a picture not read.
    int failure() const { return fits_ ? 1 : 2; }

private:
    QApplication application_;
    char** argv_;
    bool fits_;
    std::unique_ptr<CnuboApp> app_; // ended before the application
};

// One mouse event sent to the widget at pos, in its own coordinates.
void sendMouse(QWidget* view, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held);

// Left-button drag: press at from, moves through the midpoint to to, release at to.
void dragRegion(QWidget* view, QPoint from, QPoint to);

// Draws the sample picture's three regions with the mouse (the face at 4:1, the shuttle at 20:1, the mission
// badge kept lossless), codes the background at 40:1, labels them in mode and selects the face with a click.
// False when the drags did not make three regions.
bool markSampleRegions(CnuboView* view, DescriptionMode mode);

// Grabs the widget, once the events waiting have run, into folder/name; says which file it wrote, or why not.
bool saveGrab(QWidget* widget, const QString& folder, const char* name);

} // namespace nubo
