// The Telnet / RFC 2217 client codec on arbitrary incoming streams cut into
// arbitrary pieces. Two kinds of input:
//  - any bytes: decoding piece by piece gives exactly what decoding the
//    whole stream at once gives (data, answers, the option's fate), and the
//    answers never outgrow the stream that asked for them;
//  - a stream made as a server makes one: data with its 255s doubled, with
//    negotiations and sub-negotiations (also with doubled 255s, also
//    overlong) between the pieces: the decoded data is the data, exactly.
#include "FuzzSupport.h"

#include "engine/line/TelnetCodec.h"

#include <algorithm>

using namespace orva;

namespace {

using T = TelnetCodec;

// Decodes the stream in pieces whose lengths come from the input.
void decodeInPieces(FuzzedDataProvider& in, TelnetCodec& codec, const QByteArray& stream, T::Decoded& out)
{
    qsizetype at = 0;
    while (at < stream.size()) {
        const auto piece = in.remaining_bytes() > 0
            ? std::min<qsizetype>(in.ConsumeIntegralInRange<qsizetype>(0, 16), stream.size() - at)
            : stream.size() - at;
        codec.decode(QByteArrayView(stream).sliced(at, piece), out);
        at += piece;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    TelnetCodec whole;
    TelnetCodec pieces;
    (void)whole.opening();
    (void)pieces.opening();

    if (in.ConsumeBool()) {
        const std::string raw = in.ConsumeRandomLengthString(4096);
        const QByteArray stream(raw.data(), qsizetype(raw.size()));
        T::Decoded once;
        whole.decode(stream, once);
        T::Decoded split;
        decodeInPieces(in, pieces, stream, split);
        FUZZ_CHECK(split.data == once.data);
        FUZZ_CHECK(split.reply == once.reply);
        FUZZ_CHECK(whole.comPort() == pieces.comPort());
        FUZZ_CHECK(once.reply.size() <= stream.size());
        FUZZ_CHECK(once.data.size() <= stream.size());
        if (!stream.contains(char(T::Iac)))
            FUZZ_CHECK(once.data == stream && once.reply.isEmpty());
        return 0;
    }

    QByteArray expected;
    QByteArray stream;
    while (in.remaining_bytes() > 0 && stream.size() < 8192) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: { // data, 255 doubled
            const std::string piece = in.ConsumeRandomLengthString(64);
            const QByteArray bytes(piece.data(), qsizetype(piece.size()));
            expected += bytes;
            stream += TelnetCodec::escape(bytes);
            break;
        }
        case 1: { // a negotiation
            const auto verb = in.ConsumeIntegralInRange<int>(T::Will, T::Dont);
            const auto option = in.ConsumeIntegral<unsigned char>();
            stream += char(T::Iac);
            stream += char(verb);
            stream += char(option);
            break;
        }
        case 2: { // a sub-negotiation, of any length
            const std::string body = in.ConsumeRandomLengthString(in.ConsumeBool() ? 16 : 4096);
            stream += char(T::Iac);
            stream += char(T::Sb);
            stream += TelnetCodec::escape(QByteArrayView(body.data(), qsizetype(body.size())));
            stream += char(T::Iac);
            stream += char(T::Se);
            break;
        }
        default: { // a command without an option (NOP .. GA)
            stream += char(T::Iac);
            stream += char(in.ConsumeIntegralInRange(241, 249));
            break;
        }
        }
    }
    T::Decoded split;
    decodeInPieces(in, pieces, stream, split);
    FUZZ_CHECK(split.data == expected);
    return 0;
}
