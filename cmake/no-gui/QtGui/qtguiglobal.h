// Found first on the engine's include path, in place of Qt's own header:
// every header of Qt Widgets and Qt Gui includes this one, so an engine
// source that includes any of them stops here.
#error "The engine links Qt Core and Qt Serial Port only: widgets and GUI code belong in src/window."
