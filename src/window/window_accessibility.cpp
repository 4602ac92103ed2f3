// What a screen reader or a keyboard needs beyond the designed window: every control named
// by its label, the lamps reachable and read as labels with their state, new status lines
// told, and Ctrl+Q to quit.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

#include "lamp.h"
#include "main_window.h"
#include "port_combo_box.h"

namespace {

// A lamp reads as a label: its name, and its state in words as value and description.
class LampAccessible : public QAccessibleWidget {
public:
    explicit LampAccessible(QWidget* lamp) : QAccessibleWidget(lamp, QAccessible::StaticText) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return widget()->accessibleDescription();
        return QAccessibleWidget::text(kind);
    }
};

// The port box is told by its label's words, with the number it shows as its value; Qt's
// own would name it by the number alone.
class PortBoxAccessible : public QAccessibleWidget {
public:
    explicit PortBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return static_cast<QComboBox*>(widget())->currentText();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* windowInterface(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("Lamp"))
        return new LampAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("PortComboBox"))
        return new PortBoxAccessible(static_cast<QComboBox*>(object));
    return nullptr;
}

// At most one word a second on the status list, however fast the lines come.
class NewLinesAnnouncer : public QObject {
public:
    static constexpr int kQuietMs = 1000;

    explicit NewLinesAnnouncer(QListWidget* list) : QObject(list), list_(list) {
        timer_.setSingleShot(true);
        timer_.setInterval(kQuietMs);
        connect(&timer_, &QTimer::timeout, this, &NewLinesAnnouncer::announce);
        connect(list->model(), &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) {
                    added_ += last - first + 1;
                    if (!timer_.isActive())
                        timer_.start();
                });
    }

private:
    void announce() {
        if (added_ == 0 || list_->count() == 0)
            return;
        const QString newest = list_->item(0)->text();
        list_->setAccessibleDescription(
            added_ == 1 ? QStringLiteral("New: ") + newest
                        : QStringLiteral("%1 new lines, newest: %2").arg(added_).arg(newest));
        added_ = 0;
    }

    QListWidget* list_;
    QTimer timer_;
    int added_ = 0;
};

template <typename Widget>
Widget* child(QWidget& window, const char* name) {
    return window.findChild<Widget*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

}  // namespace

// Before any element exists: with a reader running, Qt makes and keeps an element's interface
// the first time the element changes, and a factory installed later is never asked.
void MainWindow::installAccessibleInterfaces() {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(windowInterface);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

void MainWindow::makeAccessible() {
    // Each label names the control beside it; a mnemonic-free buddy gives the name.
    const std::pair<const char*, const char*> labelled[] = {
        {"Label1", "Combo1"},   {"Label8", "txtLoop"},   {"Label9", "txtDelay"},
        {"Label7", "txtCount"}, {"Label4", "txtStatus"},
    };
    for (const auto& [labelName, controlName] : labelled) {
        QLabel* label = child<QLabel>(*this, labelName);
        QWidget* control = child<QWidget>(*this, controlName);
        label->setBuddy(control);
        control->setAccessibleName(label->text().simplified());
    }
    lstStatusWidget_->setAccessibleName(QStringLiteral("Status log"));
    new NewLinesAnnouncer(lstStatusWidget_);

    // The lamps, in reading order after the designed controls, by keyboard only.
    QList<Lamp*> lamps = findChildren<Lamp*>(Qt::FindDirectChildrenOnly);
    std::sort(lamps.begin(), lamps.end(), [](const Lamp* a, const Lamp* b) {
        return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    QWidget* previous = tabStops_.empty() ? nullptr : tabStops_.back().second;
    for (Lamp* lamp : lamps) {
        lamp->setFocusPolicy(Qt::TabFocus);
        if (previous)
            setTabOrder(previous, lamp);
        previous = lamp;
    }

    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}
