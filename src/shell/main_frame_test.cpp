#include "common/diagnostics.h"
#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/message_boxes.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/recent_files.h"
#include "shell/coder_settings_dialog.h"
#include "shell/shell_test_support.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <clocale>

#include <memory>

namespace nubo {

namespace {

QStringList visibleItems(const QList<QAction*>& actions)
{
    QStringList items;
    for (QAction* a : actions)
        if (a->isVisible() && !a->isSeparator())
            items << a->text();
    return items;
}

// What an error box showed.
struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

std::shared_ptr<BoxSeen> catchBox()
{
    auto seen = std::make_shared<BoxSeen>();
    test::whenModal([seen](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen->caption = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
        }
        w->close();
    });
    return seen;
}

} // namespace

class FrameTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<CnuboApp> app_;
    QString picture_;

    CMainFrame* frame() const { return app_->mainFrame(); }
    DocumentManager* documents() const { return app_->documents(); }

    void start(const QStringList& arguments)
    {
        app_ = std::make_unique<CnuboApp>();
        QVERIFY(app_->initInstance(arguments));
        frame()->resize(900, 800);
    }

    void refreshMenus()
    {
        for (QMenu* menu : frame()->menuBar()->findChildren<QMenu*>())
            emit menu->aboutToShow();
    }

