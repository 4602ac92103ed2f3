#include "qt_message_boxes.h"

#include <QMessageBox>

namespace {

// Plain text, so that a '<' in an error description shows as itself.
void prepare(QMessageBox& box, const QString& title, const QString& prompt) {
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(toDisplayLines(prompt));
    box.setWindowModality(Qt::ApplicationModal);
}

}  // namespace

QString toDisplayLines(const QString& prompt) {
    QString lines = prompt;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

void QtMessageBoxes::showMessage(const QString& prompt) {
    QMessageBox box(parent_);
    prepare(box, kApplicationTitle, prompt);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

DialogAnswer QtMessageBoxes::askAbortRetryIgnore(const QString& prompt, const QString& title) {
    QMessageBox box(parent_);
    prepare(box, title, prompt);
    box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    box.setDefaultButton(QMessageBox::Abort);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Abort:
            return DialogAnswer::Abort;
        case QMessageBox::Retry:
            return DialogAnswer::Retry;
        case QMessageBox::Ignore:
            return DialogAnswer::Ignore;
        default:
            return DialogAnswer::Other;
    }
}
