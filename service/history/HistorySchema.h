#pragma once

#include "service/history/HistoryConnection.h"
#include "service/history/HistoryTypes.h"

// The history's tables and the steps that bring a database of any earlier
// version up to this one. Version 1 kept every snapshot's whole image and
// one approved preset per processor; version 2 keeps chains of deltas
// (service/history/SnapshotArchive) and every approval ever made.
namespace fx {

class HistorySchema {
public:
    static constexpr int kVersion = 2;

    // Creates the tables in an empty database, or migrates an older one,
    // each step in a transaction of its own. A database of a later version
    // than this program knows is refused.
    static HistoryResult Migrate(HistoryConnection& connection, int fullImageInterval);
    // The version a database holds, 0 when it has no history tables.
    static HistoryReply<int> VersionOf(HistoryConnection& connection);

private:
    static HistoryResult Create(HistoryConnection& connection);
    static HistoryResult FromVersion1(HistoryConnection& connection, int fullImageInterval);
};

} // namespace fx
