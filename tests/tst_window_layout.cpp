#include "PanelFixture.h"
#include "window/CommandButtons.h"
#include "window/Controls.h"
#include "window/Layout.h"
#include "window/Logo.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

using namespace orva;

namespace {

QString nameOf(const ControlSpec& spec)
{
    return QString::fromLatin1(spec.name);
}

QString parentOf(const ControlSpec& spec)
{
    return spec.parent ? QString::fromLatin1(spec.parent) : QString();
}

const ControlSpec* findSpec(const QString& name)
{
    for (const ControlSpec& spec : windowLayout())
        if (nameOf(spec) == name)
            return &spec;
    return nullptr;
}

// Rows of the client area that each band of controls occupies, in twips.
struct Band
{
    const char* name;
    int top;
    int bottom;
};
constexpr Band Bands[] = {{"main", 0, 4815}, {"data", 4920, 6210}, {"extension", 6735, 8610}};

// The window's direct members of the data and extension bands; every other
// direct member belongs to the main band.
const QSet<QString> DataBand
    = {"Frame9", "Command34", "Command44", "Command46", "Command54", "Command45", "Command47", "Command55"};
const QSet<QString> ExtensionBand = {"Frame14", "Command36", "Frame15"};

QString bandOf(const QString& name)
{
    if (DataBand.contains(name))
        return QStringLiteral("data");
    if (ExtensionBand.contains(name))
        return QStringLiteral("extension");
    return QStringLiteral("main");
}

// Rows where a control's drawing starts: a frame's border lies a little
// below its top edge.
int drawnTop(QWidget* widget)
{
    const auto* frame = qobject_cast<FrameBox*>(widget);
    return widget->y() + (frame ? frame->borderTop() : 0);
}

bool nearColour(QRgb pixel, QColor expected, int tolerance = 0)
{
    return std::abs(qRed(pixel) - expected.red()) <= tolerance
        && std::abs(qGreen(pixel) - expected.green()) <= tolerance
        && std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

} // namespace

// The window's control table as a whole, and the window built from it.
class WindowLayoutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void namesAreUniqueAndParentsAreEarlierFrames()
    {
        QSet<QString> seen;
        QSet<QString> frames;
        for (const ControlSpec& spec : windowLayout()) {
            QVERIFY2(!seen.contains(nameOf(spec)), spec.name);
            seen.insert(nameOf(spec));
            if (spec.parent)
                QVERIFY2(frames.contains(parentOf(spec)), spec.name);
            if (spec.kind == ControlKind::Frame)
                frames.insert(nameOf(spec));
        }
        // Every control the code names is in the table.
        for (const CommandButton& button : CommandButtons)
            QVERIFY2(seen.contains(QLatin1String(button.control)), button.control);
    }

    void everyControlLiesInsideItsParent()
    {
        for (const ControlSpec& spec : windowLayout()) {
            const QRect r = spec.rectTwips();
            QSize room(ClientWidthTwips, ClientHeightTwips);
            if (spec.parent)
                room = findSpec(parentOf(spec))->rectTwips().size();
            QVERIFY2(r.left() >= 0 && r.top() >= 0, spec.name);
            QVERIFY2(r.left() + r.width() <= room.width(), spec.name);
            QVERIFY2(r.top() + r.height() <= room.height(), spec.name);
        }
    }

    void neighboursOverlapOnlyInEdgeStrips()
    {
        // Apart from the settings frame over "COM", controls of one container
        // share at most a strip of 15 twips (one pixel) along an edge.
        const auto layout = windowLayout();
        int strips = 0;
        for (std::size_t i = 0; i < layout.size(); ++i) {
            for (std::size_t j = i + 1; j < layout.size(); ++j) {
                const ControlSpec& a = layout[i];
                const ControlSpec& b = layout[j];
                if (a.kind == ControlKind::Line || b.kind == ControlKind::Line || parentOf(a) != parentOf(b))
                    continue;
                const QRect ra = a.rectTwips();
                const QRect rb = b.rectTwips();
                const int across = std::min(ra.x() + ra.width(), rb.x() + rb.width()) - std::max(ra.x(), rb.x());
                const int down = std::min(ra.y() + ra.height(), rb.y() + rb.height()) - std::max(ra.y(), rb.y());
                if (across <= 0 || down <= 0)
                    continue;
                const QString pair = nameOf(a) + QLatin1Char('/') + nameOf(b);
                if (pair == QLatin1String("Command33/Frame8"))
                    continue;
                QVERIFY2(std::min(across, down) <= 15, qPrintable(pair));
                ++strips;
            }
        }
        QVERIFY(strips > 0);

        const QRect com = findSpec("Command33")->rectTwips();
        QVERIFY(findSpec("Frame8")->rectTwips().contains(com));
    }

