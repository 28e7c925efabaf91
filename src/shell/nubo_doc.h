#pragma once

#include "document/document_data.h"
#include "shell/command_target.h"

#include <QList>
#include <QObject>
#include <QString>

namespace nubo {

class CnuboView;
class DocumentManager;

// One open picture: the document data with the windows' side of it (title, file, views) and the document's own
// commands: saving, closing, the description modes and the coder settings. The coding commands of the Options menu
// are handled here too and run through document_coding.h.
class CnuboDoc : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit CnuboDoc(DocumentManager& manager);
    ~CnuboDoc() override;

    DocumentData& data() { return data_; }
    const DocumentData& data() const { return data_; }
    DocumentManager& manager() const { return manager_; }

    QString title() const { return title_; }
    void setTitle(const QString& title);
    // The file the document was read from or last saved to; empty for a new document.
    QString pathName() const { return path_; }
    // Sets the file and takes the title from its name.
    void setPathName(const QString& path);

    // A new document holds an empty picture and no regions.
    bool onNewDocument();
    // Reads the picture; on failure shows "Nie można otworzyć pliku" and returns false.
    bool onOpenDocument(const QString& path);
    // Writes the picture alone as a 24-bit bitmap; on failure shows "Nie można zapisać pliku" and returns false.
    bool onSaveDocument(const QString& path);

    // Repaints every view and sizes each view's frame so that the view's client area is the picture, at least
    // 100 x 50 pixels.
    void refreshViews();

    const QList<CnuboView*>& views() const { return views_; }
    void addView(CnuboView* view);
    void removeView(CnuboView* view);

    // Save As to a chosen file: writes, then takes the file as the document's own and lists it as recent.
    bool saveAs(const QString& path);

    bool commandState(int id, CommandState& state) const override;
    bool onCommand(int id) override;

signals:
    // The title, the description settings or the picture changed: frame titles and menus follow.
    void changed();
    void lastViewRemoved(nubo::CnuboDoc* document);

private:
    bool save();
    bool saveWithDialog();
    void setDescriptionMode(DescriptionMode mode);
    void editCoderSettings();

    DocumentManager& manager_;
    DocumentData data_;
    QString title_;
    QString path_;
    // A picture read through Qt's readers is saved under a new bitmap name, never over its source.
    bool pathIsBitmap_ = false;
    QList<CnuboView*> views_;
};

} // namespace nubo
