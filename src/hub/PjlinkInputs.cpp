#include "hub/PjlinkInputs.h"

#include <QByteArrayList>

#include <array>

namespace orva::hub {

namespace {

// clang-format off
constexpr std::array Inputs{
    PjlinkInput{"11", "PC1 RGB",             Command::InputPc1,   Command::SourcePc1Rgb,       InputSource::Computer1},
    PjlinkInput{"12", "PC2 RGB",             Command::InputPc2,   Command::SourcePc2Rgb,       InputSource::Computer2},
    PjlinkInput{"13", "PC1 Scart",           Command::InputPc1,   Command::SourcePc1Scart,     InputSource::Computer1},
    PjlinkInput{"21", "Video",               Command::InputVideo, Command::SourceVideo,        InputSource::Video},
    PjlinkInput{"22", "S-Video",             Command::InputVideo, Command::SourceSVideo,       InputSource::Video},
    PjlinkInput{"23", "PC1 Component",       Command::InputPc1,   Command::SourcePc1Component, InputSource::Computer1},
    PjlinkInput{"31", "PC2 DVI(PC Digital)", Command::InputPc2,   Command::SourcePc2DviPc,     InputSource::Computer2},
    PjlinkInput{"32", "PC2 DVI(AV HDCP)",    Command::InputPc2,   Command::SourcePc2DviAv,     InputSource::Computer2},
};
// clang-format on

} // namespace

std::span<const PjlinkInput> pjlinkInputs()
{
    return Inputs;
}

const PjlinkInput* pjlinkInputOfCode(const QByteArray& code)
{
    for (const PjlinkInput& input : Inputs) {
        if (code == input.code)
            return &input;
    }
    return nullptr;
}

QByteArray pjlinkInputCodes()
{
    QByteArrayList codes;
    for (const PjlinkInput& input : Inputs)
        codes.append(input.code);
    return codes.join(' ');
}

std::optional<QByteArray> pjlinkInputCode(InputSource input, std::optional<Command> lastSource)
{
    const PjlinkInput* first = nullptr;
    for (const PjlinkInput& row : Inputs) {
        if (row.inputRead != input)
            continue;
        if (lastSource && row.source == *lastSource)
            return QByteArray(row.code);
        if (!first)
            first = &row;
    }
    return first ? std::optional<QByteArray>(first->code) : std::nullopt;
}

std::vector<Command> pjlinkSourcesOf(InputSource input)
{
    switch (input) {
    case InputSource::Computer1:
        return {Command::SourcePc1Rgb, Command::SourcePc1Scart, Command::SourcePc1Component};
    case InputSource::Computer2:
        return {Command::SourcePc2Rgb, Command::SourcePc2DviPc, Command::SourcePc2DviAv};
    case InputSource::Video:
        return {Command::SourceVideo, Command::SourceSVideo};
    case InputSource::InputMode4:
        break;
    }
    return {};
}

} // namespace orva::hub
