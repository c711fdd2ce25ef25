#include "window/Accessibility.h"

#include "window/Controls.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace orva {

namespace {

// A display line: static text whose name says which line it is and whose
// value is the text it shows, which changes with the traffic. The name comes
// from here, not from the label's accessible name: a label that has one no
// longer tells screen readers that its text changed.
class DisplayLineInterface : public QAccessibleWidget
{
public:
    explicit DisplayLineInterface(DisplayLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<const DisplayLabel*>(widget())->text();
        QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            own = accessibleNameOf(widget()->objectName(), QString());
        return t == QAccessible::Name && own.isEmpty() ? static_cast<const DisplayLabel*>(widget())->text() : own;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
};

QAccessibleInterface* panelInterface(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    const auto is = [&className](const QMetaObject& meta) { return className == QLatin1String(meta.className()); };
    if (is(FrameBox::staticMetaObject))
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    if (is(DisplayLabel::staticMetaObject))
        return new DisplayLineInterface(static_cast<DisplayLabel*>(widget));
    if (is(OutlineLine::staticMetaObject))
        return new QAccessibleWidget(widget, QAccessible::Separator);
    if (is(LogoImage::staticMetaObject))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(panelInterface);
        return true;
    }();
    (void)installed;
}

} // namespace orva
