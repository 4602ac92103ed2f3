#include "comm_event_log.h"

#include "comm_event.h"
#include "error_info.h"
#include "number_text.h"

namespace {

struct EventText {
    short code;
    const char* text;
};

constexpr EventText kEventTexts[] = {
    {CommEvents::Break, "A Break signal was received."},
    {CommEvents::Framing, "Framing Error. The hardware detected a framing error."},
    {CommEvents::Overrun,
     "Port Overrun. A character was not read from the hardware before the next character "
     "arrived and was lost."},
    {CommEvents::ReceiveOverflow,
     "Receive Buffer Overflow. There is no room in the receive buffer."},
    {CommEvents::Parity, "Parity Error. The hardware detected a parity error."},
    {CommEvents::TransmitFull,
     "Transmit Buffer Full. The transmit buffer was full while trying to queue a character."},
    {CommEvents::DcbError, "Unexpected error retrieving Device Control Block (DCB) for the port."},
    {CommEvents::SendThreshold,
     "There are fewer than Sthreshold number of characters in the transmit buffer."},
    {CommEvents::ReceiveThreshold,
     "Received Rthreshold number of characters. This event is generated continuously until "
     "you use the Input property to remove the data from the receive buffer."},
    {CommEvents::CtsChanged, "Change in Clear To Send line."},
    {CommEvents::DsrFell,
     "Change in Data Set Ready line. This event is only fired when DSR changes from 1 to 0."},
    {CommEvents::CdChanged, "Change in Carrier Detect line."},
    {CommEvents::Ring,
     "Ring detected. Some UARTs (universal asynchronous receiver-transmitters) may not "
     "support this event."},
    {CommEvents::EndOfFile, "End Of File (ASCII character 26) character received."},
};

}  // namespace

QString CommEventLog::CommEventText(const short& code) {
    for (const EventText& entry : kEventTexts)
        if (entry.code == code)
            return QString::fromLatin1(entry.text);
    return QStringLiteral("Unknown status");
}

void CommEventLog::LogCommEvent(const short& code) {
    ListElement& list = view_.lstStatus();
    if (list.ListCount() > kMaxLinesBeforeTrim)
        list.RemoveItem(list.ListCount() - 1);
    list.AddItemAtTop(QString::number(code) + QStringLiteral(" - ") + CommEventText(code));
}

void CommEventLog::clear() {
    view_.lstStatus().Clear();
}

void CommEventLog::countNotification() {
    TextElement& counter = view_.txtCount();
    const double count = NumberText::leadingNumber(counter.Text()) + 1.0;
    counter.setText(NumberText::formatGeneral(count));
}

void CommEventLog::handleNotification() {
    Step step = Step::TakeReference;
    SerialPort* comPort = nullptr;  // the handler's own reference, dropped on every way out
    for (;;) {
        try {
            if (runStep(step, comPort) == Next::Leave)
                return;
        } catch (...) {
            if (!askAfterFailure(step))
                return;
        }
    }
}

CommEventLog::Next CommEventLog::runStep(Step& step, SerialPort*& comPort) {
    switch (step) {
        case Step::TakeReference:
            comPort = &port_;
            step = Step::TestIgnoreRing;
            return Next::Continue;
        case Step::TestIgnoreRing:
            step = view_.chkIgnoreRing().Value() == 1 ? Step::TestRing : Step::Log;
            return Next::Continue;
        case Step::TestRing:
            if (comPort->CommEvent() == CommEvents::Ring)
                return Next::Leave;
            step = Step::Log;
            return Next::Continue;
        case Step::Log: {
            const short code = comPort->CommEvent();
            LogCommEvent(code);
            step = Step::Refresh;
            return Next::Continue;
        }
        case Step::Refresh:
            lines_.ShowInputLines();
            step = Step::Release;
            return Next::Continue;
        case Step::Release:
            comPort = nullptr;
            step = Step::Count;
            return Next::Continue;
        case Step::Count:
            countNotification();
            return Next::Leave;
    }
    return Next::Leave;
}

// Returns true when the handler goes on (at the step it has set), false when it leaves.
bool CommEventLog::askAfterFailure(Step& step) {
    const ErrorInfo error = currentErrorInfo();
    // The box of one notification stands for those that fail while it is open: a failing
    // device must not stack a box per event. They are abandoned, as with Abort.
    if (dialogOpen_)
        return false;

    dialogOpen_ = true;
    DialogAnswer answer = DialogAnswer::Abort;
    try {
        answer = view_.messages().askAbortRetryIgnore(
            QStringLiteral("There was a problem processing the serial port interrupt\r\n"
                           "Error description: ") +
                error.description,
            kProblemTitle);
    } catch (...) {
        dialogOpen_ = false;
        throw;
    }
    dialogOpen_ = false;

    switch (answer) {
        case DialogAnswer::Retry:
            return true;
        case DialogAnswer::Ignore:
            switch (step) {
                case Step::TestIgnoreRing:
                    step = Step::TestRing;  // as if the box were checked
                    return true;
                case Step::TestRing:
                case Step::Count:
                    return false;
                default:
                    step = static_cast<Step>(static_cast<int>(step) + 1);
                    return true;
            }
        default:
            return false;
    }
}
