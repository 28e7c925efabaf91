#include "shell/main_frame.h"

#include "shell/command_ids.h"
#include "shell/compare_window.h"
#include "shell/document_manager.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/rate_chart_window.h"
#include "shell/recent_files.h"
#include "shell/shell_icons.h"
#include "shell/workbench_docks.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace nubo {

namespace {

const QString kIdleMessage = QStringLiteral("Ready");

// The commands that exist only while a document is open.
constexpr int kDocumentFileCommands[] = {cmd::FileClose,   cmd::FileSave,       cmd::FileSaveAs,
                                         cmd::FilePrint,   cmd::FilePrintPreview, cmd::ZoomIn,
                                         cmd::ZoomOut,     cmd::ZoomActualSize, cmd::ZoomFitWindow};

QString recentFileText(int index, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    const QString home = QDir::homePath();
    if (shown.startsWith(home + QLatin1Char('/')))
        shown = QStringLiteral("~") + shown.mid(home.size());
    constexpr int kLongest = 48;
    if (shown.size() > kLongest)
        shown = QStringLiteral("...") + shown.right(kLongest - 3);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

// "&1 title" ... "&9 title", then numbers without a mnemonic.
QString windowItemText(int index, QString title)
{
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return (index < 9 ? QStringLiteral("&%1 %2") : QStringLiteral("%1 %2")).arg(index + 1).arg(title);
}

} // namespace

CMainFrame::CMainFrame(CnuboApp& app) : app_(app), area_(new QMdiArea(this))
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("nubo"));
    setWindowIcon(appIcon());
    setAcceptDrops(true);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);

    buildMenus();
    buildToolBar();
    buildStatusBar();
    addWorkbenchDocks(*this, *menu(QStringLiteral("View")), area_,
                      [this] { return app_.documents() ? app_.documents()->activeDocument() : nullptr; });
    connect(area_, &QMdiArea::subWindowActivated, this, &CMainFrame::updateCommandUI);
    updateCommandUI();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::makeAction(int id, const QString& text, const QString& statusTip,
                                const QList<QKeySequence>& shortcuts)
{
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(statusTip);
    action->setIconVisibleInMenu(false);
    if (!shortcuts.isEmpty()) {
        action->setShortcuts(shortcuts);
        // Shortcuts work even while their menu is hidden.
        addAction(action);
    }
    connect(action, &QAction::triggered, this, [this, id] { dispatch(id); });
    actions_.insert(id, action);
    return action;
}

QMenu* CMainFrame::makeMenu(const QString& title, QWidget* parent)
{
    auto* menu = new QMenu(title, parent);
    QString name = title;
    name.remove(QLatin1Char('&'));
    menu->setObjectName(name);
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUI);
    menus_.append(menu);
    return menu;
}

QMenu* CMainFrame::menu(const QString& objectName) const
{
    for (QMenu* m : menus_)
        if (m->objectName() == objectName)
            return m;
    return nullptr;
}

