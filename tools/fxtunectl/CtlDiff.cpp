#include "CtlDiff.h"

#include "CtlOutput.h"
#include "CtlSession.h"
#include "ImageJson.h"

#include "modefile/ModeFile.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Image = std::vector<uint8_t>;

// The parameter image of a mode file, refused (status 5) as write refuses it.
CtlResult ReadModeImage(const std::string& path, Image& image) {
    const fx::ModeFileCheck file = fx::ReadModeFile(path);
    if (!file.ok) return CtlResult::Fail(kExitBadFile, file.message);
    image.assign(file.bytes.begin() + kModeFileHeaderSize, file.bytes.end());
    return CtlResult::Ok();
}

std::string ValueJson(const fx::ParamValue& value) {
    std::string out = "{\"text\":" + JsonString(value.text);
    if (value.band) {
        out += ",\"type\":" + std::to_string(value.band->type) +
               ",\"frequency\":" + JsonNumber(value.band->frequency) +
               ",\"gain\":" + JsonNumber(value.band->gain) + ",\"q\":" + JsonNumber(value.band->q);
    } else if (value.number) {
        out += ",\"value\":" + JsonNumber(*value.number) + ",\"unit\":" + JsonString(value.unit);
    }
    return out + "}";
}

std::string DiffJson(const std::vector<fx::ParamDifference>& differences, const std::string& a,
                     const std::string& b, int language) {
    std::string out = "{\"a\":" + JsonString(a) + ",\"b\":" + JsonString(b) +
                      ",\"equal\":" + (differences.empty() ? "true" : "false") +
                      ",\"differences\":[";
    bool first = true;
    for (const fx::ParamDifference& d : differences) {
        out += (first ? "\n " : ",\n ") + std::string("{\"name\":") +
               JsonString(fx::DifferenceName(d, language)) +
               ",\"offset\":" + std::to_string(d.offset) + ",\"a\":" + ValueJson(d.a) +
               ",\"b\":" + ValueJson(d.b) + "}";
        first = false;
    }
    return out + "]}\n";
}

// Prints the differences; exit 1 (without an error line) when there are any.
CtlResult Report(const CtlOptions& options, const Image& a, const uint8_t* b,
                 const std::string& bName) {
    const std::vector<fx::ParamDifference> differences =
        fx::DiffImages(a.data(), b, options.language);
    if (options.json) {
        std::fputs(DiffJson(differences, options.arguments[0], bName, options.language).c_str(),
                   CtlStdout());
    } else {
        for (const fx::ParamDifference& d : differences)
            std::fprintf(CtlStdout(), "%s\n", fx::DifferenceLine(d, options.language).c_str());
    }
    return differences.empty() ? CtlResult::Ok() : CtlResult::Fail(kExitFailed, "");
}

} // namespace

CtlResult CheckDiffArguments(const CtlOptions& options) {
    for (const std::string& path : options.arguments) {
        Image image;
        CtlResult result = ReadModeImage(path, image);
        if (!result.ok()) return result;
    }
    return CtlResult::Ok();
}

CtlResult RunFileDiff(const CtlOptions& options) {
    Image a, b;
    CtlResult result = ReadModeImage(options.arguments[0], a);
    if (result.ok()) result = ReadModeImage(options.arguments[1], b);
    if (!result.ok()) return result;
    return Report(options, a, b.data(), options.arguments[1]);
}

CtlResult RunDiff(CtlSession& session, const CtlOptions& options) {
    fx::ParamStore& store = session.Store();
    Image file;
    CtlResult result = ReadModeImage(options.arguments[0], file);
    if (!result.ok()) return result;
    result = session.ReadAll();
    if (!result.ok()) return result;
    const std::string processor =
        options.usb ? "usb" : options.host + ":" + std::to_string(options.port);
    return Report(options, file, store.Image(), processor);
}
