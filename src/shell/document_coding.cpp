#include "shell/document_coding.h"

#include "common/atomic_file.h"
#include "common/diagnostics.h"
#include "commands/coding_commands.h"
#include "commands/timed_run.h"
#include "shell/coding_worker.h"
#include "shell/compare_dialog.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/select_regions_dialog.h"
#include "shell/session_results.h"
#include "roi/picture_metrics.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <fstream>
#include <optional>

namespace nubo {

namespace {

const QString kRoiFilter = QStringLiteral("Roi (*.roi)");
const QString kAllFilter = QStringLiteral("Wszystkie (*.*)");
const QString kWarningCaption = QStringLiteral("Warning");

QString fromText(const std::string& text) { return QString::fromStdString(text); }

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// "Encoding failed." or "Decoding failed.", with the reason on a line of its own.
void showFailure(const char* what, const Status& status)
{
    QString text = QString::fromLatin1(what);
    if (!status.reason().empty())
        text += QStringLiteral("\n") + fromText(status.reason());
    showError(QString::fromLatin1(text::kFailureCaption), text);
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
    if (outcome.complete())
        return;
    showMessage(QMessageBox::Warning, kWarningCaption,
                QStringLiteral("The stream is damaged: decoding stopped early and the picture shows only what was "
                               "decoded before the damage.\n")
                    + fromText(outcome.reason()));
}

// Shown after the encoding statistic: the records whose budgets left them coded as nothing but their mean.
void warnIfStarved(const EncodeReport& report)
{
    QStringList lines;
    for (const std::string& warning : starvedRecordWarnings(report))
        lines.append(fromText(warning));
    if (!lines.isEmpty())
        showMessage(QMessageBox::Warning, kWarningCaption, lines.join(QLatin1Char('\n')));
}

// An encoding failed when the worker did not end normally or the encoder refused; the reason is shown instead of
// a statistic.
bool encodingSucceeded(const Status& worker, const StatusOr<EncodedStream>& encoded)
{
    if (!worker) {
        showFailure(text::kEncodingFailed, worker);
        return false;
    }
    if (!encoded) {
        showFailure(text::kEncodingFailed, encoded.status());
        return false;
    }
    return true;
}

// A decode gave nothing to show when the worker did not end normally or the stream's header was refused.
bool decodingGavePicture(const Status& worker, const DecodeOutcome& outcome)
{
    if (!worker) {
        showFailure(text::kDecodingFailed, worker);
        return false;
    }
    if (!outcome.headerRead) {
        showFailure(text::kDecodingFailed, outcome.status);
        return false;
    }
    return true;
}

// The worker's part of a coding command behind the wait dialog, timed from just before the dialog opens to the
// moment the worker has ended.
Status timedWithWaitDialog(double& seconds, const char* message, const std::function<void()>& work)
{
    Status worker;
    seconds = secondsToRun([&] { worker = runWithWaitDialog(QString::fromLatin1(message), work); });
    return worker;
}

// What an encoding gave, for the results log.
struct EncodeFigures {
    double seconds = 0.0;
    std::uint64_t bytes = 0;
    int records = 0;
};

// A results log row of a command run on a document, with the stream's figures when there is a stream.
ResultRecord resultRow(const char* command, const CnuboDoc& document, const QString& result)
{
    ResultRecord row;
    row.command = command;
    row.document = document.title().toStdString();
    row.result = result.toStdString();
    return row;
}

void addStreamFigures(ResultRecord& row, std::uint64_t bytes, int width, int height)
{
    row.bytes = bytes;
    row.bitsPerPixel = bitRate(bytes, width, height);
}

void addEncodeFigures(ResultRecord& row, const EncodeFigures& encoded, const RasterImage& picture)
{
    addStreamFigures(row, encoded.bytes, picture.width(), picture.height());
    row.recordsInStream = encoded.records;
    row.encodeSeconds = encoded.seconds;
}

// The MSE and SNR the statistic box shows, with the PSNR and SSIM of the same pixels.
void addQualityFigures(ResultRecord& row, const QualityMeasure& measure, const StandardMetrics& metrics)
{
    if (measure.measured()) {
        row.mse = measure.mse();
        row.snr = measure.snr();
    }
    if (metrics.measured)
        row.psnr = metrics.psnr;
    if (metrics.ssimMeasured)
        row.ssim = metrics.ssim;
}

void logResult(ResultRecord row) { SessionResults::instance().add(std::move(row)); }

// "Test ROI (only decode)", and the decoding half of "Test ROI" (which brings the figures of its encoding for one
// row of the log holding both halves).
void decodeKeptStream(CnuboDoc& document, const std::optional<EncodeFigures>& encoded)
{
    const char* command = encoded ? "Test ROI" : "Test ROI (only decode)";
    // An encoding whose decoding never came is still a statistic of the session.
    const auto logEncodingOnly = [&] {
        if (!encoded)
            return;
        ResultRecord row = resultRow(command, document, QString());
        addEncodeFigures(row, *encoded, document.data().image());
        logResult(std::move(row));
    };
    double seconds = 0.0;
    const std::string* stream = document.data().lastEncoding();
    if (!stream) {
        showMessage(QMessageBox::NoIcon, QString::fromLatin1(text::kErrorCaption),
                    QString::fromLatin1(text::kNotEncoded));
        return;
    }
    const StatusOr<StreamHeader> header = readStreamHeader(*stream);
    if (!header) {
        showFailure(text::kDecodingFailed, header.status());
        logEncodingOnly();
        return;
    }
    RegionSelection selection;
    if (!chooseRecords(*header, selection)) {
        logEncodingOnly();
        return;
    }

    DecodedPicture picture;
    const Status worker = timedWithWaitDialog(seconds, text::kDecodingWait,
                                              [&] { picture = decodeDocument(*stream, selection); });
    if (!decodingGavePicture(worker, picture.outcome)) {
        logEncodingOnly();
        return;
    }

    // The new document gets its picture only now, on this thread, so it is never painted half-decoded.
    const DecodeOutcome outcome = picture.outcome;
    // The decoded regions, which the measure covers even when the new document does not keep their outlines.
    const RegionSet decodedRegions = picture.regions;
    const int decodedRecords = picture.regions.count() + (picture.backgroundPresent ? 1 : 0);
    CnuboDoc* decoded =
        document.manager().createDocument(fromText(formatText(text::kDecodedTitle, nextDecodedNumber())));
    const TestDecodeResult measured =
        finishTestDecode(document.data(), decoded->data(), std::move(picture), selection, seconds);
    decoded->refreshViews();

    const RasterImage& source = document.data().image();
    ResultRecord row = resultRow(command, document, decoded->title());
    if (encoded)
        addEncodeFigures(row, *encoded, source);
    else
        addStreamFigures(row, stream->size(), source.width(), source.height());
    row.recordsInStream = header->recordCount;
    row.recordsDecoded = decodedRecords;
    row.decodeSeconds = seconds;
    addQualityFigures(row, measured.measure,
                      measureStandardMetrics(source, decoded->data().image(), measured.measure.whole(),
                                             &decodedRegions));
    logResult(std::move(row));

    showStatistic(measured.statistic);
    warnIfStopped(outcome);
}

} // namespace

void testRoi(CnuboDoc& document)
{
    double seconds = 0.0;
    const DocumentData& data = document.data();
    StatusOr<EncodedStream> encoded = failure("not encoded");
    const Status worker = timedWithWaitDialog(seconds, text::kEncodingWait,
                                              [&] { encoded = encodeDocument(data, discardSink()); });
    if (!encodingSucceeded(worker, encoded))
        return;

    const std::uint64_t size = encoded->bytes.size();
    const EncodeFigures figures{seconds, size, data.regions().count() + 1};
    document.data().replaceLastEncoding(std::move(encoded->bytes));
    showStatistic(encodingStatistic(seconds, size, data.image().width(), data.image().height()));
    warnIfStarved(encoded->report);
    decodeKeptStream(document, figures);
}

void testRoiDecodeOnly(CnuboDoc& document) { decodeKeptStream(document, std::nullopt); }

void encodeToFile(CnuboDoc& document)
{
    double seconds = 0.0;
    const QString path = askRoiFileName(QFileDialog::AcceptSave);
    if (path.isEmpty())
        return;

    const DocumentData& data = document.data();
    const std::string target = localPath(path);
    StatusOr<EncodedStream> encoded = failure("not encoded");
    Status written;
    // The stream is made in memory and written in one piece, so a failure never leaves a half-written file.
    const Status worker = timedWithWaitDialog(seconds, text::kEncodingWait, [&] {
        encoded = encodeDocument(data, discardSink());
        if (encoded)
            written = writeFileAtomically(target, encoded->bytes);
    });
    if (!encodingSucceeded(worker, encoded))
        return;
    if (!written) {
        showFailure(text::kEncodingFailed, written);
        return;
    }

    document.refreshViews();
    ResultRecord row = resultRow("Encode img to file", document, QFileInfo(path).fileName());
    addEncodeFigures(row, {seconds, encoded->bytes.size(), data.regions().count() + 1}, data.image());
    logResult(std::move(row));
    showStatistic(encodingStatistic(seconds, encoded->bytes.size(), data.image().width(),
                                    data.image().height()));
    warnIfStarved(encoded->report);
}

void decodeFromFile(CnuboDoc& document)
{
    const QString path = askRoiFileName(QFileDialog::AcceptOpen);
    if (path.isEmpty())
        return;

    std::ifstream file(localPath(path), std::ios::in | std::ios::binary);
    if (!file) {
        showFailure(text::kDecodingFailed, failure("cannot open " + localPath(path)));
        return;
    }
    StreamHeader header;
    if (const Status peeked = peekStreamHeader(file, header); !peeked) {
        showFailure(text::kDecodingFailed, peeked);
        return;
    }
    RegionSelection selection;
    if (!chooseRecords(header, selection))
        return;

    DecodedPicture picture;
    // Timed for the results log only: this command shows no statistic.
    double seconds = 0.0;
    const Status worker =
        timedWithWaitDialog(seconds, text::kDecodingWait, [&] { picture = decodeDocument(file, selection); });
    file.close();
    if (!decodingGavePicture(worker, picture.outcome))
        return;
    ResultRecord row = resultRow("Decode img from file", document, QFileInfo(path).fileName());
    addStreamFigures(row, static_cast<std::uint64_t>(QFileInfo(path).size()), header.width, header.height);
    row.recordsInStream = header.recordCount;
    row.recordsDecoded = picture.regions.count() + (picture.backgroundPresent ? 1 : 0);
    row.decodeSeconds = seconds;

    // The document takes the decoded picture only after the worker has ended, so no repaint sees it half-built.
    const DecodeOutcome outcome = picture.outcome;
    finishFileDecode(document.data(), std::move(picture));
    document.pictureReplacedByDecoding();
    document.pictureReplacedByDecode();
    document.refreshViews();
    logResult(std::move(row));
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

    const StatusOr<Comparison> comparison = compareDocuments(document.data(), chosen->data());
    if (!comparison) {
        showMessage(QMessageBox::Information, errorCaption, fromText(comparison.reason()));
        return;
    }
    ResultRecord row = resultRow("Compare with ...", document, chosen->title());
    addQualityFigures(row, comparison->measure,
                      measureStandardMetrics(document.data().image(), chosen->data().image(),
                                             comparison->measure.whole(), &document.data().regions()));
    logResult(std::move(row));
    showMessage(QMessageBox::Information, QString::fromLatin1(text::kComparisonCaption),
                fromText(withPlainLineBreaks(comparison->statistic)));
}

} // namespace nubo
