#pragma once

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace orva::fuzz {

// Stops the run with a message when a property of the code under test does
// not hold; the fuzzer keeps the input that did it.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// A text of at most maxLength characters from the input. Half the time its
// characters are bytes as they arrive from the line (0..255), otherwise any
// 16-bit code, so both the line's alphabet and the rest are covered.
inline QString consumeText(FuzzedDataProvider& in, std::size_t maxLength)
{
    if (in.ConsumeBool()) {
        const std::string bytes = in.ConsumeRandomLengthString(maxLength);
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    }
    QString text;
    const auto length = in.ConsumeIntegralInRange<std::size_t>(0, maxLength);
    for (std::size_t i = 0; i < length && in.remaining_bytes() > 0; ++i)
        text.append(QChar(in.ConsumeIntegral<char16_t>()));
    return text;
}

// The rest of the input as one text, in the same two alphabets.
inline QString consumeRemainingText(FuzzedDataProvider& in)
{
    if (in.ConsumeBool()) {
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    }
    QString text;
    while (in.remaining_bytes() >= 2)
        text.append(QChar(in.ConsumeIntegral<char16_t>()));
    return text;
}

} // namespace orva::fuzz
