#include "windows/flash/CommPortControls.h"

#include "windows/shared/FileListBox.h"

#include "engines/flash/SerialLoader.h"
#include "windows/flash/FlashUtilityForm.h"
#include "windows/flash/FlashUtilityLayouts.h"
#include "windows/shared/Twips.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>

CommPortControls::CommPortControls(FlashUtilityForm &form, SerialLoader &serial, std::function<QString()> loadFile,
                                   QWidget *window)
    : QObject(window), m_form(form), m_serial(serial), m_loadFile(std::move(loadFile)), m_window(window)
{
    FlashUtilityForm &f = form;
    connect(f.Command2, &QPushButton::clicked, this,
            [this] { m_serial.start(m_loadFile(), SerialLoader::Request::EraseAll); });
    connect(f.Command19, &QPushButton::clicked, this,
            [this] { m_serial.start(m_loadFile(), SerialLoader::Request::EraseSectors); });
    for (int sector = 0; sector < f.Sector.size(); ++sector)
        connect(f.Sector[sector], &QCheckBox::toggled, this,
                [this, sector](bool ticked) { m_serial.sectorMask().set(sector, ticked); });
    connect(f.Command13, &QPushButton::clicked, this, [this] { setSectors(0, 7, true); });
    connect(f.Command14, &QPushButton::clicked, this, [this] { setSectors(8, 21, true); });
    connect(f.Command18, &QPushButton::clicked, this, [this] {
        setSectors(0, 21, false);
        m_serial.sectorMask().clear();
    });
    // In Comm Port mode "Sector Erase" leads to the sector selector.
    connect(f.Check2, &QCheckBox::toggled, this, [this](bool ticked) {
        if (!m_form.Check3->isChecked())
            showSectorSelector(ticked);
    });
    connect(&serial, &SerialLoader::runningChanged, this, &CommPortControls::serialRunning);
}

void CommPortControls::setUpPort()
{
    QSerialPort *port = m_form.MSComm1;
    port->setBaudRate(QSerialPort::Baud9600);
    port->setParity(QSerialPort::NoParity);
    port->setDataBits(QSerialPort::Data8);
    port->setStopBits(QSerialPort::TwoStop);
}

void CommPortControls::choosePort(int option)
{
    if (m_serial.running()) {
        m_form.Option1->setChecked(m_serial.chosenPort() == 1);
        m_form.Option2->setChecked(m_serial.chosenPort() == 2);
        return;
    }
    if (!m_serial.choosePort(option))
        FlashUtilityLayouts::untick(option == 1 ? m_form.Option1 : m_form.Option2);
}

// While a serial run is in hand nothing that starts, redirects or reshapes it can be
// used: the start buttons, the port options, the mode box and the sector selection the
// erase has taken.
void CommPortControls::serialRunning(bool running)
{
    FlashUtilityForm &f = m_form;
    QWidget *const controls[] = {f.Command1, f.Command2, f.Command19, f.Command13, f.Command14, f.Command18,
                                 f.Option1,  f.Option2,  f.Check2,    f.Check3,    f.File1};
    for (QWidget *control : controls)
        control->setEnabled(!running);
    for (QCheckBox *sector : f.Sector)
        sector->setEnabled(!running);
}

void CommPortControls::setSectors(int first, int last, bool ticked)
{
    for (int sector = first; sector <= last; ++sector)
        m_form.Sector[sector]->setChecked(ticked);
}

// The sector selector shows, and the window grows to hold it, while "Sector Erase" is ticked.
void CommPortControls::showSectorSelector(bool shown)
{
    FlashUtilityLayouts::showSectorSelector(m_form, shown);
    if (shown)
        Twips::resizeWindow(m_window, FlashUtilityForm::Width, FlashUtilityForm::DeviceModeHeight);
}
