#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <stdexcept>

#include "comm_error.h"
#include "comm_event.h"
#include "comm_event_log.h"
#include "device_opener.h"
#include "lamp.h"
#include "lamp_colours.h"
#include "main_window.h"
#include "port_map.h"
#include "qt_message_boxes.h"
#include "serial_port_control.h"
#include "simulated_port.h"
#include "status_list_menu.h"
#include "status_list_resize.h"
#include "status_list_times.h"
#include "timeline_window.h"

namespace {

class UnusablePortOpener : public DeviceOpener {
public:
    std::unique_ptr<SerialDevice> open(short port, const OpenRequest&, DeviceEventSink&) override {
        throw CommError(CommErrors::InvalidPortNumber,
                        QStringLiteral("Com %1 is not a valid port.").arg(port));
    }
    // Port n reaches `reaches` followed by n.
    QStringList describe(short first, short last) const override {
        QStringList texts;
        for (int port = first; port <= last; ++port)
            texts << reaches + QString::number(port);
        return texts;
    }
    QString reaches = "/dev/ttyUSB";
};

class RecordingEvents : public WindowEvents {
public:
    QStringList calls;

    void Form_Load() override { calls << "Form_Load"; }
    void Combo1_Click() override { calls << "Combo1_Click"; }
    void Timer1_Timer() override { calls << "Timer1_Timer"; }
    void timLatch_Timer(short index) override { calls << QString("timLatch_Timer(%1)").arg(index); }
    void timLatchNot_Timer(short index) override {
        calls << QString("timLatchNot_Timer(%1)").arg(index);
    }
    void cmdToggleDTR_Click() override { calls << "cmdToggleDTR_Click"; }
    void cmdToggleRTS_Click() override { calls << "cmdToggleRTS_Click"; }
    void cmdCycle_Click() override { calls << "cmdCycle_Click"; }
    void cmdClearStatus_Click() override { calls << "cmdClearStatus_Click"; }
    void comPort_OnComm() override { calls << "comPort_OnComm"; }
    void comPort_DeviceLost(int number, const QString& description) override {
        calls << QString("comPort_DeviceLost(%1,%2)").arg(number).arg(description);
    }
    void comPort_EventsLost(quint64 total) override {
        calls << QString("comPort_EventsLost(%1)").arg(total);
    }
    void Form_Unload() override { calls << "Form_Unload"; }
};

struct Expected {
    const char* name;
    const char* kind;
    const char* text;
    TwipRect place;
};

// The designed window, in the order its elements are created. Timers and the serial
// control have no place.
const Expected kElements[] = {
    {"cmdToggleDTR", "QPushButton", "Toggle DTR", {5370, 660, 1155, 300}},
    {"cmdToggleRTS", "QPushButton", "Toggle RTS", {5385, 1170, 1140, 300}},
    {"chkIgnoreRing", "QCheckBox", "Ignore ring detect", {105, 2280, 1695, 255}},
    {"cmdClearStatus", "QPushButton", "Clear", {2175, 2670, 765, 300}},
    {"txtDelay", "QLineEdit", "30", {6060, 1590, 465, 315}},
    {"txtLoop", "QLineEdit", "100", {4680, 1590, 465, 315}},
    {"cmdCycle", "QPushButton", "Cycle", {5805, 2130, 720, 285}},
    {"txtCount", "QLineEdit", "0", {4905, 2100, 855, 315}},
    {"lstStatus", "QListWidget", "", {60, 3015, 6495, 2760}},
    {"timLatchNot_2", "QTimer", nullptr, {}},
    {"timLatchNot_1", "QTimer", nullptr, {}},
    {"timLatchNot_0", "QTimer", nullptr, {}},
    {"timLatch_2", "QTimer", nullptr, {}},
    {"timLatch_1", "QTimer", nullptr, {}},
    {"timLatch_0", "QTimer", nullptr, {}},
    {"txtStatus", "QLineEdit", "", {705, 2670, 1320, 285}},
    {"Timer1", "QTimer", nullptr, {}},
    {"Combo1", "QComboBox", "1", {1470, 105, 570, 315}},
    {"comPort", "SerialPortControl", nullptr, {}},
    {"Label3_0", "QLabel", nullptr, {60, 5865, 2475, 165}},
    {"Label9", "QLabel", "delay (ms)", {5250, 1680, 765, 195}},
    {"Label8", "QLabel", "loops", {4200, 1695, 405, 195}},
    {"Label7", "QLabel", "Interrupt count", {3705, 2205, 1155, 195}},
    {"Label6", "QLabel", "Quillmark", {3570, 45, 2955, 315}},
    {"Label5_1", "QLabel", "RTS", {4215, 1200, 555, 195}},
    {"Label5_0", "QLabel", "DTR", {4215, 720, 555, 195}},
    {"shpRTS", "Lamp", nullptr, {4845, 1230, 255, 135}},
    {"shpDTR", "Lamp", nullptr, {4845, 750, 255, 135}},
    {"shpLatchNot_0", "Lamp", nullptr, {1395, 840, 135, 135}},
    {"shpLatchNot_1", "Lamp", nullptr, {1395, 1245, 135, 135}},
    {"shpLatchNot_2", "Lamp", nullptr, {1395, 1650, 135, 135}},
    {"shpLatch_2", "Lamp", nullptr, {1395, 1485, 135, 135}},
    {"shpLatch_1", "Lamp", nullptr, {1395, 1080, 135, 135}},
    {"shpLatch_0", "Lamp", nullptr, {1395, 675, 135, 135}},
    {"Label4", "QLabel", "Status", {75, 2700, 495, 255}},
    {"Label2_6", "QLabel", "Loop", {105, 1935, 1110, 255}},
    {"shpIndicator_3", "Lamp", nullptr, {1620, 1905, 375, 345}},
    {"Label2_5", "QLabel", "White", {2100, 735, 555, 255}},
    {"Label2_4", "QLabel", "Yellow", {2100, 1140, 615, 255}},
    {"Label2_3", "QLabel", "Blue", {2100, 1560, 585, 255}},
    {"Label3_1", "QLabel", nullptr, {45, 6075, 6510, 225}},
    {"Label2_2", "QLabel", "Sensor 3 (CD)", {105, 1560, 1080, 255}},
    {"Label2_1", "QLabel", "Sensor 2 (CTS)", {105, 1140, 1185, 255}},
    {"Label2_0", "QLabel", "Sensor 1 (DSR)", {105, 705, 1200, 255}},
    {"shpIndicator_2", "Lamp", nullptr, {1620, 1485, 375, 345}},
    {"shpIndicator_1", "Lamp", nullptr, {1620, 1080, 375, 345}},
    {"shpIndicator_0", "Lamp", nullptr, {1620, 675, 375, 345}},
    {"Label1", "QLabel", "Serial Port    COM", {105, 150, 1320, 300}},
};

QString textOf(QObject* object) {
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->text();
    if (auto* combo = qobject_cast<QComboBox*>(object))
        return combo->currentText();
    return {};
}

QWidget* focusOwner(QWidget* window) {
    QWidget* widget = QApplication::focusWidget();
    while (widget && widget->parentWidget() != window)
        widget = widget->parentWidget();
    return widget;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<UnusablePortOpener> opener_;
    std::unique_ptr<RecordingEvents> events_;
    std::unique_ptr<MainWindow> window_;

    // Pixels at the window's resolution, computed here independently of the window.
    QRect expectedPixels(const TwipRect& r) const {
        const double dx = window_->logicalDpiX() / 1440.0;
        const double dy = window_->logicalDpiY() / 1440.0;
        return QRect(int(std::lround(r.left * dx)), int(std::lround(r.top * dy)),
                     int(std::lround(r.width * dx)), int(std::lround(r.height * dy)));
    }
    template <typename T>
    T* child(const char* name) {
        auto* found = window_->findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    void showAndActivate() {
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    QMap<QString, QRect> geometryOfAllBut(const QString& skipped) {
        QMap<QString, QRect> places;
        for (auto* widget : window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (widget->objectName() != skipped)
                places[widget->objectName()] = widget->geometry();
        return places;
    }

private slots:
    void init() {
        events_ = std::make_unique<RecordingEvents>();
        opener_ = std::make_shared<UnusablePortOpener>();
        window_ = std::make_unique<MainWindow>(opener_, events_.get());
    }
    void cleanup() {
        window_.reset();
        events_.reset();
    }

    void windowHasItsNameCaptionSizeAndIcon() {
        QCOMPARE(window_->objectName(), QString("frmMain"));
        QCOMPARE(window_->windowTitle(), QString("Com port test"));
        QCOMPARE(window_->size(), expectedPixels(MainWindow::kClientArea).size());
        QVERIFY(window_->windowIcon().availableSizes().contains(QSize(32, 32)));
        QVERIFY(events_->calls.isEmpty());  // nothing runs before load()
    }

    void elementsAreCreatedInOrderWithNamesKindsTextsAndPlaces() {
        QStringList created;
        for (QObject* object : window_->children())
            if (!object->objectName().isEmpty())
                created << object->objectName();
        QStringList expectedNames;
        for (const auto& e : kElements)
            expectedNames << e.name;
        QCOMPARE(created, expectedNames);

        for (const auto& e : kElements) {
            QObject* object = window_->findChild<QObject*>(e.name, Qt::FindDirectChildrenOnly);
            QVERIFY2(object->inherits(e.kind), e.name);
            if (e.text)
                QCOMPARE(textOf(object), QString(e.text));
            if (auto* widget = qobject_cast<QWidget*>(object))
                QCOMPARE(widget->geometry(), expectedPixels(e.place));
        }
        const QString notice =
            child<QLabel>("Label3_0")->text() + child<QLabel>("Label3_1")->text();
        QVERIFY(notice.contains("Quillmark"));
    }

    // The list's size follows the frame the window system reports, which differs between
    // systems; its corner stays, as every other place does.
    void placesHoldAfterFirstDisplay() {
        showAndActivate();
        for (const auto& e : kElements) {
            auto* widget = window_->findChild<QWidget*>(e.name, Qt::FindDirectChildrenOnly);
            if (!widget)
                continue;
            if (QLatin1String(e.name) == QLatin1String("lstStatus"))
                QCOMPARE(widget->pos(), expectedPixels(e.place).topLeft());
            else
                QCOMPARE(widget->geometry(), expectedPixels(e.place));
        }
    }

    void initialValuesAreThoseOfTheDesign() {
        QCOMPARE(window_->chkIgnoreRing().Value(), 1);
        QCOMPARE(window_->txtLoop().Text(), QString("100"));
        QCOMPARE(window_->txtDelay().Text(), QString("30"));
        QCOMPARE(window_->txtCount().Text(), QString("0"));
        QCOMPARE(window_->txtStatus().Text(), QString());
        QCOMPARE(window_->Combo1().Text(), QString("1"));
        QCOMPARE(window_->lstStatus().ListCount(), 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(window_->shpIndicator(i).BackColor(), 0x404000);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(window_->shpLatch(i).BackColor(), 0x404000);
            QCOMPARE(window_->shpLatchNot(i).BackColor(), 64);
            QVERIFY(!window_->timLatch(i).Enabled());
            QVERIFY(!window_->timLatchNot(i).Enabled());
        }
        QCOMPARE(window_->shpRTS().BackColor(), 0x404000);
        QCOMPARE(window_->shpDTR().BackColor(), 0x404000);

        for (auto* timer : window_->findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
            QCOMPARE(timer->interval(), 1000);
        QVERIFY(child<QTimer>("Timer1")->isActive());

        auto* status = child<QLineEdit>("txtStatus");
        QVERIFY(status->isReadOnly());
        QCOMPARE(status->palette().color(QPalette::Base),
                 status->palette().color(QPalette::Button));

        SerialPortControl& port = window_->comPort();
        QCOMPARE(port.objectName(), QString("comPort"));
        QVERIFY(!port.PortOpen());
        QCOMPARE(port.CommPort(), short(1));
        QCOMPARE(port.Settings(), QString("9600,n,8,1"));
    }

    void lampShapes() {
        using Shape = Lamp::Shape;
        for (const char* name : {"shpRTS", "shpDTR", "shpIndicator_0", "shpIndicator_3"})
            QCOMPARE(child<Lamp>(name)->shape(), Shape::RoundedRectangle);
        for (const char* name : {"shpLatch_0", "shpLatch_2", "shpLatchNot_1"})
            QCOMPARE(child<Lamp>(name)->shape(), Shape::Circle);
    }

    void comboListHoldsPortsOneToSixteen() {
        auto* combo = child<QComboBox>("Combo1");
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->count(), 16);
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(combo->itemText(i), QString::number(i + 1));
            QCOMPARE(combo->itemData(i), QVariant(0));
        }
        QCOMPARE(combo->findText("10"), combo->findText("9") + 1);
    }

    // Asked afresh when the list pops up and after a choice: adapters come and go.
    void tooltipsSayWhatEachNumberReachesNow() {
        auto* combo = child<QComboBox>("Combo1");
        window_->load();
        QCOMPARE(combo->itemData(2, Qt::ToolTipRole).toString(), QString("/dev/ttyUSB3"));
        QCOMPARE(combo->toolTip(), QString("/dev/ttyUSB1"));

        showAndActivate();
        opener_->reaches = "/dev/ttyACM";
        combo->showPopup();
        QCOMPARE(combo->itemData(2, Qt::ToolTipRole).toString(), QString("/dev/ttyACM3"));
        combo->hidePopup();

        opener_->reaches = "/dev/rfcomm";
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->toolTip(), QString("/dev/rfcomm2"));
        QCOMPARE(combo->itemData(15, Qt::ToolTipRole).toString(), QString("/dev/rfcomm16"));
    }

    void fontsOfTitleAndNotice() {
        const QFont title = child<QLabel>("Label6")->font();
        QVERIFY(
            QStringList({"Arial", "Liberation Sans", "Arimo"}).contains(QFontInfo(title).family()));
        QCOMPARE(title.pointSizeF(), 12.0);
        QVERIFY(title.bold());
        const QFont notice = child<QLabel>("Label3_1")->font();
        QVERIFY(QStringList({"Arial", "Liberation Sans", "Arimo"})
                    .contains(QFontInfo(notice).family()));
        QCOMPARE(notice.pointSizeF(), 6.75);
        QVERIFY(!notice.bold());
        QCOMPARE(child<QLabel>("Label1")->font(), window_->font());
        QCOMPARE(child<QPushButton>("cmdCycle")->font(), window_->font());
    }

    void focusStartsOnComboAndTabFollowsTheDesign() {
        showAndActivate();
        QCOMPARE(focusOwner(window_.get()), child<QWidget>("Combo1"));
        const QStringList expected = {
            "txtStatus", "lstStatus",      "txtCount",      "cmdCycle",     "txtLoop",
            "txtDelay",  "cmdClearStatus", "chkIgnoreRing", "cmdToggleRTS", "cmdToggleDTR"};
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focusOwner(window_.get())->objectName();
        }
        QCOMPARE(visited, expected);
        // Then the twelve lamps, for the keyboard and screen readers, and round again.
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(qobject_cast<Lamp*>(focusOwner(window_.get())));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusOwner(window_.get()), child<QWidget>("Combo1"));
    }

