#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <thread>

// A pseudo-terminal pair: the code under test opens the slave by its path, the test holds
// the master side and plays the far end.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.isEmpty(); }
    const QString& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    qsizetype send(const QByteArray& bytes);
    // Reads until `wanted` bytes came or the line has been quiet for `quiet`.
    QByteArray receive(qsizetype wanted,
                       std::chrono::milliseconds quiet = std::chrono::milliseconds(500));

    // Sends back from the master side everything that arrives there, until stopped.
    void startEcho();
    void stopEcho();
    // The far end goes away: the slave hangs up.
    void closeMaster();

private:
    int master_ = -1;
    QString slavePath_;
    std::atomic<bool> echoing_{false};
    std::thread echo_;
};
