#include "common/memory_policy.h"
#include "shell/nubo_app.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    nubo::keepFreedMemoryForReuse();
    QApplication application(argc, argv);
    nubo::CnuboApp app;
    if (!app.initInstance(QApplication::arguments().mid(1)))
        return 1;
    return QApplication::exec();
}
