// Found first on the engine's include path, in place of Qt's own header:
// every header of Qt Widgets and Qt Gui includes this one, so an engine
// source that includes any of them stops here.
#error "The engine links no Qt GUI module (Qt Core, Serial Port and Network only): widgets and GUI code belong in src/window."
