#include "PanelFixture.h"
#include "display/TrafficText.h"

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
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");

        const QString fullBuffer = renderTraffic(alphabet(32767));
        QTest::newRow("receive line, full reply buffer") << int(TrafficLines::ReceiveLine) << "Label12" << fullBuffer;
        QTest::newRow("status line, whole reply decoded") << int(TrafficLines::StatusLine) << "Label22" << fullBuffer;
        QTest::newRow("transmit line, long typed command") << int(
            TrafficLines::TransmitLine) << "Label11" << renderTraffic(QStringLiteral("CF ") + alphabet(600) + u'\r');
        QTest::newRow("narrowest characters")
            << int(TrafficLines::ReceiveLine) << "Label12" << renderTraffic(QStringLiteral("il.:,;'|!").repeated(2000));
        QTest::newRow("blanks, then a mark far out")
            << int(TrafficLines::ReceiveLine) << "Label12" << (QString(4000, u' ') + QStringLiteral("X"));
        QTest::newRow("short status") << int(TrafficLines::StatusLine) << "Label22" << QStringLiteral(" Power ON");
        QTest::newRow("no-reply mark") << int(TrafficLines::ReceiveLine) << "Label12" << QStringLiteral(" X X X X");
    }
    void looksAsWithWholeText()
    {
        QFETCH(int, line);
        QFETCH(QString, label);
        QFETCH(QString, text);

        PanelFixture f;
        f.state().DataPanelArmed = 1;
        f.form.dataPanel().Image1_DblClick(); // the lines are in view
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        auto* shownIn = f.form.control<QLabel>(label.toLatin1().constData());
        QVERIFY(shownIn);

        f.lines().setText(TrafficLines::Line(line), text);
        QCOMPARE(f.lines().text(TrafficLines::Line(line)), text);
        const QImage shown = shownIn->grab().toImage();

        shownIn->setText(text); // the label given everything
        QCOMPARE(shown, shownIn->grab().toImage());
    }
};

QTEST_MAIN(DisplayLinesTest)
#include "tst_display_lines.moc"
