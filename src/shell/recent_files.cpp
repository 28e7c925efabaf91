#include "shell/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace nubo {

namespace {

const QString kSection = QStringLiteral("Recent File List");

QString key(int i) { return kSection + QStringLiteral("/File%1").arg(i + 1); }

QString canonical(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
}

} // namespace

RecentFileList::RecentFileList()
{
    const QSettings settings;
    for (int i = 0; i < kSize; ++i) {
        const QString path = settings.value(key(i)).toString();
        if (!path.isEmpty())
            paths_ << path;
    }
}

void RecentFileList::add(const QString& path)
{
    const QString full = canonical(path);
    paths_.removeAll(full);
    paths_.prepend(full);
    while (paths_.size() > kSize)
        paths_.removeLast();
    save();
}

void RecentFileList::remove(const QString& path)
{
    // A copy: the caller may pass one of the list's own entries, which the first removal would shift under it.
    const QString gone = path;
    paths_.removeAll(canonical(gone));
    paths_.removeAll(gone);
    save();
}

void RecentFileList::save() const
{
    QSettings settings;
    settings.remove(kSection);
    for (int i = 0; i < paths_.size(); ++i)
        settings.setValue(key(i), paths_[i]);
}

} // namespace nubo
