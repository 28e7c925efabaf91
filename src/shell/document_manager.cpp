#include "shell/document_manager.h"

#include "shell/child_frame.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/recent_files.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QPrinter>

#include <algorithm>

namespace nubo {

DocumentManager::DocumentManager(QMdiArea* area, RecentFileList& recentFiles)
    : area_(area), recentFiles_(recentFiles)
{
}

DocumentManager::~DocumentManager() { closeAll(); }

CnuboDoc* DocumentManager::makeDocument()
{
    auto* document = new CnuboDoc(*this);
    documents_.append(document);
    connect(document, &CnuboDoc::changed, this, [this, document] {
        updateFrameTitles(document);
        emit documentsChanged();
    });
    connect(document, &CnuboDoc::lastViewRemoved, this, &DocumentManager::forget);
    // Undo and Redo follow the history.
    connect(document, &CnuboDoc::regionsEdited, this, &DocumentManager::documentsChanged);
    return document;
}

void DocumentManager::forget(CnuboDoc* document)
{
    if (closingAll_ || !documents_.removeOne(document))
        return;
    // The last view's destructor is still on the stack: let it finish before the document goes.
    document->deleteLater();
    emit documentsChanged();
}

CnuboDoc* DocumentManager::newDocument()
{
    return createDocument(QStringLiteral("nubo%1").arg(++untitledCount_));
}

CnuboDoc* DocumentManager::createDocument(const QString& title)
{
    CnuboDoc* document = makeDocument();
    document->onNewDocument();
    document->setTitle(title);
    addView(document);
    return document;
}

CnuboDoc* DocumentManager::openDocumentFile(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    for (CnuboDoc* open : documents_) {
        if (!open->pathName().isEmpty() && open->pathName() == full && !open->views().isEmpty()) {
            area_->setActiveSubWindow(open->views().first()->frame());
            return open;
        }
    }

    CnuboDoc* document = makeDocument();
    if (!document->onOpenDocument(path)) {
        documents_.removeOne(document);
        delete document;
        recentFiles_.remove(path);
        emit documentsChanged();
        return nullptr;
    }
    document->setPathName(path);
    addView(document);
    noteRecentFile(full);
    return document;
}

CnuboView* DocumentManager::addView(CnuboDoc* document)
{
    auto* frame = new CChildFrame;
    auto* view = new CnuboView(document, frame);
    frame->setView(view);
    frame->setWindowIcon(area_->window()->windowIcon());
    connect(view, &CnuboView::statusMessage, this, &DocumentManager::statusMessage);
    connect(view, &CnuboView::zoomChanged, this, &DocumentManager::documentsChanged);
    area_->addSubWindow(frame);
    frame->show();
    area_->setActiveSubWindow(frame);

    const RasterImage& picture = document->data().image();
    if (picture.isValid())
        frame->fitClientArea(std::max(picture.width(), 100), std::max(picture.height(), 50));
    else
        frame->fitClientArea(320, 240);
    updateFrameTitles(document);
    emit documentsChanged();
    return view;
}

void DocumentManager::updateFrameTitles(CnuboDoc* document)
{
    const QList<CnuboView*>& views = document->views();
    for (int i = 0; i < views.size(); ++i) {
        if (CChildFrame* frame = views[i]->frame()) {
            frame->setWindowTitle(views.size() == 1 ? document->title()
                                                    : QStringLiteral("%1:%2").arg(document->title()).arg(i + 1));
        }
    }
}

void DocumentManager::closeDocument(CnuboDoc* document)
{
    const QList<CnuboView*> views = document->views();
    for (CnuboView* view : views)
        if (CChildFrame* frame = view->frame())
            frame->close();
}

void DocumentManager::closeAll()
{
    closingAll_ = true;
    // Views end before their documents.
    for (CnuboDoc* document : documents_) {
        const QList<CnuboView*> views = document->views();
        for (CnuboView* view : views) {
            if (CChildFrame* frame = view->frame())
                delete frame;
            else
                delete view;
        }
    }
    qDeleteAll(documents_);
    documents_.clear();
    closingAll_ = false;
}

CnuboView* DocumentManager::activeView() const
{
    QMdiSubWindow* current = area_->currentSubWindow();
    if (!current)
        current = area_->activeSubWindow();
    auto* frame = qobject_cast<CChildFrame*>(current);
    return frame ? frame->view() : nullptr;
}

CnuboDoc* DocumentManager::activeDocument() const
{
    CnuboView* view = activeView();
    return view ? view->document() : nullptr;
}

void DocumentManager::noteRecentFile(const QString& path) { recentFiles_.add(path); }

QPrinter& DocumentManager::printer()
{
    // One printer pixel per picture pixel: at screen resolution a page shows the picture at its screen size.
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    return *printer_;
}

} // namespace nubo
