#include "core/FolderFiles.h"

#include <QDir>

namespace FolderFiles {

QStringList matching(const QString &pattern, const QString &where)
{
    QDir folder(where.isEmpty() ? QDir::currentPath() : where);
    folder.setNameFilters({pattern});
    folder.setFilter(QDir::Files);
    folder.setSorting(QDir::Name | QDir::IgnoreCase);
    return folder.entryList();
}

} // namespace FolderFiles
