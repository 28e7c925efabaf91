#include "shell/workbench_docks.h"

#include "shell/region_table_dock.h"
#include "shell/results_log_dock.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

namespace nubo {

void addWorkbenchDocks(QMainWindow& window, QMenu& viewMenu, QMdiArea* area,
                       std::function<CnuboDoc*()> activeDocument)
{
    auto* inspector = new RegionInspector(area, std::move(activeDocument), &window);
    auto* results = new ResultsLogDock(&window);
    window.addDockWidget(Qt::RightDockWidgetArea, inspector);
    window.addDockWidget(Qt::BottomDockWidgetArea, results);
    inspector->hide();
    results->hide();

    viewMenu.addSeparator();
    QAction* showInspector = inspector->toggleViewAction();
    showInspector->setText(QStringLiteral("Region &Inspector"));
    showInspector->setStatusTip(QStringLiteral("Show or hide the table of the regions"));
    viewMenu.addAction(showInspector);
    QAction* showResults = results->toggleViewAction();
    showResults->setText(QStringLiteral("&Results Log"));
    showResults->setStatusTip(QStringLiteral("Show or hide the statistics of this session"));
    viewMenu.addAction(showResults);
}

} // namespace nubo