    void lampColoursRoundTripAndPaint_data() {
        QTest::addColumn<int>("bgr");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("green") << 65280 << QColor(0, 255, 0);
        QTest::newRow("red") << 255 << QColor(255, 0, 0);
        QTest::newRow("idle") << 0x404000 << QColor(0, 64, 64);
        QTest::newRow("latch-not idle") << 64 << QColor(64, 0, 0);
        QTest::newRow("any") << 0x123456 << QColor(0x56, 0x34, 0x12);
    }
    void lampColoursRoundTripAndPaint() {
        QFETCH(int, bgr);
        QFETCH(QColor, colour);
        showAndActivate();
        for (int i = 0; i < 4; ++i)
            window_->shpIndicator(i).setBackColor(bgr);
        for (int i = 0; i < 3; ++i) {
            window_->shpLatch(i).setBackColor(bgr);
            window_->shpLatchNot(i).setBackColor(bgr);
        }
        window_->shpRTS().setBackColor(bgr);
        window_->shpDTR().setBackColor(bgr);

        const QImage shot = window_->grab().toImage();
        for (Lamp* lamp : window_->findChildren<Lamp*>()) {
            QCOMPARE(lamp->backColor(), bgr);
            QCOMPARE(shot.pixelColor(lamp->geometry().center()), colour);
        }
    }

