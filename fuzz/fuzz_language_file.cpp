// Arbitrary text through the language-file parser and its lookups.
#include "controls/Localisation.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CLanguageFile file = CLanguageFile::FromText(text);
    // An exact key, a key in other letter case (the slow path), and the
    // first key the text itself names.
    const QString first = text.section(QLatin1Char('='), 0, 0).trimmed();
    for (const QString& key :
         {QStringLiteral("IDD313_title"), QStringLiteral("idd385_1062"), first}) {
        if (file.Value(key).size() > 1000) __builtin_trap();
    }
    if (file.Size() < 0) __builtin_trap();
    return 0;
}
