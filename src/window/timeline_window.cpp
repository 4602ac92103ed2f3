#include "timeline_window.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "serial_port_control.h"
#include "timeline_traces.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kScrollHeight = 16;

// The history's reach, in ms from its oldest entry to now.
qint64 historyMs(const EventHistory& history) {
    if (history.size() == 0)
        return 0;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                                 history.at(0).stamp.steady)
        .count();
}

}  // namespace

TimelineWindow::TimelineWindow(const SerialPortControl& port, QWidget* parent)
    : QWidget(parent, Qt::Window), port_(port), scroll_(new QScrollBar(Qt::Horizontal, this)) {
    setObjectName(QStringLiteral("timeline"));
    setWindowTitle(QStringLiteral("Timeline"));
    setAccessibleName(QStringLiteral("Timeline of DTR, RTS, DSR, CTS and CD"));
    resize(640, 300);
    setMinimumSize(320, 160);
    scroll_->setSingleStep(1000);
    scroll_->setPageStep(kSpanMs);
    connect(scroll_, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    frames_.setInterval(kFrameMs);
    connect(&frames_, &QTimer::timeout, this, &TimelineWindow::nextFrame);
}

bool TimelineWindow::following() const {
    return scroll_->value() == scroll_->maximum();
}

void TimelineWindow::nextFrame() {
    const bool wasFollowing = following();
    const int reach = static_cast<int>(std::min<qint64>(historyMs(port_.History()), INT_MAX));
    scroll_->setRange(0, std::max(0, reach - kSpanMs));
    if (wasFollowing)
        scroll_->setValue(scroll_->maximum());
    update();
    // Painting gets at most a quarter of the thread's time, whatever the flood.
    frames_.setInterval(std::max(kFrameMs, static_cast<int>(lastFrameMs_ * 4)));
}

void TimelineWindow::paintEvent(QPaintEvent*) {
    QElapsedTimer took;
    took.start();
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const EventHistory& history = port_.History();
    TimelineSpan span;
    span.length = std::chrono::milliseconds(kSpanMs);
    span.end =
        following() || history.size() == 0
            ? Clock::now()
            : history.at(0).stamp.steady + std::chrono::milliseconds(scroll_->value() + kSpanMs);
    paintTimeline(painter, rect().adjusted(0, 0, 0, -kScrollHeight), history, span);
    lastFrameMs_ = static_cast<double>(took.nsecsElapsed()) / 1e6;
}

void TimelineWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scroll_->setGeometry(0, height() - kScrollHeight, width(), kScrollHeight);
}

void TimelineWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    nextFrame();
    frames_.start();
}

void TimelineWindow::hideEvent(QHideEvent* event) {
    frames_.stop();
    QWidget::hideEvent(event);
}

void TimelineWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Save as PNG..."), this, &TimelineWindow::askAndSavePng);
    menu.exec(event->globalPos());
}

void TimelineWindow::askAndSavePng() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save timeline"),
                                                      QStringLiteral("quillmark-timeline.png"),
                                                      QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty() && !savePng(path))
        QMessageBox::warning(this, QStringLiteral("Quillmark"),
                             QStringLiteral("The timeline could not be saved to %1.").arg(path));
}

bool TimelineWindow::savePng(const QString& path) {
    return grab(rect().adjusted(0, 0, 0, -kScrollHeight)).save(path, "PNG");
}
