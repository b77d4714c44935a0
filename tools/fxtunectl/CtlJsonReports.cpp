#include "CtlJsonReports.h"

#include "CtlOutput.h"
#include "CtlSession.h"
#include "ImageJson.h"

#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/MachineModes.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/ValueRanges.h"

#include <cmath>
#include <cstdio>
#include <string>

CtlResult PrintInfoJson(CtlSession& session) {
    fx::ParamStore& store = session.Store();
    CtlResult result = session.ReadAll(false);
    if (!result.ok()) return result;
    const bool compatible = IsCompatible();
    std::string identity = IdentityJson(store);
    identity.pop_back(); // the closing brace: the mode joins the object
    identity +=
        ",\"currentMode\":" +
        (compatible ? std::to_string(store.CurrentMode().load() + 1) : std::string("null")) + "}\n";
    std::fputs(identity.c_str(), CtlStdout());
    return session.CheckCompatible();
}

CtlResult PrintGetJson(CtlSession& session, int block, int parameter, int language) {
    fx::ParamStore& store = session.Store();
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    std::string out =
        "{\"block\":" + std::to_string(block) + ",\"parameter\":" + std::to_string(parameter);
    // The value as set takes it back (a JSON number in every case it prints).
    const double held = GetDspParam(block, parameter);
    const std::string value =
        std::isfinite(held) ? fx::DspValueText(block, parameter, held) : std::string("null");
    if (const fx::ParamItem* item = fx::FindDspParamItem(block, parameter)) {
        const fx::ParamValue shown = fx::ReadParamValue(*item, store.Image(), language);
        out += ",\"name\":" + JsonString(item->Name(language)) + ",\"value\":" + value +
               ",\"text\":" + JsonString(shown.text) + ",\"unit\":" + JsonString(shown.unit);
    } else {
        out += ",\"value\":" + value;
    }
    std::fputs((out + "}\n").c_str(), CtlStdout());
    return CtlResult::Ok();
}