    void directMembersFallInsideTheirBand()
    {
        std::map<QString, int> members;
        for (const ControlSpec& spec : windowLayout()) {
            if (spec.parent)
                continue;
            const QString band = bandOf(nameOf(spec));
            const auto it = std::find_if(
                std::begin(Bands), std::end(Bands), [&](const Band& b) { return band == QLatin1String(b.name); });
            const QRect r = spec.rectTwips();
            QVERIFY2(r.top() >= it->top, spec.name);
            QVERIFY2(r.top() + r.height() <= it->bottom, spec.name);
            ++members[band];
        }
        QCOMPARE(members[QStringLiteral("data")], int(DataBand.size()));
        QCOMPARE(members[QStringLiteral("extension")], int(ExtensionBand.size()));
        QVERIFY(members[QStringLiteral("main")] > 0);
    }

    void tabIndicesArePermutation()
    {
        std::vector<int> tabs;
        for (const ControlSpec& spec : windowLayout())
            if (spec.tab >= 0)
                tabs.push_back(spec.tab);
        std::sort(tabs.begin(), tabs.end());
        for (std::size_t i = 0; i < tabs.size(); ++i)
            QCOMPARE(tabs[i], int(i));
        // Every control has a place but the picture and the lines.
        for (const ControlSpec& spec : windowLayout())
            QCOMPARE(spec.tab < 0, spec.kind == ControlKind::Image || spec.kind == ControlKind::Line);
    }

    void everyControlIsBuiltWithItsNameKindAndPlace()
    {
        PanelFixture f(false);
        for (const ControlSpec& spec : windowLayout()) {
            QWidget* widget = f.window.control(spec.name);
            QVERIFY2(widget, spec.name);
            QWidget* expectedParent = spec.parent ? f.window.control(spec.parent) : &f.window;
            QCOMPARE(widget->parentWidget(), expectedParent);
            bool kindMatches = false;
            switch (spec.kind) {
            case ControlKind::Frame:
                kindMatches = qobject_cast<FrameBox*>(widget);
                break;
            case ControlKind::Label:
                kindMatches = qobject_cast<QLabel*>(widget);
                break;
            case ControlKind::Button:
                kindMatches = qobject_cast<PanelButton*>(widget);
                break;
            case ControlKind::Option:
                kindMatches = qobject_cast<QRadioButton*>(widget);
                break;
            case ControlKind::TextBox:
                kindMatches = qobject_cast<QLineEdit*>(widget);
                break;
            case ControlKind::Image:
                kindMatches = qobject_cast<LogoImage*>(widget);
                break;
            case ControlKind::Line:
                kindMatches = qobject_cast<OutlineLine*>(widget);
                break;
            }
            QVERIFY2(kindMatches, spec.name);
            if (spec.kind == ControlKind::Line) {
                auto* line = static_cast<OutlineLine*>(widget);
                QCOMPARE(line->from(), QPoint(spec.left, spec.top) / TwipsPerPixel);
                QCOMPARE(line->to(), QPoint(spec.width, spec.height) / TwipsPerPixel);
                QCOMPARE(line->colour(), QColor(128, 128, 255));
                QVERIFY(line->testAttribute(Qt::WA_TransparentForMouseEvents));
            } else {
                const QRect expected(twipsToPixels(spec.left), twipsToPixels(spec.top), twipsToPixels(spec.width),
                    twipsToPixels(spec.height));
                QCOMPARE(widget->geometry(), expected);
            }
            QCOMPARE(widget->isHidden(), spec.has(ControlFlag::Hidden));
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                QCOMPARE(button->text(), QString::fromUtf8(spec.caption));
            if (auto* label = qobject_cast<QLabel*>(widget))
                QCOMPARE(label->text(), QString::fromUtf8(spec.caption));
        }
    }

