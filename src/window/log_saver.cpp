#include "log_saver.h"

#include <QSaveFile>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

}  // namespace

LogSaver::~LogSaver() {
    if (worker_.joinable())
        worker_.join();
}

void LogSaver::save(const QString& path, Contents contents) {
    if (worker_.joinable())
        worker_.join();
    worker_ = std::thread([this, path, contents = std::move(contents)] {
        const QString error = writeFile(path, contents());
        QMetaObject::invokeMethod(
            this, [this, path, error] { emit finished(path, error); }, Qt::QueuedConnection);
    });
}
