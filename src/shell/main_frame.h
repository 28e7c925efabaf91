#pragma once

#include "shell/command_target.h"

#include <QHash>
#include <QList>
#include <QMainWindow>

class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace nubo {

class CnuboApp;

// The main window: menu bar, toolbar, status bar and the MDI area holding the documents' child frames. Every menu
// and toolbar item is a QAction carrying its command id; a command goes to the active view, its document, this
// frame and the application, in that order, and the first that handles it runs it. Enabling and check marks are
// asked of the same chain before a menu opens and after every change.
class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(CnuboApp& app);
    ~CMainFrame() override;

    QMdiArea* mdiArea() const { return area_; }

    // The action of a command id (menus, toolbar, recent files), or none.
    QAction* action(int id) const { return actions_.value(id); }
    QMenu* menu(const QString& objectName) const;

    QLabel* messagePane() const { return message_; }
    // The status bar pane with the active view's zoom.
    QLabel* zoomPane() const { return zoom_; }
    // Shows text in the message pane; empty text shows the idle message.
    void setMessage(const QString& text);

    // Runs a command through the routing chain.
    void dispatch(int id);
    // Refreshes menus (with or without a document), enabling, check marks, recent files and the title.
    void updateCommandUI();

    bool commandState(int id, CommandState& state) const override;
    bool onCommand(int id) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* makeAction(int id, const QString& text, const QString& statusTip,
                        const QList<QKeySequence>& shortcuts = {});
    QMenu* makeMenu(const QString& title, QWidget* parent);
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void updateRecentFiles();
    // The Window menu's numbered list of open windows, the current one checked.
    void updateWindowList();
    void activateListedWindow(int index);
    // Lines minimised windows up along the bottom of the MDI area, above the other windows; returns the top of
    // the lowest free strip (the viewport's height when nothing is minimised).
    int arrangeIcons();
    // Tiles the windows that are not minimised in the part of the MDI area above the icons.
    void tileAboveIcons();
    bool routeState(int id, CommandState& state) const;

    CnuboApp& app_;
    QMdiArea* area_;
    QHash<int, QAction*> actions_;
    QList<QMenu*> menus_;
    QToolBar* toolBar_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* zoom_ = nullptr;
    QAction* zoomSeparator_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* windowListSeparator_ = nullptr;
    // One item per open window; kept (hidden when unused) so that an item is never deleted while it triggers.
    QList<QAction*> windowItems_;
};

} // namespace nubo
