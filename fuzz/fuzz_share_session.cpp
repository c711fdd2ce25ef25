// Share clients on one projector, on the fake line and the virtual clock:
// three clients write arbitrary bytes in arbitrary pieces, the projector
// answers arbitrary bytes at arbitrary times (late, split, never), clients
// stop reading, close, and the line goes down and comes back.
//
// Each client writes only bytes of its own class (byte % 3 == its number,
// but the carriage return), so a frame on the line names its sender, and
// the projector answers in the class of whoever sent the frame last written
// (control bytes that end or judge a reply aside): a reply always belongs
// to that frame, answered in time or late. Properties:
//  - a client receives only replies to its own frames and NAKs: no byte of
//    another client's class, and what it receives, NAKs aside, comes in the
//    order the projector sent it to this client;
//  - nothing is written to a client after it was closed, and a client that
//    said it reads no more is closed at once;
//  - a client has at most MaxPerRequester frames outstanding.
#include "FuzzSupport.h"

#include "FakeSerialLine.h"
#include "VirtualClock.h"
#include "engine/protocol/ReplyRules.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/Projector.h"
#include "hub/ShareSession.h"

#include <array>
#include <memory>

using namespace orva;
using namespace orva::hub;

namespace {

constexpr int Clients = 3;
constexpr char Cr = '\r';
constexpr char Ack = 6;
constexpr char NakByte = 21;
// Bytes a client that does not read may be left with before it is closed.
constexpr int Unread = 300;

bool isControl(char c)
{
    return c == Cr || c == Ack || c == NakByte;
}

// A byte of a client's class, never a control byte.
char inClass(std::uint8_t value, int client)
{
    int byte = value - value % Clients + client;
    if (byte > 255)
        byte -= Clients;
    if (isControl(char(byte)))
        byte += Clients;
    return char(byte);
}

int classOf(char c)
{
    return static_cast<unsigned char>(c) % Clients;
}

struct Client
{
    std::unique_ptr<ShareSession> session;
    QByteArray received;   // every byte written to it
    QByteArray sentToIt;   // what the projector sent while its frame was last on the line
    qsizetype pending = 0; // bytes since its last carriage return
    bool reading = true;
    qsizetype unread = 0;
    bool closed = false;
    bool saidFull = false; // its write said it reads no more
};

// Whether `part` is `whole` with some bytes left out (the order kept).
bool isSubsequence(const QByteArray& part, const QByteArray& whole)
{
    qsizetype at = 0;
    for (const char c : part) {
        at = whole.indexOf(c, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

QByteArray withoutNaks(QByteArray bytes)
{
    return bytes.replace(QByteArray(1, NakByte), QByteArray());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    VirtualClock clock; // outlives the timers
    const HubLog log;
    ProjectorConfig config;
    config.name = QStringLiteral("fuzz");
    config.line = QStringLiteral("/dev/projector");
    auto owned = std::make_unique<FakeSerialLine>();
    FakeSerialLine& line = *owned;
    Projector projector(config, 0, 500, std::move(owned), clock, log);
    projector.start();

    std::array<Client, Clients> clients;
    for (int i = 0; i < Clients; ++i) {
        Client& client = clients[std::size_t(i)];
        client.session = std::make_unique<ShareSession>(
            projector, log, Projector::requestersOf(Projector::Door::Share) | quint64(i + 1),
            QStringLiteral("share %1").arg(i),
            [&client](const QByteArray& bytes) {
                FUZZ_CHECK(!client.closed);
                client.received += bytes;
                if (!client.reading)
                    client.unread += bytes.size();
                client.saidFull = client.unread > Unread;
                return !client.saidFull;
            },
            [&client](const QString&, bool) { client.closed = true; });
    }

    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const int who = in.ConsumeIntegralInRange(0, Clients - 1);
        Client& client = clients[std::size_t(who)];
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
        case 1:
        case 2: {
            // A piece of frames; now and then many times over, past the
            // queue's bound.
            const std::string raw = in.ConsumeRandomLengthString(300);
            QByteArray piece;
            for (const char c : raw) {
                if (static_cast<unsigned char>(c) < 24 && client.pending > 0) {
                    piece += Cr;
                    client.pending = 0;
                } else {
                    piece += inClass(static_cast<std::uint8_t>(c), who);
                    ++client.pending;
                }
            }
            const int copies = in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegralInRange(2, 40) : 1;
            if (copies > 1 && client.pending > 0) {
                piece += Cr; // each copy a whole number of frames
                client.pending = 0;
            }
            client.session->receive(piece.repeated(copies));
            break;
        }
        case 3: {
            // The projector answers, for whoever sent the frame on the line last.
            const std::string raw = in.ConsumeRandomLengthString(64);
            // A closed line receives nothing.
            if (line.writes().isEmpty() || !line.isOpen())
                break;
            const QByteArray& last = line.writes().last().bytes;
            const int owner = classOf(last.at(0));
            QByteArray reply;
            for (const char c : raw)
                reply += isControl(c) ? c : inClass(static_cast<std::uint8_t>(c), owner);
            clients[std::size_t(owner)].sentToIt += reply;
            line.receive(reply);
            break;
        }
        case 4:
            clock.advance(in.ConsumeIntegralInRange(0, 1200));
            break;
        case 5:
            client.reading = !client.reading;
            break;
        case 6:
            client.session->close(QStringLiteral("gone"));
            break;
        default:
            if (line.isOpen())
                line.loseDevice(QStringLiteral("Input/output error"));
            break;
        }
        clock.advance(1);

        for (const Client& each : clients) {
            FUZZ_CHECK(!each.saidFull || each.closed);
            FUZZ_CHECK(each.session->isClosed() == each.closed);
            FUZZ_CHECK(each.session->outstanding() <= Projector::MaxPerRequester + 1);
        }
    }
    clock.advance(2000);

    for (int i = 0; i < Clients; ++i) {
        const Client& client = clients[std::size_t(i)];
        for (const char c : client.received)
            FUZZ_CHECK(isControl(c) || classOf(c) == i);
        FUZZ_CHECK(isSubsequence(withoutNaks(client.received), withoutNaks(client.sentToIt)));
    }
    return 0;
}
