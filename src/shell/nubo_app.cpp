#include "shell/nubo_app.h"

#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/message_boxes.h"
#include "shell/recent_files.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QScreen>

#include <clocale>

namespace nubo {

CnuboApp::CnuboApp()
{
    // QApplication adopts the user's locale, which would make the statistic texts' "%.3f" print decimal commas
    // under some languages; the program's number texts are always written with a point.
    std::setlocale(LC_NUMERIC, "C");
    // Settings and the recent-file list live under these names.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("nubo"));
    recentFiles_ = std::make_unique<RecentFileList>();
}

CnuboApp::~CnuboApp()
{
    // Views and documents end before the frame that holds their windows.
    documents_.reset();
    frame_.reset();
}

bool CnuboApp::initInstance(const QStringList& arguments)
{
    frame_ = std::make_unique<CMainFrame>(*this);
    setMessageBoxOwner(frame_.get());
    documents_ = std::make_unique<DocumentManager>(frame_->mdiArea(), *recentFiles_);
    connect(documents_.get(), &DocumentManager::documentsChanged, frame_.get(), &CMainFrame::updateCommandUI);
    connect(documents_.get(), &DocumentManager::statusMessage, frame_.get(), &CMainFrame::setMessage);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        frame_->resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
    // The frame is shown first so that child frames can be sized to their pictures as they open.
    frame_->show();

    QString file;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) {
            file = argument;
            break;
        }
    }
    const bool started = file.isEmpty() ? documents_->newDocument() != nullptr : openDocumentFile(file) != nullptr;
    frame_->updateCommandUI();
    return started;
}

CnuboDoc* CnuboApp::openDocumentFile(const QString& path)
{
    CnuboDoc* document = documents_->openDocumentFile(path);
    frame_->updateCommandUI();
    return document;
}

void CnuboApp::openWithDialog()
{
    const QString path = QFileDialog::getOpenFileName(frame_.get(), QStringLiteral("Open"), QString(),
                                                      QStringLiteral("All Files (*.*)"));
    if (!path.isEmpty())
        openDocumentFile(path);
}

void CnuboApp::printSetup()
{
    QPageSetupDialog dialog(&documents_->printer(), frame_.get());
    dialog.exec();
}

void CnuboApp::about()
{
    CAboutDlg dialog(frame_.get());
    dialog.exec();
}

bool CnuboApp::commandState(int id, CommandState& state) const
{
    switch (id) {
    case cmd::FileNew:
    case cmd::FileOpen:
    case cmd::FilePrintSetup:
    case cmd::AppAbout:
    case cmd::AppExit:
        state = {};
        return true;
    default:
        if (id >= cmd::FileMruFirst && id < cmd::FileMruFirst + RecentFileList::kSize) {
            state = {id - cmd::FileMruFirst < recentFiles_->paths().size(), std::nullopt};
            return true;
        }
        return false;
    }
}

bool CnuboApp::onCommand(int id)
{
    switch (id) {
    case cmd::FileNew:
        documents_->newDocument();
        return true;
    case cmd::FileOpen:
        openWithDialog();
        return true;
    case cmd::FilePrintSetup:
        printSetup();
        return true;
    case cmd::AppAbout:
        about();
        return true;
    case cmd::AppExit:
        frame_->close();
        return true;
    default:
        if (id >= cmd::FileMruFirst && id < cmd::FileMruFirst + RecentFileList::kSize) {
            const int index = id - cmd::FileMruFirst;
            if (index < recentFiles_->paths().size())
                openDocumentFile(QString(recentFiles_->paths()[index])); // a copy: opening may edit the list
            return true;
        }
        return false;
    }
}

} // namespace nubo
