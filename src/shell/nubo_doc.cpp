#include "shell/nubo_doc.h"

#include "shell/child_frame.h"
#include "shell/coder_settings_dialog.h"
#include "shell/command_ids.h"
#include "shell/document_coding.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_view.h"
#include "shell/picture_files.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

namespace nubo {

namespace {

constexpr int kMinViewWidth = 100;
constexpr int kMinViewHeight = 50;

const QString kAllFilesFilter = QStringLiteral("All Files (*.*)");

} // namespace

CnuboDoc::CnuboDoc(DocumentManager& manager) : manager_(manager)
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
    setTitle(QFileInfo(path).fileName());
}

bool CnuboDoc::onNewDocument()
{
    data_.image().clear();
    data_.regions().clear();
    return true;
}

bool CnuboDoc::onOpenDocument(const QString& path)
{
    if (!loadPicture(path, data_.image())) {
        showError(kErrorCaption, kCannotOpenFile);
        return false;
    }
    refreshViews();
    return true;
}

bool CnuboDoc::onSaveDocument(const QString& path)
{
    if (!data_.image().saveBitmap(path.toStdString())) {
        showError(kErrorCaption, kCannotSaveFile);
        return false;
    }
    return true;
}

void CnuboDoc::refreshViews()
{
    const RasterImage& picture = data_.image();
    const int w = std::max(picture.width(), kMinViewWidth);
    const int h = std::max(std::abs(picture.height()), kMinViewHeight);
    for (CnuboView* view : views_) {
        view->update();
        if (CChildFrame* frame = view->frame())
            frame->fitClientArea(view, w, h);
    }
    emit changed();
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
    if (path_.isEmpty() || !pathIsBitmap_)
        return saveWithDialog();
    return onSaveDocument(path_);
}

bool CnuboDoc::saveWithDialog()
{
    QString proposal = path_.isEmpty() ? title_ : path_;
    if (!path_.isEmpty() && !pathIsBitmap_) {
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
    if (dialog.exec() == QDialog::Accepted)
        data_.setWaveletStages(dialog.stages());
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
    default:
        return false;
    }
}

bool CnuboDoc::onCommand(int id)
{
    switch (id) {
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
