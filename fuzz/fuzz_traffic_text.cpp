// Renders arbitrary texts for the traffic lines and checks the layout that
// the status decoding reads back.
#include "FuzzSupport.h"

#include "engine/protocol/TrafficText.h"

using orva::renderTraffic;

namespace {

// Characters a token may hold: blank through 'z'.
bool isShowable(QChar c)
{
    return c.unicode() >= 32 && c.unicode() <= 122;
}

qsizetype tokenLength(char16_t c)
{
    if (c == 6)
        return 4; // "ACK "
    if (c == 20)
        return 1; // "&"
    return (c == 13 || c == 10) ? 3 : 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString head = orva::fuzz::consumeText(in, 256);
    const QString tail = orva::fuzz::consumeRemainingText(in);
    const QString text = head + tail;
    const QString shown = renderTraffic(text);

    // A leading blank, then one token per character, nothing else.
    FUZZ_CHECK(shown.startsWith(QLatin1Char(' ')));
    qsizetype expected = 1;
    for (const QChar c : text)
        expected += tokenLength(c.unicode());
    FUZZ_CHECK(shown.size() == expected);
    for (const QChar c : shown)
        FUZZ_CHECK(isShowable(c));

    // Printable character n sits at position 2n, a blank before it.
    for (qsizetype n = 1; n <= text.size() && isShowable(text[n - 1]); ++n) {
        FUZZ_CHECK(shown[2 * n - 1] == text[n - 1]);
        FUZZ_CHECK(shown[2 * n - 2] == QLatin1Char(' '));
    }

    // Each character is rendered on its own: the rendering of a text is the
    // rendering of its parts joined, less the second leading blank.
    FUZZ_CHECK(shown == renderTraffic(head) + renderTraffic(tail).sliced(1));
    return 0;
}
