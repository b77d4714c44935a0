#include "state/MusicSources.h"

#include "state/DeviceIdentity.h"

#include <strings.h>

namespace {

struct Variant {
    int resource;
    std::vector<MusicSourceChoice> choices;
};

const std::vector<Variant>& Variants() {
    static const std::vector<Variant> variants = {
        {512,
         {{0, "HDMI1"},
          {1, "HDMI2"},
          {2, "HDMI3"},
          {3, "HDMI4"},
          {4, "HDMI5"},
          {5, "SPDIF1"},
          {6, "SPDIF2"},
          {7, "SPDIF3"},
          {8, "COAX1"},
          {9, "COAX2"},
          {10, "COAX3"},
          {11, "AUX1"},
          {12, "AUX2"},
          {13, "AUX3"}}},
        {527, {{3, "Android"}, {0, "HDMI1"}, {1, "HDMI2"}, {2, "HDMI3"}}},
        {528, {{5, "SPDIF"}, {8, "COAX"}, {11, "AUX"}}},
        {529, {{5, "SPDIF1"}, {6, "SPDIF2"}, {11, "AUX"}}},
        {530,
         {{3, "Android"},
          {0, "HDMI1"},
          {1, "HDMI2"},
          {2, "HDMI3"},
          {5, "SPDIF1"},
          {6, "SPDIF2"},
          {11, "AUX1"}}},
        {532,
         {{0, "Android"},
          {1, "HDMI1"},
          {2, "HDMI2"},
          {3, "HDMI3"},
          {5, "SPDIF1"},
          {6, "SPDIF2"},
          {11, "AUX1"}}},
        {534,
         {{0, "HDMI1"},
          {1, "HDMI2"},
          {2, "HDMI3"},
          {3, "HDMI4"},
          {5, "SPDIF1"},
          {6, "SPDIF2"},
          {11, "AUX1"}}},
    };
    return variants;
}

} // namespace

const std::vector<MusicSourceChoice>& MusicSourcesOf(int dialogResource) {
    for (const Variant& variant : Variants())
        if (variant.resource == dialogResource) return variant.choices;
    return Variants().front().choices;
}

const std::vector<MusicSourceChoice>& MusicSourcesOfModel() {
    return MusicSourcesOf(MusicInputDialogFor());
}

const MusicSourceChoice* FindMusicSource(int dialogResource, int source) {
    for (const MusicSourceChoice& choice : MusicSourcesOf(dialogResource))
        if (choice.source == source) return &choice;
    return nullptr;
}

const MusicSourceChoice* FindMusicSourceByName(int dialogResource, const std::string& name) {
    for (const MusicSourceChoice& choice : MusicSourcesOf(dialogResource))
        if (strcasecmp(choice.name, name.c_str()) == 0) return &choice;
    return nullptr;
}

bool IsMusicSourceName(const std::string& name) {
    for (const Variant& variant : Variants())
        if (FindMusicSourceByName(variant.resource, name)) return true;
    return false;
}

std::string FullMusicSourceName(int source) {
    const MusicSourceChoice* choice = FindMusicSource(kUnlistedMusicInputDialog, source);
    return choice ? choice->name : "";
}

std::string MusicSourceName(int source) {
    const MusicSourceChoice* choice = FindMusicSource(MusicInputDialogFor(), source);
    return choice ? choice->name : FullMusicSourceName(source);
}
