#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <memory>

// Reads and closes the next modal message box a handler opens, as a user would.
class MessageBoxWatcher {
public:
    struct Seen {
        bool shown = false;
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    MessageBoxWatcher() { poll(m_seen, 0); }

    const Seen &seen() const { return *m_seen; }

private:
    static void poll(const std::shared_ptr<Seen> &seen, int tries)
    {
        QTimer::singleShot(tries == 0 ? 0 : 10, [seen, tries] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                if (tries < 300)
                    poll(seen, tries + 1);
                return;
            }
            seen->shown = true;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            box->accept();
        });
    }

    std::shared_ptr<Seen> m_seen = std::make_shared<Seen>();
};
