#pragma once

#include "regions/region_selection.h"

#include <QDialog>

class QCheckBox;
class QListWidget;

namespace nubo {

// "Decoding: Select regions": which records of a stream to decode. The list shows "Background" and then one
// entry per region record of the selection; OK writes the choice into the selection. There is no Cancel button:
// Esc or closing the window cancels.
class CSelectRegionsDialog : public QDialog {
    Q_OBJECT
public:
    // The caller has called initRegions on the selection with the stream's number of region records.
    explicit CSelectRegionsDialog(RegionSelection& selection, QWidget* parent = nullptr);

    QListWidget* regionList() const { return list_; }
    QCheckBox* outlinesBox() const { return outlines_; }

public slots:
    void accept() override;
    void selectAll();
    void selectNone();

private:
    RegionSelection& selection_;
    QListWidget* list_;
    QCheckBox* outlines_;
};

} // namespace nubo
