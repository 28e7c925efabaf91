#pragma once

#include "workbench/region_history.h"

#include <QUndoCommand>

namespace nubo {

class CnuboDoc;

// One region edit on a document's undo stack: the regions and background before and after it. The edit has
// already been made when the command is pushed, so its first redo does nothing.
class RegionEditCommand : public QUndoCommand {
public:
    RegionEditCommand(CnuboDoc& document, RegionState before, RegionState after, const QString& text);

    void undo() override;
    void redo() override;

private:
    CnuboDoc& document_;
    RegionState before_;
    RegionState after_;
    bool done_ = true;
};

} // namespace nubo
