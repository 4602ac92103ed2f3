#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "line_fidelity.h"
#include "tester_view.h"
#include "twips.h"
#include "window_events.h"

class CheckBoxAdapter;
class ComboText;
class DeviceOpener;
class Lamp;
class LampAdapter;
class LineEditText;
class ListWidgetAdapter;
class PortComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QtMessageBoxes;
class SerialPortControl;
class StatusListMenu;
class TimerAdapter;
class TimelineWindow;
enum class LampMeaning;
enum class LampShape;

// The tester's one window, "frmMain". It creates its elements in their designed order with
// their initial values, places them by their designed twips at the screen's resolution,
// and delivers every notification to a WindowEvents.
//
// Each element's objectName is its name; an element of an array is named "<name>_<index>"
// (for example "shpIndicator_3", "Label2_6", "timLatch_0"). Timers and the serial port
// control "comPort" are QObject children of the window, the rest are child widgets.
class MainWindow : public QWidget, public TesterView {
    Q_OBJECT

public:
    static constexpr TwipRect kClientArea{0, 0, 6615, 6300};
    static constexpr int kTimerPeriodMs = 1000;

    MainWindow(std::shared_ptr<DeviceOpener> opener, WindowEvents* events,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Null delivers notifications nowhere.
    void setEvents(WindowEvents* events) { events_ = events; }
    // Delivers Form_Load. Called once, after construction.
    void load();

    SerialPortControl& comPort() { return *comPort_; }
    // The status list's copy and save.
    StatusListMenu& statusListMenu() { return *statusListMenu_; }
    // Opens the timeline of the port's lines (Ctrl+T), or brings it forward.
    TimelineWindow& showTimeline();
    const TwipScale& twipScale() const { return scale_; }

    // The status list's resize rule, for the given outer size of the window in twips.
    void applyResizeRule(float outerWidthTwips, float outerHeightTwips);
    // The window's outer size in twips, frame and caption included. Where the window system
    // reports no frame (offscreen, or not yet framed) a classic frame is assumed, so that
    // the status list keeps its designed size at the designed client size.
    QSizeF outerSizeTwips() const;

    // Null restores the window's own message boxes.
    void setMessages(MessageBoxes* messages);

    // TesterView
    TextElement& Combo1() override;
    TextElement& txtStatus() override;
    TextElement& txtLoop() override;
    TextElement& txtDelay() override;
    TextElement& txtCount() override;
    CheckElement& chkIgnoreRing() override;
    ListElement& lstStatus() override;
    LampElement& shpIndicator(int index) override;
    LampElement& shpLatch(int index) override;
    LampElement& shpLatchNot(int index) override;
    LampElement& shpRTS() override;
    LampElement& shpDTR() override;
    TimerElement& timLatch(int index) override;
    TimerElement& timLatchNot(int index) override;
    MessageBoxes& messages() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void createElements();
    void placeWidget(QWidget* widget, const QString& name, TwipRect place);
    QPushButton* addButton(const char* name, const QString& text, TwipRect place, int tab,
                           void (WindowEvents::*onClick)());
    void addCheckBox();
    QLineEdit* addTextBox(const char* name, const QString& text, TwipRect place, int tab);
    void addStatusBox();
    void addStatusList();
    void addComboBox();
    void showWhatPortsReach();
    // The input lamps say how the open port sees their lines; cheap when nothing changed.
    void showLineFidelity();
    void addSerialPortControl(std::shared_ptr<DeviceOpener> opener);
    QLabel* addLabel(const QString& name, const QString& text, TwipRect place);
    Lamp* addLamp(const QString& name, LampShape shape, int colour, TwipRect place);
    Lamp* addOutputLamp(const char* name, const char* line, TwipRect place);
    void addLatchLamp(std::array<std::unique_ptr<LampAdapter>, 3>& lamps, const char* name,
                      int index, LampMeaning meaning, TwipRect place);
    void addIndicator(int index, TwipRect place);
    QTimer* addTimer(const QString& name, bool enabled);
    void addLatchTimers(const char* name, std::array<std::unique_ptr<TimerAdapter>, 3>& adapters,
                        void (WindowEvents::*handler)(short));
    void applyTabOrder();
    void addStatusListRecord();
    static void installAccessibleInterfaces();
    void makeAccessible();
    void offerTimeline();
    bool windowSystemReportsFrame() const;
    void formResize();

    template <typename Handler, typename... Args>
    void deliver(Handler handler, Args... args) {
        if (events_)
            (events_->*handler)(args...);
    }

    WindowEvents* events_;
    std::shared_ptr<DeviceOpener> opener_;
    TwipScale scale_;
    std::vector<std::pair<int, QWidget*>> tabStops_;

    SerialPortControl* comPort_ = nullptr;
    PortComboBox* combo1_ = nullptr;
    QListWidget* lstStatusWidget_ = nullptr;
    StatusListMenu* statusListMenu_ = nullptr;
    TimelineWindow* timeline_ = nullptr;
    TwipRect lstStatusPlace_;

    std::unique_ptr<ComboText> combo1Text_;
    std::unique_ptr<LineEditText> txtStatusText_;
    std::unique_ptr<LineEditText> txtLoopText_;
    std::unique_ptr<LineEditText> txtDelayText_;
    std::unique_ptr<LineEditText> txtCountText_;
    std::unique_ptr<CheckBoxAdapter> chkIgnoreRing_;
    std::unique_ptr<ListWidgetAdapter> lstStatus_;
    std::array<std::unique_ptr<LampAdapter>, 4> shpIndicator_;
    std::array<std::unique_ptr<LampAdapter>, 3> shpLatch_;
    std::array<std::unique_ptr<LampAdapter>, 3> shpLatchNot_;
    std::array<std::vector<Lamp*>, 3> inputLamps_;  // by line index: indicator and latches
    PortFidelity shownFidelity_;
    std::unique_ptr<LampAdapter> shpRTS_;
    std::unique_ptr<LampAdapter> shpDTR_;
    std::array<std::unique_ptr<TimerAdapter>, 3> timLatch_;
    std::array<std::unique_ptr<TimerAdapter>, 3> timLatchNot_;

    std::unique_ptr<QtMessageBoxes> ownMessages_;
    MessageBoxes* messages_;
};
