#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <thread>

// Makes and writes a file on a thread of its own, so that a long log never holds the
// window; says on its own thread when it is done. One file at a time.
class LogSaver : public QObject {
    Q_OBJECT

public:
    using Contents = std::function<QByteArray()>;

    explicit LogSaver(QObject* parent = nullptr) : QObject(parent) {}
    ~LogSaver() override;

    // `contents` runs on the worker: it must own everything it reads.
    void save(const QString& path, Contents contents);

signals:
    // error is empty when the file was written.
    void finished(const QString& path, const QString& error);

private:
    std::thread worker_;
};
