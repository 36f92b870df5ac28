#pragma once

#include "engines/dome/DomeLink.h"
#include "engines/dome/NcpcMessages.h"

#include <QObject>

#include <functional>

struct DomeControlForm;
class QCheckBox;

// The lower engineering panel: its axis boxes and options with their rules, the 0xFA
// requests its buttons send, and the dome's replies shown in its value boxes.
class EngineeringPanel final : public QObject {
    Q_OBJECT
public:
    using ShowBytes = std::function<void(const Ncpc::Bytes &)>;

    // showBytes puts a message sent into the reply box.
    EngineeringPanel(DomeControlForm &form, DomeLink link, ShowBytes showBytes, QObject *parent);

    // The panel's starting choices: Long, Abs, Max, Degrees and both Auto; nothing sent.
    void reset();
    // A 0xFA reply the receive poll fetched.
    void showReply(const std::vector<std::uint8_t> &record, std::size_t count);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ncpc::Choices choices() const;
    void send(const Ncpc::Bytes &message, bool showResult);
    void axisBoxChanged(QCheckBox *box);
    void autoManSelected(bool focusPair);
    void selectCounts();
    void set();
    void target(bool setting);
    void nudge(Ncpc::Nudge which);
    void frameMove();

    DomeControlForm &f;
    DomeLink m_link;
    ShowBytes m_showBytes;
};
