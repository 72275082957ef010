#include "platform/UrlOpener.h"

#include <QDesktopServices>

namespace velquine {

namespace {
UrlOpener::Handler& currentHandler()
{
    static UrlOpener::Handler handler;
    return handler;
}
} // namespace

bool UrlOpener::open(const QUrl& url)
{
    if (const Handler& handler = currentHandler())
        return handler(url);
    return QDesktopServices::openUrl(url);
}

UrlOpener::Handler UrlOpener::setHandler(Handler handler)
{
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

UrlOpenerCapture::UrlOpenerCapture()
    : previous_(UrlOpener::setHandler([this](const QUrl& url) {
          urls_.push_back(url);
          return true;
      }))
{
}

UrlOpenerCapture::~UrlOpenerCapture()
{
    UrlOpener::setHandler(std::move(previous_));
}

} // namespace velquine
