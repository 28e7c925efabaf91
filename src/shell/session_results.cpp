#include "shell/session_results.h"

#include <QDateTime>

namespace nubo {

SessionResults& SessionResults::instance()
{
    static SessionResults log;
    return log;
}

void SessionResults::add(ResultRecord record)
{
    record.time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    records_.push_back(std::move(record));
    emit added(static_cast<int>(records_.size()) - 1);
}

} // namespace nubo
