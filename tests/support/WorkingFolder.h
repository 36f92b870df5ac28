#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Runs a test in a fresh, empty working folder, as the program runs in demo/.
class WorkingFolder {
public:
    WorkingFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Copies the files of the demo folder that the patterns (names or wildcards) match into
    // the folder named below, made when missing, or here.
    void copyDemo(const QStringList &patterns, const QString &below = {}) const
    {
        const QDir demo(QStringLiteral(QUILL_DEMO_DIR));
        const QDir into(path(below));
        QDir().mkpath(into.path());
        for (const QString &name : demo.entryList(patterns, QDir::Files))
            QFile::copy(demo.filePath(name), into.filePath(name));
    }

    void write(const QString &name, const QByteArray &content) const
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};
