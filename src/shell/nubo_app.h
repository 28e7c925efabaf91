#pragma once

#include "shell/command_target.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace nubo {

class CMainFrame;
class CnuboDoc;
class DocumentManager;
class RecentFileList;

// The application: settings, the main frame, the documents, the command line, and the application's own
// commands (New, Open, recent files, Print Setup, About, Exit). A QApplication must exist first.
class CnuboApp : public QObject, public CommandTarget {
    Q_OBJECT
public:
    CnuboApp();
    ~CnuboApp() override;

    // Creates and shows the main frame, then processes the command line: no argument opens a new empty
    // document, a file argument opens that picture. False when start-up fails (the picture could not be read).
    bool initInstance(const QStringList& arguments);

    CMainFrame* mainFrame() const { return frame_.get(); }
    DocumentManager* documents() const { return documents_.get(); }
    RecentFileList& recentFiles() { return *recentFiles_; }

    // Opens a picture as a document (or activates it when already open); none on failure.
    CnuboDoc* openDocumentFile(const QString& path);

    bool commandState(int id, CommandState& state) const override;
    bool onCommand(int id) override;

private:
    void openWithDialog();
    void printSetup();
    void about();

    std::unique_ptr<RecentFileList> recentFiles_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<DocumentManager> documents_;
};

} // namespace nubo
