#pragma once

#include "service/history/HistoryConnection.h"
#include "service/history/HistoryTypes.h"

#include <map>
#include <set>
#include <string>

// The approved presets in the database. Every approval ever made stays; a
// processor's approved preset is its latest one unless that was cleared.
// Runs on the store's thread with its connection.
namespace fx {

class ApprovalArchive {
public:
    explicit ApprovalArchive(HistoryConnection& connection);

    // Each processor's approved preset now.
    HistoryReply<std::map<std::string, ApprovedPreset>> Current();
    HistoryResult Add(const ApprovedPreset& preset);
    // NotFound when the processor has no approved preset now.
    HistoryResult Clear(const std::string& processor, int64_t clearedMs);
    // The snapshots any approval came from, which the history keeps.
    HistoryReply<std::set<int64_t>> SourceSnapshots();

private:
    HistoryConnection& m_connection;
};

} // namespace fx
