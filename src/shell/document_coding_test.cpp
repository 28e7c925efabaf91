#include "common/diagnostics.h"
#include "commands/coding_commands.h"
#include "roi/lossless_region_coder.h"
#include "roi/roi_stream_encoder.h"
#include "shell/coding_worker.h"
#include "shell/command_ids.h"
#include "shell/compare_dialog.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/select_regions_dialog.h"
#include "shell/shell_test_support.h"
#include "shell/wait_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>

namespace nubo {

namespace {

using test::BoxSeen;
using test::DialogScript;
using test::syntheticPicture;
using test::typeFileName;
using test::writePicture;

bool samePicture(const RasterImage& a, const RasterImage& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.size() == b.size()
        && std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.size())) == 0;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The seconds a statistic text reports, or -1.
double reportedSeconds(const QString& text)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(?:Encoding|Decoding) time: ([0-9]+\\.[0-9]{3}) seconds\\.")).match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
}

QString plain(const std::string& statistic) { return QString::fromStdString(withPlainLineBreaks(statistic)); }

RegionSelection selectionOf(int regionCount, bool background, QList<int> regions, bool outlines = false)
{
    RegionSelection selection;
    selection.initRegions(regionCount);
    selection.setBackground(background);
    for (int i : regions)
        selection.select(i);
    selection.setShowOutlines(outlines);
    return selection;
}

} // namespace

class CodingCommandsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<CnuboApp> app_;
    QString picture_;
    QString otherPicture_;
    QString smallPicture_;
    // Decoded documents made so far by this process: their titles count on across the tests.
    int decoded_ = 0;

    DocumentManager* documents() const { return app_->documents(); }

    // The program with the test picture open, marked with a wavelet region (40 x 40) and a lossless one (16 x 16).
    CnuboDoc* start()
    {
        app_ = std::make_unique<CnuboApp>();
        if (!app_->initInstance({picture_}))
            return nullptr;
        CnuboDoc* doc = documents()->activeDocument();
        Region wavelet(2, 2, 41, 41);
        wavelet.ratio = 4;
        Region lossless(46, 46, 61, 61);
        lossless.coderKind = CoderKind::Arithmetic;
        doc->data().regions().add(wavelet);
        doc->data().regions().add(lossless);
        doc->data().regions().deselect();
        doc->data().background().setRatio(12);
        return doc;
    }

    static std::string freshEncoding(const CnuboDoc* doc)
    {
        const StatusOr<EncodedStream> encoded = encodeDocument(doc->data(), discardSink());
        return encoded.ok() ? encoded->bytes : std::string();
    }

    // The encoding statistic must be the toolkit-free text for the reported time and this stream's size.
    static void checkEncodingStatistic(const BoxSeen& box, std::size_t bytes, const RasterImage& picture)
    {
        QVERIFY(box.shown);
        QCOMPARE(box.caption, QStringLiteral("Statistic"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY(box.onlyOk);
        QVERIFY(box.ownedByMainWindow);
        const double seconds = reportedSeconds(box.text);
        QVERIFY2(seconds >= 0.0, qPrintable(box.text));
        QCOMPARE(box.text, plain(encodingStatistic(seconds, bytes, picture.width(), picture.height())));
        QVERIFY(box.text.contains(QString::asprintf("Result bit rate: %.3f bpp.",
                                                    bitRate(bytes, picture.width(), picture.height()))));
    }

    // The decoding statistic must be the toolkit-free text for the reported time and this measure.
    static void checkDecodingStatistic(const BoxSeen& box, const QualityMeasure& expected)
    {
        QVERIFY(box.shown);
        QCOMPARE(box.caption, QStringLiteral("Statistic"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY(box.onlyOk);
        QVERIFY(expected.measured());
        const double seconds = reportedSeconds(box.text);
        QVERIFY2(seconds >= 0.0, qPrintable(box.text));
        QCOMPARE(box.text, plain(decodingStatistic(seconds, expected)));
        QVERIFY(box.text.contains(QString::asprintf("Result MSE: %.3f .", static_cast<double>(expected.mse()))));
        QVERIFY(box.text.contains(QString::asprintf("Result SNR: %.3f dB.", static_cast<double>(expected.snr()))));
    }

    CnuboDoc* newestDocument() const { return documents()->documents().isEmpty() ? nullptr : documents()->documents().last(); }

private slots:
    void initTestCase()
    {
        test::isolateSettings();
        picture_ = writePicture(syntheticPicture(64, 64, 1), QStringLiteral("source.bmp"));
        otherPicture_ = writePicture(syntheticPicture(64, 64, 2), QStringLiteral("other.bmp"));
        smallPicture_ = writePicture(syntheticPicture(32, 32, 3), QStringLiteral("small.bmp"));
        QVERIFY(!picture_.isEmpty() && !otherPicture_.isEmpty() && !smallPicture_.isEmpty());
    }

    void cleanup()
    {
        test::stopWaiting();
        app_.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    // The wait dialog is untitled, shows its message and animates its bar through the ten steps every 400 ms.
    void waitDialogAnimation()
    {
        WaitDialog dialog;
        dialog.setMessage(QStringLiteral("Encoding. Please Wait..."));
        dialog.show();
        QVERIFY(dialog.windowTitle().isEmpty());
        QCOMPARE(dialog.message(), QStringLiteral("Encoding. Please Wait..."));
        QCOMPARE(dialog.animationText(), QStringLiteral(" "));
        auto* timer = dialog.findChild<QTimer*>();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 400);
        const QStringList expected{"||", "|||", "||||", "|||||", "||||", "|||", "||", "|", " ", "|", "||"};
        QStringList shown;
        for (int i = 0; i < expected.size(); ++i) {
            dialog.advanceAnimation();
            shown << dialog.animationText();
        }
        QCOMPARE(shown, expected);
        QCOMPARE(dialog.animationStep(), 1);
        // The message label leaves room for the whole message.
        const auto* label = dialog.findChild<QLabel*>(QStringLiteral("message"));
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
        dialog.endFromWorker(1);
        QTRY_VERIFY(!dialog.isVisible());
    }

    // A worker that ended before the dialog ran ends it at once, whether events ran in between or not.
    void waitDialogEndsWhenWorkerFinishedFirst()
    {
        {
            WaitDialog dialog;
            dialog.endFromWorker(1);
            QCoreApplication::processEvents();
            QTimer::singleShot(3000, &dialog, [&dialog] { dialog.endFromWorker(2); }); // keeps a failure from hanging
            QVERIFY(dialog.workEnded());
            QCOMPARE(dialog.run(), 1);
            QVERIFY(!dialog.isVisible());
        }
        {
            // No events between the end and the dialog's start. The late timer only
            // keeps a failure from hanging the test.
            WaitDialog dialog;
            dialog.endFromWorker(1);
            QTimer::singleShot(5000, &dialog, [&dialog] { dialog.endFromWorker(2); });
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(dialog.run(), 1);
            QVERIFY(clock.elapsed() < 4000);
        }
        {
            // A worker with nothing to do is usually over before the dialog is up.
            QObject guard; // the late timer must not outlive this case
            QTimer::singleShot(5000, &guard, [] {
                if (auto* w = qobject_cast<WaitDialog*>(QApplication::activeModalWidget()))
                    w->endFromWorker(2);
            });
            QElapsedTimer clock;
            clock.start();
            QVERIFY(runWithWaitDialog(QStringLiteral("Encoding. Please Wait..."), [] {}).ok());
            QVERIFY(clock.elapsed() < 4000);
        }
    }

    // While the worker runs, Esc, the close button and reject leave the dialog up, and its bar keeps moving.
    void waitDialogCannotBeDismissed()
    {
        std::atomic<bool> release{false};
        bool stayedUp = false;
        bool animated = false;
        QString message;
        QTimer watcher;
        int polls = 0;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<WaitDialog*>(QApplication::activeModalWidget());
            ++polls;
            if (polls > 2000) { // about ten seconds: give up rather than hang
                release = true;
                return;
            }
            if (!dialog || release)
                return;
            if (!stayedUp) {
                message = dialog->message();
                QTest::keyClick(dialog, Qt::Key_Escape);
                dialog->close();
                dialog->reject();
                QCoreApplication::processEvents();
                stayedUp = dialog->isVisible() && !dialog->workEnded();
            }
            if (dialog->animationText() != QStringLiteral(" ")) {
                animated = true;
                release = true;
            }
        });
        watcher.start(5);
        // The worker gives up after about ten seconds too: a dialog dismissed early leaves nobody to release it.
        const Status result = runWithWaitDialog(QStringLiteral("Decoding. Please Wait..."), [&release] {
            for (int i = 0; i < 5000 && !release; ++i)
                QThread::msleep(2);
        });
        QVERIFY(result.ok());
        QVERIFY(stayedUp);
        QVERIFY(animated);
        QCOMPARE(message, QStringLiteral("Decoding. Please Wait..."));
    }

    // The work runs on another thread than the user interface; a worker that throws ends the dialog with the
    // exception's words as the reason.
    void workRunsOffTheUiThread()
    {
        std::thread::id ranOn;
        QVERIFY(runWithWaitDialog(QStringLiteral("x"), [&ranOn] { ranOn = std::this_thread::get_id(); }).ok());
        QVERIFY(ranOn != std::thread::id());
        QVERIFY(ranOn != std::this_thread::get_id());
        QCOMPARE(lastCodingThread(), ranOn);
        const Status thrown = runWithWaitDialog(QStringLiteral("x"), [] { throw std::runtime_error("lost"); });
        QVERIFY(!thrown.ok());
        QCOMPARE(QString::fromStdString(thrown.reason()), QStringLiteral("the coding stopped: lost"));
    }

    // Test ROI with the background only: the encoding and decoding statistics, a new document "new N" of the
    // picture's size holding the decoded background, measured over every pixel; coding ran off the UI thread.
    void testRoiBackgroundOnly()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        const int before = documents()->documents().size();
        const QString title = QStringLiteral("new %1").arg(++decoded_);
        auto encodingBox = std::make_shared<BoxSeen>();
        auto decodingBox = std::make_shared<BoxSeen>();
        DialogScript script;
        script.box(encodingBox).select({0}).box(decodingBox);
        app_->mainFrame()->action(cmd::TestRoi)->trigger();
        QVERIFY2(script.done(), "a dialog of Test ROI did not come");
        QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        QCOMPARE(script.waitMessages(),
                 (QStringList{QStringLiteral("Encoding. Please Wait..."), QStringLiteral("Decoding. Please Wait...")}));
        QVERIFY(lastCodingThread() != std::thread::id());
        QVERIFY(lastCodingThread() != std::this_thread::get_id());

        // The document keeps exactly the stream the toolkit-free encoder makes.
        QVERIFY(source->data().lastEncoding());
        const std::string stream = *source->data().lastEncoding();
        QCOMPARE(stream, freshEncoding(source));
        checkEncodingStatistic(*encodingBox, stream.size(), source->data().image());

        QCOMPARE(documents()->documents().size(), before + 1);
        CnuboDoc* result = newestDocument();
        QCOMPARE(result->title(), title);
        QCOMPARE(result->data().image().width(), 64);
        QCOMPARE(result->data().image().height(), 64);
        const DecodedPicture expected = decodeDocument(stream, selectionOf(2, true, {}));
        QVERIFY(expected.outcome.complete());
        QVERIFY(samePicture(result->data().image(), expected.image));
        QCOMPARE(result->views().size(), 1);

        QualityMeasure measure;
        QVERIFY(measure.measure(source->data().image(), expected.image, true, nullptr));
        checkDecodingStatistic(*decodingBox, measure);
        QCOMPARE(result->data().regions().count(), 0);
        QVERIFY(result->data().background().backgroundPresent());
    }

    // Test ROI with a subset of regions and no background: only those regions are decoded and measured; the
    // next decoded document takes the next number. With outlines kept, the decoded regions stay on it.
    void testRoiSubsetOfRegions()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        for (const bool outlines : {false, true}) {
            const QString title = QStringLiteral("new %1").arg(++decoded_);
            auto encodingBox = std::make_shared<BoxSeen>();
            auto decodingBox = std::make_shared<BoxSeen>();
            DialogScript script;
            script.box(encodingBox).select({2}, outlines).box(decodingBox);
            source->onCommand(cmd::TestRoi);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));

            const std::string stream = *source->data().lastEncoding();
            checkEncodingStatistic(*encodingBox, stream.size(), source->data().image());
            CnuboDoc* result = newestDocument();
            QCOMPARE(result->title(), title);

            const DecodedPicture expected = decodeDocument(stream, selectionOf(2, false, {1}));
            QCOMPARE(expected.regions.count(), 1);
            QVERIFY(samePicture(result->data().image(), expected.image));
            // Outside the lossless region nothing was decoded; inside, the lossless region is the source's.
            QCOMPARE(result->data().image().pixel(10, 10).r, 0.0f);
            QCOMPARE(result->data().image().pixel(50, 50).g, source->data().image().pixel(50, 50).g);

            QualityMeasure measure;
            QVERIFY(measure.measure(source->data().image(), expected.image, false, &expected.regions));
            QCOMPARE(measure.pixelCount(), 16 * 16);
            checkDecodingStatistic(*decodingBox, measure);
            QCOMPARE(result->data().regions().count(), outlines ? 1 : 0);
            QCOMPARE(result->data().descriptionMode(), DescriptionMode::Hidden);
        }
    }

    // "Test ROI (only decode)" on a document never encoded says so, without an icon, and creates nothing.
    void decodeOnlyNeverEncoded()
    {
        QVERIFY(start());
        CnuboDoc* doc = documents()->activeDocument();
        const int before = documents()->documents().size();
        auto box = std::make_shared<BoxSeen>();
        DialogScript script;
        script.box(box);
        app_->mainFrame()->dispatch(cmd::TestRoiDecodeOnly);
        QVERIFY(script.done());
        QVERIFY(box->shown);
        QCOMPARE(box->text, QStringLiteral("You haven't encode this image."));
        QCOMPARE(box->caption, QStringLiteral("Error"));
        QCOMPARE(box->icon, QMessageBox::NoIcon);
        QVERIFY(box->onlyOk);
        QCOMPARE(script.waitDialogsSeen(), 0);
        QCOMPARE(documents()->documents().size(), before);
        QVERIFY(!doc->data().lastEncoding());
    }

    // Cancelling the region selection decodes nothing and uses up no document number; the kept stream decodes
    // again on request.
    void decodeOnlyCancelledThenRepeated()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        {
            DialogScript script;
            script.box(std::make_shared<BoxSeen>()).then([](QWidget* w) { w->close(); });
            source->onCommand(cmd::TestRoi);
            QVERIFY(script.done());
            QVERIFY(script.unexpected().isEmpty());
        }
        const int before = documents()->documents().size();
        QCOMPARE(before, 1);
        const QString title = QStringLiteral("new %1").arg(++decoded_);
        auto decodingBox = std::make_shared<BoxSeen>();
        DialogScript script;
        script.select({0, 1, 2}).box(decodingBox);
        source->onCommand(cmd::TestRoiDecodeOnly);
        QVERIFY(script.done());
        QCOMPARE(script.waitMessages(), QStringList{QStringLiteral("Decoding. Please Wait...")});
        QCOMPARE(documents()->documents().size(), before + 1);
        QCOMPARE(newestDocument()->title(), title);
        QualityMeasure measure;
        QVERIFY(measure.measure(source->data().image(), newestDocument()->data().image(), true, nullptr));
        checkDecodingStatistic(*decodingBox, measure);
    }

    // Encode to a new file, then decode it into another document: the file holds the encoder's stream, and the
    // decoded picture is the one Test ROI makes with the same selection.
    void encodeToFileThenDecode()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("typed-new-name.roi"));
        QFile::remove(path);

        auto saveFilters = std::make_shared<QStringList>();
        auto encodingBox = std::make_shared<BoxSeen>();
        {
            DialogScript script;
            script.file(path, saveFilters).box(encodingBox);
            source->onCommand(cmd::EncodeToFile);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
            QCOMPARE(script.waitMessages(), QStringList{QStringLiteral("Encoding. Please Wait...")});
        }
        QCOMPARE(*saveFilters, QStringList{QStringLiteral("Roi (*.roi)")});
        const QByteArray written = fileBytes(path);
        QCOMPARE(written.toStdString(), freshEncoding(source));
        checkEncodingStatistic(*encodingBox, static_cast<std::size_t>(written.size()), source->data().image());
        QVERIFY(!source->data().lastEncoding()); // the file commands leave the Test ROI stream alone
        QVERIFY(!QDir(test::scratchDir()).entryList({QStringLiteral(".nubo-*")}, QDir::Hidden | QDir::Files).size());

        CnuboDoc* target = documents()->newDocument();
        auto openFilters = std::make_shared<QStringList>();
        {
            DialogScript script;
            script.file(path, openFilters).select({0, 1, 2});
            target->onCommand(cmd::DecodeFromFile);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
            QCOMPARE(script.waitMessages(), QStringList{QStringLiteral("Decoding. Please Wait...")});
        }
        QCOMPARE(*openFilters, (QStringList{QStringLiteral("Roi (*.roi)"), QStringLiteral("Wszystkie (*.*)")}));
        QCOMPARE(target->data().image().width(), 64);
        QCOMPARE(target->data().regions().count(), 0);
        QCOMPARE(target->data().descriptionMode(), DescriptionMode::Hidden);
        QCOMPARE(target->title(), QStringLiteral("nubo1 (decoded)")); // the title says the picture was decoded

        const QString title = QStringLiteral("new %1").arg(++decoded_);
        DialogScript script;
        script.box(std::make_shared<BoxSeen>()).select({0, 1, 2}).box(std::make_shared<BoxSeen>());
        source->onCommand(cmd::TestRoi);
        QVERIFY(script.done());
        CnuboDoc* tested = newestDocument();
        QCOMPARE(tested->title(), title);
        QVERIFY(samePicture(target->data().image(), tested->data().image()));
        // The decoded picture is what the view paints.
        const QImage painted = target->views().first()->grab().toImage();
        const PixelColour p = target->data().image().pixel(20, 30);
        QCOMPARE(QColor(painted.pixel(20, 30)), QColor(int(p.r), int(p.g), int(p.b)));
    }

    // Records whose budgets are too small are named in a warning box after the encoding statistic, by Test ROI
    // (before its decoding) and by Encode img to file; the stream is written all the same.
    void starvedRecordsShowWarning()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        source->data().regions().at(0).ratio = 500;
        source->data().background().setRatio(500);
        const StatusOr<EncodedStream> expected = encodeDocument(source->data(), discardSink());
        QVERIFY(expected.ok());
        QCOMPARE(expected->report.starved.size(), std::size_t{2});
        const std::vector<std::string> lines = starvedRecordWarnings(expected->report);
        const QString warnings =
            QString::fromStdString(lines[0]) + QStringLiteral("\n") + QString::fromStdString(lines[1]);
        QVERIFY(warnings.startsWith(QStringLiteral("Warning: region 1 ")));
        QVERIFY(warnings.contains(QStringLiteral("\nWarning: the background ")));

        ++decoded_;
        auto encodingBox = std::make_shared<BoxSeen>();
        auto warningBox = std::make_shared<BoxSeen>();
        auto decodingBox = std::make_shared<BoxSeen>();
        {
            DialogScript script;
            script.box(encodingBox).box(warningBox).select({0}).box(decodingBox);
            source->onCommand(cmd::TestRoi);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        }
        QCOMPARE(encodingBox->caption, QStringLiteral("Statistic"));
        QCOMPARE(warningBox->caption, QStringLiteral("Warning"));
        QCOMPARE(warningBox->icon, QMessageBox::Warning);
        QVERIFY(warningBox->onlyOk);
        QVERIFY(warningBox->ownedByMainWindow);
        QCOMPARE(warningBox->text, warnings);
        QCOMPARE(decodingBox->caption, QStringLiteral("Statistic"));
        QCOMPARE(*source->data().lastEncoding(), expected->bytes);

        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("starved.roi"));
        QFile::remove(path);
        auto fileStatistic = std::make_shared<BoxSeen>();
        auto fileWarning = std::make_shared<BoxSeen>();
        {
            DialogScript script;
            script.file(path).box(fileStatistic).box(fileWarning);
            source->onCommand(cmd::EncodeToFile);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        }
        QCOMPARE(fileStatistic->caption, QStringLiteral("Statistic"));
        QCOMPARE(fileWarning->text, warnings);
        QCOMPARE(fileBytes(path).toStdString(), expected->bytes);
    }

    // After "Decode img from file" has replaced a picture opened from a bitmap, Save no longer writes over that
    // file: it asks for a name, suggesting a new one beside it, and the title says the picture was decoded.
    // Saving under the suggested name makes that file the document's, after which Save writes it directly.
    void saveAfterDecodeAsksForName()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        const QByteArray original = fileBytes(picture_);
        const QString stream = QDir(test::scratchDir()).filePath(QStringLiteral("for-save.roi"));
        QFile::remove(stream);
        writeFileBytes(stream, QByteArray::fromStdString(freshEncoding(source)));
        const QString suggested = QDir(test::scratchDir()).filePath(QStringLiteral("source-decoded.bmp"));
        QFile::remove(suggested);
        {
            DialogScript script;
            script.file(stream).select({0, 1, 2});
            source->onCommand(cmd::DecodeFromFile);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        }
        QCOMPARE(source->title(), QStringLiteral("source.bmp (decoded)"));
        QVERIFY(!source->pictureIsFiles());

        auto proposed = std::make_shared<QString>();
        {
            DialogScript script;
            script.then([proposed](QWidget* w) {
                if (auto* dialog = qobject_cast<QFileDialog*>(w))
                    *proposed = dialog->selectedFiles().value(0);
                w->close();
            });
            app_->mainFrame()->dispatch(cmd::FileSave); // cancelled: nothing written
            QVERIFY(script.done());
        }
        QCOMPARE(QFileInfo(*proposed).fileName(), QStringLiteral("source-decoded.bmp"));
        QCOMPARE(fileBytes(picture_), original);
        QVERIFY(!QFile::exists(suggested));

        {
            DialogScript script;
            script.file(suggested);
            app_->mainFrame()->dispatch(cmd::FileSave);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        }
        QCOMPARE(fileBytes(picture_), original);
        RasterImage saved;
        QVERIFY(saved.loadBitmap(suggested.toStdString()));
        QVERIFY(samePicture(saved, source->data().image()));
        QCOMPARE(source->title(), QStringLiteral("source-decoded.bmp"));
        QVERIFY(source->pictureIsFiles());

        // Decoded again, the picture is suggested a name beside its new file, numbered past a name already taken;
        // replacing an existing file is confirmed first.
        writeFileBytes(QDir(test::scratchDir()).filePath(QStringLiteral("source-decoded-decoded.bmp")), "taken");
        {
            DialogScript script;
            script.file(stream).select({0});
            source->onCommand(cmd::DecodeFromFile);
            QVERIFY(script.done());
        }
        auto confirmation = std::make_shared<BoxSeen>();
        {
            DialogScript script;
            QPointer<QFileDialog> fileDialog;
            script.then([proposed, &fileDialog](QWidget* w) {
                fileDialog = qobject_cast<QFileDialog*>(w);
                if (!fileDialog) {
                    w->close();
                    return;
                }
                *proposed = fileDialog->selectedFiles().value(0);
                typeFileName(fileDialog, QDir(test::scratchDir()).filePath(QStringLiteral("source.bmp")));
                static_cast<QDialog*>(fileDialog.data())->accept(); // opens the confirmation inside
            });
            script.then([confirmation, &fileDialog](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box) {
                    w->close();
                    return;
                }
                confirmation->shown = true;
                box->button(QMessageBox::No)->click();
                if (fileDialog)
                    QTimer::singleShot(0, fileDialog, [&fileDialog] { fileDialog->reject(); });
            });
            app_->mainFrame()->dispatch(cmd::FileSave);
            QVERIFY(script.done());
        }
        QCOMPARE(QFileInfo(*proposed).fileName(), QStringLiteral("source-decoded-decoded-2.bmp"));
        QVERIFY(confirmation->shown);
        QCOMPARE(fileBytes(picture_), original);
    }

    // Encoding over an existing file asks first: No keeps the old file, Yes replaces it whole.
    void encodeAsksBeforeReplacing()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("existing.roi"));
        writeFileBytes(path, QByteArrayLiteral("old content"));

        for (const bool replace : {false, true}) {
            auto question = std::make_shared<QString>();
            auto encodingBox = std::make_shared<BoxSeen>();
            DialogScript script;
            QPointer<QFileDialog> fileDialog;
            script
                .then([path, &fileDialog](QWidget* w) {
                    fileDialog = qobject_cast<QFileDialog*>(w);
                    if (!fileDialog) {
                        w->close();
                        return;
                    }
                    typeFileName(fileDialog, path);
                    static_cast<QDialog*>(fileDialog.data())->accept(); // opens the confirmation inside
                })
                .then([question, replace, &fileDialog](QWidget* w) {
                    auto* box = qobject_cast<QMessageBox*>(w);
                    if (!box) {
                        w->close();
                        return;
                    }
                    *question = box->text();
                    box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                    if (!replace && fileDialog)
                        QTimer::singleShot(0, fileDialog, [&fileDialog] { fileDialog->reject(); });
                });
            if (replace)
                script.box(encodingBox);
            source->onCommand(cmd::EncodeToFile);
            QVERIFY(script.done());
            QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
            QVERIFY2(question->contains(QStringLiteral("already exists")), qPrintable(*question));
            if (replace) {
                QCOMPARE(fileBytes(path).toStdString(), freshEncoding(source));
                QVERIFY(encodingBox->shown);
            } else {
                QCOMPARE(fileBytes(path), QByteArrayLiteral("old content"));
                QCOMPARE(script.waitDialogsSeen(), 0);
            }
        }
    }

    // An encoding the encoder refuses shows "Encoding failed." with the reason instead of a statistic, and leaves
    // the old file as it was.
    void encodingFailureShowsReason()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        Region outside(50, 10, 70, 20); // reaches past the 64-pixel-wide picture
        source->data().regions().add(outside);
        const Status refused = checkEncodable(source->data());
        QVERIFY(!refused.ok());

        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("kept.roi"));
        writeFileBytes(path, QByteArrayLiteral("kept"));
        auto box = std::make_shared<BoxSeen>();
        DialogScript script;
        script.file(path).then([](QWidget* w) {
            // The replacement question: yes, so that only the encoder can stop the writing.
            if (auto* question = qobject_cast<QMessageBox*>(w))
                question->button(QMessageBox::Yes)->click();
        });
        script.box(box);
        source->onCommand(cmd::EncodeToFile);
        QVERIFY(script.done());
        QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        QCOMPARE(box->caption, QStringLiteral("Error!"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QVERIFY(box->onlyOk);
        QCOMPARE(box->text, QStringLiteral("Encoding failed.\n") + QString::fromStdString(refused.reason()));
        QCOMPARE(fileBytes(path), QByteArrayLiteral("kept"));
    }

    // A region too large for lossless coding: Test ROI shows the reason, keeps no stream and makes no document.
    void losslessRegionTooLarge()
    {
        QVERIFY(start());
        CnuboDoc* big = documents()->createDocument(QStringLiteral("big"));
        const int side = 2400; // 2400 x 2400 x 3 bytes is more than the lossless coder takes
        QVERIFY(static_cast<std::int64_t>(side) * side * 3 > kMaxLosslessRegionBytes);
        QVERIFY(big->data().image().allocate(side, side));
        big->data().image().fill(90);
        Region whole(0, 0, side - 1, side - 1);
        whole.coderKind = CoderKind::Arithmetic;
        big->data().regions().add(whole);
        const int before = documents()->documents().size();

        auto box = std::make_shared<BoxSeen>();
        DialogScript script;
        script.box(box);
        big->onCommand(cmd::TestRoi);
        QVERIFY(script.done());
        QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        QCOMPARE(box->caption, QStringLiteral("Error!"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QVERIFY(box->text.startsWith(QStringLiteral("Encoding failed.\n")));
        QVERIFY2(box->text.contains(QStringLiteral("too large for lossless coding")), qPrintable(box->text));
        QVERIFY(!big->data().lastEncoding());
        QCOMPARE(documents()->documents().size(), before);
    }

    // A file damaged part-way decodes what it can: the document shows it, then a warning gives the reason.
    void damagedFileShowsWarning()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        const std::string stream = freshEncoding(source);
        QVERIFY(!stream.empty());
        const std::string cut = stream.substr(0, stream.size() * 7 / 10);
        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("truncated.roi"));
        writeFileBytes(path, QByteArray::fromStdString(cut));
        const DecodedPicture expected = decodeDocument(cut, selectionOf(2, true, {0, 1}));
        QVERIFY(expected.outcome.headerRead && !expected.outcome.complete());

        CnuboDoc* target = documents()->newDocument();
        auto warning = std::make_shared<BoxSeen>();
        bool pictureShownFirst = false;
        DialogScript script;
        script.file(path).select({0, 1, 2}).then([&pictureShownFirst, target, warning](QWidget* w) {
            pictureShownFirst = target->data().image().width() == 64;
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                w->close();
                return;
            }
            warning->shown = true;
            warning->caption = box->windowTitle();
            warning->text = box->text();
            warning->icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        target->onCommand(cmd::DecodeFromFile);
        QVERIFY(script.done());
        QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        QVERIFY(pictureShownFirst);
        QVERIFY(samePicture(target->data().image(), expected.image));
        QCOMPARE(warning->icon, QMessageBox::Warning);
        QVERIFY(warning->text.contains(QStringLiteral("damaged")));
        QVERIFY2(warning->text.endsWith(QString::fromStdString(expected.outcome.reason())), qPrintable(warning->text));
    }

    // A file that is no .roi stream is refused with the reason before any selection; the document is unchanged.
    void foreignFileRefused()
    {
        QVERIFY(start());
        CnuboDoc* doc = documents()->activeDocument();
        const RasterImage before = doc->data().image();
        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("foreign.roi"));
        writeFileBytes(path, QByteArrayLiteral("GIF89a not a stream"));
        auto box = std::make_shared<BoxSeen>();
        DialogScript script;
        script.file(path).box(box);
        doc->onCommand(cmd::DecodeFromFile);
        QVERIFY(script.done());
        QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.unexpected().join(QStringLiteral(" | "))));
        QCOMPARE(box->caption, QStringLiteral("Error!"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QVERIFY(box->text.startsWith(QStringLiteral("Decoding failed.\nheader: ")));
        QVERIFY(samePicture(doc->data().image(), before));
        QCOMPARE(doc->data().regions().count(), 2);
    }

    // Compare with only one document open says "Only one image is opened!" with the information icon.
    void compareWithOneDocument()
    {
        QVERIFY(start());
        auto box = std::make_shared<BoxSeen>();
        DialogScript script;
        script.box(box);
        app_->mainFrame()->dispatch(cmd::CompareWith);
        QVERIFY(script.done());
        QCOMPARE(box->text, QStringLiteral("Only one image is opened!"));
        QCOMPARE(box->caption, QStringLiteral("Error"));
        QCOMPARE(box->icon, QMessageBox::Information);
        QVERIFY(box->onlyOk);
    }

    // Compare with two documents lists the other ones; the result is measured over the current document's
    // regions (or every pixel without regions); a picture of another size is refused.
    void compareWithTwoDocuments()
    {
        CnuboDoc* source = start();
        QVERIFY(source);
        CnuboDoc* other = app_->openDocumentFile(otherPicture_);
        CnuboDoc* small = app_->openDocumentFile(smallPicture_);
        QVERIFY(other && small);

        for (const bool withRegions : {true, false}) {
            if (!withRegions)
                source->data().regions().clear();
            auto listed = std::make_shared<QStringList>();
            auto sourceTitle = std::make_shared<QString>();
            auto box = std::make_shared<BoxSeen>();
            DialogScript script;
            script
                .then([listed, sourceTitle](QWidget* w) {
                    auto* dialog = qobject_cast<CCompareDialog*>(w);
                    if (!dialog) {
                        w->close();
                        return;
                    }
                    for (int i = 0; i < dialog->documentList()->count(); ++i)
                        *listed << dialog->documentList()->itemText(i);
                    *sourceTitle = dialog->sourceTitle();
                    dialog->accept();
                })
                .box(box);
            source->onCommand(cmd::CompareWith);
            QVERIFY(script.done());
            QCOMPARE(*listed, (QStringList{QStringLiteral("other.bmp"), QStringLiteral("small.bmp")}));
            QCOMPARE(*sourceTitle, QStringLiteral("source.bmp"));
            QCOMPARE(box->caption, QStringLiteral("Comparison results:"));
            QCOMPARE(box->icon, QMessageBox::Information);
            QVERIFY(box->onlyOk);
            const StatusOr<Comparison> expected = compareDocuments(source->data(), other->data());
            QVERIFY(expected.ok());
            QCOMPARE(box->text, plain(expected->statistic));
            QualityMeasure measure;
            QVERIFY(measure.measure(source->data().image(), other->data().image(), !withRegions,
                                    &source->data().regions()));
            QCOMPARE(measure.pixelCount(), withRegions ? 40 * 40 + 16 * 16 : 64 * 64);
            QCOMPARE(box->text, QString::asprintf("Result MSE: %.3f .\nResult SNR: %.3f dB.",
                                                  static_cast<double>(measure.mse()),
                                                  static_cast<double>(measure.snr())));
        }

        {
            auto box = std::make_shared<BoxSeen>();
            DialogScript script;
            script
                .then([](QWidget* w) {
                    auto* dialog = qobject_cast<CCompareDialog*>(w);
                    if (!dialog) {
                        w->close();
                        return;
                    }
                    dialog->documentList()->setCurrentIndex(1);
                    dialog->accept();
                })
                .box(box);
            source->onCommand(cmd::CompareWith);
            QVERIFY(script.done());
            QCOMPARE(box->text, QStringLiteral("Images have different dimensions!"));
            QCOMPARE(box->caption, QStringLiteral("Error"));
            QCOMPARE(box->icon, QMessageBox::Information);
        }

        // Cancel compares nothing.
        DialogScript cancel;
        cancel.then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        source->onCommand(cmd::CompareWith);
        QVERIFY(cancel.done());
        QVERIFY(cancel.unexpected().isEmpty());
    }
};

} // namespace nubo

QTEST_MAIN(nubo::CodingCommandsTest)
#include "document_coding_test.moc"
