#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "event_log_file.h"

class LogSaver;
class QAction;
class QListWidget;
class QPoint;
class QWidget;

// The status list's context menu: "Copy" the selected lines, "Copy all", "Save log..." the
// port's whole history, and whatever the window adds (the timeline). Ctrl+C copies, Ctrl+S
// saves. Copied lines carry their time.
class StatusListMenu : public QObject {
    Q_OBJECT

public:
    // What the saved log says and holds, taken when the user saves.
    struct LogContents {
        EventLogHeader header;
        std::vector<HistoryEntry> events;
    };
    using LogSource = std::function<LogContents()>;
    using Tell = std::function<void(const QString&)>;

    StatusListMenu(QListWidget* list, QWidget* window, LogSource log, Tell tell);

    // Offers the window's own action (with its shortcut) after the list's entries.
    void addEntry(QAction* action) { extra_.push_back(action); }
    void copySelected() const;
    void copyAll() const;
    // Asks for a file name, then saves.
    void saveLog();
    // Writes the log to `path` on a worker; savedLog follows.
    void saveLogTo(const QString& path);

signals:
    void logSaved(const QString& path, const QString& error);

private:
    void showMenu(const QPoint& at);

    QListWidget* list_;
    QWidget* window_;
    LogSource log_;
    Tell tell_;
    LogSaver* saver_;
    std::vector<QAction*> extra_;
};