void CMainFrame::buildMenus()
{
    QMenuBar* bar = menuBar();

    fileMenu_ = makeMenu(QStringLiteral("&File"), bar);
    fileMenu_->addAction(makeAction(cmd::FileNew, QStringLiteral("&New\tCtrl+N"),
                                    QStringLiteral("Create a new document"), {QKeySequence(Qt::CTRL | Qt::Key_N)}));
    fileMenu_->addAction(makeAction(cmd::FileOpen, QStringLiteral("&Open...\tCtrl+O"),
                                    QStringLiteral("Open an existing document"),
                                    {QKeySequence(Qt::CTRL | Qt::Key_O)}));
    fileMenu_->addAction(makeAction(cmd::FileClose, QStringLiteral("&Close"),
                                    QStringLiteral("Close the active document")));
    fileMenu_->addAction(makeAction(cmd::FileSave, QStringLiteral("&Save\tCtrl+S"),
                                    QStringLiteral("Save the active document"),
                                    {QKeySequence(Qt::CTRL | Qt::Key_S)}));
    fileMenu_->addAction(makeAction(cmd::FileSaveAs, QStringLiteral("Save &As..."),
                                    QStringLiteral("Save the active document with a new name")));
    fileMenu_->addAction(makeAction(cmd::FilePrint, QStringLiteral("&Print...\tCtrl+P"),
                                    QStringLiteral("Print the active document"),
                                    {QKeySequence(Qt::CTRL | Qt::Key_P)}));
    fileMenu_->addAction(makeAction(cmd::FilePrintPreview, QStringLiteral("Print Pre&view"),
                                    QStringLiteral("Display full pages")));
    fileMenu_->addAction(makeAction(cmd::FilePrintSetup, QStringLiteral("P&rint Setup..."),
                                    QStringLiteral("Change the printer and printing options")));
    for (int i = 0; i < RecentFileList::kSize; ++i)
        fileMenu_->addAction(makeAction(cmd::FileMruFirst + i, QString(), QStringLiteral("Open this document")));
    fileMenu_->addAction(makeAction(cmd::AppExit, QStringLiteral("E&xit"),
                                    QStringLiteral("Quit the application")));
    bar->addMenu(fileMenu_);

    QMenu* edit = makeMenu(QStringLiteral("&Edit"), bar);
    edit->addAction(makeAction(cmd::EditUndo, QStringLiteral("&Undo\tCtrl+Z"), QStringLiteral("Undo the last action"),
                               {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}));
    edit->addAction(makeAction(cmd::EditRedo, QStringLiteral("&Redo\tCtrl+Shift+Z"),
                               QStringLiteral("Redo the last undone action"),
                               {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    edit->addAction(makeAction(cmd::EditCut, QStringLiteral("Cu&t\tCtrl+X"),
                               QStringLiteral("Cut the selection and put it on the Clipboard"),
                               {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}));
    edit->addAction(makeAction(cmd::EditCopy, QStringLiteral("&Copy\tCtrl+C"),
                               QStringLiteral("Copy the selection and put it on the Clipboard"),
                               {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}));
    edit->addAction(makeAction(cmd::EditPaste, QStringLiteral("&Paste\tCtrl+V"),
                               QStringLiteral("Insert Clipboard contents"),
                               {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}));
    bar->addMenu(edit);

    QMenu* view = makeMenu(QStringLiteral("&View"), bar);
    QMenu* descriptions = makeMenu(QStringLiteral("Descriptions"), view);
    descriptions->addAction(makeAction(cmd::DescriptionsHidden, QStringLiteral("Hidden"),
                                       QStringLiteral("Hide the region labels")));
    descriptions->addAction(makeAction(cmd::DescriptionsShort, QStringLiteral("Short"),
                                       QStringLiteral("Label each region with its ratio")));
    descriptions->addAction(makeAction(cmd::DescriptionsFull, QStringLiteral("Full"),
                                       QStringLiteral("Label each region with its coder and ratio")));
    descriptions->addSeparator();
    descriptions->addAction(makeAction(cmd::DescriptionsBackground, QStringLiteral("Background"),
                                       QStringLiteral("Draw the labels on a white background")));
    view->addMenu(descriptions);
    zoomSeparator_ = view->addSeparator();
    view->addAction(makeAction(cmd::ZoomIn, QStringLiteral("Zoom &In\tCtrl+="), QStringLiteral("Magnify the picture"),
                               {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)}));
    view->addAction(makeAction(cmd::ZoomOut, QStringLiteral("Zoom &Out\tCtrl+-"), QStringLiteral("Reduce the picture"),
                               {QKeySequence(Qt::CTRL | Qt::Key_Minus)}));
    view->addAction(makeAction(cmd::ZoomActualSize, QStringLiteral("&Actual Size\tCtrl+0"),
                               QStringLiteral("Show the picture at 100 %"), {QKeySequence(Qt::CTRL | Qt::Key_0)}));
    view->addAction(makeAction(cmd::ZoomFitWindow, QStringLiteral("&Fit in Window"),
                               QStringLiteral("Zoom so that the whole picture fits in its window")));
    view->addSeparator();
    view->addAction(makeAction(cmd::ViewToolbar, QStringLiteral("&Toolbar"),
                               QStringLiteral("Show or hide the toolbar")));
    view->addAction(makeAction(cmd::ViewStatusBar, QStringLiteral("&Status Bar"),
                               QStringLiteral("Show or hide the status bar")));
    bar->addMenu(view);

    QMenu* window = windowMenu_ = makeMenu(QStringLiteral("&Window"), bar);
    window->addAction(makeAction(cmd::WindowNew, QStringLiteral("&New Window"),
                                 QStringLiteral("Open another window for the active document")));
    window->addAction(makeAction(cmd::WindowCascade, QStringLiteral("&Cascade"),
                                 QStringLiteral("Arrange windows so they overlap")));
    window->addAction(makeAction(cmd::WindowTile, QStringLiteral("&Tile"),
                                 QStringLiteral("Arrange windows as non-overlapping tiles")));
    window->addAction(makeAction(cmd::WindowArrange, QStringLiteral("&Arrange Icons"),
                                 QStringLiteral("Arrange icons at the bottom of the window")));
    window->addAction(makeAction(cmd::CompareViews, QStringLiteral("Compare &views"),
                                 QStringLiteral("Show this picture and the next open one of its size side by side")));
    windowListSeparator_ = window->addSeparator();
    bar->addMenu(window);

    QMenu* options = makeMenu(QStringLiteral("Options"), bar);
    options->addAction(makeAction(cmd::EncodeToFile, QStringLiteral("Encode img to file"),
                                  QStringLiteral("Encode the picture and its regions to a .roi file")));
    options->addAction(makeAction(cmd::DecodeFromFile, QStringLiteral("Decode img from file"),
                                  QStringLiteral("Decode a .roi file")));
    options->addAction(makeAction(cmd::TestRoi, QStringLiteral("Test ROI"),
                                  QStringLiteral("Encode in memory, decode and measure")));
    options->addAction(makeAction(cmd::TestRoiDecodeOnly, QStringLiteral("Test ROI (only decode)"),
                                  QStringLiteral("Decode the last in-memory encoding again")));
    options->addAction(makeAction(cmd::CoderSettings, QStringLiteral("Coder settings"),
                                  QStringLiteral("Set the number of wavelet stages")));
    options->addAction(makeAction(cmd::CompareWith, QStringLiteral("Compare with ..."),
                                  QStringLiteral("Compare this picture with another open picture")));
    options->addAction(makeAction(cmd::RateDistortionCurve, QStringLiteral("Rate–distortion curve…"),
                                  QStringLiteral("Plot PSNR against bit rate over a range of ratios")));
    bar->addMenu(options);

    QMenu* help = makeMenu(QStringLiteral("&Help"), bar);
    help->addAction(makeAction(cmd::AppAbout, QStringLiteral("&About nubo..."),
                               QStringLiteral("Display program information, version number and copyright")));
    bar->addMenu(help);

    // Next and previous window, with no menu item of their own.
    makeAction(cmd::NextPane, QString(), QString(), {QKeySequence(Qt::Key_F6)});
    makeAction(cmd::PrevPane, QString(), QString(), {QKeySequence(Qt::SHIFT | Qt::Key_F6)});
}

void CMainFrame::buildToolBar()
{
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setIconSize(QSize(16, 16));
    const struct {
        int id;
        const char* tip;
    } buttons[] = {{cmd::FileNew, "New"},     {cmd::FileOpen, "Open"},   {cmd::FileSave, "Save"},
                   {0, nullptr},              {cmd::EditCut, "Cut"},     {cmd::EditCopy, "Copy"},
                   {cmd::EditPaste, "Paste"}, {0, nullptr},              {cmd::FilePrint, "Print"},
                   {cmd::AppAbout, "About"}};
    for (const auto& button : buttons) {
        if (button.id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* a = actions_.value(button.id);
        a->setIcon(toolbarIcon(button.id));
        a->setToolTip(QString::fromLatin1(button.tip));
        toolBar_->addAction(a);
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusbar"));
    message_ = new QLabel(kIdleMessage, this);
    message_->setObjectName(QStringLiteral("message"));
    bar->addWidget(message_, 1);
    // The active view's zoom, empty without a document.
    zoom_ = new QLabel(this);
    zoom_->setObjectName(QStringLiteral("zoom"));
    zoom_->setMinimumWidth(zoom_->fontMetrics().horizontalAdvance(QStringLiteral("1600 %")) + 8);
    zoom_->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(zoom_);
    // The keyboard lock states cannot be read portably; the indicators stay shown in grey.
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator), this);
        label->setObjectName(QString::fromLatin1(indicator));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setEnabled(false);
        bar->addPermanentWidget(label);
    }
}

void CMainFrame::setMessage(const QString& text) { message_->setText(text.isEmpty() ? kIdleMessage : text); }

bool CMainFrame::routeState(int id, CommandState& state) const
{
    DocumentManager* documents = app_.documents();
    if (CnuboView* view = documents ? documents->activeView() : nullptr) {
        if (view->commandState(id, state))
            return true;
        if (view->document()->commandState(id, state))
            return true;
    }
    return commandState(id, state) || app_.commandState(id, state);
}

void CMainFrame::dispatch(int id)
{
    DocumentManager* documents = app_.documents();
    CnuboView* view = documents ? documents->activeView() : nullptr;
    CommandState state;
    const bool enabled = routeState(id, state) && state.enabled;
    if (enabled) {
        if (!(view && (view->onCommand(id) || view->document()->onCommand(id))))
            if (!onCommand(id))
                app_.onCommand(id);
    }
    updateCommandUI();
}

void CMainFrame::updateCommandUI()
{
    DocumentManager* documents = app_.documents();
    const bool hasDocument = documents && documents->activeView() != nullptr;

    for (int id : kDocumentFileCommands)
        actions_.value(id)->setVisible(hasDocument);
    for (const char* name : {"Edit", "Window", "Options"})
        if (QMenu* m = menu(QString::fromLatin1(name)))
            m->menuAction()->setVisible(hasDocument);
    menu(QStringLiteral("Descriptions"))->menuAction()->setVisible(hasDocument);
    zoomSeparator_->setVisible(hasDocument);
    CnuboView* activeView = documents ? documents->activeView() : nullptr;
    zoom_->setText(activeView ? QString::fromStdString(activeView->zoom().percentText()) : QString());

    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        CommandState state;
        const bool handled = routeState(it.key(), state);
        QAction* a = it.value();
        a->setEnabled(handled && state.enabled);
        a->setCheckable(handled && state.checked.has_value());
        a->setChecked(handled && state.checked.value_or(false));
    }
    updateRecentFiles();
    updateWindowList();

    CnuboDoc* document = documents ? documents->activeDocument() : nullptr;
    setWindowTitle(document ? QStringLiteral("nubo - %1").arg(document->title()) : QStringLiteral("nubo"));
}

