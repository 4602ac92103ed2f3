#include "status_list_menu.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>

#include "log_saver.h"
#include "status_list_times.h"

namespace {

// "2026-12-09T14:03:07.412+01:00<TAB>3 - Change in Clear To Send line."
QString lineWithTime(const QListWidgetItem& line) {
    const QDateTime wall = StatusListTimes::wallClock(line);
    if (!wall.isValid())
        return line.text();
    QDateTime local = wall;
    local.setOffsetFromUtc(wall.offsetFromUtc());
    return local.toString(Qt::ISODateWithMs) + '\t' + line.text();
}

}  // namespace

StatusListMenu::StatusListMenu(QListWidget* list, QWidget* window, LogSource log, Tell tell)
    : QObject(list),
      list_(list),
      window_(window),
      log_(std::move(log)),
      tell_(std::move(tell)),
      saver_(new LogSaver(this)) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &StatusListMenu::showMenu);
    auto* copy = new QShortcut(QKeySequence::Copy, list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &StatusListMenu::copySelected);
    auto* save = new QShortcut(QKeySequence::Save, window);
    connect(save, &QShortcut::activated, this, &StatusListMenu::saveLog);
    connect(saver_, &LogSaver::finished, this, [this](const QString& path, const QString& error) {
        if (!error.isEmpty())
            tell_(QStringLiteral("The log could not be saved to %1:\r\n%2").arg(path, error));
        emit logSaved(path, error);
    });
}

void StatusListMenu::showMenu(const QPoint& at) {
    QMenu menu(list_);
    QAction* copy = menu.addAction(QStringLiteral("Copy"), this, &StatusListMenu::copySelected);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!list_->selectedItems().isEmpty());
    menu.addAction(QStringLiteral("Copy all"), this, &StatusListMenu::copyAll)
        ->setEnabled(list_->count() > 0);
    menu.addAction(QStringLiteral("Save log..."), this, &StatusListMenu::saveLog)
        ->setShortcut(QKeySequence::Save);
    if (!extra_.empty())
        menu.addSeparator();
    for (QAction* action : extra_)
        menu.addAction(action);
    menu.exec(list_->viewport()->mapToGlobal(at));
}

// In the list's order, newest first, as the user sees them.
void StatusListMenu::copySelected() const {
    QStringList lines;
    for (int row = 0; row < list_->count(); ++row)
        if (list_->item(row)->isSelected())
            lines << lineWithTime(*list_->item(row));
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

void StatusListMenu::copyAll() const {
    QStringList lines;
    for (int row = 0; row < list_->count(); ++row)
        lines << lineWithTime(*list_->item(row));
    QApplication::clipboard()->setText(lines.join('\n') + (lines.isEmpty() ? "" : "\n"));
}

void StatusListMenu::saveLog() {
    const QString suggested =
        QStringLiteral("quillmark-log-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path =
        QFileDialog::getSaveFileName(window_, QStringLiteral("Save log"), suggested,
                                     QStringLiteral("CSV (*.csv);;Text (*.txt *.log)"));
    if (!path.isEmpty())
        saveLogTo(path);
}

void StatusListMenu::saveLogTo(const QString& path) {
    // Taken now, on this thread; made into text and written on the saver's.
    auto contents = std::make_shared<LogContents>(log_());
    saver_->save(path, [contents, format = eventLogFormatFor(path)] {
        return eventLogFile(contents->header, contents->events, format);
    });
}
