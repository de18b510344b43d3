#pragma once
// The owning lists of the model root: microphone inputs, music inputs and
// output channels. Each list owns its records and forwards ClearPending.

#include <memory>
#include <vector>

#include "model/input_data.h"
#include "model/ktv_out_data.h"

template <class Record>
class CRecordList {
public:
    Record* Add(std::unique_ptr<Record> record) {
        m_records.push_back(std::move(record));
        return m_records.back().get();
    }
    int GetCount() const { return static_cast<int>(m_records.size()); }
    // The record at i, or null outside the list.
    Record* GetAt(int i) const {
        return i >= 0 && i < GetCount() ? m_records[static_cast<std::size_t>(i)].get() : nullptr;
    }
    void ClearPending() {
        for (auto& record : m_records)
            record->ClearPending();
    }

private:
    std::vector<std::unique_ptr<Record>> m_records;
};

using CMicList = CRecordList<CMIC_InData>;
using CMusicList = CRecordList<CMusic_InData>;
using COutputList = CRecordList<CKTV_OutData>;
