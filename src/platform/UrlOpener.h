#pragma once

// Opening a URL with the desktop's handler (browser, mail program), behind a seam tests replace.

#include <QUrl>

#include <functional>
#include <vector>

namespace velquine {

class UrlOpener {
public:
    using Handler = std::function<bool(const QUrl&)>;

    // Hands url to the handler (the desktop's, unless replaced); returns what the handler answers.
    static bool open(const QUrl& url);
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
