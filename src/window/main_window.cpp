#include "main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <stdexcept>
#include <string>

#include "element_adapters.h"
#include "lamp.h"
#include "port_combo_box.h"
#include "port_numbers.h"
#include "qt_message_boxes.h"
#include "serial_port_control.h"
#include "status_list_menu.h"
#include "status_list_resize.h"
#include "status_list_times.h"
#include "timeline_window.h"
#include "window_fonts.h"
#include "window_icon.h"

namespace {

const QString kCaption = QStringLiteral("Com port test");

template <typename Element, std::size_t N>
Element& elementAt(const std::array<std::unique_ptr<Element>, N>& elements, int index,
                   const char* name) {
    if (index < 0 || static_cast<std::size_t>(index) >= N)
        throw std::out_of_range("Element " + std::to_string(index) + " of " + name +
                                " does not exist.");
    return *elements[static_cast<std::size_t>(index)];
}

}  // namespace

MainWindow::MainWindow(std::shared_ptr<DeviceOpener> opener, WindowEvents* events, QWidget* parent)
    : QWidget(parent),
      events_(events),
      opener_(std::move(opener)),
      scale_(logicalDpiX(), logicalDpiY()),
      ownMessages_(std::make_unique<QtMessageBoxes>(this)),
      messages_(ownMessages_.get()) {
    installAccessibleInterfaces();
    // Decoding the icon's files takes about as long as building the elements: it runs meanwhile.
    WindowIconReader windowIcon;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kCaption);
    setFont(WindowFonts::dialog(font(), scale_));
    // The status list grows and shrinks with the window; the other controls keep their places.
    resize(scale_.toPixelsX(kClientArea.width), scale_.toPixelsY(kClientArea.height));
    createElements();
    WindowFonts::fitLabelsOnOneLine(*this);
    applyTabOrder();
    addStatusListRecord();
    offerTimeline();
    makeAccessible();
    combo1_->setFocus();
    setWindowIcon(windowIcon.icon());
}

// The port goes first, while the window it reports to is still whole.
MainWindow::~MainWindow() {
    events_ = nullptr;
    delete comPort_;
}

// The entries' tooltips, and the box's own for the number it shows. A window made without
// an opener, only to be looked at, has none to show; nor has one whose ports cannot be
// described just now.
void MainWindow::showWhatPortsReach() {
    if (!opener_)
        return;
    QStringList reached;
    try {
        reached = opener_->describe(PortNumbers::kFirst, PortNumbers::kLast);
    } catch (...) {
    }
    for (int index = 0; index < combo1_->count() && index < reached.size(); ++index) {
        combo1_->setItemData(index, reached[index], Qt::ToolTipRole);
        combo1_->setItemData(index, reached[index], Qt::AccessibleDescriptionRole);
    }
    const int shown = combo1_->findText(combo1_->currentText());
    QString tip = shown >= 0 && shown < reached.size() ? reached[shown] : QString();
    const QString seen = comPort_ ? portFidelityWords(comPort_->Fidelity()) : QString();
    if (!seen.isEmpty() && shown >= 0 && combo1_->itemText(shown).toInt() == comPort_->CommPort())
        tip += QStringLiteral("\nOpen, lines seen: ") + seen;
    combo1_->setToolTip(tip);
}

void MainWindow::showLineFidelity() {
    const PortFidelity now = comPort_->Fidelity();
    if (now == shownFidelity_)
        return;
    shownFidelity_ = now;
    const LineFidelity lines[] = {now.dsr, now.cts, now.cd};  // in line index order
    for (std::size_t index = 0; index < inputLamps_.size(); ++index) {
        const LineFidelity& line = lines[index];
        const QString words =
            line.grade == FidelityGrade::Unknown ? QString() : fidelityWords(line);
        for (Lamp* lamp : inputLamps_[index])
            lamp->setSeenAs(words);
    }
}

// The times of the status list's lines, and its copy and save over the port's history.
void MainWindow::addStatusListRecord() {
    new StatusListTimes(lstStatusWidget_, comPort_);
    const auto log = [this] {
        const EventHistory& history = comPort_->History();
        const short port = comPort_->CommPort();
        EventLogHeader header{
            QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion(),
            port,
            opener_ ? opener_->describe(port, port).value(0) : QString(),
            comPort_->Settings(),
            comPort_->Fidelity(),
            history.openedAt(),
            history.dropped()};
        return StatusListMenu::LogContents{std::move(header), history.snapshot()};
    };
    statusListMenu_ = new StatusListMenu(
        lstStatusWidget_, this, log, [this](const QString& text) { messages().showMessage(text); });
}

