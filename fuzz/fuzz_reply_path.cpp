// The receive path end to end on a fake line and a virtual clock: after one
// of the nine status queries (or another frame) arbitrary reply bytes arrive
// in arbitrary pieces, with time passing and frames sent in between. Every
// notification renders the whole reply so far and decodes it; the reply
// buffer stays within its bound and the lines show what the buffer holds.
#include "FuzzSupport.h"

#include "FakeSerialComm.h"
#include "display/FormTimers.h"
#include "display/StatusDecoder.h"
#include "display/TrafficLines.h"
#include "display/TrafficText.h"
#include "display/TrafficTimers.h"
#include "display/VirtualClock.h"
#include "link/Link.h"

#include <array>

using namespace orva;

namespace {

const std::array<const char*, 11> Codes{
    "CR0", "CR1", "CR4", "CR3", "CR6", "CRA", "CR9", "CR PRESSURE", "CR7", "C00", "C3C"};

struct Panel
{
    VirtualClock clock; // outlives the timers
    FakeSerialComm comm;
    ControllerState state;
    FormTimers timers{clock};
    TrafficLines lines;
    Link link{state, comm, timers, lines};
    TrafficTimers trafficTimers{state, timers, lines};

    // The line's notification reaches the receive path, as in the window.
    Panel()
    {
        QObject::connect(&comm, &SerialComm::onComm, [this] { link.MSComm1_OnComm(); });
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Panel p;
    FUZZ_CHECK(p.comm.setPortOpen(true));

    const QString code = QLatin1String(Codes[in.ConsumeIntegralInRange<std::size_t>(0, Codes.size() - 1)]);
    p.link.sendCode(code);
    FUZZ_CHECK(p.comm.written() == code.toLatin1() + '\r');

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
            p.comm.receive(chunk);

            const QString& buffer = p.state.ReplyBuffer;
            const QString received = SerialComm::fromLineBytes(chunk).right(Link::MaxReplyLength);
            FUZZ_CHECK(buffer.size() <= Link::MaxReplyLength);
            FUZZ_CHECK(buffer.endsWith(received));
            FUZZ_CHECK(p.state.AwaitingReply == 0);
            // The whole buffer is shown, the newest characters last.
            FUZZ_CHECK(p.lines.receive().startsWith(QLatin1Char(' ')));
            FUZZ_CHECK(p.lines.receive().endsWith(renderTraffic(received).sliced(1)));
            qint16 pressure = 0;
            if (const auto status
                = decodeStatus(p.state.OutgoingCommand, p.state.CommandPrefix, p.lines.receive(), pressure)) {
                FUZZ_CHECK(p.lines.status() == *status);
                if (code == QLatin1String("CR PRESSURE") && *status != PressureOutOfRange)
                    FUZZ_CHECK(p.state.PressureValue == pressure);
            }
            break;
        }
        case 2: // time passes: the reply timeout and the clear delay may tick
            p.clock.advance(in.ConsumeIntegralInRange(0, 1200));
            // A stopped reply timeout leaves no reply awaited.
            if (!p.timers.Timer2->isEnabled())
                FUZZ_CHECK(p.state.AwaitingReply == 0);
            break;
        default: // the operator asks again
            p.link.sendCode(code);
            FUZZ_CHECK(p.state.AwaitingReply == 1);
            FUZZ_CHECK(p.lines.transmit() == renderTraffic(code + QChar(13)));
            break;
        }
    }
    return 0;
}
