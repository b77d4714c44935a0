#include "service/OpenApi.h"

#include <nlohmann/json.hpp>

namespace fx {

namespace {

using nlohmann::json;

json Ref(const char* name) {
    return {{"$ref", std::string("#/components/schemas/") + name}};
}

json Answers(const char* success) {
    json answers = {
        {"200", {{"description", success}}},
        {"400", {{"description", "bad value or body; nothing was sent"}}},
        {"401", {{"description", "a token is needed"}}},
        {"403", {{"description", "a write token is needed"}}},
        {"404", {{"description", "unknown processor, level or parameter"}}},
        {"413", {{"description", "body over 64 KiB"}}},
        {"503", {{"description", "the processor is not connected"}}},
        {"504", {{"description", "sent, but the processor did not confirm it"}}},
    };
    for (const char* code : {"400", "401", "403", "404", "413", "503", "504"})
        answers[code]["content"] = {{"application/json", {{"schema", Ref("Error")}}}};
    return answers;
}

json Change(const char* summary, json body) {
    json operation = {{"summary", summary}, {"responses", Answers("confirmed by the processor")}};
    operation["responses"]["200"]["content"] = {
        {"application/json", {{"schema", Ref("Processor")}}}};
    operation["requestBody"] = {{"required", true},
                                {"content", {{"application/json", {{"schema", body}}}}}};
    return operation;
}

json Value(json schema) {
    return {{"type", "object"},
            {"required", {"value"}},
            {"additionalProperties", false},
            {"properties", {{"value", schema}}}};
}

json Whole(int low, int high) {
    return {{"type", "integer"}, {"minimum", low}, {"maximum", high}};
}

json Parameter(const char* name, json schema) {
    return {{"name", name}, {"in", "path"}, {"required", true}, {"schema", schema}};
}

json Paths() {
    const json name = Parameter("name", {{"type", "string"}, {"pattern", "^[A-Za-z0-9_-]{1,32}$"}});
    json paths;
    paths["/session"]["get"] = {{"summary", "whether tokens are needed and what this one allows"},
                                {"responses", Answers("the session")}};
    paths["/processors"]["get"] = {
        {"summary", "every processor"},
        {"responses",
         {{"200",
           {{"description", "the processors by name"},
            {"content",
             {{"application/json",
               {{"schema",
                 {{"type", "object"},
                  {"properties",
                   {{"processors", {{"type", "array"}, {"items", Ref("Processor")}}}}}}}}}}}}}}}};
    paths["/processors/{name}"]["parameters"] = {name};
    paths["/processors/{name}"]["get"] = {{"summary", "one processor and its master controls"},
                                          {"responses", Answers("the processor")}};
    paths["/processors/{name}/levels/{level}"]["parameters"] = {
        name, Parameter("level", {{"type", "string"},
                                  {"enum", {"mic", "effect", "reverb", "echo", "music"}}})};
    paths["/processors/{name}/levels/{level}"]["put"] =
        Change("a master level and/or its mute",
               {{"type", "object"},
                {"additionalProperties", false},
                {"properties", {{"value", Whole(0, 99)}, {"muted", {{"type", "boolean"}}}}}});
    paths["/processors/{name}/pitch"]["parameters"] = {name};
    paths["/processors/{name}/pitch"]["put"] = Change("the music pitch", Value(Whole(-5, 5)));
    paths["/processors/{name}/noise-gate"]["parameters"] = {name};
    paths["/processors/{name}/noise-gate"]["put"] =
        Change("the music noise gate", Value(Whole(0, 100)));
    paths["/processors/{name}/source"]["parameters"] = {name};
    paths["/processors/{name}/source"]["put"] =
        Change("the music source, by index or by the name the model gives it",
               Value({{"oneOf", {Whole(0, 13), {{"type", "string"}}}}}));
    paths["/processors/{name}/mode"]["parameters"] = {name};
    paths["/processors/{name}/mode"]["post"] =
        Change("recall (load) or store a machine mode",
               {{"type", "object"},
                {"additionalProperties", false},
                {"properties", {{"load", Whole(1, 4)}, {"store", Whole(1, 4)}}}});
    const json dsp = {name, Parameter("block", Whole(0, 255)), Parameter("param", Whole(0, 255))};
    paths["/processors/{name}/dsp/{block}/{param}"]["parameters"] = dsp;
    paths["/processors/{name}/dsp/{block}/{param}"]["get"] = {
        {"summary", "a DSP parameter, in the unit fxtunectl set takes"},
        {"responses", Answers("the value")}};
    paths["/processors/{name}/dsp/{block}/{param}"]["put"] =
        Change("a DSP parameter, within its page's range", Value({{"type", "number"}}));
    paths["/processors/{name}/eq/{set}/{band}"]["parameters"] = {
        name, Parameter("set", Whole(0, 15)), Parameter("band", Whole(1, 99))};
    paths["/processors/{name}/eq/{set}/{band}"]["put"] =
        Change("an equaliser band",
               {{"type", "object"},
                {"additionalProperties", false},
                {"required", {"type", "frequency", "gain", "q"}},
                {"properties",
                 {{"type",
                   {{"oneOf",
                     {Whole(0, 5),
                      {{"type", "string"}, {"enum", {"OFF", "PEQ", "LP", "HP", "LS", "HS"}}}}}}},
                  {"frequency", {{"type", "number"}, {"minimum", 20}, {"maximum", 20000}}},
                  {"gain", {{"type", "number"}, {"minimum", -15}, {"maximum", 15}}},
                  {"q", {{"type", "number"}, {"minimum", 0.1}, {"maximum", 30}}}}}});
    paths["/processors/{name}/image"]["parameters"] = {name};
    paths["/processors/{name}/image"]["get"] = {
        {"summary", "the parameter image as JSON, as fxtunectl dump prints it"},
        {"responses", Answers("the image")}};
    paths["/processors/{name}/preset"]["parameters"] = {name};
    paths["/processors/{name}/preset"]["get"] = {
        {"summary", "the processor's memory as a mode file (3410 bytes)"},
        {"responses", Answers("the mode file")}};
    paths["/processors/{name}/preset"]["put"] = {
        {"summary", "write a mode file to the processor; refused whole unless valid"},
        {"requestBody",
         {{"required", true},
          {"content",
           {{"application/octet-stream",
             {{"schema", {{"type", "string"}, {"format", "binary"}}}}}}}}},
        {"responses", Answers("written and confirmed")}};
    paths["/processors/{name}/history"]["parameters"] = {name};
    paths["/processors/{name}/history"]["get"] = {
        {"summary", "the snapshots of the processor's memory, oldest first, each with who made it "
                    "and its changes in words"},
        {"parameters",
         {{{"name", "since"},
           {"in", "query"},
           {"schema", {{"type", "string"}}},
           {"description", "milliseconds since 1970 or YYYY-MM-DDTHH:MM:SSZ"}},
          {{"name", "limit"}, {"in", "query"}, {"schema", Whole(1, 10000)}}}},
        {"responses", Answers("the snapshots")}};
    paths["/processors/{name}/history"]["post"] = {{"summary", "take a snapshot now"},
                                                   {"responses", Answers("queued")}};
    const json snapshot = {name, Parameter("id", {{"type", "integer"}, {"minimum", 1}})};
    paths["/processors/{name}/history/{id}"]["parameters"] = snapshot;
    paths["/processors/{name}/history/{id}"]["get"] = {
        {"summary", "one snapshot with its changes in words"},
        {"responses", Answers("the snapshot")}};
    paths["/processors/{name}/history/{id}/preset"]["parameters"] = snapshot;
    paths["/processors/{name}/history/{id}/preset"]["get"] = {
        {"summary", "the mode file of that moment"}, {"responses", Answers("the mode file")}};
    paths["/processors/{name}/history/{id}/restore"]["parameters"] = snapshot;
    paths["/processors/{name}/history/{id}/restore"]["post"] = {
        {"summary", "write that moment's memory back (one confirmed write; a snapshot itself)"},
        {"responses", Answers("written and confirmed")}};
    paths["/processors/{name}/approved"]["parameters"] = {name};
    paths["/processors/{name}/approved"]["get"] = {{"summary", "the approved preset"},
                                                   {"responses", Answers("when and from what")}};
    paths["/processors/{name}/approved"]["put"] = {
        {"summary", "approve a snapshot ({\"snapshot\":ID}) or an uploaded mode file"},
        {"responses", Answers("approved")}};
    paths["/processors/{name}/approved"]["delete"] = {{"summary", "no approved preset"},
                                                      {"responses", Answers("cleared")}};
    paths["/processors/{name}/approved/restore"]["parameters"] = {name};
    paths["/processors/{name}/approved/restore"]["post"] = {
        {"summary", "write the approved preset back (one confirmed write; a snapshot itself)"},
        {"responses", Answers("written and confirmed")}};
    paths["/processors/{name}/drift"]["parameters"] = {name};
    paths["/processors/{name}/drift"]["get"] = {
        {"summary", "the parameters that differ from the approved preset, in words"},
        {"responses", Answers("the drift")}};
    paths["/events"]["get"] = {
        {"summary", "WebSocket: one message per event of any processor; with tokens, send "
                    "{\"token\":\"...\"} first (or the Authorization header)"},
        {"responses", {{"101", {{"description", "switching to the WebSocket protocol"}}}}}};
    return paths;
}

json Schemas() {
    const json level = {
        {"type", "object"},
        {"properties", {{"value", Whole(0, 99)}, {"muted", {{"type", "boolean"}}}}}};
    json levels = {{"type", "object"}, {"properties", json::object()}};
    for (const char* id : {"mic", "effect", "reverb", "echo", "music"})
        levels["properties"][id] = level;
    const json source = {{"type", "object"},
                         {"properties", {{"index", Whole(0, 13)}, {"name", {{"type", "string"}}}}}};
    return {
        {"Error",
         {{"type", "object"},
          {"required", {"error"}},
          {"properties", {{"error", {{"type", "string"}}}, {"field", {{"type", "string"}}}}}}},
        {"Processor",
         {{"type", "object"},
          {"properties",
           {{"name", {{"type", "string"}}},
            {"address", {{"type", "string"}}},
            {"connected", {{"type", "boolean"}}},
            {"offlineReason", {{"type", "string"}}},
            {"mode", Whole(0, 4)},
            {"model", {{"type", "string"}}},
            {"versions", {{"type", "object"}}},
            {"levels", levels},
            {"pitch", Whole(-5, 5)},
            {"noiseGate", Whole(0, 100)},
            {"source", source},
            {"sources", {{"type", "array"}, {"items", source}}},
            {"drift",
             {{"type", "object"},
              {"nullable", true},
              {"properties",
               {{"count", {{"type", "integer"}}},
                {"parameters", {{"type", "array"}, {"items", {{"type", "string"}}}}}}}}}}}}},
    };
}

} // namespace

const std::string& OpenApiDocument() {
    static const std::string document = json{
        {"openapi", "3.0.3"},
        {"info", {{"title", "fxtuned"}, {"version", "1"}}},
        {"servers", {{{"url", "/api/v1"}}}},
        {"components",
         {{"schemas", Schemas()},
          {"securitySchemes", {{"token", {{"type", "http"}, {"scheme", "bearer"}}}}}}},
        {"security", {{{"token", json::array()}}}},
        {"paths", Paths()}}.dump(1);
    return document;
}

} // namespace fx
