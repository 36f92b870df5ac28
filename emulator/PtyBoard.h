#pragma once

#include "BoardModel.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

// The emulated board behind a pseudo-terminal: the program opens slaveName() as its
// serial port; the board reads what arrives, at the speed the port is set to, and answers.
class PtyBoard final : public QObject {
    Q_OBJECT
public:
    explicit PtyBoard(QObject *parent = nullptr);
    ~PtyBoard() override;

    bool isOpen() const { return m_master >= 0; }
    QString slaveName() const { return m_slaveName; }
    emu::BoardModel &model() { return m_model; }

private:
    void readable();
    int lineSpeed() const;
    void send(const emu::Bytes &bytes);

    int m_master = -1;
    int m_slave = -1; // kept open to read the line settings the program sets
    QString m_slaveName;
    QSocketNotifier *m_notifier = nullptr;
    emu::BoardModel m_model;
};
