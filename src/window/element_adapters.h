#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include "elements.h"
#include "lamp.h"

// The tester logic's view of each kind of window element, over the widget that shows it.
// The adapters own nothing: the window owns the widgets and outlives the adapters.

class LampAdapter : public LampElement {
public:
    explicit LampAdapter(Lamp* lamp) : lamp_(lamp) {}
    int BackColor() const override { return lamp_->backColor(); }
    void setBackColor(int colour) override { lamp_->setBackColor(colour); }

private:
    Lamp* lamp_;
};

class LineEditText : public TextElement {
public:
    explicit LineEditText(QLineEdit* edit) : edit_(edit) {}
    QString Text() const override { return edit_->text(); }
    void setText(const QString& text) override { edit_->setText(text); }

private:
    QLineEdit* edit_;
};

// The text field of an editable combo box.
class ComboText : public TextElement {
public:
    explicit ComboText(QComboBox* combo) : combo_(combo) {}
    QString Text() const override { return combo_->currentText(); }
    void setText(const QString& text) override { combo_->setEditText(text); }

private:
    QComboBox* combo_;
};

// Enabled means running; enabling a running timer starts its period afresh.
class TimerAdapter : public TimerElement {
public:
    explicit TimerAdapter(QTimer* timer) : timer_(timer) {}
    bool Enabled() const override { return timer_->isActive(); }
    void setEnabled(bool enabled) override {
        if (enabled)
            timer_->start();
        else
            timer_->stop();
    }

private:
    QTimer* timer_;
};

class CheckBoxAdapter : public CheckElement {
public:
    explicit CheckBoxAdapter(QCheckBox* box) : box_(box) {}
    int Value() const override;

private:
    QCheckBox* box_;
};

// One line per item. Inserting at the top moves no scroll position and lets the view
// repaint once for a whole batch of changes.
class ListWidgetAdapter : public ListElement {
public:
    explicit ListWidgetAdapter(QListWidget* list) : list_(list) {}
    int ListCount() const override { return list_->count(); }
    QString List(int index) const override;
    void AddItemAtTop(const QString& line) override;
    void RemoveItem(int index) override;
    void Clear() override { list_->clear(); }

private:
    void checkIndex(int index) const;

    QListWidget* list_;
};
