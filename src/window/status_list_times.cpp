#include "status_list_times.h"

#include <QHelpEvent>
#include <QListWidget>
#include <QToolTip>

#include "event_time.h"
#include "serial_port_control.h"

namespace {

constexpr int kWallMsRole = Qt::UserRole + 1;
constexpr int kSecondsRole = Qt::UserRole + 2;

}  // namespace

StatusListTimes::StatusListTimes(QListWidget* list, const SerialPortControl* port)
    : QStyledItemDelegate(list), list_(list), port_(port) {
    list->setItemDelegate(this);
    // Lines are only ever added at the top, one for the event being delivered.
    connect(list->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first) {
                if (first == 0)
                    stampTopLine();
            });
}

void StatusListTimes::stampTopLine() {
    QListWidgetItem* line = list_->item(0);
    const EventStamp& stamp = port_->CommEventStamp();
    if (!line || stamp.steady == EventStamp{}.steady)
        return;
    line->setData(kWallMsRole, EventTime::wallClock(stamp).toMSecsSinceEpoch());
    line->setData(kSecondsRole, EventTime::secondsSince(port_->History().openedAt(), stamp));
}

QDateTime StatusListTimes::wallClock(const QListWidgetItem& line) {
    const QVariant ms = line.data(kWallMsRole);
    return ms.isValid() ? QDateTime::fromMSecsSinceEpoch(ms.toLongLong()) : QDateTime();
}

QString StatusListTimes::toolTip(const QListWidgetItem& line) {
    const QDateTime wall = wallClock(line);
    return wall.isValid() ? EventTime::sinceOpened(wall, line.data(kSecondsRole).toDouble())
                          : QString();
}

bool StatusListTimes::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QListWidgetItem* line = list_->item(index.row());
    const QString text = line ? toolTip(*line) : QString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), text, view);
    return true;
}