// From Ctrl+T anywhere in the window, the status list's menu and every lamp's.
void MainWindow::offerTimeline() {
    auto* open = new QAction(QStringLiteral("Timeline"), this);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(open, &QAction::triggered, this, [this] { showTimeline(); });
    addAction(open);
    statusListMenu_->addEntry(open);
    for (Lamp* lamp : findChildren<Lamp*>(Qt::FindDirectChildrenOnly)) {
        lamp->setContextMenuPolicy(Qt::ActionsContextMenu);
        lamp->addAction(open);
    }
}

TimelineWindow& MainWindow::showTimeline() {
    if (!timeline_)
        timeline_ = new TimelineWindow(*comPort_, this);
    timeline_->show();
    timeline_->raise();
    timeline_->activateWindow();
    return *timeline_;
}

void MainWindow::load() {
    deliver(&WindowEvents::Form_Load);
    showWhatPortsReach();
}

void MainWindow::setMessages(MessageBoxes* messages) {
    messages_ = messages ? messages : ownMessages_.get();
}

TextElement& MainWindow::Combo1() {
    return *combo1Text_;
}
TextElement& MainWindow::txtStatus() {
    return *txtStatusText_;
}
TextElement& MainWindow::txtLoop() {
    return *txtLoopText_;
}
TextElement& MainWindow::txtDelay() {
    return *txtDelayText_;
}
TextElement& MainWindow::txtCount() {
    return *txtCountText_;
}
CheckElement& MainWindow::chkIgnoreRing() {
    return *chkIgnoreRing_;
}
ListElement& MainWindow::lstStatus() {
    return *lstStatus_;
}
LampElement& MainWindow::shpRTS() {
    return *shpRTS_;
}
LampElement& MainWindow::shpDTR() {
    return *shpDTR_;
}
MessageBoxes& MainWindow::messages() {
    return *messages_;
}
LampElement& MainWindow::shpIndicator(int index) {
    return elementAt(shpIndicator_, index, "shpIndicator");
}
LampElement& MainWindow::shpLatch(int index) {
    return elementAt(shpLatch_, index, "shpLatch");
}
LampElement& MainWindow::shpLatchNot(int index) {
    return elementAt(shpLatchNot_, index, "shpLatchNot");
}
TimerElement& MainWindow::timLatch(int index) {
    return elementAt(timLatch_, index, "timLatch");
}
TimerElement& MainWindow::timLatchNot(int index) {
    return elementAt(timLatchNot_, index, "timLatchNot");
}

// No frame is known before the window system has framed the window, and the platforms
// that draw no screen (offscreen, minimal) report a made-up border without a caption.
bool MainWindow::windowSystemReportsFrame() const {
    static const bool drawsNoScreen =
        QGuiApplication::platformName() == QLatin1String("offscreen") ||
        QGuiApplication::platformName() == QLatin1String("minimal");
    return !drawsNoScreen && frameGeometry().size() != geometry().size();
}

QSizeF MainWindow::outerSizeTwips() const {
    if (!windowSystemReportsFrame())
        return {scale_.toTwipsX(width()) + kClassicFrameWidthTwips,
                scale_.toTwipsY(height()) + kClassicFrameHeightTwips};
    const QSize frame = frameGeometry().size();
    return {scale_.toTwipsX(frame.width()), scale_.toTwipsY(frame.height())};
}

void MainWindow::applyResizeRule(float outerWidthTwips, float outerHeightTwips) {
    const ListSizeTwips size =
        statusListSize(static_cast<float>(lstStatusPlace_.top), outerWidthTwips, outerHeightTwips);
    lstStatusWidget_->resize(scale_.toPixelsX(size.width), scale_.toPixelsY(size.height));
}

void MainWindow::formResize() {
    if (isMinimized())
        return;  // keep the list as it was until the window comes back
    const QSizeF outer = outerSizeTwips();
    applyResizeRule(static_cast<float>(outer.width()), static_cast<float>(outer.height()));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    formResize();
}

// The window system may report the frame only after the window has appeared; the rule
// then runs again with the real outer size.
void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    formResize();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    deliver(&WindowEvents::Form_Unload);
    event->accept();
}