void CMainFrame::updateRecentFiles()
{
    const QStringList& paths = app_.recentFiles().paths();
    for (int i = 0; i < RecentFileList::kSize; ++i) {
        QAction* a = actions_.value(cmd::FileMruFirst + i);
        const bool used = i < paths.size();
        a->setVisible(used);
        a->setText(used ? recentFileText(i, paths[i]) : QString());
    }
}

void CMainFrame::updateWindowList()
{
    const QList<QMdiSubWindow*> frames = area_->subWindowList();
    QMdiSubWindow* current = area_->currentSubWindow();
    while (windowItems_.size() < frames.size()) {
        auto* item = new QAction(this);
        item->setCheckable(true);
        const int index = static_cast<int>(windowItems_.size());
        connect(item, &QAction::triggered, this, [this, index] { activateListedWindow(index); });
        windowMenu_->addAction(item);
        windowItems_.append(item);
    }
    windowListSeparator_->setVisible(!frames.isEmpty());
    for (int i = 0; i < windowItems_.size(); ++i) {
        QAction* item = windowItems_[i];
        const bool used = i < frames.size();
        item->setVisible(used);
        item->setText(used ? windowItemText(i, frames[i]->windowTitle()) : QString());
        item->setChecked(used && frames[i] == current);
        if (used) {
            // A title that changes later (a second view adds ":1", a decode adds "(decoded)") renames its item; a
            // window that goes leaves the list once it has gone.
            connect(frames[i], &QWidget::windowTitleChanged, this, &CMainFrame::updateWindowList,
                    Qt::UniqueConnection);
            connect(frames[i], &QObject::destroyed, this, &CMainFrame::updateCommandUI,
                    static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
        }
    }
}

void CMainFrame::activateListedWindow(int index)
{
    const QList<QMdiSubWindow*> frames = area_->subWindowList();
    if (index < 0 || index >= frames.size())
        return;
    QMdiSubWindow* frame = frames[index];
    if (frame->isMinimized())
        frame->showNormal();
    area_->setActiveSubWindow(frame);
    updateCommandUI();
}

int CMainFrame::arrangeIcons()
{
    // Minimised frames line up along the bottom edge of the MDI area, left to right, in rows from the bottom up,
    // and come to the front so that no other window hides them.
    const int areaWidth = area_->viewport()->width();
    int bottom = area_->viewport()->height();
    int top = bottom;
    int x = 0;
    for (QMdiSubWindow* frame : area_->subWindowList()) {
        if (!frame->isMinimized() || !frame->isVisible())
            continue;
        if (x > 0 && x + frame->width() > areaWidth) {
            bottom = top;
            x = 0;
        }
        frame->move(x, bottom - frame->height());
        frame->raise();
        top = std::min(top, bottom - frame->height());
        x += frame->width();
    }
    return top;
}

void CMainFrame::tileAboveIcons()
{
    area_->tileSubWindows();
    const int height = area_->viewport()->height();
    const int top = arrangeIcons();
    if (top >= height || top <= 0)
        return;
    // The tiles share the strip above the icons, in the same pattern.
    for (QMdiSubWindow* frame : area_->subWindowList()) {
        if (frame->isMinimized() || !frame->isVisible())
            continue;
        const QRect tile = frame->geometry();
        const int y0 = tile.top() * top / height;
        const int y1 = (tile.bottom() + 1) * top / height;
        frame->setGeometry(tile.left(), y0, tile.width(), std::max(y1 - y0, 1));
    }
}

bool CMainFrame::commandState(int id, CommandState& state) const
{
    switch (id) {
    case cmd::ViewToolbar:
        state = {true, toolBar_->isVisible()};
        return true;
    case cmd::ViewStatusBar:
        state = {true, statusBar()->isVisible()};
        return true;
    case cmd::WindowNew:
    case cmd::WindowCascade:
    case cmd::WindowTile:
    case cmd::WindowArrange:
    case cmd::NextPane:
    case cmd::PrevPane:
        state = {!area_->subWindowList().isEmpty(), std::nullopt};
        return true;
    case cmd::CompareViews: {
        const DocumentManager* documents = app_.documents();
        state = {documents && comparePartner(*documents, documents->activeDocument()), std::nullopt};
        return true;
    }
    case cmd::RateDistortionCurve: {
        const CnuboDoc* document = app_.documents() ? app_.documents()->activeDocument() : nullptr;
        state = {document && document->data().image().isValid(), std::nullopt};
        return true;
    }
    default:
        return false;
    }
}

bool CMainFrame::onCommand(int id)
{
    switch (id) {
    case cmd::ViewToolbar:
        toolBar_->setVisible(!toolBar_->isVisible());
        return true;
    case cmd::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        return true;
    case cmd::WindowNew:
        if (CnuboDoc* document = app_.documents()->activeDocument())
            app_.documents()->addView(document);
        return true;
    case cmd::WindowCascade:
        area_->cascadeSubWindows();
        arrangeIcons();
        return true;
    case cmd::WindowTile:
        tileAboveIcons();
        return true;
    case cmd::WindowArrange:
        arrangeIcons();
        return true;
    case cmd::NextPane:
        area_->activateNextSubWindow();
        return true;
    case cmd::PrevPane:
        area_->activatePreviousSubWindow();
        return true;
    case cmd::CompareViews:
        openCompareWindow(*app_.documents(), this);
        return true;
    case cmd::RateDistortionCurve:
        if (CnuboDoc* document = app_.documents()->activeDocument())
            (new CRateChartWindow(*document, this))->show();
        return true;
    default:
        return false;
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            app_.openDocumentFile(url.toLocalFile());
    event->acceptProposedAction();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Documents are never marked modified: closing asks nothing.
    if (DocumentManager* documents = app_.documents())
        documents->closeAll();
    event->accept();
}

} // namespace nubo
