#include "EmulatedBus.h"
#include "QtPrinters.h"
#include "ThreadedBus.h"
#include "WorkingFolder.h"
#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "engines/monitor/CaptureCycle.h"
#include "engines/monitor/DisplaySweep.h"
#include "windows/monitor/LineDisplay.h"
#include "windows/monitor/QwilMonWindow.h"
#include "windows/shared/FileListBox.h"

#include "engines/monitor/RowFeed.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// A monitor on an emulated bus, in its own working folder; every row it shows is kept.
struct Monitor {
    explicit Monitor(const emu::Scenario &s = emu::Scenario::defaultBus())
        : bus(s), window(new QwilMonWindow(bus.driver))
    {
        QObject::connect(&window->rows(), &RowFeed::row, [this](const QString &row) { rows.append(row); });
        window->show();
    }
    ~Monitor() { delete window; }

    void click(QAbstractButton *button) { button->click(); }
    // Picks the first log in the file list as a click does.
    void pickFirstLog()
    {
        window->File1->refresh();
        window->File1->item(0)->setSelected(true);
        emit window->File1->itemClicked(window->File1->item(0));
    }
    void run(std::int64_t ms) { bus.advance(ms); }
    QString lastLine() { return window->displayLines().isEmpty() ? QString() : window->displayLines().last(); }

    WorkingFolder folder;
    EmulatedBus bus;
    QPointer<QwilMonWindow> window;
    QStringList rows;
};

} // namespace

// Assistive technology reads the window's controls: the indicators by what they show (and
// their colour), nothing by a form's internal name, and no work buffer hidden on screen.
TEST(QwilMon, AssistiveTechnologyReadsWhatTheWindowShows)
{
    Monitor m;
    QStringList names;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        names << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(m.window));
    for (const char *internal : {"Shape1", "Shape2", "Text1", "Text3", "Text4"})
        EXPECT_FALSE(names.contains(QString::fromLatin1(internal))) << internal;
    EXPECT_TRUE(names.contains(u"Monitor running"_s) && names.contains(u"Display running"_s));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(m.window->Shape1)->text(QAccessible::Description), "Green");
}

TEST(QwilMon, WithoutAModuleItSaysSoAndOffersConnect)
{
    emu::Scenario s = emu::Scenario::defaultBus();
    s.unplugged = true;
    Monitor m(s);
    EXPECT_EQ(m.window->displayLines(),
              (QStringList{"ERROR - No USB Device Found", "Connect or Reconnect USB Module", "Click Connect USB"}));
    EXPECT_TRUE(m.window->Command3->isEnabled());
    m.click(m.window->Command9);
    EXPECT_EQ(m.lastLine(), "Click Connect USB");
    EXPECT_EQ(m.window->Command9->text(), "Start Quillbus Monitor");

    m.bus.emulator.plug();
    m.click(m.window->Command3);
    EXPECT_TRUE(m.window->connected());
    EXPECT_EQ(m.window->displayLines().first(), "Orvo USB Module Rev 1.02- Online(App)");
}

TEST(QwilMon, PauseFreezesTheDisplayWhileTheLogGoesOn)
{
    Monitor m;
    m.window->Text5->setText(u"test"_s);
    m.click(m.window->Option3);
    EXPECT_EQ(m.window->Text5->text(), "DLtest.mon");
    m.click(m.window->Command9);
    m.run(2000);
    m.click(m.window->Command1);
    EXPECT_EQ(m.window->Shape1->property("indicator"), "red");
    const QStringList frozen = m.window->displayLines();
    const qsizetype before = m.rows.size();
    m.run(2000);
    EXPECT_GT(m.rows.size(), before);
    EXPECT_EQ(m.window->displayLines(), frozen);
    m.click(m.window->Command9); // Stop closes the log and lists it
    EXPECT_EQ(m.window->Shape1->property("indicator"), "green");
    EXPECT_TRUE(m.window->File1->names().contains(u"DLtest.mon"_s));
    EXPECT_TRUE(m.window->Option4->isChecked());
    EXPECT_EQ(m.window->Text5->text(), "");

    const QByteArray log = m.folder.read(u"DLtest.mon"_s);
    EXPECT_EQ(log, (m.rows.join(u"\r\n"_s) + u"\r\n"_s).toLatin1());
}