    void optionButtonsGroupByTheirOwnFrame()
    {
        PanelFixture f(false);
        auto* com1 = f.window.control<QRadioButton>("Option1");
        auto* com2 = f.window.control<QRadioButton>("Option2");
        auto* fast = f.window.control<QRadioButton>("Option9");
        auto* slow = f.window.control<QRadioButton>("Option10");
        QVERIFY(fast->isChecked());
        QVERIFY(!slow->isChecked() && !com1->isChecked() && !com2->isChecked());
        com2->setChecked(true);
        slow->setChecked(true);
        QVERIFY(com2->isChecked() && slow->isChecked());
        QVERIFY(!fast->isChecked());
        com1->setChecked(true);
        QVERIFY(!com2->isChecked());
        QVERIFY(slow->isChecked());
    }

    void stackingOrder_data()
    {
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::newRow("settings frame over COM") << "Frame8"
                                                 << "Command33";
        QTest::newRow("IMAGE over P-TIMER") << "Command30"
                                            << "Command14";
        QTest::newRow("P-TIMER over DISPLAY CLEAR") << "Command14"
                                                    << "Command3";
        QTest::newRow("cursor button over outline") << "Command5"
                                                    << "Line7";
        QTest::newRow("picture-mode button over outline") << "Command4"
                                                          << "Line11";
        QTest::newRow("frame over outline") << "Frame3"
                                            << "Line1";
    }

    void stackingOrder()
    {
        QFETCH(QString, upper);
        QFETCH(QString, lower);
        PanelFixture f(false);
        const QObjectList& siblings = f.window.children();
        const auto upperAt = siblings.indexOf(f.window.control(qPrintable(upper)));
        const auto lowerAt = siblings.indexOf(f.window.control(qPrintable(lower)));
        QVERIFY(upperAt >= 0 && lowerAt >= 0);
        QVERIFY(upperAt > lowerAt); // later children are drawn above earlier ones
    }

    void focusChainFollowsTabIndices()
    {
        PanelFixture f(false);
        std::vector<int> tabs;
        QWidget* start = f.window.control("Command17");
        QWidget* w = start;
        do {
            if (w->focusPolicy() & Qt::TabFocus) {
                const ControlSpec* spec = findSpec(w->objectName());
                QVERIFY2(spec, qPrintable(w->objectName()));
                tabs.push_back(spec->tab);
            }
            w = w->nextInFocusChain();
        } while (w != start && tabs.size() < 500);
        QVERIFY(std::is_sorted(tabs.begin(), tabs.end()));

        int takesFocus = 0;
        for (const ControlSpec& spec : windowLayout())
            takesFocus += spec.kind == ControlKind::Button || spec.kind == ControlKind::Option
                || spec.kind == ControlKind::TextBox;
        QCOMPARE(int(tabs.size()), takesFocus);
        QCOMPARE(tabs.front(), 1); // Command17
    }

