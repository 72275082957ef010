#include "platform/Pasteboard.h"

#include "base/Utf8.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QStringList>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace velquine {

const std::string Pasteboard::stringType = "public.utf8-plain-text";
const std::string Pasteboard::rtfType = "public.rtf";
const std::string Pasteboard::urlType = "public.url";
const std::string Pasteboard::pngType = "public.png";
const std::string Pasteboard::tiffType = "public.tiff";
const std::string Pasteboard::pdfType = "com.adobe.pdf";

namespace {

QByteArray toQt(const Bytes& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

Bytes fromQt(const QByteArray& b)
{
    return Bytes(b.begin(), b.end());
}

// The standard types and the MIME formats they travel under; the first format of a type is the one
// written, every listed format is recognised when reading.
struct MimeName {
    const std::string* type;
    const char* format;
};
const MimeName mimeNames[] = {
    {&Pasteboard::stringType, "text/plain"},   {&Pasteboard::rtfType, "text/rtf"},
    {&Pasteboard::rtfType, "application/rtf"}, {&Pasteboard::urlType, "text/uri-list"},
    {&Pasteboard::pngType, "image/png"},       {&Pasteboard::tiffType, "image/tiff"},
    {&Pasteboard::pdfType, "application/pdf"},
};

QString formatForType(const std::string& type)
{
    for (const MimeName& m : mimeNames) {
        if (*m.type == type)
            return QString::fromLatin1(m.format);
    }
    return QString::fromUtf8(type.data(), static_cast<qsizetype>(type.size()));
}

std::string typeForFormat(const QString& format)
{
    // "text/plain;charset=utf-8" and the like name the same type as their bare form.
    const QString bare = format.section(QLatin1Char(';'), 0, 0).trimmed();
    for (const MimeName& m : mimeNames) {
        if (bare == QLatin1String(m.format))
            return *m.type;
    }
    const QByteArray utf8 = format.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// The system clipboard. What this program wrote is kept in items_ (which also holds declared types
// without data); as long as the clipboard still holds the QMimeData made from it, reads come from items_.
// Once another program (or any other code) has replaced the clipboard's content, reads come from that.
class GeneralPasteboard final : public Pasteboard {
public:
    void declareTypes(const std::vector<std::string>& types) override
    {
        Pasteboard::declareTypes(types);
        publish();
    }

    void clearContents() override
    {
        Pasteboard::clearContents();
        publish();
    }

    bool setData(const Bytes& data, const std::string& type) override
    {
        if (foreign())
            items_.clear(); // writing takes the clipboard over
        if (!Pasteboard::setData(data, type))
            return false;
        publish();
        return true;
    }

    std::optional<Bytes> data(const std::string& type) const override
    {
        const QMimeData* mime = foreign();
        if (!mime)
            return Pasteboard::data(type);
        if (type == stringType) {
            if (!mime->hasText())
                return std::nullopt;
            return fromQt(mime->text().toUtf8());
        }
        for (const QString& format : mime->formats()) {
            if (typeForFormat(format) == type)
                return fromQt(mime->data(format));
        }
        if (type == pngType)
            return anyPicture(*mime);
        return std::nullopt;
    }

    std::vector<std::string> types() const override
    {
        const QMimeData* mime = foreign();
        if (!mime)
            return Pasteboard::types();
        std::vector<std::string> result;
        auto add = [&result](const std::string& t) {
            if (std::find(result.begin(), result.end(), t) == result.end())
                result.push_back(t);
        };
        for (const QString& format : mime->formats())
            add(typeForFormat(format));
        if (mime->hasText())
            add(stringType);
        if (mime->hasImage())
            add(pngType);
        return result;
    }

private:
    // A picture of another format comes as its bytes, which the picture reader decodes (never this process); one
    // held as pixels (no bytes of a format) is written as PNG.
    static std::optional<Bytes> anyPicture(const QMimeData& mime)
    {
        for (const QString& format : mime.formats())
            if (format.startsWith(QLatin1String("image/")))
                return fromQt(mime.data(format));
        if (!mime.hasImage())
            return std::nullopt;
        const QImage image = qvariant_cast<QImage>(mime.imageData());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (image.isNull() || !image.save(&buffer, "PNG"))
            return std::nullopt;
        return fromQt(png);
    }

    static QClipboard* clipboard()
    {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    }

    // The clipboard's content when it is not what this pasteboard last published; null otherwise.
    const QMimeData* foreign() const
    {
        QClipboard* cb = clipboard();
        if (!cb)
            return nullptr;
        const QMimeData* current = cb->mimeData(QClipboard::Clipboard);
        if (!current || (published_ && current == published_.data()))
            return nullptr;
        return current;
    }

    void publish()
    {
        QClipboard* cb = clipboard();
        if (!cb)
            return;
        auto* mime = new QMimeData;
        for (const Item& item : items_) {
            if (item.data)
                mime->setData(formatForType(item.type), toQt(*item.data));
        }
        published_ = mime;
        cb->setMimeData(mime, QClipboard::Clipboard); // the clipboard owns it from here
    }

    QPointer<QMimeData> published_;
};

std::mutex namedMutex;

} // namespace

// ---------------------------------------------------------------------------------------------------------
// In-process pasteboard

void Pasteboard::declareTypes(const std::vector<std::string>& types)
{
    items_.clear();
    for (const std::string& t : types) {
        if (t.empty())
            continue;
        if (std::none_of(items_.begin(), items_.end(), [&t](const Item& i) { return i.type == t; }))
            items_.push_back(Item{t, std::nullopt});
    }
}

void Pasteboard::clearContents()
{
    items_.clear();
}

bool Pasteboard::setData(const Bytes& data, const std::string& type)
{
    if (type.empty())
        return false;
    auto it = std::find_if(items_.begin(), items_.end(), [&type](const Item& i) { return i.type == type; });
    if (it != items_.end())
        it->data = data;
    else
        items_.push_back(Item{type, data});
    return true;
}

bool Pasteboard::setString(const std::string& text, const std::string& type)
{
    return setData(Bytes(text.begin(), text.end()), type);
}

std::optional<Bytes> Pasteboard::data(const std::string& type) const
{
    auto it = std::find_if(items_.begin(), items_.end(), [&type](const Item& i) { return i.type == type; });
    if (it == items_.end())
        return std::nullopt;
    return it->data;
}

std::optional<std::string> Pasteboard::string(const std::string& type) const
{
    const std::optional<Bytes> bytes = data(type);
    if (!bytes || !isValidUtf8(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())))
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::vector<std::string> Pasteboard::types() const
{
    std::vector<std::string> result;
    result.reserve(items_.size());
    for (const Item& i : items_)
        result.push_back(i.type);
    return result;
}

std::optional<std::string> Pasteboard::availableType(const std::vector<std::string>& wanted) const
{
    const std::vector<std::string> offered = types();
    for (const std::string& t : wanted) {
        if (std::find(offered.begin(), offered.end(), t) != offered.end())
            return t;
    }
    return std::nullopt;
}

Pasteboard& Pasteboard::general()
{
    static GeneralPasteboard* board = new GeneralPasteboard; // lives as long as the process
    return *board;
}

Pasteboard& Pasteboard::withName(const std::string& name)
{
    std::lock_guard lock(namedMutex);
    static auto* boards = new std::map<std::string, std::unique_ptr<Pasteboard>>;
    std::unique_ptr<Pasteboard>& slot = (*boards)[name];
    if (!slot)
        slot = std::make_unique<Pasteboard>();
    return *slot;
}

} // namespace velquine
