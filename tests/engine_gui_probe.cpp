// Compiled as a source of the engine, and of the panel's model, by the tests
// engine_refuses_widgets and panel_refuses_widgets, which expect the
// compilation to stop at the first include.
#include <QtWidgets/QWidget>
