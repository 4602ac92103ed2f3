#include <QTest>
#include <deque>
#include <vector>

#include "comm_event.h"
#include "comm_event_reader.h"
#include "comm_flags.h"
#include "device_sinks.h"

namespace {

// Answers each call from a script; a missing answer is success with nothing to say.
class FakeCommCalls : public CommCalls {
public:
    std::deque<std::uint32_t> modemBits;
    std::uint32_t modemError = 0;
    std::uint32_t errorFlags = 0;
    std::uint32_t clearError = 0;
    std::deque<QByteArray> reads;
    std::uint32_t readError = 0;

    std::uint32_t clearErrors(std::uint32_t& flags, std::uint32_t& waiting) override {
        flags = std::exchange(errorFlags, 0);
        waiting = reads.empty() ? 0 : std::uint32_t(reads.front().size());
        return clearError;
    }
    std::uint32_t modemStatus(std::uint32_t& bits) override {
        if (!modemBits.empty()) {
            bits = modemBits.front();
            modemBits.pop_front();
        }
        return modemError;
    }
    std::uint32_t read(QByteArray& bytes, int max) override {
        if (readError != 0 || reads.empty())
            return readError;
        bytes = reads.front().left(max);
        reads.pop_front();
        return 0;
    }
};

using Codes = std::vector<short>;

}  // namespace

class TestCommEventReader : public QObject {
    Q_OBJECT

private slots:
    void reports_data();
    void reports();
    void lossIsToldOnce_data();
    void lossIsToldOnce();
};

void TestCommEventReader::reports_data() {
    using namespace CommFlags;
    QTest::addColumn<std::uint32_t>("mask");
    QTest::addColumn<bool>("dsrWasOn");
    QTest::addColumn<std::uint32_t>("modemNow");   // MS_* bits at the report
    QTest::addColumn<std::uint32_t>("callError");  // of every call after the start
    QTest::addColumn<std::uint32_t>("errorFlags");
    QTest::addColumn<int>("bytesWaiting");
    QTest::addColumn<Codes>("codes");
    QTest::addColumn<int>("bytesTaken");
    QTest::addColumn<bool>("lost");

    const std::uint32_t none = 0;
    QTest::newRow("cts") << Cts << false << none << none << none << 0 << Codes{3} << 0 << false;
    QTest::newRow("cd") << Rlsd << false << none << none << none << 0 << Codes{5} << 0 << false;
    QTest::newRow("ring") << Ring << false << none << none << none << 0 << Codes{6} << 0 << false;
    QTest::newRow("dsr rose") << Dsr << false << DsrOn << none << none << 0 << Codes{} << 0
                              << false;
    QTest::newRow("dsr fell") << Dsr << true << none << none << none << 0 << Codes{4} << 0 << false;
    // On before and after a change: it fell and rose again between two reports.
    QTest::newRow("dsr pulse merged")
        << Dsr << true << DsrOn << none << none << 0 << Codes{4} << 0 << false;
    QTest::newRow("dsr unreadable, was on")
        << Dsr << true << none << std::uint32_t(87) << none << 0 << Codes{4} << 0 << false;
    QTest::newRow("every line, in order") << (Ring | Rlsd | Dsr | Cts) << true << none << none
                                          << none << 0 << Codes{3, 4, 5, 6} << 0 << false;
    // A break reads as a framing error too; it is one event.
    QTest::newRow("break") << (Break | Err) << false << none << none << (BreakSeen | Frame) << 0
                           << Codes{1001} << 0 << false;
    QTest::newRow("break seen only by the flags")
        << Err << false << none << none << BreakSeen << 0 << Codes{1001} << 0 << false;
    QTest::newRow("line errors") << Err << false << none << none
                                 << (Frame | Overrun | RxOver | RxParity) << 0
                                 << Codes{1004, 1006, 1008, 1009} << 0 << false;
    QTest::newRow("flags unread without an error report")
        << Cts << false << none << none << Overrun << 0 << Codes{3} << 0 << false;
    QTest::newRow("flags read with the data")
        << RxChar << false << none << none << Overrun << 9 << Codes{1006} << 9 << false;
    QTest::newRow("data") << RxChar << false << none << none << none << 9 << Codes{} << 9 << false;
    QTest::newRow("data beyond the receive buffer")
        << RxChar << false << none << none << none << 5000 << Codes{1008} << kReceiveBufferSize
        << false;
    // Pulled out while a report was read: told once, and nothing after it.
    QTest::newRow("unplugged, reading the flags")
        << Err << false << none << std::uint32_t(1617) << Frame << 0 << Codes{} << 0 << true;
    QTest::newRow("unplugged, reading the data")
        << RxChar << false << none << std::uint32_t(995) << none << 9 << Codes{} << 0 << true;
    QTest::newRow("unplugged, reading dsr")
        << (Dsr | Cts) << true << none << std::uint32_t(22) << none << 0 << Codes{3} << 0 << true;
}

