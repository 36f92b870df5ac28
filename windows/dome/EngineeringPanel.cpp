#include "windows/dome/EngineeringPanel.h"

#include "windows/dome/DomeControlForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

EngineeringPanel::EngineeringPanel(DomeControlForm &form, DomeLink link, ShowBytes showBytes, QObject *parent)
    : QObject(parent), f(form), m_link(link), m_showBytes(std::move(showBytes))
{
    for (QCheckBox *box : {f.Check5, f.Check6, f.Check7})
        connect(box, &QCheckBox::toggled, this, [this, box] { axisBoxChanged(box); });
    connect(f.Option3, &QRadioButton::toggled, this, [this](bool on) {
        if (on && f.Check7->isChecked())
            f.Option4->setChecked(true); // zoom has no counts
    });
    connect(f.Option5, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            f.Option2->setChecked(true); // frames move relatively
    });
    for (QRadioButton *focus : {f.Option10, f.Option12})
        connect(focus, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                autoManSelected(true);
        });
    for (QRadioButton *iris : {f.Option11, f.Option13})
        connect(iris, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                autoManSelected(false);
        });

    const std::uint8_t &address = m_link.state.DomeAddress;
    connect(f.Command24, &QPushButton::clicked, this, [this, &address] { send(Ncpc::get(address, choices()), false); });
    connect(f.Command25, &QPushButton::clicked, this, &EngineeringPanel::set);
    connect(f.Command26, &QPushButton::clicked, this,
            [this, &address] { send(Ncpc::getUnits(address, choices()), true); });
    connect(f.Command27, &QPushButton::clicked, this, [this] { target(false); });
    connect(f.Command28, &QPushButton::clicked, this, [this] { target(true); });
    connect(f.Command18, &QPushButton::clicked, this, [this] { nudge(Ncpc::Nudge::Near); });
    connect(f.Command19, &QPushButton::clicked, this, [this] { nudge(Ncpc::Nudge::Far); });
    connect(f.Command20, &QPushButton::clicked, this, [this] { nudge(Ncpc::Nudge::Open); });
    connect(f.Command21, &QPushButton::clicked, this, [this] { nudge(Ncpc::Nudge::Close); });
    connect(f.Command17, &QPushButton::clicked, this, &EngineeringPanel::frameMove);
    f.Command20->installEventFilter(this);
}

void EngineeringPanel::reset()
{
    for (QRadioButton *option : {f.Option8, f.Option1, f.Option6, f.Option4, f.Option10, f.Option11}) {
        const QSignalBlocker quiet(option);
        option->setChecked(true);
    }
}

Ncpc::Choices EngineeringPanel::choices() const
{
    Ncpc::Choices c;
    c.pan = f.Check5->isChecked();
    c.tilt = f.Check6->isChecked();
    c.zoom = f.Check7->isChecked();
    c.units = f.Option4->isChecked()   ? Ncpc::Units::Degrees
              : f.Option3->isChecked() ? Ncpc::Units::Counts
                                       : Ncpc::Units::Frames;
    c.longForm = f.Option8->isChecked();
    c.relative = f.Option2->isChecked();
    c.maxLimit = f.Option6->isChecked();
    c.focusAuto = f.Option10->isChecked();
    c.irisAuto = f.Option11->isChecked();
    return c;
}

// Every request shows what it sent; most report a failed send.
void EngineeringPanel::send(const Ncpc::Bytes &message, bool showResult)
{
    m_link.send(
        [copy = message](ModuleDriver &d) mutable {
            return d.SndQwilData(copy.data(), static_cast<std::int16_t>(copy.size()));
        },
        [link = m_link, showResult](std::int32_t r) {
            if (showResult)
                link.showFailure(r);
        });
    m_showBytes(message);
}

