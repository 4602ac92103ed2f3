#pragma once

#include <QComboBox>
#include <functional>

// The port box: just before its list pops up it runs a hook, so that the entries can tell
// what each number reaches at that moment (an adapter may have been plugged in meanwhile).
class PortComboBox : public QComboBox {
    Q_OBJECT  // its own class name, which its accessible interface is found by

        public : using QComboBox::QComboBox;

    void setBeforePopup(std::function<void()> hook) { beforePopup_ = std::move(hook); }

    void showPopup() override {
        if (beforePopup_)
            beforePopup_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforePopup_;
};
