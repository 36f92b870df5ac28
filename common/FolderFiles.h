#pragma once

#include <QString>
#include <QStringList>

namespace FolderFiles {

// The working folder's files that match a pattern such as "*.hex": matched and sorted
// without regard to case, as the technicians' Windows machines do.
QStringList matching(const QString &pattern);

} // namespace FolderFiles
