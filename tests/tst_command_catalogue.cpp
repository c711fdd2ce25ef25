#include "PanelFixture.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

using namespace orva;

namespace {

// What is in force before each click: the input-source pair (5000/5500),
// and the 5 ms arrow repeat of D.Zoom, so that a button that should leave
// them alone shows it. Input-source buttons are preceded by "SEND" instead
// (2000/2500), so that they show that they set their own pair.
constexpr int UntouchedReply = 5000;
constexpr int UntouchedClear = 5500;
constexpr int UntouchedRepeat = 5;

} // namespace

// Every single-press button: its exact frame, the display timing it runs
// with and leaves behind, and the arrow context it sets.
class CommandCatalogueTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void click_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("reply");   // reply timeout in force afterwards
        QTest::addColumn<int>("clear");   // clear delay in force afterwards
        QTest::addColumn<bool>("toMenu"); // repeat period 200 and the menu arrows after the send

        const int u = 0; // left as it was
        const int c = 0;
        struct Row
        {
            const char* name;
            const char* control;
            const char* caption;
            const char* frame;
            int reply, clear;
            bool toMenu;
        };
        // clang-format off
        const Row rows[] = {
            {"POWER ON",           "Command17", "ON",              "C00\r",              u,    c,    false},
            {"POWER OFF",          "Command18", "OFF",             "C01\r",              u,    c,    false},
            {"INPUT PC1",          "Command27", "PC1",             "C05\r",              u,    c,    false},
            {"INPUT PC2",          "Command28", "PC2",             "C06\r",              u,    c,    false},
            {"INPUT Video",        "Command29", "Video",           "C07\r",              u,    c,    false},
            {"MENU ON",            "Command23", "ON",              "C1C\r",              u,    c,    true},
            {"MENU OFF",           "Command24", "OFF",             "C1D\r",              u,    c,    false},
            {"SOUND MUTE ON",      "Command19", "ON",              "C0B\r",              u,    c,    false},
            {"SOUND MUTE OFF",     "Command20", "OFF",             "C0C\r",              u,    c,    false},
            {"NO SHOW ON",         "Command21", "ON",              "C0D\r",              u,    c,    false},
            {"NO SHOW OFF",        "Command22", "OFF",             "C0E\r",              u,    c,    false},
            {"FREEZE ON",          "Command25", "ON",              "C43\r",              u,    c,    false},
            {"FREEZE OFF",         "Command26", "OFF",             "C44\r",              u,    c,    false},
            {"AV Size Regular",    "Command31", "Regular",         "C0F\r",              u,    c,    false},
            {"AV Size Wide",       "Command32", "Wide",            "C10\r",              u,    c,    false},
            {"A-IMAGE",            "Command13", "A-IMAGE",         "C89\r",              u,    c,    true},
            {"IMAGE",              "Command30", "IMAGE",           "C27\r",              u,    c,    false},
            {"P-TIMER",            "Command14", "P-TIMER",         "C8A\r",              u,    c,    false},
            {"DISPLAY CLEAR",      "Command3",  "DISPLAY CLEAR",   "C1E\r",              u,    c,    false},
            {"STAND",              "Command4",  "STAND",           "C11\r",              2000, 2500, false},
            {"REAL",               "Command10", "REAL",            "C12\r",              2000, 2500, false},
            {"CINEMA",             "Command11", "CINEMA",          "C13\r",              2000, 2500, false},
            {"IMAGE1",             "Command39", "IMAGE1",          "C14\r",              2000, 2500, false},
            {"IMAGE2",             "Command40", "IMAGE2",          "C15\r",              2000, 2500, false},
            {"IMAGE3",             "Command41", "IMAGE3",          "C16\r",              2000, 2500, false},
            {"IMAGE4",             "Command42", "IMAGE4",          "C17\r",              2000, 2500, false},
            {"B.Board",            "Command12", "B.Board",         "C18\r",              2000, 2500, false},
            {"Dynamic",            "Command37", "Dynamic",         "C19\r",              2000, 2500, false},
            {"FAN MODE L1",        "Command38", "L1",              "CF FANMODE L1\r",    u,    c,    false},
            {"FAN MODE L2",        "Command43", "L2",              "CF FANMODE L2\r",    u,    c,    false},
            {"STATUS",             "Command44", "STATUS",          "CR0\r",              u,    c,    false},
            {"L-TIME",             "Command46", "L-TIME",          "CR3\r",              u,    c,    false},
            {"TEMP",               "Command54", "TEMP",            "CR6\r",              u,    c,    false},
            {"MODE",               "Command45", "MODE",            "CR1\r",              u,    c,    false},
            {"SETTING",            "Command47", "SETTING",         "CR4\r",              u,    c,    false},
            {"L-MODE",             "Command55", "L-MODE",          "CR7\r",              u,    c,    false},
            {"PC1 RGB",            "Command64", "RGB",             "C50\r",              5000, 5500, false},
            {"PC1 Scart",          "Command52", "Scart",           "C51\r",              5000, 5500, false},
            {"PC1 Component",      "Command53", "Component",       "C54\r",              5000, 5500, false},
            {"PC2 RGB",            "Command72", "RGB",             "CF INPUT2 ANALOG\r", 5000, 5500, false},
            {"PC2 DVI(PC Digital)","Command65", "DVI(PC Digital)", "C5B\r",              5000, 5500, false},
            {"PC2 DVI(AV HDCP)",   "Command66", "DVI(AV HDCP)",    "C5C\r",              5000, 5500, false},
            {"Video Video",        "Command82", "Video",           "CF INPUT3 VIDEO\r",  5000, 5500, false},
            {"Video S-Video",      "Command69", "S-Video",         "C34\r",              5000, 5500, false},
            {"C02",                "Command36", "C02",             "C02\r",              u,    c,    false},
        };
        // clang-format on
        QCOMPARE(std::size(rows), size_t(45));
        for (const Row& r : rows)
            QTest::newRow(r.name) << QString::fromLatin1(r.control) << QString::fromUtf8(r.caption)
                                  << QByteArray(r.frame) << r.reply << r.clear << r.toMenu;
    }

    void click()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(QByteArray, frame);
        QFETCH(int, reply);
        QFETCH(int, clear);
        QFETCH(bool, toMenu);

        PanelFixture f;
        auto* button = f.window.findChild<QPushButton*>(control);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        auto* zoom = f.window.control<QPushButton>("Command48");
        QTest::mousePress(zoom, Qt::LeftButton);
        QTest::mouseRelease(zoom, Qt::LeftButton);
        f.click(reply == InputSourceTiming.replyTimeout ? "Command95" : "Command64");
        if (reply == 0) {
            reply = UntouchedReply;
            clear = UntouchedClear;
        }
        f.clock.advance(10000);
        f.line.clearWritten();

        const std::int64_t sent = f.clock.nowMs();
        QTest::mouseClick(button, Qt::LeftButton);

        QCOMPARE(f.line.writes().size(), 1);
        QCOMPARE(f.line.written(), frame);
        QCOMPARE(f.replies().lastFrame(), QString::fromLatin1(frame));
        QCOMPARE(f.replies().timing().replyTimeout, reply);
        QCOMPARE(f.replies().timing().clearDelay, clear);
        QCOMPARE(f.engine.commands().repeatPeriod(), toMenu ? 200 : UntouchedRepeat);
        QCOMPARE(f.engine.commands().arrowContext(), toMenu ? ArrowContext::Menu : ArrowContext::Zoom);
        QVERIFY(!f.engine.commands().isRepeating());

        // This very frame runs with the pair: no reply marked just before
        // the reply timeout, marked at it, lines cleared at the clear delay.
        f.clock.advanceTo(sent + reply - 1);
        QVERIFY(f.receive() != ReplyWindow::NoReplyMark);
        f.clock.advanceTo(sent + reply);
        QCOMPARE(f.receive(), ReplyWindow::NoReplyMark);
        f.clock.advanceTo(sent + clear - 1);
        QVERIFY(!f.transmit().isEmpty());
        f.clock.advanceTo(sent + clear);
        QCOMPARE(f.transmit(), QString());
        QCOMPARE(f.receive(), QString());
        QCOMPARE(f.line.writes().size(), 1);
    }

    // Space, Return and the keypad's Enter press the focused button: the
    // frame goes on the release, once however long the key is held.
    void keyboardActivationSendsLikeAClick_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("POWER ON, Space") << "Command17" << Qt::Key_Space << QByteArray("C00\r");
        QTest::newRow("POWER ON, Return") << "Command17" << Qt::Key_Return << QByteArray("C00\r");
        QTest::newRow("REAL, keypad Enter") << "Command10" << Qt::Key_Enter << QByteArray("C12\r");
        QTest::newRow("PC2 RGB, Return") << "Command72" << Qt::Key_Return << QByteArray("CF INPUT2 ANALOG\r");
        QTest::newRow("SEND, keypad Enter") << "Command95" << Qt::Key_Enter << QByteArray("\r");
    }
    void keyboardActivationSendsLikeAClick()
    {
        QFETCH(QString, control);
        QFETCH(Qt::Key, key);
        QFETCH(QByteArray, frame);
        const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        PanelFixture f;
        QWidget* button = f.window.control(qPrintable(control));
        QTest::keyPress(button, key, modifiers);
        for (const QEvent::Type held : {QEvent::KeyRelease, QEvent::KeyPress}) {
            QKeyEvent repeat(held, key, modifiers, QString(), true);
            QApplication::sendEvent(button, &repeat);
        }
        QVERIFY(f.line.written().isEmpty());
        QTest::keyRelease(button, key, modifiers);
        QCOMPARE(f.line.written(), frame);
    }

    void timingStaysInForceForLaterUntimedButtons_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("reply");
        QTest::addColumn<int>("clear");
        QTest::newRow("after start-up") << QString() << 500 << 1000;
        QTest::newRow("after REAL") << QStringLiteral("Command10") << 2000 << 2500;
        QTest::newRow("after PC1 RGB") << QStringLiteral("Command64") << 5000 << 5500;
    }
    void timingStaysInForceForLaterUntimedButtons()
    {
        QFETCH(QString, first);
        QFETCH(int, reply);
        QFETCH(int, clear);
        PanelFixture f;
        if (!first.isEmpty()) {
            QTest::mouseClick(f.window.findChild<QPushButton*>(first), Qt::LeftButton);
            f.clock.advance(10000);
            f.line.clearWritten();
        }
        const std::int64_t sent = f.clock.nowMs();
        QTest::mouseClick(f.window.control<QPushButton>("Command44"), Qt::LeftButton); // STATUS
        QCOMPARE(f.line.written(), QByteArray("CR0\r"));
        f.clock.advanceTo(sent + reply - 1);
        QCOMPARE(f.receive(), QString());
        f.clock.advanceTo(sent + reply);
        QCOMPARE(f.receive(), ReplyWindow::NoReplyMark);
        f.clock.advanceTo(sent + clear);
        QCOMPARE(f.receive(), QString());
    }

    void menuOffLeavesTheArrowContext()
    {
        PanelFixture f;
        QTest::mouseClick(f.window.control<QPushButton>("Command23"), Qt::LeftButton);
        QTest::mouseClick(f.window.control<QPushButton>("Command24"), Qt::LeftButton);
        QCOMPARE(f.engine.commands().arrowContext(), ArrowContext::Menu);
        QCOMPARE(f.line.written(), QByteArray("C1C\rC1D\r"));
    }

    void sameButtonTwiceSendsTwice()
    {
        PanelFixture f;
        auto* on = f.window.control<QPushButton>("Command17");
        QTest::mouseClick(on, Qt::LeftButton);
        QTest::mouseClick(on, Qt::LeftButton);
        QCOMPARE(f.line.written(), QByteArray("C00\rC00\r"));
    }
};

QTEST_MAIN(CommandCatalogueTest)
#include "tst_command_catalogue.moc"
