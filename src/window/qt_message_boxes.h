#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "message_boxes.h"

// Modal message boxes without an icon, shown over the given window.
class QtMessageBoxes : public MessageBoxes {
public:
    static inline const QString kApplicationTitle = QStringLiteral("Quillmark");

    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

    void showMessage(const QString& prompt) override;
    DialogAnswer askAbortRetryIgnore(const QString& prompt, const QString& title) override;

private:
    QPointer<QWidget> parent_;
};

// Prompts separate their lines with CR LF; a message box wants one line feed per break.
// A lone CR or LF is one break too.
QString toDisplayLines(const QString& prompt);
