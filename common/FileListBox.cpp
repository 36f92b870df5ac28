#include "FileListBox.h"

#include <QDir>

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QStringList FileListBox::matchingFiles(const QString &pattern)
{
    QDir folder(QDir::currentPath());
    folder.setNameFilters({pattern});
    folder.setFilter(QDir::Files);
    folder.setSorting(QDir::Name | QDir::IgnoreCase);
    return folder.entryList();
}

void FileListBox::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh()
{
    clear();
    addItems(matchingFiles(m_pattern));
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
