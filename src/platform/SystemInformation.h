#pragma once

// What the program knows about itself and the machine it runs on, and the hand-over of web and mail
// addresses to the desktop: the program's name, version, build and build date; the operating system's
// version; the machine's model name; opening a web address; composing a mail in the user's mail program.

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

#include "platform/UrlOpener.h"

namespace velquine {

// The program's information dictionary: its name, versions and build date, fixed when it was built.
class Bundle {
public:
    using InfoValue = std::variant<std::string, std::int64_t, bool>;
    using InfoDictionary = std::map<std::string, InfoValue>;

    explicit Bundle(std::optional<InfoDictionary> info) : info_(std::move(info)) {}

    // The program's own bundle: "CFBundleName", "CFBundleShortVersionString", "CFBundleVersion", "BuildDate".
    static const Bundle& main();

    // The text stored under key; "UNKNOWN" when there is no dictionary, no such key or a value that is no text.
    std::string infoValue(const std::string& key) const;
    std::string appVersion() const { return infoValue("CFBundleShortVersionString"); }
    std::string appBuild() const { return infoValue("CFBundleVersion"); }
    std::string appName() const { return infoValue("CFBundleName"); }
    std::string buildDate() const { return infoValue("BuildDate"); }

private:
    std::optional<InfoDictionary> info_;
};

// The machine's model: the firmware's product name (the DMI "product_name" of the system), trimmed. Nothing
// when the file is missing or empty or its text is not UTF-8.
std::optional<std::string> macModelIdentifier(const std::string& productNamePath = "/sys/class/dmi/id/product_name");

// The operating system's version as three numbers, major.minor.patch ("12" reads "12.0.0"; none: "0.0.0").
std::string macOSVersionString();
std::string versionStringOfThreeNumbers(const std::string& version);
// The processor cores this process may run on (a machine may limit it below those it has); at least 1.
int usableCoreCount();
// Of those, the ones no other thread is running or waiting to run on now (by the system's count of runnable
// threads in loadPath, the calling thread not counted): what work split over threads can use without taking
// from other programs. At least 1; all usable ones when the count cannot be read.
int idleCoreCount(const std::string& loadPath = "/proc/loadavg");

// The operating system's name and version as the system itself gives them, e.g. "Debian GNU/Linux 12 (bookworm)".
std::string operatingSystemName();

// The operating system's own long description, e.g. "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)".
std::string operatingSystemVersionString();

// Opens the text as an address through UrlOpener; text that is no valid absolute address is dropped. When
// no program takes it, failed is told (possibly later).
void openURLString(const std::string& text, UrlOpener::FailureHandler failed = {});

enum class EmailCompositionError { subjectEncodeError, bodyEncodeError, toEncodeError };

class EmailCompositionFailure : public std::runtime_error {
public:
    explicit EmailCompositionFailure(EmailCompositionError error);
    EmailCompositionError error;
};

// Percent-encodes one part of a mailto address: everything but letters, digits and -._~!$'()*,;:@/ becomes
// %XX of its UTF-8 bytes, so "&", "=", "+", "?" and "#" cannot start another header field or end the part.
// Nothing when the text is not UTF-8.
std::optional<std::string> percentEncodedMailPart(const std::string& text);

// "mailto:" + to + "?subject=" + subject + "&body=" + body, each part encoded (subject, body, then to).
// Throws EmailCompositionFailure naming the first part that cannot be encoded.
std::string mailtoURLString(const std::string& to, const std::string& subject, const std::string& body);

// Opens mailtoURLString(...) in the user's mail program; nothing is sent by the program. When no mail
// program takes it, failed is told (possibly later).
void composeEmail(const std::string& to, const std::string& subject, const std::string& body,
                  UrlOpener::FailureHandler failed = {});

} // namespace velquine
