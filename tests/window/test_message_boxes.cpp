#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "qt_message_boxes.h"

namespace {

// Runs `look` on the message box once it is up, then presses `press` on it.
void whenBoxShows(std::function<void(QMessageBox&)> look, QMessageBox::StandardButton press) {
    auto* poll = new QTimer;
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, look, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        look(*box);
        box->button(press)->click();
    });
    poll->start();
}

QStringList buttonsOf(const QMessageBox& box) {
    QStringList names;
    const auto buttons = box.buttons();
    for (QAbstractButton* button : buttons)
        names << button->text().remove('&');
    names.sort();
    return names;
}

}  // namespace

class TestMessageBoxes : public QObject {
    Q_OBJECT

private slots:
    void lineBreaksBecomeOneLineFeedEach_data() {
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << "Com 3 is already open.\r\nPlease select a different port"
                               << "Com 3 is already open.\nPlease select a different port";
        QTest::newRow("two CR LF") << "a\r\nb\r\nc"
                                   << "a\nb\nc";
        QTest::newRow("empty line") << "a\r\n\r\nb"
                                    << "a\n\nb";
        QTest::newRow("lone CR") << "a\rb"
                                 << "a\nb";
        QTest::newRow("lone LF") << "a\nb"
                                 << "a\nb";
        QTest::newRow("LF CR is two breaks") << "a\n\rb"
                                             << "a\n\nb";
        QTest::newRow("trailing CR LF") << "a\r\n"
                                        << "a\n";
        QTest::newRow("none") << "plain"
                              << "plain";
    }
    void lineBreaksBecomeOneLineFeedEach() {
        QFETCH(QString, prompt);
        QFETCH(QString, shown);
        QCOMPARE(toDisplayLines(prompt), shown);
    }

    void messageHasOkOnlyNoIconAndTheApplicationTitle() {
        QtMessageBoxes boxes;
        QString title, text;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::Critical;
        Qt::TextFormat format = Qt::RichText;
        whenBoxShows(
            [&](QMessageBox& box) {
                title = box.windowTitle();
                text = box.text();
                buttons = buttonsOf(box);
                icon = box.icon();
                format = box.textFormat();
            },
            QMessageBox::Ok);
        boxes.showMessage(
            "There was a problem opening the port.\r\n Error number: 8040\r\n"
            "Error description: <none>");
        QCOMPARE(title, QString("Quillmark"));
        QCOMPARE(text, QString("There was a problem opening the port.\n Error number: 8040\n"
                               "Error description: <none>"));
        QCOMPARE(buttons, QStringList({"OK"}));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(format, Qt::PlainText);
    }

    void abortRetryIgnoreReturnsThePressedButton_data() {
        QTest::addColumn<int>("press");
        QTest::addColumn<DialogAnswer>("answer");
        QTest::newRow("Abort") << int(QMessageBox::Abort) << DialogAnswer::Abort;
        QTest::newRow("Retry") << int(QMessageBox::Retry) << DialogAnswer::Retry;
        QTest::newRow("Ignore") << int(QMessageBox::Ignore) << DialogAnswer::Ignore;
    }
    void abortRetryIgnoreReturnsThePressedButton() {
        QFETCH(int, press);
        QFETCH(DialogAnswer, answer);
        QtMessageBoxes boxes;
        QString title, text;
        QStringList buttons;
        QAbstractButton* defaultButton = nullptr;
        QAbstractButton* abortButton = nullptr;
        QMessageBox::Icon icon = QMessageBox::Critical;
        whenBoxShows(
            [&](QMessageBox& box) {
                title = box.windowTitle();
                text = box.text();
                buttons = buttonsOf(box);
                defaultButton = box.defaultButton();
                abortButton = box.button(QMessageBox::Abort);
                icon = box.icon();
            },
            QMessageBox::StandardButton(press));
        const DialogAnswer got = boxes.askAbortRetryIgnore(
            "There was a problem processing the serial port interrupt\r\nError description: x",
            "Problem!");
        QCOMPARE(got, answer);
        QCOMPARE(title, QString("Problem!"));
        QCOMPARE(text, QString("There was a problem processing the serial port interrupt\n"
                               "Error description: x"));
        QCOMPARE(buttons, QStringList({"Abort", "Ignore", "Retry"}));
        QVERIFY(defaultButton && defaultButton == abortButton);
        QCOMPARE(icon, QMessageBox::NoIcon);
    }

    void escapeAnswersAbort() {
        QtMessageBoxes boxes;
        auto* poll = new QTimer;
        poll->setInterval(1);
        connect(poll, &QTimer::timeout, poll, [poll] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || !box->isVisible())
                return;
            poll->deleteLater();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        poll->start();
        QCOMPARE(boxes.askAbortRetryIgnore("prompt", "Problem!"), DialogAnswer::Abort);
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "test_message_boxes.moc"
