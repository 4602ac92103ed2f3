#pragma once

#include <QString>

enum class DialogAnswer { Abort, Retry, Ignore, Other };

// Modal message boxes. Those without a title of their own carry the application title.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // OK only, no icon. The prompt separates lines with CR LF.
    virtual void showMessage(const QString& prompt) = 0;
    // Abort, Retry and Ignore, Abort the default, no icon.
    virtual DialogAnswer askAbortRetryIgnore(const QString& prompt, const QString& title) = 0;
};
