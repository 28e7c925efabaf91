#pragma once

#include <QStringList>

namespace nubo {

// The recent-file list: at most four paths, newest first, kept in the application's settings ("Recent File
// List", keys File1 .. File4).
class RecentFileList {
public:
    static constexpr int kSize = 4;

    RecentFileList();

    const QStringList& paths() const { return paths_; }

    // Puts path first, dropping an older entry for the same file and the oldest beyond four.
    void add(const QString& path);
    void remove(const QString& path);

private:
    void save() const;

    QStringList paths_;
};

} // namespace nubo
