#include "platform/SystemInformation.h"

#include <QByteArray>
#include <QStringList>
#include <QSysInfo>
#include <QUrl>

#include <sched.h>

#include <algorithm>
#include <fstream>
#include <thread>
#include <sstream>

#include "platform/UrlOpener.h"
#include "base/Utf8.h"

#ifndef VELQUINE_APP_NAME
#define VELQUINE_APP_NAME "Velquine"
#endif
#ifndef VELQUINE_APP_VERSION
#define VELQUINE_APP_VERSION "0.0.0"
#endif
#ifndef VELQUINE_APP_BUILD
#define VELQUINE_APP_BUILD "0"
#endif

namespace velquine {

namespace {

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

const Bundle& Bundle::main()
{
    static const Bundle bundle(InfoDictionary{
        {"CFBundleName", std::string(VELQUINE_APP_NAME)},
        {"CFBundleShortVersionString", std::string(VELQUINE_APP_VERSION)},
        {"CFBundleVersion", std::string(VELQUINE_APP_BUILD)},
#ifdef VELQUINE_BUILD_DATE
        {"BuildDate", std::string(VELQUINE_BUILD_DATE)},
#endif
    });
    return bundle;
}

std::string Bundle::infoValue(const std::string& key) const
{
    if (info_) {
        const auto it = info_->find(key);
        if (it != info_->end())
            if (const std::string* text = std::get_if<std::string>(&it->second))
                return *text;
    }
    return "UNKNOWN";
}

std::optional<std::string> macModelIdentifier(const std::string& productNamePath)
{
    std::ifstream in(productNamePath, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string name = trimmed(bytes.str());
    if (name.empty() || !isValidUtf8(name))
        return std::nullopt;
    return name;
}

std::string versionStringOfThreeNumbers(const std::string& version)
{
    int numbers[3] = {0, 0, 0};
    const QStringList parts = QString::fromStdString(version).split(QLatin1Char('.'));
    for (int i = 0; i < 3 && i < parts.size(); ++i) {
        bool ok = false;
        const int value = parts[i].trimmed().toInt(&ok);
        if (!ok || value < 0)
            break;
        numbers[i] = value;
    }
    return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]);
}

std::string macOSVersionString()
{
    return versionStringOfThreeNumbers(QSysInfo::productVersion().toStdString());
}

int usableCoreCount()
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        return std::max(1, CPU_COUNT(&allowed));
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

int idleCoreCount(const std::string& loadPath)
{
    const int usable = usableCoreCount();
    // "0.52 0.58 0.59 3/467 12345": the fourth field is the runnable threads over all threads.
    std::ifstream load(loadPath);
    std::string averages[3], threads;
    if (!(load >> averages[0] >> averages[1] >> averages[2] >> threads))
        return usable;
    const std::size_t slash = threads.find('/');
    int runnable = 0;
    try {
        runnable = std::stoi(threads.substr(0, slash));
    } catch (const std::exception&) {
        return usable;
    }
    if (slash == std::string::npos || runnable < 1)
        return usable;
    return std::clamp(usable - (runnable - 1), 1, usable);
}

std::string operatingSystemName()
{
    return QSysInfo::prettyProductName().toStdString();
}

std::string operatingSystemVersionString()
{
    return (QSysInfo::prettyProductName() + QStringLiteral(" (") + QSysInfo::kernelType() + QLatin1Char(' ')
            + QSysInfo::kernelVersion() + QLatin1Char(')'))
        .toStdString();
}

void openURLString(const std::string& text, UrlOpener::FailureHandler failed)
{
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return;
    UrlOpener::open(url, std::move(failed));
}

EmailCompositionFailure::EmailCompositionFailure(EmailCompositionError error)
    : std::runtime_error(error == EmailCompositionError::subjectEncodeError ? "subjectEncodeError"
                         : error == EmailCompositionError::bodyEncodeError  ? "bodyEncodeError"
                                                                            : "toEncodeError"),
      error(error)
{
}

std::optional<std::string> percentEncodedMailPart(const std::string& text)
{
    if (!isValidUtf8(text))
        return std::nullopt;
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return bytes.toPercentEncoding(QByteArrayLiteral("!$'()*,;:@/")).toStdString();
}

std::string mailtoURLString(const std::string& to, const std::string& subject, const std::string& body)
{
    const std::optional<std::string> encodedSubject = percentEncodedMailPart(subject);
    if (!encodedSubject)
        throw EmailCompositionFailure(EmailCompositionError::subjectEncodeError);
    const std::optional<std::string> encodedBody = percentEncodedMailPart(body);
    if (!encodedBody)
        throw EmailCompositionFailure(EmailCompositionError::bodyEncodeError);
    const std::optional<std::string> encodedTo = percentEncodedMailPart(to);
    if (!encodedTo)
        throw EmailCompositionFailure(EmailCompositionError::toEncodeError);
    return "mailto:" + *encodedTo + "?subject=" + *encodedSubject + "&body=" + *encodedBody;
}

void composeEmail(const std::string& to, const std::string& subject, const std::string& body,
                  UrlOpener::FailureHandler failed)
{
    openURLString(mailtoURLString(to, subject, body), std::move(failed));
}

} // namespace velquine
