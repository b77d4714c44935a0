#pragma once

#include "link/LinkOutbox.h"

#include <cstdint>
#include <mutex>
#include <vector>

// Stands where the link's outbox stands and records, in order, the records
// the senders hand to it: posted ones and those written at once. Installed
// while it lives.
class RecordingSink : public fx::IRecordSink {
public:
    using Bytes = std::vector<uint8_t>;
    struct Record {
        bool posted; // false: written at once, unpaced
        fx::RecordKind kind;
        Bytes bytes;
        bool operator==(const Record&) const = default;
    };

    RecordingSink() { fx::SetRecordSink(this); }
    ~RecordingSink() override { fx::SetRecordSink(nullptr); }
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    void Post(const uint8_t* record, int count) override {
        Add({true, fx::RecordKind::Command, Bytes(record, record + count)});
    }
    void WriteNow(fx::RecordKind kind, const uint8_t* bytes, int count) override {
        Add({false, kind, Bytes(bytes, bytes + count)});
    }

    std::vector<Record> Records() const {
        std::lock_guard lock(m_mutex);
        return m_records;
    }
    // The bytes of every record, posted or not.
    std::vector<Bytes> AllBytes() const {
        std::vector<Bytes> all;
        for (const Record& record : Records()) all.push_back(record.bytes);
        return all;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_records.clear();
    }

private:
    void Add(Record record) {
        std::lock_guard lock(m_mutex);
        m_records.push_back(std::move(record));
    }
    mutable std::mutex m_mutex;
    std::vector<Record> m_records;
};