// In the short form one axis at a time; zoom in the long form goes with pan and tilt.
void EngineeringPanel::axisBoxChanged(QCheckBox *box)
{
    DomeState &s = m_link.state;
    bool &busy = box == f.Check5 ? s.PanBoxBusy : box == f.Check6 ? s.TiltBoxBusy : s.ZoomBoxBusy;
    busy = true;
    const bool shortForm = f.Option9->isChecked();
    const auto uncheck = [](QCheckBox *other, bool otherBusy) {
        if (!otherBusy)
            other->setChecked(false);
    };
    if (box != f.Check7) {
        if (shortForm) {
            if (box != f.Check5)
                uncheck(f.Check5, s.PanBoxBusy);
            if (box != f.Check6)
                uncheck(f.Check6, s.TiltBoxBusy);
            uncheck(f.Check7, s.ZoomBoxBusy);
        }
    } else {
        if (shortForm) {
            uncheck(f.Check5, s.PanBoxBusy);
            uncheck(f.Check6, s.TiltBoxBusy);
        } else {
            f.Check5->setChecked(true);
            f.Check6->setChecked(true);
        }
        if (f.Option3->isChecked())
            f.Option4->setChecked(true);
    }
    busy = false;
}

void EngineeringPanel::autoManSelected(bool focusPair)
{
    const DomeState &s = m_link.state;
    if (s.AutoKeyActive || s.NudgeActive || (focusPair ? s.FocusKeyActive : s.IrisKeyActive))
        return;
    const Ncpc::Choices c = choices();
    send(DomeMessages::autoMan(s.DomeAddress, c.longForm, c.focusAuto, c.irisAuto, c.units), false);
}

void EngineeringPanel::selectCounts()
{
    f.Option3->setChecked(true);
    if (f.Check7->isChecked())
        f.Option4->setChecked(true); // also when Counts was already selected
}

void EngineeringPanel::set()
{
    const auto request =
        Ncpc::set(m_link.state.DomeAddress, choices(), f.Text3->text(), f.Text4->text(), f.Text5->text());
    if (!request) {
        m_link.events.said(QStringLiteral("NCPC Value Out of Range"));
        return;
    }
    f.Text6->setText(request->shownValue);
    send(request->message, true);
}

void EngineeringPanel::target(bool setting)
{
    selectCounts();
    const DomeState &s = m_link.state;
    send(setting ? Ncpc::setTarget(s.DomeAddress, choices(), s.TargetData) : Ncpc::getTarget(s.DomeAddress, choices()),
         true);
}

void EngineeringPanel::nudge(Ncpc::Nudge which)
{
    DomeState &s = m_link.state;
    s.NudgeActive = true;
    if (which == Ncpc::Nudge::Near || which == Ncpc::Nudge::Far)
        f.Option12->setChecked(true);
    else
        f.Option13->setChecked(true);
    s.NudgeActive = false;
    send(Ncpc::nudge(s.DomeAddress, choices(), which), true);
}

void EngineeringPanel::frameMove()
{
    m_link.send(
        [message = Ncpc::frameMove(m_link.state.DomeAddress)](ModuleDriver &d) mutable {
            return d.SndQwilData(message.data(), static_cast<std::int16_t>(message.size()));
        },
        [link = m_link](std::int32_t r) { link.showFailure(DomeLink::invalidAsCommandError(r)); });
}

void EngineeringPanel::showReply(const std::vector<std::uint8_t> &record, std::size_t count)
{
    const Ncpc::ReplyView view = Ncpc::decode(record, count);
    if (view.targetData) {
        m_link.state.TargetData.fill(0);
        std::copy(view.targetData->begin(), view.targetData->end(), m_link.state.TargetData.begin());
    }
    if (view.pan)
        f.Text3->setText(*view.pan);
    if (view.tilt)
        f.Text4->setText(*view.tilt);
    if (view.zoom)
        f.Text5->setText(*view.zoom);
}

// Letting go of "Nudge OPEN" stops the tilt, as the keyboard always did.
bool EngineeringPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == f.Command20 && event->type() == QEvent::MouseButtonRelease) {
        const std::uint8_t address = m_link.state.DomeAddress;
        m_link.send([address](ModuleDriver &d) { return d.DevTilt(0x86, 0, address, 0); });
    }
    return QObject::eventFilter(watched, event);
}
