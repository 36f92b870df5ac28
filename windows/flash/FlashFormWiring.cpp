#include "windows/flash/FlashFormWiring.h"

#include "core/Beep.h"
#include "engines/flash/AddressKeypad.h"
#include "engines/flash/LoadEvents.h"
#include "engines/flash/LookupTables.h"
#include "engines/flash/NetworkScan.h"
#include "windows/flash/FlashUtilityForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace FlashFormWiring {
namespace {
DownloadMessages::ImageType imageType(const FlashUtilityForm &form)
{
    if (form.Option3->isChecked())
        return DownloadMessages::ImageType::Application;
    return form.Option4->isChecked() ? DownloadMessages::ImageType::Boot : DownloadMessages::ImageType::Fpga;
}
} // namespace

void keepLoadSettings(FlashUtilityForm &form, LoadSettings &settings, NetworkScan &scan, QObject *context)
{
    // The "Qwil" option loads bus devices, "Module" the module.
    QObject::connect(form.Option1, &QRadioButton::toggled, context, [&settings](bool on) { settings.devices = on; });
    for (QRadioButton *option : {form.Option3, form.Option4, form.Option5})
        QObject::connect(option, &QRadioButton::toggled, context,
                         [&form, &settings] { settings.imageType = imageType(form); });
    QObject::connect(form.Check4, &QCheckBox::toggled, context, [&settings](bool ticked) { settings.paused = ticked; });
    QObject::connect(form.Check2, &QCheckBox::toggled, context, [&settings, &scan](bool ticked) {
        settings.debug = ticked;
        scan.setDebug(ticked);
    });
    settings.devices = form.Option1->isChecked();
    settings.imageType = imageType(form);
    settings.paused = form.Check4->isChecked();
    settings.debug = form.Check2->isChecked();
    scan.setDebug(settings.debug);
}

void wireTableButtons(FlashUtilityForm &form, std::function<void(const QString &)> showFailure, QObject *context)
{
    QPushButton *buttons[] = {form.Command3, form.Command4, form.Command5, form.Command6, form.Command7};
    for (std::size_t table = 0; table < LookupTables::All.size(); ++table) {
        QObject::connect(buttons[table], &QPushButton::clicked, context, [showFailure, table] {
            if (const Problem failure = LookupTables::write(LookupTables::All[table], QStringLiteral(".")))
                showFailure(failure.why());
            Beep::beep();
        });
    }
}

void wireKeypad(FlashUtilityForm &form, AddressKeypad &keypad, std::function<void()> entered,
                std::function<void()> refused, QObject *context)
{
    for (int key = 0; key < form.Command15.size(); ++key) {
        QObject::connect(form.Command15[key], &QPushButton::clicked, context, [&form, &keypad, entered, refused, key] {
            const AddressKeypad::Outcome outcome = keypad.press(key);
            form.Text9->setText(keypad.text());
            if (outcome.entered) {
                form.Text10->setText(QString::number(*outcome.entered));
                entered();
            } else if (outcome.rejected) {
                refused();
            }
        });
    }
}

} // namespace FlashFormWiring
