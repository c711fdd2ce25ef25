// Found first on the include path of the engine, the panel's model and the
// programs without a window, in place of Qt's own header: every header of
// Qt Widgets and Qt Gui includes this one, so such a source that includes
// any of them stops here.
#error "The engine and the panel's model link no Qt GUI module (Qt Core, Serial Port and Network only): widgets and GUI code belong in src/window."
