#include "hub/WebPanelFiles.h"

#include <QFile>

#include <algorithm>
#include <iterator>

namespace orva::hub {

namespace {

struct PageFile
{
    const char* path;
    const char* resource;
    const char* contentType;
};
constexpr PageFile PageFiles[] = {
    {"/", ":/orva-hub/web/index.html", "text/html; charset=utf-8"},
    {"/panel.js", ":/orva-hub/web/panel.js", "text/javascript; charset=utf-8"},
    {"/panel.css", ":/orva-hub/web/panel.css", "text/css; charset=utf-8"},
    {"/fleet.css", ":/orva-hub/web/fleet.css", "text/css; charset=utf-8"},
    {"/words.js", ":/orva-hub/web/words.js", "text/javascript; charset=utf-8"},
    {"/token.js", ":/orva-hub/web/token.js", "text/javascript; charset=utf-8"},
    {"/events.js", ":/orva-hub/web/events.js", "text/javascript; charset=utf-8"},
    {"/card.js", ":/orva-hub/web/card.js", "text/javascript; charset=utf-8"},
    {"/fleet.js", ":/orva-hub/web/fleet.js", "text/javascript; charset=utf-8"},
};

constexpr char PagePolicy[] = "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                              "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

const PageFile* pageFile(QByteArrayView path)
{
    const auto file = std::find_if(
        std::begin(PageFiles), std::end(PageFiles), [path](const PageFile& page) { return path == page.path; });
    return file == std::end(PageFiles) ? nullptr : file;
}

} // namespace

bool isWebPanelFile(QByteArrayView path)
{
    return pageFile(path) != nullptr;
}

std::optional<HttpResponse> webPanelFile(QByteArrayView path)
{
    const PageFile* file = pageFile(path);
    if (!file)
        return std::nullopt;
    QFile page(QLatin1String(file->resource));
    if (!page.open(QIODevice::ReadOnly))
        return std::nullopt;
    HttpResponse response;
    response.headers = {{"Content-Type", file->contentType}, {"Cache-Control", "no-cache"},
        {"Content-Security-Policy", PagePolicy}, {"Referrer-Policy", "no-referrer"}};
    response.body = page.readAll();
    return response;
}

} // namespace orva::hub
