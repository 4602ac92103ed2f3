#pragma once

#include <QString>
#include <optional>

// The Settings text "baud,parity,data,stop", e.g. "9600,n,8,1".
struct LineSettings {
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    int baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // nullopt for any text this control cannot apply to a port.
    static std::optional<LineSettings> parse(const QString& text);
    QString toText() const;
    // Bits a character takes on the wire, start and stop bits included.
    double bitsPerCharacter() const;

    bool operator==(const LineSettings&) const = default;
};
