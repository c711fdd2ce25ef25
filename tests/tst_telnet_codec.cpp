#include "engine/line/TelnetCodec.h"

#include <QTest>

using namespace orva;

namespace {

using T = TelnetCodec;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(char(v));
    return out;
}

// What ser2net says first on a telnet(rfc2217) accepter.
const QByteArray Ser2NetGreeting = bytes({T::Iac, T::Will, 3, T::Iac, T::Do, 3, T::Iac, T::Will, 1, T::Iac, T::Dont, 1,
    T::Iac, T::Do, 0, T::Iac, T::Will, 0, T::Iac, T::Do, T::ComPortOption});

} // namespace

// The Telnet / RFC 2217 client codec: every stream decoded whole, in two
// pieces at every split point, and byte by byte, gives the same.
class TelnetCodecTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("comPort");

        const int asked = int(T::ComPort::Asked);
        const int accepted = int(T::ComPort::Accepted);
        const int refused = int(T::ComPort::Refused);
        const QByteArray sb = bytes({T::Iac, T::Sb, T::ComPortOption});
        const QByteArray se = bytes({T::Iac, T::Se});

        QTest::newRow("plain reply") << QByteArray("00\r") << QByteArray("00\r") << QByteArray() << asked;
        QTest::newRow("doubled 255 is one data byte")
            << bytes({'8', T::Iac, T::Iac, '0', T::Iac, T::Iac, T::Iac, T::Iac}) << bytes({'8', 255, '0', 255, 255})
            << QByteArray() << asked;
        QTest::newRow("ser2net's greeting: echo refused, the rest taken")
            << Ser2NetGreeting + "00\r" << QByteArray("00\r") << bytes({T::Iac, T::Dont, 1}) << accepted;
        QTest::newRow("option refused") << bytes({T::Iac, T::Dont, T::ComPortOption}) << QByteArray() << QByteArray()
                                        << refused;
        QTest::newRow("option answered with WONT")
            << bytes({T::Iac, T::Wont, T::ComPortOption}) << QByteArray() << QByteArray() << refused;
        QTest::newRow("other options refused, each request once")
            << bytes({T::Iac, T::Do, 24, T::Iac, T::Will, 5, T::Iac, T::Do, 24}) << QByteArray()
            << bytes({T::Iac, T::Wont, 24, T::Iac, T::Dont, 5, T::Iac, T::Wont, 24}) << asked;
        QTest::newRow("binary taken back by the server")
            << bytes({T::Iac, T::Will, 0, T::Iac, T::Wont, 0}) << QByteArray() << bytes({T::Iac, T::Dont, 0}) << asked;
        QTest::newRow("notification and reply between reply bytes")
            << "0" + sb + bytes({107, 0x30}) + se + "0" + sb + bytes({101, 0, 0, 0x4b, 0}) + se + "\r"
            << QByteArray("00\r") << QByteArray() << asked;
        QTest::newRow("255 inside a sub-negotiation")
            << sb + bytes({101, 0, 0, T::Iac, T::Iac, T::Iac, T::Iac}) + se + "1" << QByteArray("1") << QByteArray()
            << asked;
        QTest::newRow("long sub-negotiation dropped")
            << sb + QByteArray(5000, 'x') + se + "80\r" << QByteArray("80\r") << QByteArray() << asked;
        QTest::newRow("commands without meaning here")
            << bytes({'A', T::Iac, 241, 'C', T::Iac, 249, 'K', T::Iac, T::Se}) << QByteArray("ACK") << QByteArray()
            << asked;
        QTest::newRow("a command ends an unfinished sub-negotiation")
            << sb + bytes({106, T::Iac, T::Do, 24}) + "1" << QByteArray("1") << bytes({T::Iac, T::Wont, 24}) << asked;
    }
    void decode()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, reply);
        QFETCH(int, comPort);

        // Every way of cutting the stream into two pieces, and byte by byte.
        for (qsizetype cut = 0; cut <= stream.size() + 1; ++cut) {
            TelnetCodec codec;
            (void)codec.opening();
            TelnetCodec::Decoded out;
            if (cut <= stream.size()) {
                codec.decode(QByteArrayView(stream).first(cut), out);
                codec.decode(QByteArrayView(stream).sliced(cut), out);
            } else {
                for (const char c : stream)
                    codec.decode(QByteArrayView(&c, 1), out);
            }
            const QByteArray where = "cut at " + QByteArray::number(cut);
            QVERIFY2(out.data == data, where + ": " + out.data.toHex());
            QVERIFY2(out.reply == reply, where + ": " + out.reply.toHex());
            QVERIFY2(int(codec.comPort()) == comPort, where);
            QCOMPARE(out.comPortAccepted, comPort == int(T::ComPort::Accepted));
            QCOMPARE(out.comPortRefused, comPort == int(T::ComPort::Refused));
        }
    }

    void encode()
    {
        QCOMPARE(TelnetCodec::escape(bytes({'a', 255, 'b', 255})), bytes({'a', 255, 255, 'b', 255, 255}));
        const QByteArray sb = bytes({T::Iac, T::Sb, T::ComPortOption});
        const QByteArray se = bytes({T::Iac, T::Se});
        // 9600 = 0x00002580; 8 data bits, parity 1 = none, stop size 1 = one.
        QCOMPARE(TelnetCodec::lineSettings(9600),
            sb + bytes({1, 0, 0, 0x25, 0x80}) + se + sb + bytes({2, 8}) + se + sb + bytes({3, 1}) + se + sb
                + bytes({4, 1}) + se);
        // A speed with a 255 in it has the byte doubled.
        QCOMPARE(TelnetCodec::setBaudRate(0xff), sb + bytes({1, 0, 0, 0, 255, 255}) + se);
        TelnetCodec codec;
        QCOMPARE(codec.opening(),
            bytes({T::Iac, T::Will, 0, T::Iac, T::Do, 0, T::Iac, T::Will, 3, T::Iac, T::Do, 3, T::Iac, T::Will, 44}));
    }
};

QTEST_APPLESS_MAIN(TelnetCodecTest)
#include "tst_telnet_codec.moc"
