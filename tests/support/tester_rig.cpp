#include "tester_rig.h"

#include <QCoreApplication>

TesterRig::TesterRig(Platform* waitsOn)
    : comPort(makeOpener(clock, ports_)), waitsOn_(waitsOn ? *waitsOn : platform) {
    comPort.connect(&comPort, &SerialPortControl::OnComm, [this] { tester.comPort_OnComm(); });
    comPort.connect(&comPort, &SerialPortControl::deviceLost,
                    [this](int number, const QString& description) {
                        tester.comPort_DeviceLost(number, description);
                    });
}

std::shared_ptr<DeviceOpener> TesterRig::makeOpener(
    const std::shared_ptr<ManualClock>& clock,
    std::map<int, std::shared_ptr<SimulatedPort>>& ports) {
    PortMap map;
    for (int n = PortNumbers::kFirst; n <= PortNumbers::kLast; ++n) {
        ports[n] = std::make_shared<SimulatedPort>(clock);
        map.map(n, ports[n]);
    }
    return std::make_shared<MappedDeviceOpener>(std::move(map));
}

void TesterRig::deliverEvents() {
    QCoreApplication::processEvents();
}

void TesterRig::select(const QString& text) {
    view.combo.setText(text);
    tester.Combo1_Click();
}
