// The receive path of a line on an RFC 2217 server: arbitrary bytes from the
// server, cut into arbitrary pieces, are decoded as the network line decodes
// them and handed to the panel piece by piece. The reply buffer holds
// exactly the decoded data (within its bound), 255s and commands split
// across pieces included, and every notification is shown and decoded.
#include "FuzzSupport.h"

#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "engine/line/TelnetCodec.h"
#include "engine/protocol/TrafficText.h"
#include "panel/PanelEngine.h"

using namespace orva;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    VirtualClock clock;
    FakeSerialLine line;
    PanelEngine engine(line, clock);
    ReplyWindow& replies = engine.replies();
    FUZZ_CHECK(line.open(*LineAddress::parse(QStringLiteral("/dev/projector")), LineSpeed::Baud19200));
    replies.sendCode(in.ConsumeBool() ? QStringLiteral("CR0") : QStringLiteral("CR PRESSURE"));

    TelnetCodec codec;
    (void)codec.opening();
    QByteArray decodedSoFar;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const std::string piece = in.ConsumeRandomLengthString(32);
        TelnetCodec::Decoded out;
        codec.decode(QByteArrayView(piece.data(), qsizetype(piece.size())), out);
        if (out.data.isEmpty())
            continue; // nothing for the panel: no notification
        line.receive(out.data);
        decodedSoFar += out.data;
        const QString expected = SerialLine::fromLineBytes(decodedSoFar).right(ReplyWindow::MaxReplyLength);
        FUZZ_CHECK(replies.reply() == expected);
        FUZZ_CHECK(
            replies.text(TrafficLine::Receive)
                .endsWith(
                    renderTraffic(SerialLine::fromLineBytes(out.data).right(ReplyWindow::MaxReplyLength)).sliced(1)));
    }
    return 0;
}
