#pragma once

#include <string>
#include <vector>

// The sources that can feed the music input (block 4: parameter 23 selects
// one, parameter 24 + k is the input level of source k) and which of them
// each model's music-input dialog shows, under which name.

constexpr int kMusicSourceCount = 14;
constexpr int kMusicSourceBlock = 4;
constexpr int kMusicSourceParameter = 23;
constexpr int kMusicSourceFirstLevelParameter = 24;

// One source a dialog variant shows: its index 0..13 and its name there.
struct MusicSourceChoice {
    int source;
    const char* name;
};

// The sources of a music-input dialog variant (its dialog resource, as
// MusicInputDialogFor gives it), in the order the variant shows them. An
// unknown resource gets the full variant (all fourteen).
const std::vector<MusicSourceChoice>& MusicSourcesOf(int dialogResource);
// Of the connected model (g_Identity).
const std::vector<MusicSourceChoice>& MusicSourcesOfModel();

// The choice of a variant for a source index, nullptr when not offered.
const MusicSourceChoice* FindMusicSource(int dialogResource, int source);
// The choice of a variant whose name matches (ignoring case), nullptr when none.
const MusicSourceChoice* FindMusicSourceByName(int dialogResource, const std::string& name);
// True when some variant shows a source under this name (ignoring case).
bool IsMusicSourceName(const std::string& name);

// Source k as the connected model's dialog names it, or as the full dialog
// names it when the model does not offer it ("HDMI4"; "Android" on a model
// that shows source 3 so); empty outside 0..13. Every verb and page that
// names the selected source names it so.
std::string MusicSourceName(int source);
// Source k as the full dialog (all fourteen) names it; empty outside 0..13.
std::string FullMusicSourceName(int source);

// The DSP parameter of source k's input level.
inline int MusicSourceLevelParameter(int source) {
    return kMusicSourceFirstLevelParameter + source;
}