    // Red and green also in words: what assistive technology reads, and the tooltip.
    void lampsSayTheirStateInWords_data() {
        QTest::addColumn<QString>("lamp");
        QTest::addColumn<int>("bgr");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("words");
        QTest::newRow("sensor on") << "shpIndicator_0" << 255 << "DSR"
                                   << "on";
        QTest::newRow("sensor off") << "shpIndicator_1" << 65280 << "CTS"
                                    << "off";
        QTest::newRow("sensor idle") << "shpIndicator_2" << 0x404000 << "CD"
                                     << "idle";
        QTest::newRow("wiring passed") << "shpIndicator_3" << 65280 << "Wiring"
                                       << "wiring check passed";
        QTest::newRow("wiring failed") << "shpIndicator_3" << 255 << "Wiring"
                                       << "wiring check failed";
        QTest::newRow("output on") << "shpDTR" << 255 << "DTR"
                                   << "on";
        QTest::newRow("output off") << "shpRTS" << 65280 << "RTS"
                                    << "off";
        QTest::newRow("latch lit") << "shpLatch_1" << 65280 << "CTS off latch"
                                   << "read off a moment ago";
        QTest::newRow("latch out") << "shpLatchNot_2" << 64 << "CD on latch"
                                   << "idle";
    }
    void lampsSayTheirStateInWords() {
        QFETCH(QString, lamp);
        QFETCH(int, bgr);
        QFETCH(QString, name);
        QFETCH(QString, words);
        Lamp* widget = child<Lamp>(qPrintable(lamp));
        widget->setBackColor(LampColours::Red);  // a change away, so that words must follow
        widget->setBackColor(bgr);
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(reader);
        QCOMPARE(reader->text(QAccessible::Name), name);
        QCOMPARE(reader->text(QAccessible::Description), words);
        QCOMPARE(reader->text(QAccessible::Value), words);
        QCOMPARE(reader->role(), QAccessible::StaticText);
        QCOMPARE(widget->toolTip(), name + ": " + words);
    }

