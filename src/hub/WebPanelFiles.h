#pragma once

#include "hub/HttpMessage.h"

#include <QByteArrayView>

#include <optional>

namespace orva::hub {

// The web panel's files, the only files the HTTP door serves: the page
// ("/"), its script ("/panel.js", a module, and the modules it imports:
// "/words.js", "/token.js", "/events.js", "/card.js", "/fleet.js") and its styles
// ("/panel.css", "/fleet.css"), compiled into the program. Each is served under a Content-Security-Policy that lets
// the page run its own script and style only and talk to the hub alone.

// Whether the path is one of those above.
bool isWebPanelFile(QByteArrayView path);

// The answer for one of the paths above; none when this build lacks the
// file (or the path is none of them).
std::optional<HttpResponse> webPanelFile(QByteArrayView path);

} // namespace orva::hub
