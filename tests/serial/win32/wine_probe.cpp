// What tools/windows/test-wine.sh asks of the Windows build under Wine, one answer a run:
//   wine_probe open N            "opened", or "error NUMBER"; opens port N as the window does
//   wine_probe loopback N        the text that came back within two seconds of "Loopback"
//   wine_probe hold N SECONDS    keeps port N open that long
//   wine_probe pixel FILE X Y    the colour of a pixel of a picture, "#rrggbb"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QThread>
#include <cstdio>

#include "device_sinks.h"
#include "port_map.h"
#include "system_device.h"

namespace {

std::unique_ptr<SerialDevice> open(const QString& port, DeviceEventSink& sink) {
    MappedDeviceOpener opener(PortMap{}, std::make_shared<SystemSerialPorts>());
    return opener.open(port.toShort(), OpenRequest{}, sink);
}

QString answer(const QStringList& args) {
    NullSink sink;
    const QString& what = args.value(1);
    if (what == "pixel")
        return QImage(args.value(2))
            .pixelColor(args.value(3).toInt(), args.value(4).toInt())
            .name();
    const auto device = open(args.value(2), sink);
    if (what == "hold")
        QThread::sleep(args.value(3).toULong());
    if (what != "loopback")
        return QStringLiteral("opened");
    device->write("Loopback");
    QByteArray back;
    for (QDeadlineTimer deadline(2000); !deadline.hasExpired() && back.size() < 8;) {
        QThread::msleep(20);
        back += device->takeInput();
    }
    return QString::fromLatin1(back);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        std::printf("%s\n", qPrintable(answer(app.arguments())));
        return 0;
    } catch (const CommError& error) {
        std::printf("error %d %s\n", error.number(), qPrintable(error.description()));
        return 1;
    }
}
