#include "PanelFixture.h"

#include <QImage>
#include <QLabel>
#include <QTest>

using namespace orva;

namespace {

// A reply of the given length, the alphabet over and over.
QString alphabet(qsizetype length)
{
    QString text;
    for (qsizetype i = 0; i < length; ++i)
        text.append(QChar(char16_t(u'a' + i % 26)));
    return text;
}

} // namespace

// The three display lines can hold far more text than their labels can show
// (a full reply buffer renders to 65,535 characters). Whatever the window
// gives the labels, each must look exactly as it would with the whole text,
// and the lines keep the whole text for the decoding.
class DisplayLinesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void looksAsWithWholeText_data()
    {
        QTest::addColumn<QString>("frame"); // sent first, unless empty
        QTest::addColumn<QString>("reply"); // then received, unless empty
        QTest::addColumn<int>("wait");      // then this many ms pass
        QTest::addColumn<int>("line");

        const QString full = alphabet(32767);
        const int transmit = int(TrafficLine::Transmit);
        const int receive = int(TrafficLine::Receive);
        const int status = int(TrafficLine::Status);
        QTest::newRow("receive line, full reply buffer") << QString() << full << 0 << receive;
        QTest::newRow("status line, whole reply decoded") << QStringLiteral("CR9\r") << full << 0 << status;
        QTest::newRow("transmit line, long typed command")
            << (QStringLiteral("CF ") + alphabet(600) + u'\r') << QString() << 0 << transmit;
        QTest::newRow("narrowest characters")
            << QString() << QStringLiteral("il.:,;'|!").repeated(2000) << 0 << receive;
        QTest::newRow("blanks, then a mark far out") << QString() << (QString(4000, u' ') + u'X') << 0 << receive;
        QTest::newRow("short status") << QStringLiteral("CR0\r") << QStringLiteral("00\r") << 0 << status;
        QTest::newRow("no-reply mark") << QStringLiteral("C00\r") << QString() << 500 << receive;
    }
    void looksAsWithWholeText()
    {
        QFETCH(QString, frame);
        QFETCH(QString, reply);
        QFETCH(int, wait);
        QFETCH(int, line);

        PanelFixture f;
        f.openFullPanel(); // the lines are in view
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const char* labels[] = {ControlId::TransmitLine, ControlId::ReceiveLine, ControlId::StatusLine};
        auto* shownIn = f.window.control<QLabel>(labels[line]);

        if (!frame.isEmpty())
            f.replies().send(frame);
        if (!reply.isEmpty())
            f.line.receive(reply.toLatin1());
        f.clock.advance(wait);
        const QString text = f.replies().text(TrafficLine(line));
        QVERIFY(text.size() > 4);
        const QImage shown = shownIn->grab().toImage();

        shownIn->setText(text); // the label given everything
        QCOMPARE(shown, shownIn->grab().toImage());
    }
};

QTEST_MAIN(DisplayLinesTest)
#include "tst_display_lines.moc"
