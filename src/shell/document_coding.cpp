#include "shell/document_coding.h"

#include "common/atomic_file.h"
#include "common/diagnostics.h"
#include "roi/coding_commands.h"
#include "roi/stopwatch.h"
#include "shell/coding_worker.h"
#include "shell/compare_dialog.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/select_regions_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <fstream>

namespace nubo {

namespace {

const QString kRoiFilter = QStringLiteral("Roi (*.roi)");
const QString kAllFilter = QStringLiteral("Wszystkie (*.*)");
const QString kDamageCaption = QStringLiteral("Warning");

QString fromText(const std::string& text) { return QString::fromStdString(text); }

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// "Encoding failed." or "Decoding failed.", with the coder's reason on a line of its own when there is one.
QString failure(const char* what, const std::string& reason)
{
    QString text = QString::fromLatin1(what);
    if (!reason.empty())
        text += QStringLiteral("\n") + fromText(reason);
    return text;
}

void showFailure(const char* what, const std::string& reason = {})
{
    showError(QString::fromLatin1(text::kFailureCaption), failure(what, reason));
}

void showStatistic(const std::string& statistic)
{
    showMessage(QMessageBox::Information, QString::fromLatin1(text::kStatisticCaption),
                fromText(withPlainLineBreaks(statistic)));
}

// Process-wide, so that every decoded document of the session has its own number.
int nextDecodedNumber()
{
    static int decodedDocuments = 0;
    return ++decodedDocuments;
}

// Asks for a .roi file. Qt's own dialog rather than the desktop's, so that it behaves alike everywhere (a new name
// may be typed when saving, replacing a file is confirmed) and can be answered like any other modal widget.
QString askRoiFileName(QFileDialog::AcceptMode mode)
{
    const bool saving = mode == QFileDialog::AcceptSave;
    QFileDialog dialog(messageBoxOwner(), saving ? QStringLiteral("Save As") : QStringLiteral("Open"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(saving ? QStringList{kRoiFilter} : QStringList{kRoiFilter, kAllFilter});
    dialog.selectNameFilter(kRoiFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// The region selection dialog for a stream's records; false when the user cancelled it.
bool chooseRecords(const StreamHeader& header, RegionSelection& selection)
{
    selection.initRegions(header.regionCount());
    CSelectRegionsDialog dialog(selection, messageBoxOwner());
    return dialog.exec() == QDialog::Accepted;
}

// Shown after the picture, so the user sees what was decoded before the damage.
void warnIfStopped(const DecodeOutcome& outcome)
{
    if (outcome.complete)
        return;
    showMessage(QMessageBox::Warning, kDamageCaption,
                QStringLiteral("The stream is damaged: decoding stopped early and the picture shows only what was "
                               "decoded before the damage.\n")
                    + fromText(outcome.reason));
}

// An encoding failed when the worker did not end normally or the encoder refused; the reason is shown instead of
// a statistic.
bool encodingSucceeded(int waitResult, const EncodeOutcome& outcome)
{
    if (waitResult != 1) {
        showFailure(text::kEncodingFailed);
        return false;
    }
    if (!outcome.ok) {
        showFailure(text::kEncodingFailed, outcome.reason);
        return false;
    }
    return true;
}

// A decode gave nothing to show when the worker did not end normally or the stream's header was refused.
bool decodingGavePicture(int waitResult, const DecodeOutcome& outcome)
{
    if (waitResult != 1) {
        showFailure(text::kDecodingFailed);
        return false;
    }
    if (!outcome.headerRead) {
        showFailure(text::kDecodingFailed, outcome.reason);
        return false;
    }
    return true;
}

} // namespace

void testRoi(CnuboDoc& document)
{
    Stopwatch stopwatch;
    const DocumentData& data = document.data();
    EncodedStream encoded;
    stopwatch.reset();
    stopwatch.start();
    const int result = runWithWaitDialog(QString::fromLatin1(text::kEncodingWait),
                                         [&] { encoded = encodeDocument(data, discardSink()); });
    stopwatch.stop();
    if (!encodingSucceeded(result, encoded.outcome))
        return;

    const std::uint64_t size = encoded.bytes.size();
    document.data().replaceLastEncoding(std::move(encoded.bytes));
    showStatistic(encodingStatistic(stopwatch.seconds(), size, data.image().width(), data.image().height()));
    testRoiDecodeOnly(document);
}

void testRoiDecodeOnly(CnuboDoc& document)
{
    Stopwatch stopwatch;
    const std::string* stream = document.data().lastEncoding();
    if (!stream) {
        showMessage(QMessageBox::NoIcon, QString::fromLatin1(text::kErrorCaption),
                    QString::fromLatin1(text::kNotEncoded));
        return;
    }
    StreamHeader header;
    std::string reason;
    if (!readStreamHeader(*stream, header, &reason)) {
        showFailure(text::kDecodingFailed, reason);
        return;
    }
    RegionSelection selection;
    if (!chooseRecords(header, selection))
        return;

    DecodedPicture picture;
    stopwatch.reset();
    stopwatch.start();
    const int result = runWithWaitDialog(QString::fromLatin1(text::kDecodingWait),
                                         [&] { picture = decodeDocument(*stream, selection); });
    stopwatch.stop();
    if (!decodingGavePicture(result, picture.outcome))
        return;

    // The new document gets its picture only now, on this thread, so it is never painted half-decoded.
    const DecodeOutcome outcome = picture.outcome;
    CnuboDoc* decoded =
        document.manager().createDocument(fromText(formatText(text::kDecodedTitle, nextDecodedNumber())));
    const TestDecodeResult measured =
        finishTestDecode(document.data(), decoded->data(), std::move(picture), selection, stopwatch.seconds());
    decoded->refreshViews();
    showStatistic(measured.statistic);
    warnIfStopped(outcome);
}

void encodeToFile(CnuboDoc& document)
{
    Stopwatch stopwatch;
    const QString path = askRoiFileName(QFileDialog::AcceptSave);
    if (path.isEmpty())
        return;

    const DocumentData& data = document.data();
    const std::string target = localPath(path);
    EncodedStream encoded;
    bool written = false;
    std::string writeReason;
    stopwatch.reset();
    stopwatch.start();
    // The stream is made in memory and written in one piece, so a failure never leaves a half-written file.
    const int result = runWithWaitDialog(QString::fromLatin1(text::kEncodingWait), [&] {
        encoded = encodeDocument(data, discardSink());
        if (encoded.outcome.ok)
            written = writeFileAtomically(target, encoded.bytes, &writeReason);
    });
    stopwatch.stop();
    if (!encodingSucceeded(result, encoded.outcome))
        return;
    if (!written) {
        showFailure(text::kEncodingFailed, writeReason);
        return;
    }

    document.refreshViews();
    showStatistic(encodingStatistic(stopwatch.seconds(), encoded.bytes.size(), data.image().width(),
                                    data.image().height()));
}

void decodeFromFile(CnuboDoc& document)
{
    const QString path = askRoiFileName(QFileDialog::AcceptOpen);
    if (path.isEmpty())
        return;

    std::ifstream file(localPath(path), std::ios::in | std::ios::binary);
    if (!file) {
        showFailure(text::kDecodingFailed, "cannot open " + localPath(path));
        return;
    }
    StreamHeader header;
    std::string reason;
    if (!peekStreamHeader(file, header, &reason)) {
        showFailure(text::kDecodingFailed, reason);
        return;
    }
    RegionSelection selection;
    if (!chooseRecords(header, selection))
        return;

    DecodedPicture picture;
    const int result = runWithWaitDialog(QString::fromLatin1(text::kDecodingWait),
                                         [&] { picture = decodeDocument(file, selection); });
    file.close();
    if (!decodingGavePicture(result, picture.outcome))
        return;

    // The document takes the decoded picture only after the worker has ended, so no repaint sees it half-built.
    const DecodeOutcome outcome = picture.outcome;
    finishFileDecode(document.data(), std::move(picture));
    document.refreshViews();
    warnIfStopped(outcome);
}

void compareWith(CnuboDoc& document)
{
    CCompareDialog dialog(messageBoxOwner());
    dialog.setSourceTitle(document.title());
    const QList<CnuboDoc*> open = document.manager().documents();
    for (CnuboDoc* other : open)
        if (other != &document)
            dialog.addEntry(other->title(), other);
    const QString errorCaption = QString::fromLatin1(text::kErrorCaption);
    if (dialog.entries().empty()) {
        showMessage(QMessageBox::Information, errorCaption, QString::fromLatin1(text::kOnlyOneImage));
        return;
    }
    if (dialog.exec() != QDialog::Accepted || !dialog.selectedDocument())
        return;
    // The dialog is modal, but a document could still have gone while it was up; compare only with one that is
    // still open.
    CnuboDoc* chosen = dialog.selectedDocument();
    if (!document.manager().documents().contains(chosen))
        return;

    const Comparison comparison = compareDocuments(document.data(), chosen->data());
    if (!comparison.ok) {
        showMessage(QMessageBox::Information, errorCaption, fromText(comparison.error));
        return;
    }
    showMessage(QMessageBox::Information, QString::fromLatin1(text::kComparisonCaption),
                fromText(withPlainLineBreaks(comparison.statistic)));
}

} // namespace nubo
