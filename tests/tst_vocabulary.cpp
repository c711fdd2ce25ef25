#include "ctl/Actions.h"
#include "engine/protocol/Commands.h"
#include "window/CommandButtons.h"

#include <QSet>
#include <QTest>

#include <algorithm>

using namespace orva;

namespace {

// What goes out today: each command's code, the window's button that sends
// it and orva-ctl's action that names it.
struct Row
{
    Command command;
    const char* code;
    const char* control; // nullptr: no button
    const char* action;  // nullptr: orva-ctl does not offer it
};

// clang-format off
constexpr Row Rows[] = {
    {Command::PowerOn,      "C00",               "Command17", "power on"},
    {Command::PowerOff,     "C01",               "Command18", "power off"},
    {Command::InputPc1,     "C05",               "Command27", "input pc1"},
    {Command::InputPc2,     "C06",               "Command28", "input pc2"},
    {Command::InputVideo,   "C07",               "Command29", "input video"},
    {Command::SoundMuteOn,  "C0B",               "Command19", "sound-mute on"},
    {Command::SoundMuteOff, "C0C",               "Command20", "sound-mute off"},
    {Command::NoShowOn,     "C0D",               "Command21", "no-show on"},
    {Command::NoShowOff,    "C0E",               "Command22", "no-show off"},
    {Command::FreezeOn,     "C43",               "Command25", "freeze on"},
    {Command::FreezeOff,    "C44",               "Command26", "freeze off"},
    {Command::AvSizeRegular, "C0F",               "Command31", "av-size regular"},
    {Command::AvSizeWide,   "C10",               "Command32", "av-size wide"},
    {Command::MenuOn,       "C1C",               "Command23", "menu on"},
    {Command::MenuOff,      "C1D",               "Command24", "menu off"},
    {Command::FanModeL1,    "CF FANMODE L1",     "Command38", "fan l1"},
    {Command::FanModeL2,    "CF FANMODE L2",     "Command43", "fan l2"},
    {Command::PictureStandard, "C11",               "Command4",  "picture stand"},
    {Command::PictureReal,  "C12",               "Command10", "picture real"},
    {Command::PictureCinema, "C13",               "Command11", "picture cinema"},
    {Command::PictureImage1, "C14",               "Command39", "picture image1"},
    {Command::PictureImage2, "C15",               "Command40", "picture image2"},
    {Command::PictureImage3, "C16",               "Command41", "picture image3"},
    {Command::PictureImage4, "C17",               "Command42", "picture image4"},
    {Command::PictureBoard, "C18",               "Command12", "picture board"},
    {Command::PictureDynamic, "C19",               "Command37", "picture dynamic"},
    {Command::StatusQuery,  "CR0",               "Command44", "status"},
    {Command::InputQuery,   "CR1",               "Command45", "input?"},
    {Command::LampHoursQuery, "CR3",               "Command46", "lamp-hours"},
    {Command::OrientationQuery, "CR4",               "Command47", "orientation"},
    {Command::TemperaturesQuery, "CR6",               "Command54", "temperatures"},
    {Command::LampModeQuery, "CR7",               "Command55", "lamp-mode"},
    {Command::MuteStateQuery, "CRA",               nullptr,     "mute?"},
    {Command::ModelQuery,   "CR9",               nullptr,     "model"},
    {Command::PressureQuery, "CR PRESSURE",       nullptr,     "pressure"},
    {Command::AutoImage,    "C89",               "Command13", nullptr},
    {Command::ImageSelect,  "C27",               "Command30", nullptr},
    {Command::PresentationTimer, "C8A",               "Command14", nullptr},
    {Command::DisplayClear, "C1E",               "Command3",  nullptr},
    {Command::SourcePc1Rgb, "C50",               "Command64", nullptr},
    {Command::SourcePc1Scart, "C51",               "Command52", nullptr},
    {Command::SourcePc1Component, "C54",               "Command53", nullptr},
    {Command::SourcePc2Rgb, "CF INPUT2 ANALOG",  "Command72", nullptr},
    {Command::SourcePc2DviPc, "C5B",               "Command65", nullptr},
    {Command::SourcePc2DviAv, "C5C",               "Command66", nullptr},
    {Command::SourceVideo,  "CF INPUT3 VIDEO",   "Command82", nullptr},
    {Command::SourceSVideo, "C34",               "Command69", nullptr},
    {Command::CodeC02,      "C02",               "Command36", nullptr},
    {Command::VolumeUp,     "C09",               "Command1",  nullptr},
    {Command::VolumeDown,   "C0A",               "Command2",  nullptr},
    {Command::BrightnessUp, "C20",               "Command15", nullptr},
    {Command::BrightnessDown, "C21",               "Command35", nullptr},
    {Command::ZoomIn,       "C30",               "Command48", nullptr},
    {Command::ZoomOut,      "C31",               "Command49", nullptr},
    {Command::KeystoneUp,   "C8E",               "Command50", nullptr},
    {Command::KeystoneDown, "C8F",               "Command51", nullptr},
    {Command::CursorUp,     "C3C",               "Command5",  nullptr},
    {Command::CursorDown,   "C3D",               "Command7",  nullptr},
    {Command::CursorLeft,   "C3B",               "Command9",  nullptr},
    {Command::CursorRight,  "C3A",               "Command8",  nullptr},
    {Command::CursorSelect, "C3F",               "Command6",  nullptr},
};
// clang-format on

} // namespace

class VocabularyTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void command_data()
    {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < std::size(Rows); ++i)
            QTest::newRow(Rows[i].code) << int(i);
    }
    void command()
    {
        QFETCH(int, row);
        const Row& r = Rows[row];
        const QString code = QString::fromLatin1(r.code);
        QCOMPARE(QString(commandCode(r.command)), code);
        QCOMPARE(commandOfCode(code), std::optional<Command>(r.command));

        const auto* button = std::find_if(std::begin(CommandButtons), std::end(CommandButtons),
            [&](const CommandButton& b) { return r.control && QLatin1String(r.control) == QLatin1String(b.control); });
        QCOMPARE(button != std::end(CommandButtons), r.control != nullptr);
        if (r.control)
            QCOMPARE(button->command, r.command);

        const QStringList words = QString::fromLatin1(r.action).split(u' ');
        const ctl::Action* action = r.action ? ctl::findAction(words.value(0), words.value(1)) : nullptr;
        QCOMPARE(action != nullptr, r.action != nullptr);
        if (action) {
            QCOMPARE(action->command, std::optional<Command>(r.command));
            QCOMPARE(ctl::codeOf(*action), code);
        }
    }

    // The table leaves nothing out: every command once, every button and
    // every action that sends a command.
    void everyCommandButtonAndActionIsListed()
    {
        QCOMPARE(std::size(Rows), CommandCount);
        QSet<int> commands;
        QSet<QString> controls;
        QSet<QString> actions;
        for (const Row& r : Rows) {
            commands.insert(int(r.command));
            controls.insert(QString::fromLatin1(r.control));
            actions.insert(QString::fromLatin1(r.action));
        }
        QCOMPARE(std::size_t(commands.size()), CommandCount);
        for (const CommandButton& button : CommandButtons)
            QVERIFY2(controls.contains(QLatin1String(button.control)), button.control);
        for (const ctl::Action& action : ctl::actions()) {
            if (action.command)
                QVERIFY2(actions.contains(ctl::title(action)), action.name);
        }
    }
};

QTEST_GUILESS_MAIN(VocabularyTest)
#include "tst_vocabulary.moc"
