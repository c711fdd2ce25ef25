// The receive path end to end on a fake line and a virtual clock: after one
// of the nine status queries (or another frame) arbitrary reply bytes arrive
// in arbitrary pieces, with time passing and frames sent in between. Every
// notification renders the whole reply so far and decodes it; the reply
// buffer stays within its bound and the lines show what the buffer holds.
#include "FuzzSupport.h"

#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "engine/protocol/Frame.h"
#include "engine/protocol/StatusDecoder.h"
#include "engine/protocol/TrafficText.h"
#include "panel/PanelEngine.h"

#include <array>

using namespace orva;

namespace {

const std::array<const char*, 11> Codes{
    "CR0", "CR1", "CR4", "CR3", "CR6", "CRA", "CR9", "CR PRESSURE", "CR7", "C00", "C3C"};

struct Panel
{
    VirtualClock clock; // outlives the timers
    FakeSerialLine line;
    PanelEngine engine{line, clock};
    ReplyWindow& replies = engine.replies();

    const QString& shown(TrafficLine which) const { return replies.text(which); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Panel p;
    FUZZ_CHECK(p.line.open(*LineAddress::parse(QStringLiteral("/dev/projector")), LineSpeed::Baud19200));

    const QString code = QLatin1String(Codes[in.ConsumeIntegralInRange<std::size_t>(0, Codes.size() - 1)]);
    p.replies.sendCode(code);
    FUZZ_CHECK(p.line.written() == code.toLatin1() + '\r');

    // A bounded number of steps keeps each run short; the buffer reaches its
    // bound in a few steps of repeated pieces.
    for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
        case 1: {
            // A piece of reply; now and then many times over, so that the
            // buffer reaches its bound.
            const std::string bytes = in.ConsumeRandomLengthString(256);
            const int repeat = in.ConsumeIntegralInRange(0, 15) == 0 ? in.ConsumeIntegralInRange(1, 140) : 1;
            QByteArray chunk;
            for (int i = 0; i < repeat; ++i)
                chunk.append(bytes.data(), qsizetype(bytes.size()));
            p.line.receive(chunk);

            const QString& buffer = p.replies.reply();
            const QString received = SerialLine::fromLineBytes(chunk).right(ReplyWindow::MaxReplyLength);
            FUZZ_CHECK(buffer.size() <= ReplyWindow::MaxReplyLength);
            FUZZ_CHECK(buffer.endsWith(received));
            FUZZ_CHECK(!p.replies.isAwaitingReply());
            // The whole buffer is shown, the newest characters last.
            const QString& receiveLine = p.shown(TrafficLine::Receive);
            FUZZ_CHECK(receiveLine.startsWith(QLatin1Char(' ')));
            FUZZ_CHECK(receiveLine.endsWith(renderTraffic(received).sliced(1)));
            if (const auto status = decodeStatus(p.replies.lastFrame(), CommandPrefix, receiveLine))
                FUZZ_CHECK(p.shown(TrafficLine::Status) == status->text);
            break;
        }
        case 2: // time passes: the reply timeout and the clear delay may tick
            p.clock.advance(in.ConsumeIntegralInRange(0, 1200));
            // A stopped reply timeout leaves no reply awaited.
            if (!p.replies.isReplyTimeoutRunning())
                FUZZ_CHECK(!p.replies.isAwaitingReply());
            break;
        default: // the operator asks again
            p.replies.sendCode(code);
            FUZZ_CHECK(p.replies.isAwaitingReply());
            FUZZ_CHECK(p.shown(TrafficLine::Transmit) == renderTraffic(code + QChar(13)));
            break;
        }
    }
    return 0;
}
