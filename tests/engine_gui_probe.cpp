// Compiled as an engine source by the test engine_refuses_widgets, which
// expects the compilation to stop at the first include.
#include <QtWidgets/QWidget>
