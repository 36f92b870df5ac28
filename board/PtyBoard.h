#pragma once

#include "emulator/BoardModel.h"

#include <QObject>
#include <QString>

#include <functional>

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

    // What becomes of the board's answer to a command: as usual, withheld, the wrong kind
    // ("0" for a checksum report, a report for "0", a "0" where none is due), or the line
    // hung up as a board that is switched off or a cable that is pulled.
    enum class Answer { AsUsual, Withheld, Wrong, HangUp };
    // Asked as each command or block arrives whole, with its index among all the board took.
    void setInterference(std::function<Answer(std::size_t command)> interference);
    // The line goes dead: the program's end of it reads and writes no more.
    void hangUp();

private:
    void readable();
    int lineSpeed() const;
    void send(const emu::Bytes &bytes);
    void answer(const std::vector<emu::BoardModel::Reply> &replies);

    int m_master = -1;
    int m_slave = -1; // kept open to read the line settings the program sets
    QString m_slaveName;
    QSocketNotifier *m_notifier = nullptr;
    emu::BoardModel m_model;
    std::function<Answer(std::size_t)> m_interference;
};
