#include "windows/shared/FileListBox.h"

#include "core/FolderFiles.h"

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh()
{
    clear();
    addItems(FolderFiles::matching(m_pattern));
}

QStringList FileListBox::names() const
{
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all << item(i)->text();
    return all;
}

QString FileListBox::selectedName() const
{
    const QList<QListWidgetItem *> chosen = selectedItems();
    return chosen.isEmpty() ? QString() : chosen.first()->text();
}
