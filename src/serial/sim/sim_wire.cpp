#include "sim_wire.h"

#include <algorithm>
#include <cmath>

namespace {

double characterNs(const LineSettings& settings) {
    return settings.bitsPerCharacter() * 1e9 / settings.baud;
}

qint64 wireNs(qsizetype characters, double perCharacterNs) {
    return std::llround(static_cast<double>(characters) * perCharacterNs);
}

}  // namespace

void SimWire::restart(qint64 nowNs) {
    arriving_.clear();
    txFreeAtNs_ = farEndFreeAtNs_ = nowNs;
    received_.take();
}

bool SimWire::send(const QByteArray& bytes, const LineSettings& settings, qint64 nowNs,
                   const Echo& echo) {
    const double perCharacterNs = characterNs(settings);
    const qint64 start = std::max(nowNs, txFreeAtNs_);
    const auto waiting =
        static_cast<qsizetype>(std::ceil(static_cast<double>(start - nowNs) / perCharacterNs));
    const qsizetype room = std::max<qsizetype>(0, kTransmitBufferSize - waiting);
    const QByteArray accepted = bytes.first(std::min(room, bytes.size()));
    logTransmitted(accepted);

    qsizetype echoed = 0;
    if (echo.on)
        echoed = echo.firstHalfOnly ? accepted.size() / 2 : accepted.size();
    for (qsizetype i = 0; i < echoed; ++i)
        schedule(start + wireNs(i + 1, perCharacterNs) + echo.extraDelayNs, accepted[i]);
    txFreeAtNs_ = start + wireNs(accepted.size(), perCharacterNs);
    return accepted.size() == bytes.size();
}

void SimWire::receiveFromFarEnd(const QByteArray& bytes, const LineSettings& settings,
                                qint64 nowNs) {
    const double perCharacterNs = characterNs(settings);
    const qint64 start = std::max(nowNs, farEndFreeAtNs_);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        schedule(start + wireNs(i + 1, perCharacterNs), bytes[i]);
    farEndFreeAtNs_ = start + wireNs(bytes.size(), perCharacterNs);
}

bool SimWire::pumpArrived(qint64 nowNs) {
    QByteArray arrived;
    while (!arriving_.empty() && arriving_.front().atNs <= nowNs) {
        arrived.append(arriving_.front().byte);
        arriving_.pop_front();
    }
    return !arrived.isEmpty() && received_.append(arrived);
}

void SimWire::schedule(qint64 atNs, char byte) {
    if (arriving_.empty() || arriving_.back().atNs <= atNs) {
        arriving_.push_back({atNs, byte});
        return;
    }
    const auto at = std::upper_bound(arriving_.begin(), arriving_.end(), atNs,
                                     [](qint64 t, const ArrivingByte& b) { return t < b.atNs; });
    arriving_.insert(at, {atNs, byte});
}

void SimWire::logTransmitted(const QByteArray& bytes) {
    transmitted_.append(bytes);
    if (transmitted_.size() > kTransmitLogSize)
        transmitted_.remove(0, transmitted_.size() - kTransmitLogSize);
}
