#pragma once

#include <QIcon>

namespace nubo {

// The program's icon: a picture with a marked region.
QIcon appIcon();

// The toolbar picture for a command id (New, Open, Save, Cut, Copy, Paste, Print, About); empty for others.
QIcon toolbarIcon(int commandId);

} // namespace nubo