void TestCommEventReader::reports() {
    QFETCH(std::uint32_t, mask);
    QFETCH(bool, dsrWasOn);
    QFETCH(std::uint32_t, modemNow);
    QFETCH(std::uint32_t, callError);
    QFETCH(std::uint32_t, errorFlags);
    QFETCH(int, bytesWaiting);

    FakeCommCalls calls;
    calls.modemBits = {dsrWasOn ? CommFlags::DsrOn : 0, modemNow};
    calls.errorFlags = errorFlags;
    for (int left = bytesWaiting; left > 0; left -= 4096)
        calls.reads.push_back(QByteArray(std::min(left, 4096), 'x'));
    RecordingSink sink;
    ReceiveBuffer receive(kReceiveBufferSize);
    CommLoss loss(QStringLiteral("COM3"), sink);
    CommEventReader reader(calls, receive, sink, loss);
    reader.start();
    calls.modemError = calls.clearError = calls.readError = callError;

    reader.handle(mask);

    QTEST(sink.takeCodes(), "codes");
    QTEST(int(receive.take().size()), "bytesTaken");
    QTEST(!sink.lost().empty(), "lost");
    QVERIFY(sink.lost().size() <= 1);
}

void TestCommEventReader::lossIsToldOnce_data() {
    using After = CommEventReader::AfterFailure;
    using Errors = std::vector<std::uint32_t>;
    QTest::addColumn<Errors>("waitErrors");
    QTest::addColumn<std::uint32_t>("portAnswers");  // ClearCommError's error after a failure
    QTest::addColumn<After>("after");                // the last failure's
    QTest::addColumn<bool>("lostByWaits");

    const std::uint32_t yes = 0;
    QTest::newRow("unplugged: aborted") << Errors{995} << std::uint32_t(22) << After::Stop << true;
    QTest::newRow("unplugged: removed")
        << Errors{1617} << std::uint32_t(1617) << After::Stop << true;
    // Wine, and some drivers, abort a wait now and then while the port works on.
    QTest::newRow("aborted, port answers") << Errors(100, 995) << yes << After::Retry << false;
    QTest::newRow("no modem lines") << Errors{50} << yes << After::WithoutModemLines << false;
    QTest::newRow("one passing failure")
        << Errors{31} << std::uint32_t(31) << After::Retry << false;
    QTest::newRow("failing for good")
        << Errors(CommEventReader::kMaxFailedWaits, 31) << std::uint32_t(31) << After::Stop << true;
    QTest::newRow("reported again after the loss")
        << Errors{995, 1617, 22} << std::uint32_t(22) << After::Stop << true;
}

void TestCommEventReader::lossIsToldOnce() {
    QFETCH(std::vector<std::uint32_t>, waitErrors);

    FakeCommCalls calls;
    QFETCH(std::uint32_t, portAnswers);
    calls.clearError = portAnswers;
    RecordingSink sink;
    ReceiveBuffer receive(kReceiveBufferSize);
    CommLoss loss(QStringLiteral("COM3"), sink);
    CommEventReader reader(calls, receive, sink, loss);
    auto after = CommEventReader::AfterFailure::Retry;
    for (std::uint32_t error : waitErrors)
        after = reader.waitFailed(error);
    QTEST(after, "after");
    QTEST(!sink.lost().empty(), "lostByWaits");

    // A loss seen by a call of the user's thread is the same loss.
    calls.clearError = 995;
    reader.readReceived();
    QCOMPARE(sink.lost(), std::vector<int>{CommErrors::DeviceLost});
}

QTEST_GUILESS_MAIN(TestCommEventReader)
#include "test_comm_event_reader.moc"
