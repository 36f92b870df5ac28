#pragma once

#include <QString>
#include <QStringList>

namespace FolderFiles {

// The names of a folder's files (the current folder's unless named) that match a pattern
// such as "*.hex": matched and sorted without regard to case, as the technicians'
// Windows machines do.
QStringList matching(const QString &pattern, const QString &folder = {});

} // namespace FolderFiles
