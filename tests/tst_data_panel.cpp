#include "PanelFixture.h"
#include "window/Layout.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

using namespace orva;

namespace {

enum class State { Start, Chord, Full, Closed, Data, At6000, At5999 };
enum class Event { CtrlK, CtrlKRepeat, CtrlShiftK, CtrlAltK, PlainK, CtrlJ, LogoDoubleClick, Toggle };

// Records the key presses a control receives.
class KeyRecorder : public QObject
{
public:
    QList<QPair<int, Qt::KeyboardModifiers>> presses;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            presses.append({key->key(), key->modifiers()});
        }
        return false;
    }
};

QPushButton* toggleOf(PanelFixture& f)
{
    return f.window.control<QPushButton>("Command34");
}

// A key press as the operator makes it: to the control with the focus.
void pressKey(PanelFixture& f, Qt::Key key, Qt::KeyboardModifiers modifiers, bool autoRepeat = false)
{
    QWidget* target = f.window.focusWidget() ? f.window.focusWidget() : &f.window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(target, &release);
}

void apply(PanelFixture& f, Event event)
{
    switch (event) {
    case Event::CtrlK:
        pressKey(f, Qt::Key_K, Qt::ControlModifier);
        break;
    case Event::CtrlKRepeat:
        pressKey(f, Qt::Key_K, Qt::ControlModifier, true);
        break;
    case Event::CtrlShiftK:
        pressKey(f, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        break;
    case Event::CtrlAltK:
        pressKey(f, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
        break;
    case Event::PlainK:
        pressKey(f, Qt::Key_K, Qt::NoModifier);
        break;
    case Event::CtrlJ:
        pressKey(f, Qt::Key_J, Qt::ControlModifier);
        break;
    case Event::LogoDoubleClick:
        QTest::mouseDClick(f.window.control("Image1"), Qt::LeftButton, Qt::NoModifier, QPoint(40, 13));
        break;
    case Event::Toggle:
        // As from the keyboard: the button lies below the client area in some states.
        toggleOf(f)->click();
        break;
    }
}

void reach(PanelFixture& f, State state)
{
    switch (state) {
    case State::Start:
        break;
    case State::Chord:
        apply(f, Event::CtrlK);
        break;
    case State::Full:
        apply(f, Event::CtrlK);
        apply(f, Event::LogoDoubleClick);
        break;
    case State::Closed:
        apply(f, Event::CtrlK);
        apply(f, Event::Toggle);
        break;
    case State::Data:
        reach(f, State::Closed);
        apply(f, Event::Toggle);
        break;
    case State::At6000:
    case State::At5999:
        apply(f, Event::CtrlK);
        f.engine.dataPanel().setOuterHeight(state == State::At6000 ? 6000 : 5999);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Event)

// The hidden data panel: the key chord, the logo double-click and the toggle
// button, on the real window.
class DataPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void transitions_data()
    {
        QTest::addColumn<State>("from");
        QTest::addColumn<Event>("event");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("armed");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("visible");

        const QString show = DataPanel::ShowCaption;
        const QString hide = DataPanel::HideCaption;
        const QString close = DataPanel::CloseCaption;
        using S = State;
        using E = Event;
        // clang-format off
        QTest::newRow("start, chord")               << S::Start  << E::CtrlK           << 7200 << 1 << close << true;
        QTest::newRow("start, Ctrl+Shift+K")        << S::Start  << E::CtrlShiftK      << 5350 << 0 << show  << false;
        QTest::newRow("start, Ctrl+Alt+K")          << S::Start  << E::CtrlAltK        << 5350 << 0 << show  << false;
        QTest::newRow("start, K alone")             << S::Start  << E::PlainK          << 5350 << 0 << show  << false;
        QTest::newRow("start, Ctrl+J")              << S::Start  << E::CtrlJ           << 5350 << 0 << show  << false;
        QTest::newRow("start, logo before chord")   << S::Start  << E::LogoDoubleClick << 5350 << 0 << show  << false;
        QTest::newRow("chord, logo")                << S::Chord  << E::LogoDoubleClick << 9100 << 1 << close << true;
        QTest::newRow("chord, key repeat")          << S::Chord  << E::CtrlKRepeat     << 7200 << 1 << close << true;
        QTest::newRow("chord, toggle")              << S::Chord  << E::Toggle          << 5350 << 0 << show  << true;
        QTest::newRow("full, chord shrinks")        << S::Full   << E::CtrlK           << 7200 << 1 << close << true;
        QTest::newRow("full, logo again")           << S::Full   << E::LogoDoubleClick << 9100 << 1 << close << true;
        QTest::newRow("full, Ctrl+Shift+K")         << S::Full   << E::CtrlShiftK      << 9100 << 1 << close << true;
        QTest::newRow("full, toggle")               << S::Full   << E::Toggle          << 5350 << 0 << show  << true;
        QTest::newRow("closed, toggle opens data")  << S::Closed << E::Toggle          << 6645 << 0 << hide  << true;
        QTest::newRow("closed, logo")               << S::Closed << E::LogoDoubleClick << 5350 << 0 << show  << true;
        QTest::newRow("closed, chord")              << S::Closed << E::CtrlK           << 7200 << 1 << close << true;
        QTest::newRow("data, toggle")               << S::Data   << E::Toggle          << 5350 << 0 << show  << true;
        QTest::newRow("data, logo")                 << S::Data   << E::LogoDoubleClick << 6645 << 0 << hide  << true;
        QTest::newRow("data, chord")                << S::Data   << E::CtrlK           << 7200 << 1 << close << true;
        QTest::newRow("toggle at exactly 6000")     << S::At6000 << E::Toggle          << 5350 << 0 << show  << true;
        QTest::newRow("toggle at 5999")             << S::At5999 << E::Toggle          << 6645 << 0 << hide  << true;
        // clang-format on
    }

    void transitions()
    {
        QFETCH(State, from);
        QFETCH(Event, event);
        QFETCH(int, height);
        QFETCH(int, armed);
        QFETCH(QString, caption);
        QFETCH(bool, visible);

        PanelFixture f;
        QCOMPARE(f.engine.dataPanel().outerHeight(), DataPanel::CompactHeight);
        reach(f, from);
        apply(f, event);
        QCOMPARE(f.engine.dataPanel().outerHeight(), height);
        QCOMPARE(f.window.height(), clientPixelsForOuterHeight(height));
        QCOMPARE(f.engine.dataPanel().isArmed(), armed != 0);
        QCOMPARE(toggleOf(f)->text(), caption);
        QCOMPARE(toggleOf(f)->isVisibleTo(&f.window), visible);
        QVERIFY(f.line.written().isEmpty());
    }

    void toggleRestartsTheSettingsFrameTimer_data()
    {
        QTest::addColumn<int>("comAt");    // when "COM" is clicked, -1 never
        QTest::addColumn<int>("toggleAt"); // when Command34 is clicked
        QTest::addColumn<int>("tickAt");   // when the frame's timer ticks and hides it
        QTest::newRow("COM, toggle 3000 ms later") << 0 << 3000 << 8000;
        QTest::newRow("toggle with the frame hidden, COM later") << 3000 << 1000 << 6000;
        QTest::newRow("COM while the toggle's countdown runs") << 2000 << 0 << 5000;
    }

    void toggleRestartsTheSettingsFrameTimer()
    {
        QFETCH(int, comAt);
        QFETCH(int, toggleAt);
        QFETCH(int, tickAt);
        PanelFixture f;
        apply(f, Event::CtrlK);
        QWidget* frame = f.window.control("Frame8");

        const std::int64_t start = f.clock.nowMs();
        for (int at = 0; at <= std::max(comAt, toggleAt); at += 1000) {
            f.clock.advanceTo(start + at);
            if (at == comAt)
                f.window.control<QPushButton>("Command33")->click();
            if (at == toggleAt)
                apply(f, Event::Toggle);
        }
        f.clock.advanceTo(start + tickAt - 1);
        QVERIFY(frame->isVisibleTo(&f.window));
        f.clock.advanceTo(start + tickAt);
        QVERIFY(!frame->isVisibleTo(&f.window));
    }

    // The chord in the command line leaves the text, cursor and clipboard
    // alone, also where the key scheme binds Ctrl+K to "delete to end of line".
    void chordReachesTheWindowAndTheTextBox()
    {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QVERIFY(
                QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine).contains(QKeySequence(Qt::CTRL | Qt::Key_K)));
        PanelFixture f;
        f.window.show();
        f.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* text = f.window.control<QLineEdit>("Text1");
        text->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), text);
        QTest::keyClicks(text, QStringLiteral("C00 typed"));
        QTest::keyClick(f.window.windowHandle(), Qt::Key_Home);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(f.window.windowHandle(), Qt::Key_Right);
        QGuiApplication::clipboard()->setText(QStringLiteral("clipped before"));
        KeyRecorder recorder;
        text->installEventFilter(&recorder);

        QTest::keyClick(f.window.windowHandle(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(f.engine.dataPanel().outerHeight(), DataPanel::ChordHeight);
        QVERIFY(f.engine.dataPanel().isArmed());
        // The box got the K itself (after the Ctrl key's own press).
        QCOMPARE(recorder.presses.count({int(Qt::Key_K), Qt::ControlModifier}), 1);
        QCOMPARE(text->text(), QStringLiteral("C00 typed"));
        QCOMPARE(text->cursorPosition(), 3);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("clipped before"));

        // An ordinary K still types into the box and leaves the panel alone.
        apply(f, Event::LogoDoubleClick);
        QTest::keyClick(f.window.windowHandle(), Qt::Key_K, Qt::NoModifier);
        QCOMPARE(text->text(), QStringLiteral("C00k typed"));
        QCOMPARE(f.engine.dataPanel().outerHeight(), DataPanel::FullHeight);
    }

    void tabReachesTheToggleBelowTheClientArea_data()
    {
        QTest::addColumn<Qt::Key>("key");
        QTest::newRow("Space") << Qt::Key_Space;
        QTest::newRow("Return") << Qt::Key_Return;
        QTest::newRow("keypad Enter") << Qt::Key_Enter;
    }
    void tabReachesTheToggleBelowTheClientArea()
    {
        QFETCH(Qt::Key, key);
        PanelFixture f;
        f.window.show();
        f.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QCOMPARE(QApplication::focusWidget(), f.window.control("Command17"));
        auto* com = f.window.control<QPushButton>("Command33");

        // Hidden at start, the toggle is skipped.
        com->setFocus();
        QTest::keyClick(f.window.windowHandle(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.window.control("Command15"));

        // Closed: visible but out of view, it is next after "COM" and the
        // key presses it, opening the data band.
        reach(f, State::Closed);
        QVERIFY(toggleOf(f)->y() >= f.window.height());
        com->setFocus();
        QTest::keyClick(f.window.windowHandle(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), toggleOf(f));
        QTest::keyClick(f.window.windowHandle(), key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(f.engine.dataPanel().outerHeight(), DataPanel::DataHeight);
        QCOMPARE(toggleOf(f)->text(), DataPanel::HideCaption);
        QVERIFY(f.line.written().isEmpty());
    }

    void startPosition_data()
    {
        QTest::addColumn<QSizeF>("screen"); // twips
        QTest::addColumn<QPointF>("expected");
        // Outer width 9495 + 2 x 45, design outer height 8730 + 375.
        QTest::newRow("1280 x 1024") << QSizeF(19200, 15360) << QPointF(4807.5, 3127.5);
        QTest::newRow("640 x 480, top above the screen") << QSizeF(9600, 7200) << QPointF(7.5, -952.5);
        QTest::newRow("320 x 200, both negative") << QSizeF(4800, 3000) << QPointF(-2392.5, -3052.5);
    }

    void startPosition()
    {
        QFETCH(QSizeF, screen);
        QFETCH(QPointF, expected);
        QCOMPARE(orva::startPosition(screen), expected);
    }

    void loadCentresOnTheFullHeightThenShrinks()
    {
        PanelFixture f(false);
        QCOMPARE(f.engine.dataPanel().outerHeight(), DesignOuterHeightTwips);
        QCOMPARE(f.window.height(), ClientHeightTwips / TwipsPerPixel);
        f.window.start();

        const QSizeF screen = QSizeF(f.window.screen()->geometry().size()) * TwipsPerPixel;
        const QPointF at = f.window.startPositionTwips();
        QCOMPARE(at, orva::startPosition(screen));
        QCOMPARE(f.window.pos(), QPoint(qRound(at.x() / TwipsPerPixel), qRound(at.y() / TwipsPerPixel)));
        QCOMPARE(f.engine.dataPanel().outerHeight(), DataPanel::CompactHeight);
        QCOMPARE(f.window.height(), 332);
    }
};

QTEST_MAIN(DataPanelTest)
#include "tst_data_panel.moc"
