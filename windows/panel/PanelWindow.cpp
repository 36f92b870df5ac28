#include "windows/panel/PanelWindow.h"

#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "driver/ModuleConnection.h"
#include "terminal/VersionReport.h"
#include "windows/dome/DomeControlWindow.h"
#include "windows/flash/FlashUtilityWindow.h"
#include "windows/monitor/QwilMonWindow.h"

#include <QApplication>
#include <QDate>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

namespace {
constexpr int ClockIntervalMs = 1000;

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setMinimumHeight(32);
    return button;
}

QLabel *makeLabel(const QString &name, const QString &role, QWidget *parent)
{
    auto *label = new QLabel(name, parent);
    label->setObjectName(name);
    label->setAccessibleName(role);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The regional long time format, without a time-zone name.
QString timeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}
} // namespace

PanelWindow::PanelWindow(ModuleDriver &driver, FlashLoaderOptions flashOptions, QWidget *parent)
    : QWidget(parent), m_driver(driver), m_flashOptions(std::move(flashOptions))
{
    setObjectName(QStringLiteral("panel"));
    setWindowTitle(QStringLiteral("USB Module Control Panel"));

    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Date"), this);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Time"), this);
    QFont clockFont = Label2->font();
    clockFont.setPointSizeF(clockFont.pointSizeF() * 1.4);
    Label1->setFont(clockFont);
    Label2->setFont(clockFont);

    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("Load Utility"), this);
    Command2 = makeButton(QStringLiteral("Command2"), QStringLiteral("Quillbus Analyzer"), this);
    Command3 = makeButton(QStringLiteral("Command3"), QStringLiteral("Dome Control"), this);
    Command4 = makeButton(QStringLiteral("Command4"), QStringLiteral("Get Info"), this);

    Text1 = new QLineEdit(QStringLiteral("Text1"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Terminal"));
    Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(8);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addSpacing(6);
    for (QPushButton *button : {Command1, Command2, Command3, Command4})
        layout->addWidget(button);
    layout->addSpacing(6);
    layout->addWidget(Text1);
    setFixedWidth(300);

    connect(Command1, &QPushButton::clicked, this, &PanelWindow::openFlashLoader);
    connect(Command2, &QPushButton::clicked, this, &PanelWindow::openMonitor);
    connect(Command3, &QPushButton::clicked, this, &PanelWindow::openDomeControl);
    connect(Command4, &QPushButton::clicked, this, &PanelWindow::showVersionReport);

    Label1->setText(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    showTime();
    Timer1 = new FormTimer(QStringLiteral("Timer1"), ClockIntervalMs, this);
    connect(Timer1, &FormTimer::timeout, this, &PanelWindow::showTime);
    Timer1->setEnabled(true);
}

void PanelWindow::showTime()
{
    Label2->setText(QLocale::system().toString(QTime::currentTime(), timeFormat()));
}

void PanelWindow::openFlashLoader()
{
    auto *window = new FlashUtilityWindow(m_driver, m_flashOptions);
    connect(window, &FlashUtilityWindow::closeResult, this,
            [this](int result) { Text1->setText(TextFormat::numberText(result)); });
    openTool(window);
}

void PanelWindow::openMonitor()
{
    openTool(new QwilMonWindow(m_driver));
}

void PanelWindow::openDomeControl()
{
    openTool(new DomeControlWindow(m_driver));
}

void PanelWindow::openTool(ToolWindow *tool)
{
    connect(tool, &ToolWindow::unloaded, this, &QWidget::show);
    tool->show();
    hide();
}

void PanelWindow::showVersionReport()
{
    m_moduleStatus = ModuleConnection::connect(m_driver, ConnectOptions::controlPanel()).status;
    const QString report = VersionReport::build(m_driver.GetQwilUsbVersion(), m_moduleStatus);
    QMessageBox::information(this, QApplication::applicationName(), report);
}
