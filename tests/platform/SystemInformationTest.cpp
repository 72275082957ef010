#include "platform/SystemInformation.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrl>

#include "platform/UrlOpener.h"

#include <fstream>
#include <vector>

using namespace velquine;

TEST(SystemInformation, BundleValuesAreTextOrUnknown)
{
    const Bundle& bundle = Bundle::main();
    EXPECT_EQ(bundle.appName(), "Velquine");
    EXPECT_NE(bundle.appVersion(), "UNKNOWN");
    EXPECT_NE(bundle.appBuild(), "UNKNOWN");
    EXPECT_EQ(bundle.buildDate().size(), 10u); // yyyy-mm-dd

    const Bundle odd(Bundle::InfoDictionary{{"CFBundleVersion", std::int64_t{42}}, {"CFBundleName", std::string("X")}});
    EXPECT_EQ(odd.appBuild(), "UNKNOWN"); // a number is no text
    EXPECT_EQ(odd.appName(), "X");
    EXPECT_EQ(odd.buildDate(), "UNKNOWN");
    EXPECT_EQ(Bundle(std::nullopt).appVersion(), "UNKNOWN");
}

TEST(SystemInformation, VersionsHaveThreeNumbersAndTheModelComesFromTheFirmwareName)
{
    EXPECT_EQ(versionStringOfThreeNumbers("14.0"), "14.0.0");
    EXPECT_EQ(versionStringOfThreeNumbers("12"), "12.0.0");
    EXPECT_EQ(versionStringOfThreeNumbers("22.04.3"), "22.4.3");
    EXPECT_EQ(versionStringOfThreeNumbers("unknown"), "0.0.0");
    const std::string running = macOSVersionString();
    EXPECT_EQ(running, versionStringOfThreeNumbers(running));
    EXPECT_FALSE(operatingSystemVersionString().empty());

    QTemporaryDir dir;
    const auto write = [&](const char* name, const std::string& bytes) {
        const std::string path = dir.filePath(name).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    };
    EXPECT_EQ(macModelIdentifier(write("good", "ThinkPad X1 Carbon\n")), "ThinkPad X1 Carbon");
    EXPECT_EQ(macModelIdentifier(write("blank", " \n")), std::nullopt);
    EXPECT_EQ(macModelIdentifier(write("binary", "\xff\xfe")), std::nullopt);
    EXPECT_EQ(macModelIdentifier(dir.filePath("missing").toStdString()), std::nullopt);
}

TEST(SystemInformation, MailPartsCannotAddHeaderFields)
{
    const std::string url = mailtoURLString("help@kelvarn.io", "Hi & bye", "a=b+c?d#e\nf g");
    EXPECT_EQ(url, "mailto:help@kelvarn.io?subject=Hi%20%26%20bye&body=a%3Db%2Bc%3Fd%23e%0Af%20g");
    EXPECT_EQ(mailtoURLString("x", "&cc=evil@example.com", ""), "mailto:x?subject=%26cc%3Devil@example.com&body=");
    EXPECT_EQ(percentEncodedMailPart("Grüße (1/2), ok!"), "Gr%C3%BC%C3%9Fe%20(1/2),%20ok!");

    const std::string bad = "\xc3";
    const auto errorOf = [](auto call) {
        try {
            call();
        } catch (const EmailCompositionFailure& failure) {
            return failure.error;
        }
        ADD_FAILURE() << "no error";
        return EmailCompositionError::toEncodeError;
    };
    EXPECT_EQ(errorOf([&] { mailtoURLString(bad, bad, "b"); }), EmailCompositionError::subjectEncodeError);
    EXPECT_EQ(errorOf([&] { mailtoURLString(bad, "s", bad); }), EmailCompositionError::bodyEncodeError);
    EXPECT_EQ(errorOf([&] { mailtoURLString(bad, "s", "b"); }), EmailCompositionError::toEncodeError);
}

TEST(SystemInformation, AddressesGoToTheOpenerAndInvalidOnesAreDropped)
{
    UrlOpenerCapture capture;
    openURLString("https://kelvarn.io/velquine/manual");
    openURLString("not a url at all");
    openURLString("http://exa mple.com");
    composeEmail("help@kelvarn.io", "S", "one\ntwo");
    std::vector<std::string> opened;
    for (const QUrl& url : capture.urls())
        opened.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    EXPECT_EQ(opened, (std::vector<std::string>{"https://kelvarn.io/velquine/manual",
                                                "mailto:help@kelvarn.io?subject=S&body=one%0Atwo"}));
}

TEST(SystemInformation, IdleCoresAreThoseNoOtherThreadWaitsFor)
{
    QTemporaryDir dir;
    const std::string load = dir.filePath("loadavg").toStdString();
    const auto idleWith = [&load](const char* text) {
        std::ofstream(load) << text;
        return idleCoreCount(load);
    };
    const int usable = usableCoreCount();
    // Only the calling thread runs: every core is free; each other runnable thread takes one, down to one.
    EXPECT_EQ(idleWith("0.10 0.20 0.30 1/400 4242\n"), usable);
    EXPECT_EQ(idleWith("0.10 0.20 0.30 2/400 4242\n"), std::max(1, usable - 1));
    EXPECT_EQ(idleWith("9.00 8.00 7.00 40/400 4242\n"), 1);
    // Unreadable: all usable ones.
    EXPECT_EQ(idleWith("garbage"), usable);
    EXPECT_EQ(idleCoreCount(dir.filePath("missing").toStdString()), usable);
}