    // The window as a screen reader walks it, with "+" of "VOL" held down
    // and after the chord: every control that takes the focus has a name in
    // words, no two in one frame (or in the window) sound alike, and the
    // controls that paint themselves show their role, value and state.
    void screenReadersHearEveryControl()
    {
        PanelFixture f;
        QTest::mousePress(f.window.control("Command1"), Qt::LeftButton);
        QTest::keyClick(&f.window, Qt::Key_K, Qt::ControlModifier);
        const auto heard = [](const QString& control, QAccessible::Role role, const QString& name, const QString& value,
                               bool down, const QString& description = QString()) {
            return QStringLiteral("%1: role %2, '%3', '%4'%5%6")
                .arg(control)
                .arg(role)
                .arg(name, value, down ? QStringLiteral(", down") : QString(),
                    description.isEmpty() ? QString() : QStringLiteral(", ") + description);
        };
        const QStringList sample{"Command1", "Command34", "Frame1", "Image1", "Label11", "Line7", "Option2", "Option9"};
        QStringList faults, seen;
        int focusable = 0;
        const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            QStringList names;
            for (int i = 0; i < node->childCount(); ++i) {
                QAccessibleInterface* child = node->child(i);
                walk(child);
                const QString control = child->object()->objectName(), name = child->text(QAccessible::Name);
                if (sample.contains(control))
                    seen << heard(control, child->role(), name, child->text(QAccessible::Value),
                        child->state().pressed || child->state().checked, child->text(QAccessible::Description));
                if (!child->state().focusable)
                    continue;
                ++focusable;
                // In words: a glyph such as an arrow alone is no name.
                const bool words = std::any_of(name.begin(), name.end(), [](QChar c) { return c.isLetter(); });
                if (!words || names.contains(name.trimmed(), Qt::CaseInsensitive))
                    faults << control + QStringLiteral(": ") + name;
                names << name.trimmed();
            }
        };
        walk(QAccessible::queryAccessibleInterface(&f.window));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
        const auto widgets = f.window.findChildren<QWidget*>();
        QCOMPARE(focusable, std::count_if(widgets.begin(), widgets.end(), [](QWidget* w) { return w->focusPolicy(); }));
        seen.sort();
        QCOMPARE(seen,
            QStringList({heard("Command1", QAccessible::Button, "VOL +", "", true),
                heard("Command34", QAccessible::Button, "Close data", "", false),
                heard("Frame1", QAccessible::Grouping, "POWER", "", false),
                heard("Image1", QAccessible::Graphic, "ORVA logo", "", false),
                heard("Label11", QAccessible::StaticText, "Transmit line", " C 0 9 CR ", false),
                heard("Line7", QAccessible::Separator, "", "", false),
                heard("Option2", QAccessible::RadioButton, "Port COM2", "", false, "COM2: com2"),
                heard("Option9", QAccessible::RadioButton, "Speed 19200", "", true)}));
    }

    void windowProperties()
    {
        PanelFixture f;
        QCOMPARE(f.window.windowTitle(), QStringLiteral("ORVA   TK500 / TK600  CONTROL   Ver.1.40"));
        const Qt::WindowFlags flags = f.window.windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(f.window.minimumSize(), f.window.maximumSize());
        QCOMPARE(f.window.width(), 633);
        QCOMPARE(f.window.palette().color(QPalette::Window), QColor(192, 192, 192));
        QVERIFY(!f.window.windowIcon().isNull());
        QVERIFY(f.window.windowIcon().availableSizes().contains(QSize(48, 48)));
        const QImage icon = f.window.windowIcon().pixmap(QSize(48, 48), 1.0).toImage();
        QCOMPARE(icon.size(), QSize(48, 48));
        QSet<QRgb> iconColours;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                iconColours.insert(icon.pixel(x, y));
        QVERIFY(iconColours.size() > 20); // a picture, not a blank
        QCOMPARE(f.window.font().pointSizeF(), 9.0);
        QVERIFY(!f.window.font().bold());
        QCOMPARE(f.window.focusWidget(), f.window.control("Command17"));
    }

    void logoIsItsNaturalSize()
    {
        PanelFixture f(false);
        QCOMPARE(f.window.control("Image1")->size(), QSize(80, 26));
        const QImage logo = f.window.control("Image1")->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < logo.height(); ++y)
            for (int x = 0; x < logo.width(); ++x)
                colours.insert(logo.pixel(x, y));
        QVERIFY(colours.size() > 20);
    }

    void fontsFollowTheirKeys_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("proportional");
        QTest::newRow("G9B title") << "Label1" << 9.0 << true << false;
        QTest::newRow("G8 row label") << "Label23" << 8.25 << false << false;
        QTest::newRow("G8B query") << "Command44" << 8.25 << true << false;
        QTest::newRow("G10 label") << "Label26" << 9.75 << false << false;
        QTest::newRow("G10B text box") << "Text1" << 9.75 << true << false;
        QTest::newRow("P9B button") << "Command17" << 9.0 << true << true;
        QTest::newRow("P9 button") << "Command31" << 9.0 << false << true;
        QTest::newRow("P10B display line") << "Label11" << 9.75 << true << true;
        QTest::newRow("W follows the window") << "Command6" << 9.0 << false << false;
        QTest::newRow("frame follows the window") << "Frame9" << 9.0 << false << false;
    }

    void fontsFollowTheirKeys()
    {
        QFETCH(QString, control);
        QFETCH(qreal, points);
        QFETCH(bool, bold);
        QFETCH(bool, proportional);
        PanelFixture f(false);
        const QFont font = f.window.control(qPrintable(control))->font();
        QCOMPARE(font.pointSizeF(), points);
        QCOMPARE(font.weight(), bold ? QFont::Bold : QFont::Normal);
        QCOMPARE(font.family(), proportional ? proportionalFamily() : fixedPitchFamily());
    }

    void standInFacesAreUsedWhenInstalled()
    {
        if (QFontDatabase::hasFamily(QStringLiteral("MS Gothic"))
            || QFontDatabase::hasFamily(QStringLiteral("ＭＳ ゴシック")))
            QSKIP("the design faces themselves are installed");
        if (!QFontDatabase::hasFamily(QStringLiteral("IPAGothic"))
            || !QFontDatabase::hasFamily(QStringLiteral("IPAPGothic")))
            QSKIP("the IPA faces are not installed (fonts-ipafont-gothic)");
        QCOMPARE(fixedPitchFamily(), QStringLiteral("IPAGothic"));
        QCOMPARE(proportionalFamily(), QStringLiteral("IPAPGothic"));
    }

    void everyCaptionHasItsGlyphs()
    {
        if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
            QSKIP("no face that can draw Japanese is installed");
        PanelFixture f(false);
        const auto check = [](QWidget* w, const QString& text) {
            const QFontMetrics metrics(w->font());
            for (const QChar c : text)
                if (!metrics.inFont(c))
                    return false;
            return true;
        };
        for (QWidget* w : f.window.findChildren<QWidget*>()) {
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                QVERIFY2(check(w, button->text()), qPrintable(w->objectName()));
            else if (auto* label = qobject_cast<QLabel*>(w))
                QVERIFY2(check(w, label->text()), qPrintable(w->objectName()));
        }
        // The toggle button's other captions.
        QWidget* toggle = f.window.control("Command34");
        QVERIFY(check(toggle, DataPanel::HideCaption));
        QVERIFY(check(toggle, DataPanel::CloseCaption));
    }

    void outerHeightSetsTheClientArea_data()
    {
        QTest::addColumn<int>("outer");
        QTest::addColumn<int>("client");
        QTest::addColumn<QStringList>("inView");
        QTest::addColumn<QStringList>("outOfView");
        QTest::newRow("compact") << DataPanel::CompactHeight << 332 << QStringList{"main"}
                                 << QStringList{"data", "extension"};
        QTest::newRow("data") << DataPanel::DataHeight << 418 << QStringList{"main", "data"}
                              << QStringList{"extension"};
        // The chord height may show the top edge of the extension band.
        QTest::newRow("chord") << DataPanel::ChordHeight << 455 << QStringList{"main", "data"} << QStringList{};
        QTest::newRow("full") << DataPanel::FullHeight << 582 << QStringList{"main", "data", "extension"}
                              << QStringList{};
    }

    void outerHeightSetsTheClientArea()
    {
        QFETCH(int, outer);
        QFETCH(int, client);
        QFETCH(QStringList, inView);
        QFETCH(QStringList, outOfView);
        PanelFixture f;
        f.engine.dataPanel().setOuterHeight(outer);
        QCOMPARE(f.engine.dataPanel().outerHeight(), outer);
        QCOMPARE(f.window.height(), client);
        QCOMPARE(f.window.minimumHeight(), f.window.maximumHeight());
        for (const ControlSpec& spec : windowLayout()) {
            if (spec.parent)
                continue;
            QWidget* w = f.window.control(spec.name);
            const QString band = bandOf(nameOf(spec));
            if (inView.contains(band))
                QVERIFY2(w->geometry().bottom() < client, spec.name);
            if (outOfView.contains(band))
                QVERIFY2(drawnTop(w) >= client, spec.name);
        }
    }

    void coloursShowWhenDrawn_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QPoint>("at"); // inside the control, clear of caption and bevel
        QTest::addColumn<QColor>("colour");
        QTest::newRow("window") << "Form1" << QPoint(1, 1) << QColor(192, 192, 192);
        QTest::newRow("frame") << "Frame1" << QPoint(4, 40) << QColor(192, 192, 192);
        QTest::newRow("ON") << "Command17" << QPoint(4, 4) << QColor(192, 255, 192);
        QTest::newRow("OFF") << "Command18" << QPoint(3, 3) << QColor(255, 192, 192);
        QTest::newRow("input") << "Command27" << QPoint(3, 3) << QColor(192, 255, 255);
        QTest::newRow("SELECT") << "Command6" << QPoint(3, 3) << QColor(255, 128, 0);
        QTest::newRow("arrow") << "Command5" << QPoint(3, 3) << QColor(255, 224, 192);
        QTest::newRow("VOL +") << "Command1" << QPoint(3, 3) << QColor(255, 192, 128);
        QTest::newRow("A-IMAGE") << "Command13" << QPoint(3, 3) << QColor(0, 192, 192);
        QTest::newRow("IMAGE") << "Command30" << QPoint(3, 3) << QColor(192, 192, 255);
        QTest::newRow("END") << "Command16" << QPoint(3, 3) << QColor(192, 192, 192);
        QTest::newRow("query") << "Command55" << QPoint(3, 3) << QColor(192, 255, 255);
        QTest::newRow("SEND") << "Command95" << QPoint(3, 3) << QColor(192, 255, 192);
        QTest::newRow("C02") << "Command36" << QPoint(3, 3) << QColor(255, 192, 192);
        QTest::newRow("transmit line") << "Label11" << QPoint(3, 3) << QColor(255, 255, 255);
        QTest::newRow("status line") << "Label22" << QPoint(3, 3) << QColor(255, 255, 255);
        QTest::newRow("display line border") << "Label12" << QPoint(0, 0) << QColor(128, 128, 128);
        QTest::newRow("outline, first row") << "Line7" << QPoint(20, 0) << QColor(128, 128, 255);
        QTest::newRow("outline, second row") << "Line7" << QPoint(20, 1) << QColor(128, 128, 255);
        QTest::newRow("vertical outline") << "Line6" << QPoint(1, 20) << QColor(128, 128, 255);
    }

    void coloursShowWhenDrawn()
    {
        QFETCH(QString, control);
        QFETCH(QPoint, at);
        QFETCH(QColor, colour);
        PanelFixture f;
        f.openFullPanel();
        const QImage picture = f.window.grab().toImage();
        QWidget* w = control == QLatin1String("Form1") ? &f.window : f.window.control(qPrintable(control));
        const QPoint p = w->mapTo(&f.window, at) * picture.devicePixelRatio();
        QVERIFY2(nearColour(picture.pixel(p), colour),
            qPrintable(QStringLiteral("%1 at %2,%3 is %4")
                           .arg(control)
                           .arg(p.x())
                           .arg(p.y())
                           .arg(QColor(picture.pixel(p)).name())));
    }

    void statusLineTextIsRedAndTrafficLinesAreNot()
    {
        PanelFixture f;
        f.openFullPanel();
        f.replies().sendCode(QStringLiteral("CR0"));
        f.line.receive("00\r");
        const QImage picture = f.window.grab().toImage();
        const auto count = [&](const char* name, auto&& test) {
            QWidget* w = f.window.control(name);
            const QRect r(w->mapTo(&f.window, QPoint(0, 0)), w->size());
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    n += test(picture.pixel(x, y));
            return n;
        };
        const auto red = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80; };
        const auto dark = [](QRgb c) { return qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80; };
        QVERIFY(count("Label22", red) > 20);
        QVERIFY(count("Label11", dark) > 20);
        QCOMPARE(count("Label11", red), 0);
    }

    void coloursOfTheTitleAndTheButtons()
    {
        PanelFixture f(false);
        QCOMPARE(f.window.control("Label1")->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        QCOMPARE(f.window.control("Label22")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(f.window.control<PanelButton>("Command17")->textColour(), QColor(Qt::black));
        // "COM" has no colour of its own: the system's button face.
        QCOMPARE(f.window.control<PanelButton>("Command33")->backColour(),
            QGuiApplication::palette().color(QPalette::Button));
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