private slots:
    void initTestCase()
    {
        test::isolateSettings();
        picture_ = test::writeBitmap(64, 48, 10, 200, 30, QStringLiteral("frame.bmp"));
        QVERIFY(!picture_.isEmpty());
    }

    void init() { QSettings().clear(); }

    void cleanup()
    {
        test::stopWaiting();
        app_.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    // Without an argument the program opens one empty document titled "nubo1"; with one it opens that picture.
    void commandLine()
    {
        start({});
        QCOMPARE(documents()->documents().size(), 1);
        QCOMPARE(documents()->activeDocument()->title(), QStringLiteral("nubo1"));
        QVERIFY(!documents()->activeDocument()->data().image().isValid());
        QCOMPARE(frame()->windowTitle(), QStringLiteral("nubo - nubo1"));
        cleanup();
        start({picture_});
        QCOMPARE(documents()->activeDocument()->title(), QStringLiteral("frame.bmp"));
        QCOMPARE(documents()->activeDocument()->data().image().width(), 64);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("nubo - frame.bmp"));
    }

    // The program writes its numbers with a decimal point whatever locale the environment gave QApplication.
    void numbersUseDecimalPoint()
    {
        std::setlocale(LC_NUMERIC, "C.utf8");
        start({});
        QCOMPARE(QString::fromLatin1(std::setlocale(LC_NUMERIC, nullptr)), QStringLiteral("C"));
        QCOMPARE(QString::fromStdString(formatText("%.3f", 4.0)), QStringLiteral("4.000"));
    }

    // A picture that cannot be read on the command line shows the error box and start-up fails.
    void commandLineMissingFile()
    {
        auto box = catchBox();
        app_ = std::make_unique<CnuboApp>();
        QVERIFY(!app_->initInstance({QDir(test::scratchDir()).filePath(QStringLiteral("missing.bmp"))}));
        QCOMPARE(box->text, QStringLiteral("Nie można otworzyć pliku"));
    }

    // With a document the menu bar has File, Edit, View, Window, Options and Help with their items as listed.
    void menusWithDocument()
    {
        start({picture_});
        refreshMenus();
        QCOMPARE(visibleItems(frame()->menuBar()->actions()),
                 (QStringList{"&File", "&Edit", "&View", "&Window", "Options", "&Help"}));
        const QStringList file = visibleItems(frame()->menu(QStringLiteral("File"))->actions());
        QCOMPARE(file.mid(0, 8), (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S",
                                              "Save &As...", "&Print...\tCtrl+P", "Print Pre&view",
                                              "P&rint Setup..."}));
        QCOMPARE(file.size(), 10); // one recent file, then Exit
        QVERIFY(file[8].startsWith(QStringLiteral("&1 ")));
        QVERIFY(file[8].endsWith(QStringLiteral("frame.bmp")));
        QCOMPARE(file[9], QStringLiteral("E&xit"));

        QMenu* edit = frame()->menu(QStringLiteral("Edit"));
        QCOMPARE(visibleItems(edit->actions()),
                 (QStringList{"&Undo\tCtrl+Z", "&Redo\tCtrl+Shift+Z", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                              "&Paste\tCtrl+V"}));
        for (QAction* a : edit->actions())
            QVERIFY(!a->isEnabled());

        QCOMPARE(visibleItems(frame()->menu(QStringLiteral("View"))->actions()),
                 (QStringList{"Descriptions", "Zoom &In\tCtrl+=", "Zoom &Out\tCtrl+-", "&Actual Size\tCtrl+0",
                              "&Fit in Window", "&Toolbar", "&Status Bar", "Region &Inspector",
                              "&Results Log"}));
        QCOMPARE(visibleItems(frame()->menu(QStringLiteral("Descriptions"))->actions()),
                 (QStringList{"Hidden", "Short", "Full", "Background"}));
        QCOMPARE(frame()->menu(QStringLiteral("Descriptions"))->actions()[3]->isSeparator(), true);
        QCOMPARE(visibleItems(frame()->menu(QStringLiteral("Window"))->actions()),
                 (QStringList{"&New Window", "&Cascade", "&Tile", "&Arrange Icons", "Compare &views", "&1 frame.bmp"}));
        QCOMPARE(visibleItems(frame()->menu(QStringLiteral("Options"))->actions()),
                 (QStringList{"Encode img to file", "Decode img from file", "Test ROI", "Test ROI (only decode)",
                              "Coder settings", "Compare with ...", "Rate–distortion curve…"}));
        QCOMPARE(visibleItems(frame()->menu(QStringLiteral("Help"))->actions()), QStringList{"&About nubo..."});

        // The command ids ride on the actions; the document handles the Options menu, so all of it is enabled.
        QCOMPARE(frame()->action(cmd::CoderSettings)->data().toInt(), 32791);
        for (int id : {cmd::EncodeToFile, cmd::DecodeFromFile, cmd::TestRoi, cmd::TestRoiDecodeOnly,
                       cmd::CoderSettings, cmd::CompareWith})
            QVERIFY(frame()->action(id)->isEnabled());
        QVERIFY(frame()->action(cmd::DescriptionsHidden)->isChecked());
        QVERIFY(frame()->action(cmd::ViewToolbar)->isChecked());
    }

    // Without a document only File, View and Help remain, File with New, Open, Print Setup, recent files and Exit.
    void menusWithoutDocument()
    {
        start({picture_});
        frame()->dispatch(cmd::FileClose);
        QTRY_COMPARE(documents()->documents().size(), 0);
        QTRY_COMPARE(visibleItems(frame()->menuBar()->actions()), (QStringList{"&File", "&View", "&Help"}));
        const QStringList file = visibleItems(frame()->menu(QStringLiteral("File"))->actions());
        QCOMPARE(file.size(), 5);
        QCOMPARE(file.mid(0, 3), (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "P&rint Setup..."}));
        QCOMPARE(file[4], QStringLiteral("E&xit"));
        QCOMPARE(visibleItems(frame()->menu(QStringLiteral("View"))->actions()),
                 (QStringList{"&Toolbar", "&Status Bar", "Region &Inspector", "&Results Log"}));
        QVERIFY(!frame()->action(cmd::FileSave)->isEnabled());
        QCOMPARE(frame()->windowTitle(), QStringLiteral("nubo"));
    }

    // Choosing Full checks Full alone; Background toggles its own check mark.
    void descriptionChecks()
    {
        start({picture_});
        CnuboDoc* doc = documents()->activeDocument();
        frame()->dispatch(cmd::DescriptionsFull);
        QCOMPARE(doc->data().descriptionMode(), DescriptionMode::Full);
        QVERIFY(frame()->action(cmd::DescriptionsFull)->isChecked());
        QVERIFY(!frame()->action(cmd::DescriptionsHidden)->isChecked());
        QVERIFY(!frame()->action(cmd::DescriptionsShort)->isChecked());
        QVERIFY(!frame()->action(cmd::DescriptionsBackground)->isChecked());
        frame()->dispatch(cmd::DescriptionsBackground);
        QVERIFY(doc->data().opaqueLabels());
        QVERIFY(frame()->action(cmd::DescriptionsBackground)->isChecked());
        QVERIFY(frame()->action(cmd::DescriptionsFull)->isChecked());
        frame()->dispatch(cmd::DescriptionsBackground);
        QVERIFY(!frame()->action(cmd::DescriptionsBackground)->isChecked());
    }

    // Coder settings shows the document's stages and stores the dialog's value on OK only.
    void coderSettings()
    {
        start({picture_});
        CnuboDoc* doc = documents()->activeDocument();
        auto shown = std::make_shared<QString>();
        test::whenModal([shown](QWidget* w) {
            auto* dialog = qobject_cast<CCoderSettingsDialog*>(w);
            QVERIFY(dialog);
            *shown = dialog->stagesField()->text();
            dialog->stagesField()->setText(QStringLiteral("3"));
            dialog->accept();
        });
        frame()->dispatch(cmd::CoderSettings);
        QCOMPARE(*shown, QStringLiteral("5"));
        QCOMPARE(doc->data().waveletStages(), 3);
        test::whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        frame()->dispatch(cmd::CoderSettings);
        QCOMPARE(doc->data().waveletStages(), 3);
    }

    // A file that is not a 24-bit bitmap (nor another picture) gives the Polish box and leaves no document.
    void openFailure()
    {
        start({picture_});
        const QString palette = QDir(test::scratchDir()).filePath(QStringLiteral("palette.bmp"));
        QImage indexed(8, 8, QImage::Format_Indexed8);
        indexed.setColorCount(2);
        indexed.setColor(0, qRgb(0, 0, 0));
        indexed.setColor(1, qRgb(255, 255, 255));
        indexed.fill(1);
        QVERIFY(indexed.save(palette, "BMP"));
        for (const QString& path : {palette, QDir(test::scratchDir()).filePath(QStringLiteral("nothing.bmp"))}) {
            auto box = catchBox();
            QVERIFY(!app_->openDocumentFile(path));
            QCOMPARE(box->caption, QStringLiteral("Błąd!"));
            QCOMPARE(box->text, QStringLiteral("Nie można otworzyć pliku"));
            QCOMPARE(box->icon, QMessageBox::Critical);
            QCOMPARE(documents()->documents().size(), 1);
        }
    }

    // A picture that cannot be written gives the Polish box; the document stays as it was.
    void saveFailure()
    {
        start({picture_});
        CnuboDoc* doc = documents()->activeDocument();
        auto box = catchBox();
        QVERIFY(!doc->saveAs(QDir(test::scratchDir()).filePath(QStringLiteral("no/such/folder/x.bmp"))));
        QCOMPARE(box->caption, QStringLiteral("Błąd!"));
        QCOMPARE(box->text, QStringLiteral("Nie można zapisać pliku"));
        QCOMPARE(doc->title(), QStringLiteral("frame.bmp"));
        QCOMPARE(documents()->documents().size(), 1);
    }

    // Saving writes the picture alone: reopened, it has the same pixels and no regions. Closing never asks.
    void saveWritesPictureOnly()
    {
        start({picture_});
        CnuboDoc* doc = documents()->activeDocument();
        doc->data().regions().add(Region(5, 5, 30, 30));
        const QString out = QDir(test::scratchDir()).filePath(QStringLiteral("saved.bmp"));
        QVERIFY(doc->saveAs(out));
        QCOMPARE(doc->title(), QStringLiteral("saved.bmp"));
        auto prompted = std::make_shared<bool>(false);
        test::whenModal([prompted](QWidget* w) {
            *prompted = true;
            w->close();
        });
        frame()->dispatch(cmd::FileClose);
        QTRY_COMPARE(documents()->documents().size(), 0);
        QVERIFY(!*prompted);

        CnuboDoc* reopened = app_->openDocumentFile(out);
        QVERIFY(reopened);
        QCOMPARE(reopened->data().regions().count(), 0);
        RasterImage original;
        QVERIFY(original.loadBitmap(picture_.toStdString()));
        QCOMPARE(reopened->data().image().width(), original.width());
        QVERIFY(std::equal(original.data(), original.data() + original.size(), reopened->data().image().data()));
    }

    // PNG, PPM and TIFF pictures open through Qt's readers as 24-bit pictures with exact pixels; JPEG opens too.
    void otherPictureFormats()
    {
        start({});
        QImage source(5, 3, QImage::Format_RGB888);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                source.setPixel(x, y, qRgb(x * 50, y * 80, 7));
        for (const char* format : {"png", "ppm", "tiff", "jpg"}) {
            const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("picture.%1").arg(format));
            QVERIFY(source.save(path));
            CnuboDoc* doc = app_->openDocumentFile(path);
            QVERIFY2(doc, format);
            const RasterImage& image = doc->data().image();
            QCOMPARE(image.width(), 5);
            QCOMPARE(image.height(), 3);
            if (QByteArray(format) == "jpg")
                continue;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x) {
                    const PixelColour c = image.pixel(x, y);
                    QCOMPARE(qRgb(int(c.r), int(c.g), int(c.b)), source.pixel(x, y));
                }
        }
    }

    // Save on a picture read from PNG asks for a new bitmap name instead of writing over the PNG.
    void saveOfPngAsksForBitmapName()
    {
        start({});
        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("keep.png"));
        QImage(4, 4, QImage::Format_RGB888).save(path);
        const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        QVERIFY(app_->openDocumentFile(path));
        auto proposed = std::make_shared<QString>();
        test::whenModal([proposed](QWidget* w) {
            if (auto* dialog = qobject_cast<QFileDialog*>(w))
                *proposed = dialog->selectedFiles().value(0);
            w->close();
        });
        frame()->dispatch(cmd::FileSave);
        QVERIFY(proposed->endsWith(QStringLiteral("keep.bmp")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    // The recent-file list keeps the last four pictures, newest first, and opens them from the File menu.
    void recentFiles()
    {
        start({});
        QStringList paths;
        for (int i = 0; i < 5; ++i) {
            paths << test::writeBitmap(8, 8, 1, 2, 3, QStringLiteral("recent%1.bmp").arg(i));
            QVERIFY(app_->openDocumentFile(paths.last()));
        }
        QSettings settings;
        QVERIFY(settings.fileName().startsWith(test::scratchDir()));
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Local AppWizard-Generated Applications"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("nubo"));
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File1")).toString(),
                 QFileInfo(paths[4]).canonicalFilePath());
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File4")).toString(),
                 QFileInfo(paths[1]).canonicalFilePath());
        QVERIFY(!settings.contains(QStringLiteral("Recent File List/File5")));
        QVERIFY(frame()->action(cmd::FileMruFirst + 3)->text().endsWith(QStringLiteral("recent1.bmp")));

        frame()->dispatch(cmd::FileClose);
        QTRY_COMPARE(documents()->documents().size(), 5);
        frame()->dispatch(cmd::FileMruFirst); // reopens recent4.bmp, which was just closed
        QTRY_COMPARE(documents()->documents().size(), 6);
        QCOMPARE(documents()->activeDocument()->title(), QStringLiteral("recent4.bmp"));
    }

    // Picking a recent file that has gone from disk shows the open error and removes that entry alone.
    void missingRecentFileRemovesOnlyItself()
    {
        start({});
        QStringList paths;
        for (const char* name : {"chelsea", "retina", "tmpdel", "rose"}) {
            paths.prepend(test::writeBitmap(8, 8, 1, 2, 3, QStringLiteral("%1.bmp").arg(QLatin1String(name))));
            QVERIFY(app_->openDocumentFile(paths.first()));
        }
        QStringList names;
        for (const QString& p : app_->recentFiles().paths())
            names << QFileInfo(p).baseName();
        QCOMPARE(names, (QStringList{"rose", "tmpdel", "retina", "chelsea"}));
        for (CnuboDoc* doc : documents()->documents())
            if (doc->title() == QStringLiteral("tmpdel.bmp"))
                documents()->closeDocument(doc);
        QTRY_COMPARE(documents()->documents().size(), 4);
        QVERIFY(QFile::remove(paths[1]));

        const auto box = catchBox();
        frame()->dispatch(cmd::FileMruFirst + 1);
        QCOMPARE(box->text, kCannotOpenFile);
        names.clear();
        for (const QString& p : app_->recentFiles().paths())
            names << QFileInfo(p).baseName();
        QCOMPARE(names, (QStringList{"rose", "retina", "chelsea"}));
        QSettings settings;
        QCOMPARE(QFileInfo(settings.value(QStringLiteral("Recent File List/File2")).toString()).baseName(),
                 QStringLiteral("retina"));
        QVERIFY(!settings.contains(QStringLiteral("Recent File List/File4")));
    }

    // New Window opens a second view of the document; both show the same regions, and the document lives until
    // its last view closes.
    void newWindowSharesDocument()
    {
        start({picture_});
        CnuboDoc* doc = documents()->activeDocument();
        frame()->dispatch(cmd::WindowNew);
        QCOMPARE(doc->views().size(), 2);
        QCOMPARE(doc->views()[0]->frame()->windowTitle(), QStringLiteral("frame.bmp:1"));
        QCOMPARE(doc->views()[1]->frame()->windowTitle(), QStringLiteral("frame.bmp:2"));
        QCOMPARE(doc->views()[1]->size(), QSize(100, 50));

        test::drag(doc->views()[0], {5, 5}, {40, 30});
        QCOMPARE(doc->data().regions().count(), 1);
        const QImage second = doc->views()[1]->grab().toImage();
        QCOMPARE(second.pixel(5, 5) & 0xFFFFFFu, (qRgb(10, 200, 30) ^ qRgb(160, 160, 3)) & 0xFFFFFFu);

        doc->views()[1]->frame()->close();
        QTRY_COMPARE(doc->views().size(), 1);
        QCOMPARE(doc->views()[0]->frame()->windowTitle(), QStringLiteral("frame.bmp"));
        QCOMPARE(documents()->documents().size(), 1);
    }

    // The Window menu lists the open windows as "&1 title", "&2 title", ..., the current one checked; choosing one
    // activates it, and the list follows windows that open, close or change their titles.
    void windowMenuListsWindows()
    {
        start({picture_});
        const QString other = test::writeBitmap(30, 20, 1, 2, 3, QStringLiteral("other.bmp"));
        QVERIFY(app_->openDocumentFile(other));
        QMenu* window = frame()->menu(QStringLiteral("Window"));
        const auto listed = [window] {
            QStringList items = visibleItems(window->actions()).filter(QRegularExpression(QStringLiteral("^&\\d ")));
            for (QAction* a : window->actions())
                if (a->isVisible() && a->isChecked())
                    items << QStringLiteral("checked: ") + a->text();
            return items;
        };
        QCOMPARE(listed(), (QStringList{"&1 frame.bmp", "&2 other.bmp", "checked: &2 other.bmp"}));

        QList<QMdiSubWindow*> frames = frame()->mdiArea()->subWindowList();
        frame()->mdiArea()->setActiveSubWindow(frames[0]);
        frame()->dispatch(cmd::WindowNew); // frame.bmp gets a second window; both titles change
        QCOMPARE(listed(), (QStringList{"&1 frame.bmp:1", "&2 other.bmp", "&3 frame.bmp:2", "checked: &3 frame.bmp:2"}));

        for (QAction* a : window->actions())
            if (a->text() == QStringLiteral("&2 other.bmp"))
                a->trigger();
        QCOMPARE(frame()->mdiArea()->currentSubWindow(), frames[1]);
        QCOMPARE(listed().last(), QStringLiteral("checked: &2 other.bmp"));

        frames = frame()->mdiArea()->subWindowList();
        frames[2]->close();
        QTRY_COMPARE(listed(), (QStringList{"&1 frame.bmp", "&2 other.bmp", "checked: &2 other.bmp"}));
        documents()->closeAll();
        QTRY_COMPARE(listed(), QStringList());
    }

    // A minimised window stays in sight after Tile, Cascade and Arrange Icons: its icon lies inside the MDI area and
    // no other window covers it; after Tile the tiles leave the icons' strip free.
    void minimisedWindowsStayVisible()
    {
        start({});
        for (int i = 0; i < 3; ++i)
            QVERIFY(app_->openDocumentFile(test::writeBitmap(200, 150, 9, 9, 9, QStringLiteral("tile%1.bmp").arg(i))));
        QMdiArea* area = frame()->mdiArea();
        QMdiSubWindow* icon = area->subWindowList()[1];
        icon->showMinimized();
        QApplication::processEvents();
        for (const int id : {cmd::WindowTile, cmd::WindowCascade, cmd::WindowArrange, cmd::WindowTile}) {
            // Working in the other windows brings them to the front.
            for (QMdiSubWindow* other : area->subWindowList())
                if (other != icon)
                    area->setActiveSubWindow(other);
            frame()->dispatch(id);
            QApplication::processEvents();
            QVERIFY(icon->isMinimized());
            QVERIFY2(area->viewport()->rect().contains(icon->geometry()), qPrintable(QString::number(id)));
            QWidget* top = area->viewport()->childAt(icon->geometry().center());
            while (top && top->parentWidget() != area->viewport())
                top = top->parentWidget();
            QVERIFY2(top == icon, qPrintable(QString::number(id)));
            if (id != cmd::WindowTile)
                continue;
            for (QMdiSubWindow* other : area->subWindowList())
                if (other != icon)
                    QVERIFY(!other->geometry().intersects(icon->geometry()));
        }
    }

    // refreshViews sizes every view to a picture that changed size.
    void refreshFollowsPicture()
    {
        start({picture_});
        CnuboDoc* doc = documents()->activeDocument();
        QVERIFY(doc->data().image().allocate(300, 220));
        doc->data().image().fill(0);
        doc->refreshViews();
        QCOMPARE(doc->views()[0]->size(), QSize(300, 220));
    }

    // The toolbar holds New, Open, Save | Cut, Copy, Paste | Print, About; the status bar the message pane and
    // the three indicators.
    void toolbarAndStatusBar()
    {
        start({picture_});
        auto* toolbar = frame()->findChild<QToolBar*>(QStringLiteral("toolbar"));
        QVERIFY(toolbar);
        QList<int> ids;
        for (QAction* a : toolbar->actions())
            ids << (a->isSeparator() ? 0 : a->data().toInt());
        QCOMPARE(ids, (QList<int>{cmd::FileNew, cmd::FileOpen, cmd::FileSave, 0, cmd::EditCut, cmd::EditCopy,
                                  cmd::EditPaste, 0, cmd::FilePrint, cmd::AppAbout}));
        QVERIFY(!frame()->action(cmd::EditCut)->isEnabled());
        QVERIFY(frame()->action(cmd::FileSave)->isEnabled());
        QCOMPARE(frame()->messagePane()->text(), QStringLiteral("Ready"));
        for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
            auto* label = frame()->statusBar()->findChild<QLabel*>(QString::fromLatin1(indicator));
            QVERIFY(label);
            QCOMPARE(label->text(), QString::fromLatin1(indicator));
        }
        frame()->dispatch(cmd::ViewToolbar);
        QVERIFY(!toolbar->isVisible());
        QVERIFY(!frame()->action(cmd::ViewToolbar)->isChecked());
    }

    // Dropping picture files on the main window opens them.
    void dropOpensPictures()
    {
        start({});
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(picture_)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame(), &drop);
        QCOMPARE(documents()->documents().size(), 2);
        QCOMPARE(documents()->activeDocument()->title(), QStringLiteral("frame.bmp"));
        delete mime;
    }

    // Printing goes through the view's paint routine: a PDF page is written.
    void printsThroughView()
    {
        start({picture_});
        const QString pdf = QDir(test::scratchDir()).filePath(QStringLiteral("page.pdf"));
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        documents()->activeView()->printTo(&printer);
        QVERIFY(QFileInfo(pdf).size() > 500);
    }
};

} // namespace nubo

QTEST_MAIN(nubo::FrameTest)
#include "main_frame_test.moc"