    void controlsAreNamedByTheirLabels() {
        const std::pair<const char*, const char*> named[] = {
            {"Combo1", "Serial Port COM"},   {"txtLoop", "loops"},    {"txtDelay", "delay (ms)"},
            {"txtCount", "Interrupt count"}, {"txtStatus", "Status"}, {"lstStatus", "Status log"}};
        for (const auto& [control, name] : named)
            QCOMPARE(QAccessible::queryAccessibleInterface(child<QWidget>(control))
                         ->text(QAccessible::Name),
                     QString(name));
        window_->load();
        QCOMPARE(child<QComboBox>("Combo1")->itemData(2, Qt::AccessibleDescriptionRole).toString(),
                 QString("/dev/ttyUSB3"));
    }

    void linesKeepTheirTimeAndTheLogSavesAsCsv() {
        PortMap map;
        auto sim = std::make_shared<SimulatedPort>();
        map.map(1, sim, "sim", "simulated loopback plug");
        MainWindow window(std::make_shared<MappedDeviceOpener>(map), nullptr);
        ListElement& list = window.lstStatus();
        connect(&window.comPort(), &SerialPortControl::OnComm, [&] { list.AddItemAtTop("x"); });
        window.comPort().setPortOpen(true);
        for (short code : {CommEvents::Framing, CommEvents::CtsChanged, CommEvents::Ring})
            sim->injectEvent(code);
        QTRY_COMPARE(list.ListCount(), 3);
        const auto* lines = window.findChild<QListWidget*>("lstStatus");
        QVERIFY(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d{3}, 0\.\d{3} s after the port opened$)")
                    .match(StatusListTimes::toolTip(*lines->item(0)))
                    .hasMatch());

