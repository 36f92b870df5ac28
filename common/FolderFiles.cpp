#include "FolderFiles.h"

#include <QDir>

namespace FolderFiles {

QStringList matching(const QString &pattern)
{
    QDir folder(QDir::currentPath());
    folder.setNameFilters({pattern});
    folder.setFilter(QDir::Files);
    folder.setSorting(QDir::Name | QDir::IgnoreCase);
    return folder.entryList();
}

} // namespace FolderFiles