TEST(QwilMon, APlayedBackLogShowsItsRowsThenEndOfFileAndAVanishedOneIsSaid)
{
    Monitor m;
    m.folder.write(u"DLsaved.mon"_s, "    1.234   05FA000101    A905\r\n\r\n   12.500   F0\r\n");
    m.window->File1->refresh();
    m.click(m.window->Option5);
    EXPECT_EQ(m.lastLine(), "No file selected");
    EXPECT_TRUE(m.window->Option6->isChecked());

    m.pickFirstLog();
    EXPECT_TRUE(m.window->Option5->isChecked());
    EXPECT_EQ(m.window->findChild<FormTimer *>(u"captureTick"_s)->interval(), 25);
    const int beeps = Beep::count();
    m.click(m.window->Command9);
    m.run(200);
    EXPECT_EQ(m.window->displayLines(),
              (QStringList{"  1.234   05FA000101    A905", "   ", " 12.500   F0", "End of file"}));
    EXPECT_EQ(Beep::count(), beeps + 1);
    EXPECT_EQ(m.window->Command9->text(), "Start Quillbus Monitor");

    // A log gone between the pick and the start is said at the start.
    QFile::remove(m.folder.path(u"DLsaved.mon"_s));
    m.click(m.window->Command9);
    EXPECT_EQ(m.lastLine(), "Cannot open DLsaved.mon: No such file or directory");
    EXPECT_EQ(m.window->Command9->text(), "Start Quillbus Monitor");
}

TEST(QwilMon, DeleteFileRemovesTheSelectedLog)
{
    Monitor m;
    m.folder.write(u"DLold.mon"_s, "x\r\n");
    m.window->File1->refresh();
    m.click(m.window->Command2);
    EXPECT_EQ(m.lastLine(), "No file selected");
    m.window->File1->item(0)->setSelected(true);
    m.click(m.window->Command2);
    EXPECT_FALSE(QFile::exists(m.folder.path(u"DLold.mon"_s)));
    EXPECT_EQ(m.window->File1->count(), 0);

    // A read-only log stays, whatever its folder allows, and the display says so.
    m.folder.write(u"DLkept.mon"_s, "x\r\n");
    QFile::setPermissions(m.folder.path(u"DLkept.mon"_s), QFileDevice::ReadOwner | QFileDevice::ReadUser);
    m.window->File1->refresh();
    m.window->File1->item(0)->setSelected(true);
    const int beeps = Beep::count();
    m.click(m.window->Command2);
    EXPECT_TRUE(QFile::exists(m.folder.path(u"DLkept.mon"_s)));
    EXPECT_EQ(m.lastLine(), "Cannot delete DLkept.mon: the file is read-only");
    EXPECT_EQ(Beep::count(), beeps + 1);
}

TEST(QwilMon, ClosingSwitchesCaptureOffAndReleasesTheModule)
{
    Monitor m;
    m.click(m.window->Command9);
    m.run(500);
    m.window->close();
    EXPECT_FALSE(m.bus.emulator.isCapturing());
    EXPECT_FALSE(m.bus.emulator.isOpen());
    const auto analyzer = m.bus.emulator.trace().calls("QwilAnalyzer");
    ASSERT_FALSE(analyzer.empty());
    EXPECT_EQ(analyzer.back().arguments.front(), 0);
}

TEST(QwilMon, StartingWhileTheDrainRunsLosesNoRecord)
{
    Monitor m(scenarioFrom("device 1 type 2315\ntraffic 25\n"));
    // The start click arrives while the drain tick is busy with the steady traffic: the
    // first time the window breathes is inside the drain loop.
    QTimer::singleShot(0, m.window->Command9, &QPushButton::click);
    m.run(3000);
    ASSERT_EQ(m.window->Command9->text(), "Stop Quillbus Monitor");
    EXPECT_LT(m.bus.now(), 10000) << "the drain went on taking records after the start";
    const long long before = m.bus.emulator.capturedRecordsDelivered() - m.window->cycle().recordsCaptured();
    m.run(2000);
    EXPECT_EQ(m.bus.emulator.capturedRecordsDelivered() - m.window->cycle().recordsCaptured(), before)
        << "records went to the drain instead of the display";
    for (qsizetype i = m.rows.size() - 20; i < m.rows.size(); ++i)
        EXPECT_EQ(m.rows[i].left(9), "    0.040") << i;
}

