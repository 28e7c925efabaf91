#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QMdiArea;
class QPrinter;

namespace nubo {

class CChildFrame;
class CnuboDoc;
class CnuboView;
class RecentFileList;

// Owns the open documents and makes their windows: each view in a child frame of the main frame's MDI area. A
// document lives until its last view is closed; closing never asks to save.
class DocumentManager : public QObject {
    Q_OBJECT
public:
    DocumentManager(QMdiArea* area, RecentFileList& recentFiles);
    ~DocumentManager() override;

    // File New: an empty document titled "nubo" and a number, with one view.
    CnuboDoc* newDocument();

    // File Open: reads the picture into a new document with one view, or activates the document that already
    // holds that file. Returns none (after the error box) when the picture cannot be read.
    CnuboDoc* openDocumentFile(const QString& path);

    // An empty document with the given title and one view, for commands that fill a result document.
    CnuboDoc* createDocument(const QString& title);

    // Window > New Window: one more view of the document.
    CnuboView* addView(CnuboDoc* document);

    // Closes every window of the document, which then ends.
    void closeDocument(CnuboDoc* document);
    void closeAll();

    QList<CnuboDoc*> documents() const { return documents_; }
    CnuboView* activeView() const;
    CnuboDoc* activeDocument() const;
    QMdiArea* mdiArea() const { return area_; }

    void noteRecentFile(const QString& path);
    RecentFileList& recentFiles() { return recentFiles_; }

    // The printer that Print Setup configures and Print and Print Preview use.
    QPrinter& printer();

signals:
    // A document came or went, or its title or settings changed.
    void documentsChanged();
    // The message pane's text from the view under the pointer; empty for idle.
    void statusMessage(const QString& text);

private:
    CnuboDoc* makeDocument();
    void forget(CnuboDoc* document);
    void updateFrameTitles(CnuboDoc* document);

    QMdiArea* area_;
    RecentFileList& recentFiles_;
    QList<CnuboDoc*> documents_;
    int untitledCount_ = 0;
    std::unique_ptr<QPrinter> printer_;
    bool closingAll_ = false;
};

} // namespace nubo
