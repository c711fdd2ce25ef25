#pragma once

#include "engine/protocol/Commands.h"
#include "panel/CommandTables.h"

#include <cstddef>
#include <iterator>
#include <string_view>

namespace orva {

// The window's command buttons: each control, by its objectName, and the
// command it sends. Whether a button acts on a click or while held, and
// with what timing, is the engine's command tables' business.
struct CommandButton
{
    const char* control;
    Command command;
};

// clang-format off
inline constexpr CommandButton CommandButtons[] = {
    {"Command17", Command::PowerOn},
    {"Command18", Command::PowerOff},
    {"Command27", Command::InputPc1},
    {"Command28", Command::InputPc2},
    {"Command29", Command::InputVideo},
    {"Command23", Command::MenuOn},
    {"Command24", Command::MenuOff},
    {"Command19", Command::SoundMuteOn},
    {"Command20", Command::SoundMuteOff},
    {"Command21", Command::NoShowOn},
    {"Command22", Command::NoShowOff},
    {"Command25", Command::FreezeOn},
    {"Command26", Command::FreezeOff},
    {"Command31", Command::AvSizeRegular},
    {"Command32", Command::AvSizeWide},
    {"Command13", Command::AutoImage},
    {"Command30", Command::ImageSelect},
    {"Command14", Command::PresentationTimer},
    {"Command3",  Command::DisplayClear},
    {"Command4",  Command::PictureStandard},
    {"Command10", Command::PictureReal},
    {"Command11", Command::PictureCinema},
    {"Command39", Command::PictureImage1},
    {"Command40", Command::PictureImage2},
    {"Command41", Command::PictureImage3},
    {"Command42", Command::PictureImage4},
    {"Command12", Command::PictureBoard},
    {"Command37", Command::PictureDynamic},
    {"Command38", Command::FanModeL1},
    {"Command43", Command::FanModeL2},
    {"Command44", Command::StatusQuery},
    {"Command46", Command::LampHoursQuery},
    {"Command54", Command::TemperaturesQuery},
    {"Command45", Command::InputQuery},
    {"Command47", Command::OrientationQuery},
    {"Command55", Command::LampModeQuery},
    {"Command64", Command::SourcePc1Rgb},
    {"Command52", Command::SourcePc1Scart},
    {"Command53", Command::SourcePc1Component},
    {"Command72", Command::SourcePc2Rgb},
    {"Command65", Command::SourcePc2DviPc},
    {"Command66", Command::SourcePc2DviAv},
    {"Command82", Command::SourceVideo},
    {"Command69", Command::SourceSVideo},
    {"Command36", Command::CodeC02},
    {"Command1",  Command::VolumeUp},
    {"Command2",  Command::VolumeDown},
    {"Command15", Command::BrightnessUp},
    {"Command35", Command::BrightnessDown},
    {"Command48", Command::ZoomIn},
    {"Command49", Command::ZoomOut},
    {"Command50", Command::KeystoneUp},
    {"Command51", Command::KeystoneDown},
    {"Command6",  Command::CursorSelect},
    {"Command5",  Command::CursorUp},
    {"Command7",  Command::CursorDown},
    {"Command9",  Command::CursorLeft},
    {"Command8",  Command::CursorRight},
};
// clang-format on

namespace detail {

// Whether a table has a row of the command. (Compared by value rather than
// through the pointer lookups: GCC cannot evaluate a pointer compared with
// null at compile time under the undefined-behaviour sanitizer.)
template <typename Table> constexpr bool hasRow(const Table& table, Command command)
{
    for (const auto& entry : table) {
        if (entry.command == command)
            return true;
    }
    return false;
}

// Every button sends a command of the single-press or the held table, and
// every row of those tables has exactly one button, under one name.
constexpr bool isEveryButtonBound()
{
    if (std::size(CommandButtons) != std::size(CommandCatalogue) + std::size(HoldTable))
        return false;
    for (std::size_t i = 0; i < std::size(CommandButtons); ++i) {
        const CommandButton& button = CommandButtons[i];
        if (!hasRow(CommandCatalogue, button.command) && !hasRow(HoldTable, button.command))
            return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (CommandButtons[j].command == button.command
                || std::string_view(CommandButtons[j].control) == std::string_view(button.control))
                return false;
        }
    }
    return true;
}

} // namespace detail

static_assert(detail::isEveryButtonBound(), "every command button needs one row, with a command of the tables");

} // namespace orva
