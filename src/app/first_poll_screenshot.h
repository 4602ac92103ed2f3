#pragma once

#include <QString>
#include <functional>

#include "window_events.h"

// Passes every notification on; after the first poll has run, saves the window's picture
// and asks the program to end.
class FirstPollScreenshot : public WindowEvents {
public:
    using Saver = std::function<bool(const QString&)>;

    FirstPollScreenshot(WindowEvents& inner, QString path, Saver save)
        : inner_(inner), path_(std::move(path)), save_(std::move(save)) {}

    bool saved() const { return saved_; }

    void Form_Load() override { inner_.Form_Load(); }
    void Combo1_Click() override { inner_.Combo1_Click(); }
    void Timer1_Timer() override;
    void timLatch_Timer(short index) override { inner_.timLatch_Timer(index); }
    void timLatchNot_Timer(short index) override { inner_.timLatchNot_Timer(index); }
    void cmdToggleDTR_Click() override { inner_.cmdToggleDTR_Click(); }
    void cmdToggleRTS_Click() override { inner_.cmdToggleRTS_Click(); }
    void cmdCycle_Click() override { inner_.cmdCycle_Click(); }
    void cmdClearStatus_Click() override { inner_.cmdClearStatus_Click(); }
    void comPort_OnComm() override { inner_.comPort_OnComm(); }
    void comPort_DeviceLost(int number, const QString& description) override {
        inner_.comPort_DeviceLost(number, description);
    }
    void comPort_EventsLost(quint64 total) override { inner_.comPort_EventsLost(total); }
    void Form_Unload() override { inner_.Form_Unload(); }

private:
    WindowEvents& inner_;
    QString path_;
    Saver save_;
    bool taken_ = false;
    bool saved_ = false;
};