        QTemporaryDir dir;
        QSignalSpy saved(&window.statusListMenu(), &StatusListMenu::logSaved);
        window.statusListMenu().saveLogTo(dir.filePath("log.csv"));
        QTRY_COMPARE(saved.count(), 1);
        QFile file(dir.filePath("log.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(rows.contains("# Port: Com 1, sim, simulated loopback plug"));
        QVERIFY(rows.contains("# CTS: every edge, counted by the driver"));
        const qsizetype columns = rows.indexOf("time,seconds,code,text");
        QCOMPARE(rows.size(), columns + 5);
        QVERIFY(rows[columns + 1].endsWith(",,\"DTR on, RTS off\""));  // the opening, quoted
        const QStringList framing = rows[columns + 2].split(',');
        QVERIFY(QDateTime::fromString(framing[0], Qt::ISODateWithMs).isValid());
        QCOMPARE(framing[2], "1004");
        QCOMPARE(framing[3], CommEventLog::CommEventText(CommEvents::Framing));
    }

    // Read off the saved picture: at the right edge each trace lies in the upper half of its
    // band when the line is on.
    void theTimelineDrawsTheLinesAsTheyAreNow() {
        PortMap map;
        map.map(1, std::make_shared<SimulatedPort>());
        MainWindow window(std::make_shared<MappedDeviceOpener>(map), nullptr);
        SerialPortControl& port = window.comPort();
        port.setPortOpen(true);      // DTR on, RTS off: DSR and CD on, CTS off
        QVERIFY(port.DSRHolding());  // a read makes the levels known
        QTest::qWait(200);           // a few pixels of trace
        QTemporaryDir dir;
        QVERIFY(window.showTimeline().savePng(dir.filePath("timeline.png")));
        const QImage image(dir.filePath("timeline.png"));
        const int bandHeight = (image.height() - 26) / 5, x = image.width() - 8;
        QString levels;
        for (int band = 0; band < 5; ++band) {
            int inkY = -1;
            for (int y = 4 + band * bandHeight; y < 4 + (band + 1) * bandHeight; ++y)
                if (qGray(image.pixel(x, y)) < 128)
                    inkY = y;
            levels += inkY < 0 ? '-' : inkY < 4 + band * bandHeight + bandHeight / 2 ? '1' : '0';
        }
        QCOMPARE(levels, "10101");  // DTR, RTS, DSR, CTS, CD
    }

    void lampAndTimerIndicesOutsideTheArraysThrow() {
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, window_->shpIndicator(4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, window_->shpLatch(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, window_->shpLatchNot(3));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, window_->timLatch(3));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, window_->timLatchNot(-1));
    }

