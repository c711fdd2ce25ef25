#pragma once

// The names of the window's controls that the code reaches by name: each is
// the objectName of its widget, a stable handle for tests and tools. The
// numbers carry no meaning beyond identity; ARCHITECTURE.md has a glossary.
// The command buttons are named in CommandButtons.h.
namespace orva::ControlId {

inline constexpr char Window[] = "Form1";
inline constexpr char Logo[] = "Image1";

// Port settings: the "COM" button, the frame it pops up and its options.
inline constexpr char PortSettingsButton[] = "Command33";
inline constexpr char SettingsFrame[] = "Frame8";
inline constexpr char Com1Option[] = "Option1";
inline constexpr char Com2Option[] = "Option2";
inline constexpr char Speed19200Option[] = "Option9";
inline constexpr char Speed9600Option[] = "Option10";

// The data band: the three display lines and the data toggle.
inline constexpr char TransmitLine[] = "Label11";
inline constexpr char ReceiveLine[] = "Label12";
inline constexpr char StatusLine[] = "Label22";
inline constexpr char DataToggle[] = "Command34";

// The free command line, its "SEND" and "CLS", and "END".
inline constexpr char CommandLine[] = "Text1";
inline constexpr char SendButton[] = "Command95";
inline constexpr char ClearButton[] = "Command96";
inline constexpr char EndButton[] = "Command16";

} // namespace orva::ControlId
