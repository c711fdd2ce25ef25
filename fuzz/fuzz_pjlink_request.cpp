// orva-hub's doors on arbitrary bytes from a network peer:
//  - a PJLink request line reads as a request only when it is one: a body
//    of four letters or digits, a printable parameter, a digest of 32 hex
//    digits or none, and the line again when the parts are put together
//    (letters aside, which PJLink takes in either case); it never reads
//    longer than 136 bytes besides the digest;
//  - what a share client writes is cut into the same frames however the
//    bytes are split into chunks, each at most 256 bytes and ending in a
//    carriage return.
#include "FuzzSupport.h"

#include "hub/PjlinkCodec.h"
#include "hub/ShareFraming.h"

#include <algorithm>

using namespace orva;
using namespace orva::hub;

namespace {

QByteArrayList framesOf(const QByteArray& stream, FuzzedDataProvider* cuts)
{
    ShareFraming framing;
    QByteArrayList frames;
    qsizetype at = 0;
    while (at < stream.size()) {
        const qsizetype piece = cuts && cuts->remaining_bytes() > 0
            ? std::min<qsizetype>(cuts->ConsumeIntegralInRange<qsizetype>(1, 300), stream.size() - at)
            : stream.size() - at;
        for (const ShareFraming::Piece& p : framing.take(stream.mid(at, piece)))
            frames.append(p.refused ? QByteArray("!") : p.frame);
        at += piece;
    }
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeRandomLengthString(400);
    const QByteArray line(text.data(), qsizetype(text.size()));

    const PjlinkParse parse = parsePjlinkRequest(line);
    FUZZ_CHECK(!parse.request || parse.answerable);
    if (parse.request) {
        const PjlinkRequest& request = *parse.request;
        FUZZ_CHECK(request.digest.isEmpty() || request.digest.size() == DigestLength);
        FUZZ_CHECK(request.body.size() == 4);
        FUZZ_CHECK(!request.parameter.isEmpty());
        FUZZ_CHECK(
            std::all_of(request.parameter.begin(), request.parameter.end(), [](char c) { return c > ' ' && c < 127; }));
        const QByteArray again = request.digest + request.header + request.body + ' ' + request.parameter;
        FUZZ_CHECK(again.toUpper() == line.toUpper());
        FUZZ_CHECK(again.size() - request.digest.size() <= MaxRequestLength);
    }

    const QByteArray stream = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    FuzzedDataProvider cuts(data, size); // the same input decides where the chunks end
    const QByteArrayList whole = framesOf(stream, nullptr);
    FUZZ_CHECK(framesOf(stream, &cuts) == whole);
    for (const QByteArray& frame : whole)
        FUZZ_CHECK(frame == "!" || (frame.endsWith('\r') && frame.size() <= ShareFraming::MaxFrame));
    return 0;
}
