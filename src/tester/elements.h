#pragma once

#include <QString>

// The window elements the tester logic reads and writes, each reduced to what the logic
// needs. The real window implements them with widgets; tests with plain fakes. Any member
// may throw (a CommError, or another std::exception) to report a failure.

// A filled lamp shape. Its colour is a 24-bit value laid out 0x00BBGGRR.
class LampElement {
public:
    virtual ~LampElement() = default;
    virtual int BackColor() const = 0;
    virtual void setBackColor(int colour) = 0;
};

// A text box, or the text field of a combo box.
class TextElement {
public:
    virtual ~TextElement() = default;
    virtual QString Text() const = 0;
    virtual void setText(const QString& text) = 0;
};

// One element of a timer array, or a single timer.
class TimerElement {
public:
    virtual ~TimerElement() = default;
    virtual bool Enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
};

class CheckElement {
public:
    virtual ~CheckElement() = default;
    // 0 clear, 1 checked, 2 greyed.
    virtual int Value() const = 0;
};

class ListElement {
public:
    virtual ~ListElement() = default;
    virtual int ListCount() const = 0;
    virtual QString List(int index) const = 0;
    // Inserts at index 0, pushing the other lines down.
    virtual void AddItemAtTop(const QString& line) = 0;
    virtual void RemoveItem(int index) = 0;
    virtual void Clear() = 0;
};
