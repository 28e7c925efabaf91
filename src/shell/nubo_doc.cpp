#include "shell/nubo_doc.h"

#include "shell/child_frame.h"
#include "shell/coder_settings_dialog.h"
#include "shell/command_ids.h"
#include "shell/document_coding.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_view.h"
#include "shell/picture_files.h"
#include "shell/region_edit_command.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QUndoStack>

#include <algorithm>
#include <cstdlib>

namespace nubo {

namespace {

const QString kAllFilesFilter = QStringLiteral("All Files (*.*)");

// "name-decoded.bmp" beside the file, numbered on ("name-decoded-2.bmp", ...) past names already taken.
QString decodedPictureName(const QString& path)
{
    const QFileInfo info(path);
    const QString stem = info.path() + QStringLiteral("/") + info.completeBaseName() + QStringLiteral("-decoded");
    QString name = stem + QStringLiteral(".bmp");
    for (int n = 2; QFileInfo::exists(name) && n < 1000; ++n)
        name = stem + QStringLiteral("-%1.bmp").arg(n);
    return name;
}

} // namespace

CnuboDoc::CnuboDoc(DocumentManager& manager) : manager_(manager), undoStack_(new QUndoStack(this))
{
    data_.setRefreshViews([this] { refreshViews(); });
}

CnuboDoc::~CnuboDoc() { data_.setRefreshViews(nullptr); }

void CnuboDoc::setTitle(const QString& title)
{
    title_ = title;
    emit changed();
}

void CnuboDoc::setPathName(const QString& path)
{
    path_ = QFileInfo(path).absoluteFilePath();
    pathIsBitmap_ = isBitmapFile(path_);
    decodedPicture_ = false;
    setTitle(QFileInfo(path).fileName());
}

void CnuboDoc::pictureReplacedByDecoding()
{
    if (decodedPicture_)
        return;
    decodedPicture_ = true;
    setTitle(title_ + QStringLiteral(" (decoded)"));
}

bool CnuboDoc::onNewDocument()
{
    data_.image().clear();
    data_.regions().clear();
    return true;
}

bool CnuboDoc::onOpenDocument(const QString& path)
{
    if (const Status loaded = loadPicture(path, data_.image()); !loaded) {
        showError(kErrorCaption, kCannotOpenFile, QString::fromStdString(loaded.reason()));
        return false;
    }
    refreshViews();
    return true;
}

bool CnuboDoc::onSaveDocument(const QString& path)
{
    if (const Status saved = data_.image().writeBitmapFile(path.toStdString()); !saved) {
        showError(kErrorCaption, kCannotSaveFile, QString::fromStdString(saved.reason()));
        return false;
    }
    return true;
}

void CnuboDoc::refreshViews()
{
    for (CnuboView* view : views_) {
        view->pictureReplaced();
        view->update();
        view->fitFrame();
    }
    emit changed();
}

void CnuboDoc::recordEdit(const RegionState& before)
{
    RegionState after = captureRegions(data_);
    const RegionEdit edit = classifyEdit(before, after);
    if (edit != RegionEdit::None)
        undoStack_->push(new RegionEditCommand(*this, before, std::move(after), QString::fromStdString(editName(edit))));
    emit regionsEdited();
}

void CnuboDoc::restoreRegionState(const RegionState& state)
{
    restoreRegions(data_, state);
    for (CnuboView* view : views_)
        view->update();
    emit regionsEdited();
}

void CnuboDoc::pictureReplacedByDecode()
{
    undoStack_->clear();
    emit regionsEdited();
}

void CnuboDoc::addView(CnuboView* view)
{
    if (!views_.contains(view))
        views_.append(view);
}

void CnuboDoc::removeView(CnuboView* view)
{
    views_.removeAll(view);
    if (views_.isEmpty())
        emit lastViewRemoved(this);
    else
        emit changed(); // the remaining frames' titles lose or renumber their ":n"
}

bool CnuboDoc::saveAs(const QString& path)
{
    if (!onSaveDocument(path))
        return false;
    setPathName(path);
    manager_.noteRecentFile(path_);
    return true;
}

bool CnuboDoc::save()
{
    if (path_.isEmpty() || !pathIsBitmap_ || decodedPicture_)
        return saveWithDialog();
    return onSaveDocument(path_);
}

bool CnuboDoc::saveWithDialog()
{
    QString proposal = path_.isEmpty() ? title_ : path_;
    if (!path_.isEmpty() && decodedPicture_) {
        proposal = decodedPictureName(path_);
    } else if (!path_.isEmpty() && !pathIsBitmap_) {
        const QFileInfo info(path_);
        proposal = info.path() + QStringLiteral("/") + info.completeBaseName() + QStringLiteral(".bmp");
    }
    const QString path = QFileDialog::getSaveFileName(messageBoxOwner(), QStringLiteral("Save As"), proposal,
                                                      kAllFilesFilter);
    return !path.isEmpty() && saveAs(path);
}

void CnuboDoc::setDescriptionMode(DescriptionMode mode)
{
    data_.setDescriptionMode(mode);
    refreshViews();
}

void CnuboDoc::editCoderSettings()
{
    CCoderSettingsDialog dialog(messageBoxOwner());
    dialog.setStages(data_.waveletStages());
    dialog.setPredictiveSmallRegions(data_.smallRegionKind() == CoderKind::Predictive);
    if (dialog.exec() == QDialog::Accepted) {
        data_.setWaveletStages(dialog.stages());
        data_.setSmallRegionKind(dialog.predictiveSmallRegions() ? CoderKind::Predictive : CoderKind::Arithmetic);
    }
}

bool CnuboDoc::commandState(int id, CommandState& state) const
{
    const DescriptionMode mode = data_.descriptionMode();
    switch (id) {
    case cmd::FileSave:
    case cmd::FileSaveAs:
    case cmd::FileClose:
    case cmd::CoderSettings:
    case cmd::EncodeToFile:
    case cmd::DecodeFromFile:
    case cmd::TestRoi:
    case cmd::TestRoiDecodeOnly:
    case cmd::CompareWith:
        state = {};
        return true;
    case cmd::DescriptionsHidden:
        state = {true, mode == DescriptionMode::Hidden};
        return true;
    case cmd::DescriptionsShort:
        state = {true, mode == DescriptionMode::Short};
        return true;
    case cmd::DescriptionsFull:
        state = {true, mode == DescriptionMode::Full};
        return true;
    case cmd::DescriptionsBackground:
        state = {true, data_.opaqueLabels()};
        return true;
    case cmd::EditUndo:
        state = {undoStack_->canUndo(), std::nullopt};
        return true;
    case cmd::EditRedo:
        state = {undoStack_->canRedo(), std::nullopt};
        return true;
    default:
        return false;
    }
}

bool CnuboDoc::onCommand(int id)
{
    switch (id) {
    case cmd::EditUndo:
    case cmd::EditRedo:
        // A drag in progress ends first, so that no band comes back on top of the restored regions.
        for (CnuboView* view : views_)
            view->abandonDrag();
        if (id == cmd::EditUndo)
            undoStack_->undo();
        else
            undoStack_->redo();
        return true;
    case cmd::FileSave:
        save();
        return true;
    case cmd::FileSaveAs:
        saveWithDialog();
        return true;
    case cmd::FileClose:
        manager_.closeDocument(this);
        return true;
    case cmd::DescriptionsHidden:
        setDescriptionMode(DescriptionMode::Hidden);
        return true;
    case cmd::DescriptionsShort:
        setDescriptionMode(DescriptionMode::Short);
        return true;
    case cmd::DescriptionsFull:
        setDescriptionMode(DescriptionMode::Full);
        return true;
    case cmd::DescriptionsBackground:
        data_.toggleOpaqueLabels();
        refreshViews();
        return true;
    case cmd::CoderSettings:
        editCoderSettings();
        return true;
    case cmd::EncodeToFile:
        encodeToFile(*this);
        return true;
    case cmd::DecodeFromFile:
        decodeFromFile(*this);
        return true;
    case cmd::TestRoi:
        testRoi(*this);
        return true;
    case cmd::TestRoiDecodeOnly:
        testRoiDecodeOnly(*this);
        return true;
    case cmd::CompareWith:
        compareWith(*this);
        return true;
    default:
        return false;
    }
}

} // namespace nubo
