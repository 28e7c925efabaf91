#include "shell/region_edit_command.h"

#include "shell/nubo_doc.h"

namespace nubo {

RegionEditCommand::RegionEditCommand(CnuboDoc& document, RegionState before, RegionState after,
                                     const QString& text)
    : QUndoCommand(text), document_(document), before_(std::move(before)), after_(std::move(after))
{
}

void RegionEditCommand::undo()
{
    document_.restoreRegionState(before_);
    done_ = false;
}

void RegionEditCommand::redo()
{
    if (done_)
        return; // pushed after the edit was made
    document_.restoreRegionState(after_);
    done_ = true;
}

} // namespace nubo
