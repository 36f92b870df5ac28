#include "windows/flash/ModuleLinkControl.h"

#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "driver/DriverResult.h"
#include "driver/ModuleConnection.h"
#include "engines/flash/DownloadEngine.h"
#include "windows/flash/FlashStatusDisplay.h"
#include "windows/flash/FlashUtilityForm.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int LinkCheckWaitMs = 10;
// The form's timers this link runs.
constexpr int ScanPrompt = 22, Reconnect = 21;
using Colour = FlashStatusDisplay::Colour;
} // namespace

ModuleLinkControl::ModuleLinkControl(ModuleDriver &driver, FlashUtilityForm &form, FlashStatusDisplay &status,
                                     DownloadEngine &engine, QObject *parent)
    : QObject(parent), m_driver(driver), m_form(form), m_status(status), m_engine(engine)
{
    connect(form.Command10, &QPushButton::clicked, this, &ModuleLinkControl::connectModule);
    connect(form.Timer[Reconnect], &FormTimer::timeout, this, &ModuleLinkControl::reconnectStep);
    connect(form.Timer[ScanPrompt], &FormTimer::timeout, this, &ModuleLinkControl::promptStep);
}

void ModuleLinkControl::connectModule()
{
    const ConnectOutcome outcome = ModuleConnection::connect(m_driver, ConnectOptions::flashLoader());
    emit debugNote(QStringLiteral("Enumeration status = ") + TextFormat::hexNumber(outcome.word));
    if (!outcome.connected) {
        m_status.show(QStringLiteral("USB Error - Reconnect USB Module and Click Connect USB"), Colour::Error);
        m_connected = false;
        offerConnect();
        Beep::beep();
        return;
    }
    m_status.show(outcome.status, Colour::Information);
    m_connected = true;
    m_form.Command10->setEnabled(false);
    // What the module still holds is read and discarded; the scan prompt follows.
    m_engine.flushReplies([this] {
        if (m_form.Check3->isChecked() && m_form.Option1->isChecked())
            m_form.Timer[ScanPrompt]->setEnabled(true);
    });
}

void ModuleLinkControl::check(std::function<void()> whenLinked, std::function<void()> whenFailed)
{
    ModuleConnection::read(
        m_driver, this, LinkCheckWaitMs,
        [this, whenLinked = std::move(whenLinked), whenFailed = std::move(whenFailed)](const ModuleRecord &record) {
            const std::int32_t r = record.result;
            if (r == DriverResult::Success || r == DriverResult::NoResponse) {
                whenLinked();
                return;
            }
            m_connected = false;
            m_status.show(QStringLiteral("USB Error - Reconnect USB Module and Click Connect USB"), Colour::Error);
            offerConnect();
            m_form.Timer[ScanPrompt]->setEnabled(false);
            if (whenFailed)
                whenFailed();
        });
}

void ModuleLinkControl::offerConnect()
{
    m_form.Command10->show();
    m_form.Command10->setEnabled(true);
}

void ModuleLinkControl::cancelScanPrompt()
{
    m_form.Timer[ScanPrompt]->setEnabled(false);
}

std::int32_t ModuleLinkControl::closeAndReconnect()
{
    m_connected = false;
    const std::int32_t r = m_driver.CloseUSBDriver();
    if (r == 0)
        m_form.Timer[Reconnect]->setEnabled(true);
    return r;
}

void ModuleLinkControl::closeForComPort()
{
    // Neither the module's reconnect nor the scan's prompt has a place in Comm Port mode.
    m_form.Timer[Reconnect]->setEnabled(false);
    m_form.Timer[ScanPrompt]->setEnabled(false);
    if (m_connected) {
        m_driver.CloseUSBDriver();
        m_connected = false;
    }
}

int ModuleLinkControl::release()
{
    if (!m_connected)
        return 0;
    const int result = ModuleConnection::release(m_driver).closed;
    m_connected = false;
    return result;
}

void ModuleLinkControl::reconnectStep()
{
    m_form.Timer[Reconnect]->setEnabled(false);
    if (!m_connected)
        connectModule();
}

void ModuleLinkControl::promptStep()
{
    m_form.Timer[ScanPrompt]->setEnabled(false);
    m_status.show(QStringLiteral("Enter max Qwil address and press scan"), Colour::Information);
}
