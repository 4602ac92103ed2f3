#pragma once

#include <QDateTime>
#include <QStyledItemDelegate>

class QListWidget;
class QListWidgetItem;
class SerialPortControl;

// Each line the status list gains keeps the time its event was seen, and shows it as the
// line's tooltip ("14:03:07.412, 12.305 s after the port opened"). The text is made only
// when asked for, so a flood of lines costs two numbers a line.
class StatusListTimes : public QStyledItemDelegate {
public:
    StatusListTimes(QListWidget* list, const SerialPortControl* port);

    // When the line's event was seen; invalid for a line without one.
    static QDateTime wallClock(const QListWidgetItem& line);
    static QString toolTip(const QListWidgetItem& line);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    void stampTopLine();

    QListWidget* list_;
    const SerialPortControl* port_;
};
