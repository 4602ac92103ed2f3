#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QScrollBar;
class SerialPortControl;

// A second window: the port's five lines over the last 10 seconds, drawn from the
// control's history at the display's pace, and scrollable back over the whole history.
// Painting takes at most a quarter of the window thread's time: under a flood the frames
// come further apart rather than the main window slowing.
class TimelineWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSpanMs = 10'000;
    static constexpr int kFrameMs = 16;

    explicit TimelineWindow(const SerialPortControl& port, QWidget* parent = nullptr);

    bool savePng(const QString& path);
    // How long the last frame took to paint.
    double lastFrameMs() const { return lastFrameMs_; }
    // Whether the span follows the present (the scroll bar at its end).
    bool following() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void nextFrame();
    void askAndSavePng();

    const SerialPortControl& port_;
    QScrollBar* scroll_;
    QTimer frames_;
    double lastFrameMs_ = 0;
};
