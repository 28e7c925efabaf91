#include "shell/screenshot_support.h"

#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"

#include <QDir>
#include <QMouseEvent>
#include <QStandardPaths>

#include <cstdio>

namespace nubo {

namespace {

// Called before the application starts, so that nothing it reads comes from the user's settings.
int& keepUserSettings(int& argc)
{
    QStandardPaths::setTestModeEnabled(true);
    return argc;
}

} // namespace

ScreenshotRun::ScreenshotRun(int& argc, char** argv, int least, int most, const char* usage)
    : application_(keepUserSettings(argc), argv), argv_(argv), fits_(argc - 1 >= least && argc - 1 <= most)
{
    if (!fits_)
        std::fprintf(stderr, "usage: %s\n", usage);
    // A box would wait for an answer forever; the message goes to standard error, and a picture that could not be
    // opened ends the run with status 1.
    setMessageReceiver([](const QString&, const QString& text, const QString& detail) {
        const QString line = detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
        std::fprintf(stderr, "%s\n", qPrintable(line));
    });
}

ScreenshotRun::~ScreenshotRun() = default;

CnuboApp* ScreenshotRun::open(int argument)
{
    if (!fits_)
        return nullptr;
    app_ = std::make_unique<CnuboApp>();
    if (!app_->initInstance({QString::fromLocal8Bit(argv_[argument])}))
        return nullptr;
    return app_.get();
}

void sendMouse(QWidget* view, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(pos), QPointF(view->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

void dragRegion(QWidget* view, QPoint from, QPoint to)
{
    sendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

bool markSampleRegions(CnuboView* view, DescriptionMode mode)
{
    dragRegion(view, {160, 60}, {300, 190});  // the face
    dragRegion(view, {350, 0}, {470, 280});   // the shuttle
    dragRegion(view, {130, 345}, {215, 425}); // the mission badge, kept lossless
    CnuboDoc* document = view->document();
    RegionSet& regions = document->data().regions();
    if (regions.count() != 3)
        return false;
    regions.at(0).ratio = 4;
    regions.at(1).ratio = 20;
    regions.at(2).coderKind = CoderKind::Arithmetic;
    document->data().background().setRatio(40);
    document->data().setDescriptionMode(mode);
    // Select the face with a click inside it.
    sendMouse(view, QEvent::MouseButtonPress, {230, 125}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseButtonRelease, {230, 125}, Qt::LeftButton, Qt::NoButton);
    document->refreshViews();
    return true;
}

bool saveGrab(QWidget* widget, const QString& folder, const char* name)
{
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

} // namespace nubo
