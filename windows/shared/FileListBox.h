#pragma once

#include <QListWidget>
#include <QStringList>

// A list of the working folder's files that match a pattern such as "*.hex"
// (FolderFiles::matching).
class FileListBox final : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget *parent = nullptr);

    void setPattern(const QString &pattern);
    const QString &pattern() const { return m_pattern; }

    // Re-reads the working folder.
    void refresh();

    QStringList names() const;
    // The selected file's name, empty when none is selected.
    QString selectedName() const;

private:
    QString m_pattern = QStringLiteral("*.*");
};
