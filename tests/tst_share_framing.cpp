#include "hub/ShareFraming.h"

#include <QTest>

using namespace orva::hub;

// The share door's framing: a client's bytes cut into frames at each
// carriage return, an overlong frame refused once.
class TestShareFraming : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void shareFrames_data();
    void shareFrames();
};

void TestShareFraming::shareFrames_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("pieces"); // frames as sent; "!" for a refusal

    QTest::newRow("two in one chunk") << QByteArrayList{"C00\rCR0\r"} << QByteArrayList{"C00\r", "CR0\r"};
    QTest::newRow("split") << QByteArrayList{"C", "R0", "\r"} << QByteArrayList{"CR0\r"};
    QTest::newRow("256 bytes") << QByteArrayList{QByteArray(255, 'A') + '\r'}
                               << QByteArrayList{QByteArray(255, 'A') + '\r'};
    QTest::newRow("257 bytes") << QByteArrayList{QByteArray(256, 'A') + "\rCR0\r"} << QByteArrayList{"!", "CR0\r"};
    QTest::newRow("flood refused once, then a frame")
        << QByteArrayList{QByteArray(300, 'A'), QByteArray(5000, 'B'), "B\rC01\r"} << QByteArrayList{"!", "C01\r"};
    QTest::newRow("unfinished") << QByteArrayList{"C00"} << QByteArrayList{};
}

void TestShareFraming::shareFrames()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, pieces);

    ShareFraming framing;
    QByteArrayList given;
    for (const QByteArray& chunk : chunks) {
        for (const ShareFraming::Piece& piece : framing.take(chunk))
            given.append(piece.refused ? QByteArray("!") : piece.frame);
    }
    QCOMPARE(given, pieces);
}

QTEST_GUILESS_MAIN(TestShareFraming)
#include "tst_share_framing.moc"
