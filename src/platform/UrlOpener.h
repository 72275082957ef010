#pragma once

// Opening a URL with the desktop's handler (browser, mail program), behind a seam tests replace.

#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

namespace velquine {

class UrlOpener {
public:
    using Handler = std::function<bool(const QUrl&)>;
    // Told when no program took the address: at once, or later when the desktop's opener ended in failure
    // (no browser or mail program set up). The reason is the opener's own words, or empty.
    using FailureHandler = std::function<void(const QString& reason)>;

    // Hands url to the handler (the desktop's, unless replaced); returns what the handler answers. A
    // failure, also one found out later, is told to failed when given.
    static bool open(const QUrl& url, FailureHandler failed = {});
    // Replaces the handler and returns the previous one; an empty handler restores the desktop's.
    static Handler setHandler(Handler handler);
};

// Records the URLs opened during its lifetime instead of opening them (tests).
class UrlOpenerCapture {
public:
    UrlOpenerCapture();
    ~UrlOpenerCapture();
    UrlOpenerCapture(const UrlOpenerCapture&) = delete;
    UrlOpenerCapture& operator=(const UrlOpenerCapture&) = delete;

    const std::vector<QUrl>& urls() const { return urls_; }

private:
    std::vector<QUrl> urls_;
    UrlOpener::Handler previous_;
};

} // namespace velquine
