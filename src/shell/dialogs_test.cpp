#include "common/version.h"
#include "shell/about_dialog.h"
#include "shell/coder_settings_dialog.h"
#include "shell/document_manager.h"
#include "shell/recent_files.h"
#include "shell/compare_dialog.h"
#include "shell/integer_field.h"
#include "shell/ratio_dialog.h"
#include "shell/select_regions_dialog.h"
#include "shell/shell_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QStandardPaths>
#include <QPushButton>
#include <QTest>

namespace nubo {

class DialogsTest : public QObject {
    Q_OBJECT
private:
    static QAbstractButton* okButton(QDialog& dialog)
    {
        if (auto* box = dialog.findChild<QDialogButtonBox*>())
            return box->button(QDialogButtonBox::Ok);
        return dialog.findChild<QPushButton*>(QStringLiteral("ok"));
    }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup()
    {
        test::stopWaiting();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    // The integer reader accepts blanks and a sign, and tells a non-integer from an out-of-range integer.
    void integerText()
    {
        int v = 0;
        QCOMPARE(checkIntegerText(QStringLiteral(" 42 "), 1, 500, v), IntegerCheck::Valid);
        QCOMPARE(v, 42);
        QCOMPARE(checkIntegerText(QStringLiteral("+7"), 1, 500, v), IntegerCheck::Valid);
        QCOMPARE(checkIntegerText(QStringLiteral("-3"), 1, 500, v), IntegerCheck::OutOfRange);
        QCOMPARE(checkIntegerText(QStringLiteral("4 2"), 1, 500, v), IntegerCheck::NotAnInteger);
        QCOMPARE(checkIntegerText(QStringLiteral(""), 1, 500, v), IntegerCheck::NotAnInteger);
        QCOMPARE(checkIntegerText(QStringLiteral("99999999999"), 1, 500, v), IntegerCheck::NotAnInteger);
        QCOMPARE(v, 7);
    }

    // The ratio dialog accepts 1 and 500.
    void ratioAccepts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ratio");
        QTest::newRow("1") << QStringLiteral("1") << 1;
        QTest::newRow("500") << QStringLiteral("500") << 500;
        QTest::newRow("blanks") << QStringLiteral(" 250 ") << 250;
    }
    void ratioAccepts()
    {
        QFETCH(QString, text);
        QFETCH(int, ratio);
        CRatioDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Ratio"));
        QCOMPARE(dialog.promptText(), QStringLiteral("Insert Ratio for this ROI:"));
        QCOMPARE(dialog.ratioField()->text(), QStringLiteral("1"));
        QVERIFY(test::showActive(&dialog));
        dialog.ratioField()->setText(text);
        QCOMPARE(test::clickAndCatchMessage(okButton(dialog)), QString());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.ratio(), ratio);
    }

