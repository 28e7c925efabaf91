#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QScrollArea;
class QSpinBox;
class QPushButton;

namespace nubo {

class CCompareView;
class CnuboDoc;
class DocumentManager;

// The document "Compare views" pairs with the active one: the next open document after it (in the order they were
// opened, wrapping round) whose picture has the same size; none when no other document has such a picture.
CnuboDoc* comparePartner(const DocumentManager& documents, const CnuboDoc* active);

// Window > Compare views: a window of its own with the two pictures in one CCompareView (split or toggled, zoomed
// and scrolled together), a line naming what is shown, and the difference picture: |first - second| per channel
// times the chosen amplification, opened as a new document. The view keeps copies of the two pictures as they
// were when the window opened, so it stays valid when the documents change or close.
class CCompareWindow : public QWidget {
    Q_OBJECT
public:
    CCompareWindow(DocumentManager& documents, const CnuboDoc& first, const CnuboDoc& second,
                   QWidget* parent = nullptr);

    CCompareView* view() const { return view_; }
    QSpinBox* gainBox() const { return gain_; }
    QPushButton* differenceButton() const { return difference_; }
    QLabel* stateLine() const { return state_; }

    // Opens the difference picture at the chosen amplification as a new document titled "difference xN"; none
    // when it cannot be made (the reason is shown) or the documents have gone.
    CnuboDoc* openDifference();

private:
    void showState();

    QPointer<DocumentManager> documents_;
    QString titles_[2];
    CCompareView* view_;
    QScrollArea* scroll_;
    QLabel* state_;
    QSpinBox* gain_;
    QPushButton* difference_;
};

// Opens the compare window for the active document and its partner; does nothing without a partner.
CCompareWindow* openCompareWindow(DocumentManager& documents, QWidget* parent);

} // namespace nubo
