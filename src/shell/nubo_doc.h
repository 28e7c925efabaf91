#pragma once

#include "document/document_data.h"
#include "shell/command_target.h"
#include "workbench/region_history.h"

#include <QList>
#include <QObject>
#include <QString>

class QUndoStack;

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

    // A decoding replaced the picture: it is no longer the file's. Until it is saved under a name, Save asks for
    // one (suggesting a new name beside the file) and the title says "(decoded)".
    void pictureReplacedByDecoding();
    bool pictureIsFiles() const { return !decodedPicture_; }

    // Save As to a chosen file: writes, then takes the file as the document's own and lists it as recent.
    bool saveAs(const QString& path);

    // The history of region edits; a decode that replaces the picture empties it.
    QUndoStack* undoStack() const { return undoStack_; }
    // Puts the edit made since `before` on the history (nothing when only the selection changed) and tells the
    // region inspector.
    void recordEdit(const RegionState& before);
    // Undo and redo: puts a state back and repaints every view.
    void restoreRegionState(const RegionState& state);
    // The picture was replaced by a decode: its regions are new, the history ends.
    void pictureReplacedByDecode();

    bool commandState(int id, CommandState& state) const override;
    bool onCommand(int id) override;

signals:
    // The regions or the background settings changed through an edit, an undo or a redo.
    void regionsEdited();
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
    // The picture came from a decoding, not from the file at path_.
    bool decodedPicture_ = false;
    QList<CnuboView*> views_;
    QUndoStack* undoStack_;
};

} // namespace nubo