    // The ratio dialog refuses 0, 501 and "abc" with the framework's texts, stays open with the focus on the
    // field, and keeps the caller's value.
    void ratioRefuses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("0") << QStringLiteral("0") << QStringLiteral("Please enter an integer between 1 and 500.");
        QTest::newRow("501") << QStringLiteral("501") << QStringLiteral("Please enter an integer between 1 and 500.");
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("Please enter an integer.");
        QTest::newRow("empty") << QString() << QStringLiteral("Please enter an integer.");
    }
    void ratioRefuses()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        CRatioDialog dialog;
        dialog.setRatio(17);
        QVERIFY(test::showActive(&dialog));
        dialog.ratioField()->setText(text);
        QCOMPARE(test::clickAndCatchMessage(okButton(dialog)), message);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.ratio(), 17);
        QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(dialog.ratioField()));
        QCOMPARE(dialog.ratioField()->selectedText(), text);
    }

    // A prompt replaces the static text; Cancel leaves the value alone.
    void ratioPromptAndCancel()
    {
        CRatioDialog dialog;
        dialog.setPrompt(QStringLiteral("Insert Ratio for Background:"));
        dialog.setRatio(30);
        QCOMPARE(dialog.promptText(), QStringLiteral("Insert Ratio for Background:"));
        test::whenModal([](QWidget* w) {
            auto* d = qobject_cast<CRatioDialog*>(w);
            d->ratioField()->setText(QStringLiteral("99"));
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(dialog.ratio(), 30);
    }

    // The coder settings dialog accepts 2 to 5 and refuses 1 and 6.
    void coderSettingsStages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        for (int s = 1; s <= 6; ++s)
            QTest::newRow(qPrintable(QString::number(s))) << QString::number(s) << (s >= 2 && s <= 5);
    }
    void coderSettingsStages()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        CCoderSettingsDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Coder settings"));
        dialog.setStages(5);
        QVERIFY(test::showActive(&dialog));
        dialog.stagesField()->setText(text);
        const QString message = test::clickAndCatchMessage(okButton(dialog));
        if (accepted) {
            QCOMPARE(message, QString());
            QCOMPARE(dialog.stages(), text.toInt());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        } else {
            QCOMPARE(message, QStringLiteral("Please enter an integer between 2 and 5."));
            QCOMPARE(dialog.stages(), 5);
            QVERIFY(dialog.isVisible());
        }
    }

    // The small-region box starts as set, and OK takes its state; Cancel keeps the old one.
    void coderSettingsPredictiveSmallRegions()
    {
        CCoderSettingsDialog dialog;
        dialog.setStages(4);
        dialog.setPredictiveSmallRegions(false);
        QVERIFY(!dialog.predictiveBox()->isChecked());
        QVERIFY(test::showActive(&dialog));
        dialog.predictiveBox()->setChecked(true);
        QCOMPARE(test::clickAndCatchMessage(okButton(dialog)), QString());
        QVERIFY(dialog.predictiveSmallRegions());

        CCoderSettingsDialog cancelled;
        cancelled.setPredictiveSmallRegions(true);
        QVERIFY(cancelled.predictiveBox()->isChecked());
        QVERIFY(test::showActive(&cancelled));
        cancelled.predictiveBox()->setChecked(false);
        cancelled.reject();
        QVERIFY(cancelled.predictiveSmallRegions());
    }

    // With 12 regions the list runs Background, then 1 to 12 in numeric order; entry 10 is region position 9.
    void selectRegionsNumericOrder()
    {
        RegionSelection selection;
        selection.initRegions(12);
        CSelectRegionsDialog dialog(selection);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Decoding: Select regions"));
        QListWidget* list = dialog.regionList();
        QCOMPARE(list->count(), 13);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Background"));
        for (int n = 1; n <= 12; ++n)
            QCOMPARE(list->item(n)->text(), QStringLiteral("Region of Interest %1").arg(n));
        QVERIFY(list->item(0)->isSelected());
        QCOMPARE(list->selectedItems().size(), 1);
        QVERIFY(!dialog.outlinesBox()->isChecked());
        QCOMPARE(dialog.findChildren<QPushButton*>().size(), 3); // All, None, OK: no Cancel

        QVERIFY(test::showActive(&dialog));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(0)).center());
        list->scrollToItem(list->item(10));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(10)).center());
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems().first()->text(), QStringLiteral("Region of Interest 10"));
        QTest::mouseClick(dialog.outlinesBox(), Qt::LeftButton);
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(selection.isSelected(9));
        QVERIFY(!selection.isSelected(0));
        QVERIFY(!selection.isSelected(1));
        QVERIFY(!selection.background());
        QVERIFY(selection.showOutlines());
    }

    // "All" then OK selects the background and every region.
    void selectRegionsAll()
    {
        RegionSelection selection;
        selection.initRegions(3);
        CSelectRegionsDialog dialog(selection);
        QVERIFY(test::showActive(&dialog));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("all")), Qt::LeftButton);
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
        QVERIFY(selection.background());
        for (int i = 0; i < 3; ++i)
            QVERIFY(selection.isSelected(i));
        QVERIFY(!selection.showOutlines());
    }

    // OK with nothing selected gives no region, no background and no outlines, whatever the check box says.
    void selectRegionsNone()
    {
        RegionSelection selection;
        selection.initRegions(4);
        CSelectRegionsDialog dialog(selection);
        QVERIFY(test::showActive(&dialog));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("all")), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("none")), Qt::LeftButton);
        dialog.outlinesBox()->setChecked(true);
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!selection.background());
        for (int i = 0; i < 4; ++i)
            QVERIFY(!selection.isSelected(i));
        QVERIFY(!selection.showOutlines());
    }

    // Esc cancels the selection dialog and leaves the selection as it was.
    void selectRegionsEscapeCancels()
    {
        RegionSelection selection;
        selection.initRegions(2);
        CSelectRegionsDialog dialog(selection);
        test::whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(!selection.background());
        QVERIFY(!selection.isSelected(0));
    }

    // OK with the first item returns the first entry's document; another choice returns its own.
    void compareChoosesDocument()
    {
        QMdiArea area;
        RecentFileList recent;
        DocumentManager documents(&area, recent);
        CnuboDoc* first = documents.createDocument(QStringLiteral("new 1"));
        CnuboDoc* second = documents.createDocument(QStringLiteral("nubo2"));
        {
            CCompareDialog dialog;
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Compare images"));
            dialog.setSourceTitle(QStringLiteral("astronaut.bmp"));
            dialog.addEntry(QStringLiteral("new 1"), first);
            dialog.addEntry(QStringLiteral("nubo2"), second);
            QCOMPARE(dialog.documentList()->count(), 2);
            QCOMPARE(dialog.documentList()->currentIndex(), 0);
            QCOMPARE(dialog.entries()[1].comboIndex, 1);
            QVERIFY(test::showActive(&dialog));
            QTest::mouseClick(okButton(dialog), Qt::LeftButton);
            QCOMPARE(dialog.selectedDocument(), first);
            QCOMPARE(dialog.sourceTitle(), QStringLiteral("astronaut.bmp"));
        }
        {
            CCompareDialog dialog;
            dialog.addEntry(QStringLiteral("new 1"), first);
            dialog.addEntry(QStringLiteral("nubo2"), second);
            dialog.documentList()->setCurrentIndex(1);
            QVERIFY(test::showActive(&dialog));
            QTest::mouseClick(okButton(dialog), Qt::LeftButton);
            QCOMPARE(dialog.selectedDocument(), second);
        }
    }

    // The About box names the program and its version.
    void aboutBox()
    {
        CAboutDlg dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("About nubo"));
        bool version = false;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            version = version || label->text() == QStringLiteral("nubo Version %1").arg(QLatin1String(kVersionText));
        QVERIFY(version);
    }
};

} // namespace nubo

QTEST_MAIN(nubo::DialogsTest)
#include "dialogs_test.moc"
