#pragma once

#include "workbench/results_log.h"

#include <QObject>

#include <vector>

namespace nubo {

// Every statistic the coding commands have produced since the program started, in the order they came. One log
// for the process, so that it outlives the documents (and the windows) whose figures it keeps.
class SessionResults : public QObject {
    Q_OBJECT
public:
    static SessionResults& instance();

    const std::vector<ResultRecord>& records() const { return records_; }
    // Stamps the record with the local time and appends it.
    void add(ResultRecord record);

signals:
    void added(int row);

private:
    SessionResults() = default;
    std::vector<ResultRecord> records_;
};

} // namespace nubo