TEST(QwilMon, ALogThatCannotBeWrittenIsReportedAndTheCaptureGoesOn)
{
    Monitor m(scenarioFrom("device 1 type 2315\ntraffic 20\n"));
    ASSERT_TRUE(QFile::link(u"/dev/full"_s, m.folder.path(u"DLfull.mon"_s)));
    m.window->Text5->setText(u"full"_s);
    m.click(m.window->Option3);
    ASSERT_EQ(m.window->Text5->text(), "DLfull.mon");
    const int beeps = Beep::count();
    m.click(m.window->Command9);
    m.run(1000);
    EXPECT_EQ(m.window->displayLines().count(u"Cannot write DLfull.mon: No space left on device"_s), 1);
    EXPECT_EQ(Beep::count(), beeps + 1);
    EXPECT_TRUE(m.window->Option4->isChecked()) << "logging is off";
    const qsizetype rows = m.rows.size();
    m.run(1000);
    EXPECT_GT(m.rows.size(), rows) << "the capture goes on";
}

namespace {
// A monitor on the real driver thread, in its own working folder, connected; every row
// it shows is kept.
struct ThreadedMonitor {
    explicit ThreadedMonitor(const char *scenario) : bus(scenarioFrom(scenario)), window(new QwilMonWindow(bus.thread))
    {
        QObject::connect(&window->rows(), &RowFeed::row, [this](const QString &row) { rows.append(row); });
        window->show();
        connected = QTest::qWaitFor([&] { return window->connected(); }, 3000);
    }
    ~ThreadedMonitor() { delete window; }
    // A log's rows, as written.
    QStringList logged(const char *name) const
    {
        QStringList lines = QString::fromLatin1(folder.read(QString::fromLatin1(name))).split(u"\r\n"_s);
        lines.removeLast();
        return lines;
    }

    WorkingFolder folder;
    ThreadedBus bus;
    QPointer<QwilMonWindow> window;
    QStringList rows;
    bool connected = false;
};
} // namespace

// "Start" clicked while the module is still drained after connecting starts the capture
// once the drain is over; it is not lost.
TEST(QwilMonOnTheDriverThread, StartClickedWhileConnectingStartsTheCapture)
{
    WorkingFolder folder;
    ThreadedBus bus(scenarioFrom("device 1 type 2315\ntraffic 100\n"));
    QPointer<QwilMonWindow> window = new QwilMonWindow(bus.thread);
    window->show();
    QTest::mouseClick(window->Command9, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->cycle().running(); }, 3000));
    EXPECT_TRUE(window->connected());
    delete window;
}

// A full bus for seconds on the real driver thread, the technician's clicks going through
// the window's action queue: every record the module delivered is a row or filtered; the
// log holds exactly the rows; what the display shows at the pause and after the stop is
// what the rows make of it. Closed mid-read, the window leaves nothing asked after it.
TEST(QwilMonOnTheDriverThread, AFullBusForSecondsIsShownFilteredAndLoggedInOrder)
{
    ThreadedMonitor m("device 1 type 2315\ndevice 2 type 4008\ndevice 5 type 0147\ntraffic 400\n");
    ASSERT_TRUE(m.connected);
    QwilMonWindow *window = m.window;
    ThreadedBus &bus = m.bus;
    const QStringList &rows = m.rows;
    QList<qsizetype> rowsAtPauseClicks;
    QObject::connect(window->Command1, &QPushButton::clicked, [&] { rowsAtPauseClicks << rows.size(); });
    window->Text5->setText(u"full"_s);
    // On the round button itself: a radio button takes clicks on its mark and caption.
    QTest::mouseClick(window->Option3, Qt::LeftButton, {}, QPoint(6, window->Option3->height() / 2));
    QTest::mouseClick(window->Option1, Qt::LeftButton, {}, QPoint(6, window->Option1->height() / 2)); // absolute
    window->Text8->setText(u"02"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->logging() && window->Option1->isChecked(); }, 1000));

    QTest::mouseClick(window->Command9, Qt::LeftButton);
    QTest::qWait(2500);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowsAtPauseClicks.size() == 1; }, 1000));
    DisplaySweep expected;
    expected.clear();
    for (qsizetype i = 0; i < rowsAtPauseClicks[0]; ++i)
        expected.show(rows[i]);
    const auto linesOf = [](QString text) {
        if (text.endsWith(u"\r\n"_s))
            text.chop(2);
        return text.split(u"\r\n"_s);
    };
    EXPECT_EQ(window->displayLines(), linesOf(expected.text())) << "the display at the pause";
    QTest::qWait(500);
    EXPECT_EQ(window->displayLines(), linesOf(expected.text())) << "paused, the display stands";
    EXPECT_EQ(window->Text2->toPlainText().split(QLatin1Char('\n')), window->displayLines());

    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QTest::qWait(300);
    QTest::mouseClick(window->Command9, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->cycle().running(); }, 1000));
    bus.calls(); // the driver thread is idle
    QTest::qWait(100);

    const CaptureCycle &cycle = window->cycle();
    EXPECT_GE(cycle.recordsCaptured(), 1000);
    EXPECT_EQ(bus.emulator.capturedRecordsDelivered(), cycle.recordsCaptured());
    EXPECT_EQ(cycle.recordsCaptured(), rows.size() + cycle.rowsFiltered());
    const QStringList logged = m.logged("DLfull.mon");
    EXPECT_EQ(logged, rows);

    ASSERT_EQ(rowsAtPauseClicks.size(), 2);
    for (qsizetype i = rowsAtPauseClicks[1]; i < rows.size(); ++i) // the rows of the pause were not shown
        expected.show(rows[i]);
    EXPECT_EQ(window->displayLines(), linesOf(expected.text())) << "the display after the stop";
    EXPECT_EQ(window->Text2->toPlainText().split(QLatin1Char('\n')), window->displayLines());

    window->Command9->click();
    QTest::qWait(20);
    delete window; // its read may still be waiting on the driver thread
    QTest::qWait(300);
    const std::size_t asked = bus.calls().size();
    QTest::qWait(300);
    EXPECT_EQ(bus.calls().size(), asked) << "nothing is asked once the window is gone";
}

