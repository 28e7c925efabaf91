#pragma once

#include <QDialog>
#include <QString>

#include <vector>

class QComboBox;
class QLabel;

namespace nubo {

class CnuboDoc;

// "Compare images": picks the open document to compare the source document with.
class CCompareDialog : public QDialog {
    Q_OBJECT
public:
    // One open document offered for comparison; comboIndex is its position in the drop-down list.
    struct Entry {
        QString title;
        CnuboDoc* document = nullptr; // not owned
        int comboIndex = -1;
    };

    explicit CCompareDialog(QWidget* parent = nullptr);

    void setSourceTitle(const QString& title);
    QString sourceTitle() const { return sourceTitle_; }

    // Appends an entry to the drop-down list; the first entry added is the one selected.
    void addEntry(const QString& title, CnuboDoc* document);
    const std::vector<Entry>& entries() const { return entries_; }

    // The document chosen by OK, or none.
    CnuboDoc* selectedDocument() const { return selectedDocument_; }

    QComboBox* documentList() const { return list_; }

public slots:
    void accept() override;

private:
    std::vector<Entry> entries_;
    CnuboDoc* selectedDocument_ = nullptr;
    QString sourceTitle_;
    QLabel* sourceLabel_;
    QComboBox* list_;
};

} // namespace nubo
