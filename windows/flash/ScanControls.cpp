#include "windows/flash/ScanControls.h"

#include "core/Beep.h"
#include "engines/flash/DeviceLoadSequence.h"
#include "engines/flash/NetworkScan.h"
#include "windows/flash/FlashStatusDisplay.h"
#include "windows/flash/FlashUtilityForm.h"
#include "windows/flash/ModuleLinkControl.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
using Colour = FlashStatusDisplay::Colour;

int boxValue(const QLineEdit *box)
{
    return ScanRules::boxValue(box->text());
}
} // namespace

ScanControls::ScanControls(NetworkScan &scan, DeviceLoadSequence &sequence, FlashUtilityForm &form,
                           FlashStatusDisplay &status, ModuleLinkControl &link, QObject *parent)
    : QObject(parent), m_scan(scan), m_sequence(sequence), m_form(form), m_status(status), m_link(link)
{
    m_scan.setMaxAddressSource([this] { return boxValue(m_form.Text10); });
    connect(&scan, &NetworkScan::progressed, this, [this] { m_status.stepProgress(); });
    connect(&scan, &NetworkScan::deviceScanned, this, [this](const ScanRules::ScannedDevice &device) {
        m_scanned.push_back(device);
        m_form.List1->addItem(ScanRules::row(device));
    });
    connect(&scan, &NetworkScan::ended, this, &ScanControls::scanFinished);
    connect(form.Command9, &QPushButton::clicked, this, &ScanControls::scanClicked);
    connect(form.Text10, &QLineEdit::textChanged, this, &ScanControls::maxAddressChanged);
}

void ScanControls::clearDevices()
{
    m_form.List1->clear();
    m_scanned.clear();
}

void ScanControls::stop()
{
    m_scan.requestStop();
    m_running = false;
}

void ScanControls::scanClicked()
{
    if (m_running) {
        stop();
        return;
    }
    if (m_scan.running())
        return; // a stopped scan is still finishing its last address
    m_link.cancelScanPrompt();
    m_link.check([this] { startScan(); });
}

void ScanControls::startScan()
{
    FlashUtilityForm &f = m_form;
    if (!m_link.connected()) {
        m_status.show(QStringLiteral("No USB Module - Connect Module and Click Connect "), Colour::Error);
        m_link.offerConnect();
        return;
    }
    const int highest = boxValue(f.Text10);
    m_status.setProgress(0, highest);
    if (highest > ScanRules::MaxScanAddress) {
        m_status.show(QStringLiteral("Error - Maximum Scan Address is 96"), Colour::Error);
        return;
    }
    m_running = true;
    f.Command9->setText(QStringLiteral("Stop Scan"));
    emit runningChanged();
    m_status.show(QStringLiteral("Scanning Network for Devices"), Colour::Information);
    m_sequence.interrupt();
    for (int row = f.List1->count() - 1; row >= 0; --row)
        delete f.List1->takeItem(row);
    m_scanned.clear();
    m_scan.begin(highest);
}

void ScanControls::maxAddressChanged()
{
    const int value = boxValue(m_form.Text10);
    if (value >= 1 && value <= 255) {
        m_status.show(QStringLiteral("Click Scan Network"), Colour::Information);
        return;
    }
    m_status.show(QStringLiteral("Max Address = 1-255"), Colour::Error);
    Beep::beep();
}

// The status says the list can be used once the load button can: after the last drain.
void ScanControls::scanFinished()
{
    m_running = false;
    m_form.Command9->setText(QStringLiteral("Scan Network"));
    emit runningChanged();
    m_status.show(QStringLiteral("Scan Complete - Select Devices From List"), Colour::Information);
    Beep::beep();
    emit scanEnded();
}
