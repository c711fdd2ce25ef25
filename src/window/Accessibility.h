#pragma once

#include <QString>

namespace orva {

// How the window presents itself to screen readers and other assistive
// technology through QAccessible.
//
// Stock Qt widgets already describe themselves: the command buttons (push
// buttons underneath) are buttons with their pressed and checked state and a
// press action, the option buttons radio buttons, the text box editable
// text, the plain labels static text. The controls that paint themselves on
// a plain QFrame or QWidget would show up as a border or an anonymous client
// area; installAccessibleInterfaces() registers what they are:
//   FrameBox      grouping, named after what it groups
//   DisplayLabel  static text, named after the line, its text as the value
//                 (the label keeps no accessible name of its own, so that
//                 it still announces each change of its text)
//   OutlineLine   separator (drawing only)
//   LogoImage     graphic
// Safe to call more than once.
void installAccessibleInterfaces();

// The name a screen reader says for a control: what it does, in words, from
// its group and its caption ("POWER ON", "VOL +", "Cursor up", "Status").
// control is the control's name (Command17, Label22); caption matters only
// for the controls whose caption changes (Command34). Empty when the
// control's own text says it well enough (the title labels).
QString accessibleNameOf(const QString& control, const QString& caption);

} // namespace orva