    void timerEnabledStartsAndStops() {
        for (int i = 0; i < 3; ++i) {
            auto* latch = child<QTimer>(qPrintable(QString("timLatch_%1").arg(i)));
            window_->timLatch(i).setEnabled(true);
            QVERIFY(latch->isActive());
            QVERIFY(window_->timLatch(i).Enabled());
            window_->timLatch(i).setEnabled(false);
            QVERIFY(!latch->isActive());

            auto* latchNot = child<QTimer>(qPrintable(QString("timLatchNot_%1").arg(i)));
            window_->timLatchNot(i).setEnabled(true);
            QVERIFY(latchNot->isActive());
            window_->timLatchNot(i).setEnabled(false);
            QVERIFY(!window_->timLatchNot(i).Enabled());
        }
    }

    void timerTicksNameTheirIndex() {
        const QStringList timers = {"timLatch_0",    "timLatch_2", "timLatchNot_1",
                                    "timLatchNot_2", "Timer1",     "timLatchNot_0"};
        for (const QString& name : timers)
            QMetaObject::invokeMethod(child<QTimer>(qPrintable(name)), "timeout");
        QCOMPARE(events_->calls,
                 QStringList({"timLatch_Timer(0)", "timLatch_Timer(2)", "timLatchNot_Timer(1)",
                              "timLatchNot_Timer(2)", "Timer1_Timer", "timLatchNot_Timer(0)"}));
    }

    void clicksAndPortSignalsAreDelivered() {
        window_->load();
        child<QPushButton>("cmdToggleDTR")->click();
        child<QPushButton>("cmdToggleRTS")->click();
        child<QPushButton>("cmdCycle")->click();
        child<QPushButton>("cmdClearStatus")->click();
        emit window_->comPort().OnComm();
        emit window_->comPort().deviceLost(CommErrors::DeviceLost, "gone");
        emit window_->comPort().eventsLost(12);
        QCOMPARE(events_->calls,
                 QStringList({"Form_Load", "cmdToggleDTR_Click", "cmdToggleRTS_Click",
                              "cmdCycle_Click", "cmdClearStatus_Click", "comPort_OnComm",
                              "comPort_DeviceLost(8031,gone)", "comPort_EventsLost(12)"}));
    }

    void choosingAComboEntryClicksButTypingDoesNot() {
        auto* combo = child<QComboBox>("Combo1");
        window_->Combo1().setText("7");
        QCOMPARE(combo->currentText(), QString("7"));
        QTest::keyClicks(combo->lineEdit(), "2");
        QVERIFY(events_->calls.isEmpty());

        combo->setCurrentIndex(2);
        QVERIFY(events_->calls.isEmpty());
        QTest::keyClick(combo, Qt::Key_Down);  // the next entry, as from the list
        QCOMPARE(events_->calls, QStringList({"Combo1_Click"}));
        QCOMPARE(window_->Combo1().Text(), QString("4"));
    }

    void closingDeliversUnloadAndNoEventsGoNowhere() {
        window_->show();
        QVERIFY(window_->close());
        QCOMPARE(events_->calls, QStringList({"Form_Unload"}));

        window_->setEvents(nullptr);
        child<QPushButton>("cmdCycle")->click();
        window_->load();
        QCOMPARE(events_->calls.size(), 1);
    }

