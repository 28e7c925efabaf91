#pragma once

#include <functional>

class QMainWindow;
class QMdiArea;
class QMenu;

namespace nubo {

class CnuboDoc;

// Adds the Region Inspector (right) and the Results Log (bottom) to the main window, hidden, each with a check
// item at the end of the View menu that shows or hides it. The inspector follows the document of the active window.
void addWorkbenchDocks(QMainWindow& window, QMenu& viewMenu, QMdiArea* area,
                       std::function<CnuboDoc*()> activeDocument);

} // namespace nubo