// The display box draws a character as the text engine draws it (from its cells, or by
// the engine itself for a line that is not plain ASCII), and copies the lines selected.
TEST(LineDisplay, DrawsAsTheTextEngineAndCopiesTheSelectedLines)
{
    LineDisplay box;
    box.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box.resize(200, 80);
    box.show();
    box.setPlainText(u"A\n\u00c4"_s);
    EXPECT_EQ(box.toPlainText(), u"A\n\u00c4"_s);
    const QImage shown = box.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);

    QImage drawn(shown.size(), QImage::Format_RGB32);
    drawn.fill(box.palette().color(QPalette::Base));
    QPainter painter(&drawn);
    painter.setFont(box.font());
    painter.setPen(box.palette().color(QPalette::Text));
    const QFontMetrics metrics(box.font());
    painter.drawText(QPointF(4, 4 + metrics.ascent()), u"A"_s);
    painter.drawText(QPointF(4, 4 + metrics.lineSpacing() + metrics.ascent()), u"\u00c4"_s);
    painter.end();
    EXPECT_EQ(shown, drawn);

    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"A\n\u00c4"_s);
    QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, QPoint(10, 4 + metrics.lineSpacing() + 2));
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"\u00c4"_s);
}

// Screen readers and UI automation read the box: a read-only text equal to what it shows,
// its selected lines as the selection, each character where it is drawn.
TEST(LineDisplay, TellsAssistiveTechnologyWhatItShows)
{
    Monitor m; // the window shows its connection status in the box
    LineDisplay *box = m.window->Text2;
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(box);
    ASSERT_TRUE(face && face->textInterface());
    QAccessibleTextInterface *text = face->textInterface();
    EXPECT_EQ(face->role(), QAccessible::EditableText);
    EXPECT_TRUE(face->state().readOnly);
    EXPECT_FALSE(box->toPlainText().isEmpty());
    EXPECT_EQ(text->text(0, text->characterCount()), box->toPlainText());
    EXPECT_EQ(face->text(QAccessible::Value), box->toPlainText());
    EXPECT_EQ(box->property("plainText").toString(), box->toPlainText());

    box->setPlainText(u"12.345 row\nsecond"_s);
    EXPECT_EQ(text->text(0, text->characterCount()), "12.345 row\nsecond");
    EXPECT_EQ(box->property("plainText").toString(), "12.345 row\nsecond");
    EXPECT_EQ(text->selectionCount(), 0);
    text->setSelection(0, 12, 13);
    int start = 0, end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(11, 17)) << "whole lines";
    EXPECT_EQ(box->selectedText(), "second");
    const QRect s = text->characterRect(11);
    EXPECT_EQ(text->offsetAtPoint(s.center()), 11);
    EXPECT_EQ(text->characterRect(1).left() - text->characterRect(0).left(),
              QFontMetrics(box->font()).horizontalAdvance(QLatin1Char('1')));
}