    void statusListAdapter() {
        ListElement& list = window_->lstStatus();
        list.AddItemAtTop("first");
        list.AddItemAtTop("second");
        list.AddItemAtTop("third");
        QCOMPARE(list.ListCount(), 3);
        QCOMPARE(list.List(0), QString("third"));
        QCOMPARE(list.List(2), QString("first"));
        list.RemoveItem(list.ListCount() - 1);
        QCOMPARE(list.List(1), QString("second"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.RemoveItem(2));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.List(-1));
        list.Clear();
        QCOMPARE(list.ListCount(), 0);
    }

    // The log keeps 2001 lines under a steady stream: one removal and one insertion each.
    void linesPassThroughAFullStatusList() {
        showAndActivate();
        ListElement& list = window_->lstStatus();
        for (int i = 0; i < 2001; ++i)
            list.AddItemAtTop(QString("%1 - line").arg(i));
        QApplication::processEvents();
        constexpr int kLines = 5000;
        for (int i = 0; i < kLines; ++i) {
            list.RemoveItem(list.ListCount() - 1);
            list.AddItemAtTop(QString("%1 - more").arg(i));
            if (i % 100 == 0)
                QApplication::processEvents();
        }
        QApplication::processEvents();
        QCOMPARE(list.ListCount(), 2001);
        QCOMPARE(list.List(0), QString("%1 - more").arg(kLines - 1));
    }

    void resizeRuleArithmetic() {
        const ListSizeTwips designed = statusListSize(3015.0f, 6615.0f + 130.0f, 6300.0f + 475.0f);
        QCOMPARE(designed.width, 6495.0f);
        QCOMPARE(designed.height, 2760.0f);
        const ListSizeTwips grown = statusListSize(3015.0f, 6745.0f + 200.0f, 6775.0f + 300.0f);
        QCOMPARE(grown.width - designed.width, 200.0f);
        QCOMPARE(grown.height - designed.height, 300.0f);
        const ListSizeTwips tiny = statusListSize(3015.0f, 100.0f, 2000.0f);
        QCOMPARE(tiny.width, 0.0f);
        QCOMPARE(tiny.height, 0.0f);
    }

    void resizeRuleMovesOnlyTheList() {
        auto* list = child<QListWidget>("lstStatus");
        const auto others = geometryOfAllBut("lstStatus");
        const QPoint listPlace = list->pos();

        window_->applyResizeRule(6745.0f + 200.0f, 6775.0f + 300.0f);
        QCOMPARE(list->size(), expectedPixels({0, 0, 6495 + 200, 2760 + 300}).size());
        window_->applyResizeRule(6745.0f - 400.0f, 6775.0f - 600.0f);
        QCOMPARE(list->size(), expectedPixels({0, 0, 6495 - 400, 2760 - 600}).size());
        window_->applyResizeRule(100.0f, 100.0f);
        QCOMPARE(list->size(), QSize(0, 0));

        QCOMPARE(list->pos(), listPlace);
        QCOMPARE(geometryOfAllBut("lstStatus"), others);
    }

    void resizingTheWindowResizesTheList() {
        showAndActivate();
        auto* list = child<QListWidget>("lstStatus");
        const auto others = geometryOfAllBut("lstStatus");
        const QSize before = list->size();

        window_->resize(window_->size() + QSize(14, 20));
        QTRY_COMPARE(list->size(), before + QSize(14, 20));
        QCOMPARE(geometryOfAllBut("lstStatus"), others);

        window_->resize(window_->size() - QSize(28, 40));
        QTRY_COMPARE(list->size(), before - QSize(14, 20));
        window_->resize(5, 5);
        QTRY_COMPARE(list->size(), QSize(0, 0));
    }

    void messageBoxesCanBeReplaced() {
        struct Silent : MessageBoxes {
            void showMessage(const QString&) override {}
            DialogAnswer askAbortRetryIgnore(const QString&, const QString&) override {
                return DialogAnswer::Ignore;
            }
        } silent;
        MessageBoxes* own = &window_->messages();
        QVERIFY(dynamic_cast<QtMessageBoxes*>(own));
        window_->setMessages(&silent);
        QCOMPARE(window_->messages().askAbortRetryIgnore("x", "y"), DialogAnswer::Ignore);
        window_->setMessages(nullptr);
        QCOMPARE(&window_->messages(), own);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
