#include "platform/InstalledFonts.h"

#include <fontconfig/fontconfig.h>

namespace velquine {

namespace {

QString text(const FcChar8* value)
{
    return value ? QString::fromUtf8(reinterpret_cast<const char*>(value)) : QString();
}

int integer(FcPattern* font, const char* object, int fallback)
{
    int value = fallback;
    FcPatternGetInteger(font, object, 0, &value);
    return value;
}

} // namespace

const std::vector<InstalledFace>& installedFaceList()
{
    static const std::vector<InstalledFace> faces = [] {
        std::vector<InstalledFace> list;
        if (!FcInit())
            return list;
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FULLNAME, FC_POSTSCRIPT_NAME, FC_WEIGHT,
                                                FC_SLANT, FC_WIDTH, nullptr);
        FcFontSet* set = FcFontList(nullptr, pattern, objects);
        for (int i = 0; set && i < set->nfont; ++i) {
            FcPattern* font = set->fonts[i];
            FcChar8* value = nullptr;
            if (FcPatternGetString(font, FC_FAMILY, 0, &value) != FcResultMatch)
                continue;
            InstalledFace face;
            face.family = text(value);
            if (FcPatternGetString(font, FC_STYLE, 0, &value) == FcResultMatch)
                face.style = text(value);
            for (int n = 0; FcPatternGetString(font, FC_FULLNAME, n, &value) == FcResultMatch; ++n)
                face.fullNames.emplace_back(reinterpret_cast<const char*>(value));
            if (FcPatternGetString(font, FC_POSTSCRIPT_NAME, 0, &value) == FcResultMatch)
                face.postScriptName = reinterpret_cast<const char*>(value);
            face.weight = integer(font, FC_WEIGHT, FC_WEIGHT_REGULAR);
            face.slant = integer(font, FC_SLANT, FC_SLANT_ROMAN);
            face.width = integer(font, FC_WIDTH, FC_WIDTH_NORMAL);
            list.push_back(std::move(face));
        }
        if (set)
            FcFontSetDestroy(set);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        return list;
    }();
    return faces;
}

} // namespace velquine
