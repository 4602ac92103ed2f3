// The window's elements, created in their designed order with their initial values and
// places; the order is also that of the window's children.
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "element_adapters.h"
#include "lamp.h"
#include "lamp_colours.h"
#include "main_window.h"
#include "port_combo_box.h"
#include "port_numbers.h"
#include "serial_port_control.h"
#include "window_fonts.h"

namespace {

const QString kNoticeFirstLine = QStringLiteral("Quillmark line tester");
const QString kNoticeSecondLine =
    QStringLiteral("Free to use. No warranty: check the wiring before connecting a sensor.");

constexpr int kIdle = LampColours::Idle;
constexpr int kLatchNotIdle = LampColours::LatchNotIdle;

QString inputLineName(int index) {
    static const char* const kNames[LineIndex::InputLineCount] = {"DSR", "CTS", "CD"};
    return QLatin1String(kNames[index]);
}

QString arrayName(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

}  // namespace

void MainWindow::createElements() {
    addButton("cmdToggleDTR", QStringLiteral("Toggle DTR"), {5370, 660, 1155, 300}, 27,
              &WindowEvents::cmdToggleDTR_Click);
    addButton("cmdToggleRTS", QStringLiteral("Toggle RTS"), {5385, 1170, 1140, 300}, 26,
              &WindowEvents::cmdToggleRTS_Click);
    addCheckBox();
    addButton("cmdClearStatus", QStringLiteral("Clear"), {2175, 2670, 765, 300}, 24,
              &WindowEvents::cmdClearStatus_Click);
    txtDelayText_ = std::make_unique<LineEditText>(
        addTextBox("txtDelay", QStringLiteral("30"), {6060, 1590, 465, 315}, 22));
    txtLoopText_ = std::make_unique<LineEditText>(
        addTextBox("txtLoop", QStringLiteral("100"), {4680, 1590, 465, 315}, 20));
    addButton("cmdCycle", QStringLiteral("Cycle"), {5805, 2130, 720, 285}, 18,
              &WindowEvents::cmdCycle_Click);
    txtCountText_ = std::make_unique<LineEditText>(
        addTextBox("txtCount", QStringLiteral("0"), {4905, 2100, 855, 315}, 17));
    addStatusList();
    addLatchTimers("timLatchNot", timLatchNot_, &WindowEvents::timLatchNot_Timer);
    addLatchTimers("timLatch", timLatch_, &WindowEvents::timLatch_Timer);
    addStatusBox();
    QTimer* timer1 = addTimer(QStringLiteral("Timer1"), true);
    connect(timer1, &QTimer::timeout, this, [this] {
        // A tick may open again a port whose device came back: the box then tells when.
        const bool wasOpen = comPort_ && comPort_->PortOpen();
        deliver(&WindowEvents::Timer1_Timer);
        if (!wasOpen && comPort_ && comPort_->PortOpen())
            showWhatPortsReach();
    });
    addComboBox();
    addSerialPortControl(opener_);

    addLabel(arrayName("Label3", 0), kNoticeFirstLine, {60, 5865, 2475, 165});
    addLabel(QStringLiteral("Label9"), QStringLiteral("delay (ms)"), {5250, 1680, 765, 195});
    addLabel(QStringLiteral("Label8"), QStringLiteral("loops"), {4200, 1695, 405, 195});
    addLabel(QStringLiteral("Label7"), QStringLiteral("Interrupt count"), {3705, 2205, 1155, 195});
    addLabel(QStringLiteral("Label6"), QStringLiteral("Quillmark"), {3570, 45, 2955, 315})
        ->setFont(WindowFonts::arial(12.0, true));
    addLabel(arrayName("Label5", 1), QStringLiteral("RTS"), {4215, 1200, 555, 195});
    addLabel(arrayName("Label5", 0), QStringLiteral("DTR"), {4215, 720, 555, 195});

    shpRTS_ = std::make_unique<LampAdapter>(addOutputLamp("shpRTS", "RTS", {4845, 1230, 255, 135}));
    shpDTR_ = std::make_unique<LampAdapter>(addOutputLamp("shpDTR", "DTR", {4845, 750, 255, 135}));
    addLatchLamp(shpLatchNot_, "shpLatchNot", 0, LampMeaning::LatchOn, {1395, 840, 135, 135});
    addLatchLamp(shpLatchNot_, "shpLatchNot", 1, LampMeaning::LatchOn, {1395, 1245, 135, 135});
    addLatchLamp(shpLatchNot_, "shpLatchNot", 2, LampMeaning::LatchOn, {1395, 1650, 135, 135});
    addLatchLamp(shpLatch_, "shpLatch", 2, LampMeaning::LatchOff, {1395, 1485, 135, 135});
    addLatchLamp(shpLatch_, "shpLatch", 1, LampMeaning::LatchOff, {1395, 1080, 135, 135});
    addLatchLamp(shpLatch_, "shpLatch", 0, LampMeaning::LatchOff, {1395, 675, 135, 135});

    addLabel(QStringLiteral("Label4"), QStringLiteral("Status"), {75, 2700, 495, 255});
    addLabel(arrayName("Label2", 6), QStringLiteral("Loop"), {105, 1935, 1110, 255});
    addIndicator(3, {1620, 1905, 375, 345});
    addLabel(arrayName("Label2", 5), QStringLiteral("White"), {2100, 735, 555, 255});
    addLabel(arrayName("Label2", 4), QStringLiteral("Yellow"), {2100, 1140, 615, 255});
    addLabel(arrayName("Label2", 3), QStringLiteral("Blue"), {2100, 1560, 585, 255});
    addLabel(arrayName("Label3", 1), kNoticeSecondLine, {45, 6075, 6510, 225})
        ->setFont(WindowFonts::arial(6.75, false));
    addLabel(arrayName("Label2", 2), QStringLiteral("Sensor 3 (CD)"), {105, 1560, 1080, 255});
    addLabel(arrayName("Label2", 1), QStringLiteral("Sensor 2 (CTS)"), {105, 1140, 1185, 255});
    addLabel(arrayName("Label2", 0), QStringLiteral("Sensor 1 (DSR)"), {105, 705, 1200, 255});
    addIndicator(2, {1620, 1485, 375, 345});
    addIndicator(1, {1620, 1080, 375, 345});
    addIndicator(0, {1620, 675, 375, 345});
    addLabel(QStringLiteral("Label1"), QStringLiteral("Serial Port    COM"), {105, 150, 1320, 300});
}

void MainWindow::placeWidget(QWidget* widget, const QString& name, TwipRect place) {
    widget->setObjectName(name);
    widget->setGeometry(scale_.toPixels(place));
}

QPushButton* MainWindow::addButton(const char* name, const QString& text, TwipRect place, int tab,
                                   void (WindowEvents::*onClick)()) {
    auto* button = new QPushButton(text, this);
    placeWidget(button, QLatin1String(name), place);
    tabStops_.emplace_back(tab, button);
    connect(button, &QPushButton::clicked, this, [this, onClick] { deliver(onClick); });
    return button;
}

void MainWindow::addCheckBox() {
    auto* box = new QCheckBox(QStringLiteral("Ignore ring detect"), this);
    placeWidget(box, QStringLiteral("chkIgnoreRing"), {105, 2280, 1695, 255});
    box->setChecked(true);
    tabStops_.emplace_back(25, box);
    chkIgnoreRing_ = std::make_unique<CheckBoxAdapter>(box);
}

QLineEdit* MainWindow::addTextBox(const char* name, const QString& text, TwipRect place, int tab) {
    auto* edit = new QLineEdit(text, this);
    placeWidget(edit, QLatin1String(name), place);
    tabStops_.emplace_back(tab, edit);
    return edit;
}

// A display box: read-only, on the button face.
void MainWindow::addStatusBox() {
    QLineEdit* box = addTextBox("txtStatus", QString(), {705, 2670, 1320, 285}, 12);
    box->setReadOnly(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    box->setPalette(palette);
    txtStatusText_ = std::make_unique<LineEditText>(box);
}

// Lines are inserted at the top and trimmed at the bottom many times a second: uniform
// item sizes keep each change cheap, and the view lays out and repaints once per batch.
void MainWindow::addStatusList() {
    lstStatusPlace_ = {60, 3015, 6495, 2760};
    lstStatusWidget_ = new QListWidget(this);
    placeWidget(lstStatusWidget_, QStringLiteral("lstStatus"), lstStatusPlace_);
    lstStatusWidget_->setUniformItemSizes(true);
    tabStops_.emplace_back(13, lstStatusWidget_);
    lstStatus_ = std::make_unique<ListWidgetAdapter>(lstStatusWidget_);
}

// An editable box whose list offers the port numbers. Typing goes nowhere but the text:
// no completion, no new entries. Each entry's tooltip says what its number reaches, from
// load() on: the scan of the system's ports waits until the window is up.
void MainWindow::addComboBox() {
    combo1_ = new PortComboBox(this);
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    combo1_->setCompleter(nullptr);
    for (int port = PortNumbers::kFirst; port <= PortNumbers::kLast; ++port)
        combo1_->addItem(QString::number(port), 0);
    combo1_->setCurrentIndex(0);
    placeWidget(combo1_, QStringLiteral("Combo1"), {1470, 105, 570, 315});
    tabStops_.emplace_back(0, combo1_);
    connect(combo1_, &QComboBox::activated, this, [this] {
        deliver(&WindowEvents::Combo1_Click);
        showWhatPortsReach();
    });
    combo1_->setBeforePopup([this] { showWhatPortsReach(); });
    combo1Text_ = std::make_unique<ComboText>(combo1_);
}

void MainWindow::addSerialPortControl(std::shared_ptr<DeviceOpener> opener) {
    comPort_ = new SerialPortControl(std::move(opener), this);
    comPort_->setObjectName(QStringLiteral("comPort"));
    connect(comPort_, &SerialPortControl::OnComm, this, [this] {
        showLineFidelity();  // a driver may turn out to count less than it offered
        deliver(&WindowEvents::comPort_OnComm);
    });
    connect(comPort_, &SerialPortControl::portOpenChanged, this, [this] { showLineFidelity(); });
    connect(comPort_, &SerialPortControl::deviceLost, this,
            [this](int number, const QString& description) {
                showLineFidelity();
                deliver(&WindowEvents::comPort_DeviceLost, number, description);
            });
    connect(comPort_, &SerialPortControl::eventsLost, this,
            [this](quint64 total) { deliver(&WindowEvents::comPort_EventsLost, total); });
}

QLabel* MainWindow::addLabel(const QString& name, const QString& text, TwipRect place) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    placeWidget(label, name, place);
    return label;
}

Lamp* MainWindow::addLamp(const QString& name, LampShape shape, int colour, TwipRect place) {
    auto* lamp = new Lamp(shape, colour, this);
    placeWidget(lamp, name, place);
    return lamp;
}

Lamp* MainWindow::addOutputLamp(const char* name, const char* line, TwipRect place) {
    Lamp* lamp = addLamp(QLatin1String(name), LampShape::RoundedRectangle, kIdle, place);
    lamp->describeAs(QLatin1String(line), LampMeaning::Line);
    return lamp;
}

// shpLatch flashes when a refresh read its line off, shpLatchNot when one read it on.
void MainWindow::addLatchLamp(std::array<std::unique_ptr<LampAdapter>, 3>& lamps, const char* name,
                              int index, LampMeaning meaning, TwipRect place) {
    const bool readOn = meaning == LampMeaning::LatchOn;
    Lamp* lamp =
        addLamp(arrayName(name, index), LampShape::Circle, readOn ? kLatchNotIdle : kIdle, place);
    lamp->describeAs(QStringLiteral("%1 %2 latch").arg(inputLineName(index), readOn ? "on" : "off"),
                     meaning);
    inputLamps_[static_cast<std::size_t>(index)].push_back(lamp);
    lamps[static_cast<std::size_t>(index)] = std::make_unique<LampAdapter>(lamp);
}

void MainWindow::addIndicator(int index, TwipRect place) {
    Lamp* lamp =
        addLamp(arrayName("shpIndicator", index), LampShape::RoundedRectangle, kIdle, place);
    if (index == LineIndex::Wiring)
        lamp->describeAs(QStringLiteral("Wiring"), LampMeaning::Wiring);
    else {
        lamp->describeAs(inputLineName(index), LampMeaning::Line);
        inputLamps_[static_cast<std::size_t>(index)].push_back(lamp);
    }
    shpIndicator_[static_cast<std::size_t>(index)] = std::make_unique<LampAdapter>(lamp);
}

QTimer* MainWindow::addTimer(const QString& name, bool enabled) {
    auto* timer = new QTimer(this);
    timer->setObjectName(name);
    timer->setInterval(kTimerPeriodMs);
    if (enabled)
        timer->start();
    return timer;
}

// One timer per input line, created from the highest index down; each tick names its index.
void MainWindow::addLatchTimers(const char* name,
                                std::array<std::unique_ptr<TimerAdapter>, 3>& adapters,
                                void (WindowEvents::*handler)(short)) {
    for (int index = 2; index >= 0; --index) {
        QTimer* timer = addTimer(arrayName(name, index), false);
        connect(timer, &QTimer::timeout, this,
                [this, handler, index] { deliver(handler, static_cast<short>(index)); });
        adapters[static_cast<std::size_t>(index)] = std::make_unique<TimerAdapter>(timer);
    }
}

void MainWindow::applyTabOrder() {
    std::sort(tabStops_.begin(), tabStops_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabStops_.size(); ++i)
        setTabOrder(tabStops_[i - 1].second, tabStops_[i].second);
}
