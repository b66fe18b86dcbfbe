#include "model/RecordSet.h"

#include <algorithm>
#include <new>

#include "model/Prompter.h"
#include "model/RecordKind.h"

namespace tessera {

// ---- CDataRecord ----

CDataRecord::CDataRecord(std::span<const FieldTag> tags) {
    m_fields.reserve(tags.size());
    for (FieldTag tag : tags)
        m_fields.push_back(CreateField(tag));
}

CDataRecord::CDataRecord(const std::vector<std::string>& tags) {
    m_fields.reserve(tags.size());
    for (const std::string& tag : tags)
        m_fields.push_back(CreateField(TagCodeOf(tag)));
}

CDataRecord::~CDataRecord() = default;

std::unique_ptr<CDataRecord> CDataRecord::Clone() const {
    try {
        std::unique_ptr<CDataRecord> copy(new CDataRecord());
        if (!copy->Assign(*this))
            return nullptr;
        return copy;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return nullptr;
    }
}

bool CDataRecord::Assign(const CDataRecord& other) {
    if (&other == this)
        return true;
    try {
        std::vector<std::unique_ptr<CField>> fields;
        fields.reserve(other.m_fields.size());
        for (const auto& field : other.m_fields) {
            if (!field) {
                ShowMessage(kMsgUnknownField, PromptIcon::Stop, PromptButtons::Ok);
                return false;
            }
            fields.push_back(field->Clone());
        }
        m_fields.swap(fields);
        return true;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

CField* CDataRecord::FieldAt(int index) {
    if (index < 0 || index >= FieldCount())
        return nullptr;
    return m_fields[static_cast<std::size_t>(index)].get();
}

const CField* CDataRecord::FieldAt(int index) const {
    if (index < 0 || index >= FieldCount())
        return nullptr;
    return m_fields[static_cast<std::size_t>(index)].get();
}

int CDataRecord::FindField(FieldTag tag) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] && m_fields[i]->Tag() == tag)
            return static_cast<int>(i);
    }
    return -1;
}

bool CDataRecord::ParseField(int index, std::string_view text, bool report) {
    if (index < 0 || index >= FieldCount())
        return false;
    CField* field = m_fields[static_cast<std::size_t>(index)].get();
    if (field != nullptr && field->ParseText(text))
        return true;
    if (report)
        ShowMessage(kMsgInvalidInput, PromptIcon::Warning, PromptButtons::Ok);
    throw CUserAbort();
}

bool CDataRecord::FormatField(int index, char* buffer, std::size_t capacity, bool display) const {
    const CField* field = FieldAt(index);
    if (field == nullptr) {
        if (buffer != nullptr && capacity > 0)
            buffer[0] = '\0';
        return false;
    }
    return field->FormatText(buffer, capacity, display);
}

bool CDataRecord::FormatField(int index, std::string& out, bool display,
                              std::size_t capacity) const {
    const CField* field = FieldAt(index);
    if (field == nullptr) {
        out.clear();
        return false;
    }
    return field->FormatText(out, display, capacity);
}

bool CDataRecord::SetFieldValue(FieldTag tag, const FieldValue& value) {
    const int index = FindField(tag);
    if (index < 0)
        return false;
    return m_fields[static_cast<std::size_t>(index)]->SetValue(value);
}

FieldValueRef CDataRecord::GetFieldValue(FieldTag tag) const {
    const int index = FindField(tag);
    if (index < 0)
        throw CUserAbort();
    return m_fields[static_cast<std::size_t>(index)]->GetValue();
}

void CDataRecord::ClearField(int index) {
    if (CField* field = FieldAt(index))
        field->Clear();
}

// ---- CRecordSet ----

CRecordSet::CRecordSet() = default;
CRecordSet::~CRecordSet() = default;

FieldTag CRecordSet::TagCodeAt(int index) const {
    if (index < 0 || index >= FieldCount())
        return 0;
    return m_tagCodes[static_cast<std::size_t>(index)];
}

int CRecordSet::FindTag(FieldTag tag) const {
    auto it = std::find(m_tagCodes.begin(), m_tagCodes.end(), tag);
    return it == m_tagCodes.end() ? -1 : static_cast<int>(it - m_tagCodes.begin());
}

void CRecordSet::SetTags(std::vector<std::string> tags) {
    m_tags = std::move(tags);
    m_tagCodes.clear();
    m_tagCodes.reserve(m_tags.size());
    for (const std::string& tag : m_tags)
        m_tagCodes.push_back(TagCodeOf(tag));
}

bool CRecordSet::SetKind(int kind) {
    std::vector<std::string> tags;
    std::vector<std::string> titles;
    if (!KindLayout(kind, tags, titles))
        return false;
    m_records.clear();
    SetTags(std::move(tags));
    m_titles = std::move(titles);
    m_kind = kind;
    return true;
}

bool CRecordSet::SetTagList(std::vector<std::string> tags) {
    if (!m_records.empty())
        return false;
    SetTags(std::move(tags));
    m_titles = TitlesForTags(m_tags);
    DeduceKind();
    return true;
}

bool CRecordSet::DeduceKind() {
    m_kind = tessera::DeduceKind(std::span<const FieldTag>(m_tagCodes));
    return m_kind != 0;
}

CDataRecord* CRecordSet::RecordAt(int position) const {
    if (position < 0 || position >= RecordCount())
        return nullptr;
    return m_records[static_cast<std::size_t>(position)].get();
}

bool CRecordSet::InsertRecords(int position, RecordList records) {
    std::erase_if(records, [](const auto& r) { return !r; });
    if (records.empty())
        return false;
    const std::size_t at = (position < 0 || position >= RecordCount())
                               ? m_records.size()
                               : static_cast<std::size_t>(position);
    m_records.insert(m_records.begin() + static_cast<std::ptrdiff_t>(at),
                     std::make_move_iterator(records.begin()),
                     std::make_move_iterator(records.end()));
    return true;
}

bool CRecordSet::InsertRecord(int position, std::unique_ptr<CDataRecord> record) {
    if (!record)
        return false;
    const std::size_t at = (position < 0 || position >= RecordCount())
                               ? m_records.size()
                               : static_cast<std::size_t>(position);
    m_records.insert(m_records.begin() + static_cast<std::ptrdiff_t>(at), std::move(record));
    return true;
}

bool CRecordSet::RemoveRecord(int position) {
    return TakeRecord(position) != nullptr;
}

std::unique_ptr<CDataRecord> CRecordSet::TakeRecord(int position) {
    if (position < 0 || position >= RecordCount())
        return nullptr;
    auto it = m_records.begin() + position;
    std::unique_ptr<CDataRecord> record = std::move(*it);
    m_records.erase(it);
    return record;
}

std::unique_ptr<CDataRecord> CRecordSet::NewRecord() const {
    try {
        return std::make_unique<CDataRecord>(std::span<const FieldTag>(m_tagCodes));
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return nullptr;
    }
}

bool CRecordSet::MoveRecords(CRecordSet& from, CRecordSet& to, int position) {
    if (&from == &to || from.m_kind != to.m_kind)
        return false;
    if (from.m_records.empty())
        return true;
    if (from.m_tagCodes == to.m_tagCodes) {
        RecordList records;
        records.swap(from.m_records);
        to.InsertRecords(position, std::move(records));
        return true;
    }

    // The same kind can come with another tag list (DeduceKind gives the phone book both to
    // its 12 tags and to a shorter list): match the columns by tag, the k-th occurrence of a
    // tag to the k-th occurrence in the target, so no value lands in a foreign column.
    std::vector<int> target(from.m_tagCodes.size(), -1);
    std::vector<bool> used(to.m_tagCodes.size(), false);
    for (std::size_t i = 0; i < from.m_tagCodes.size(); ++i) {
        for (std::size_t j = 0; j < to.m_tagCodes.size(); ++j) {
            if (!used[j] && to.m_tagCodes[j] == from.m_tagCodes[i]) {
                used[j] = true;
                target[i] = static_cast<int>(j);
                break;
            }
        }
    }
    try {
        RecordList rebuilt;
        rebuilt.reserve(from.m_records.size());
        for (const auto& record : from.m_records) {
            auto copy = std::make_unique<CDataRecord>(std::span<const FieldTag>(to.m_tagCodes));
            for (std::size_t i = 0; i < record->m_fields.size(); ++i) {
                auto& field = record->m_fields[i];
                if (!field)
                    continue; // a slot without a class never holds a value
                if (target[i] < 0)
                    return false;
                auto& slot = copy->m_fields[static_cast<std::size_t>(target[i])];
                if (!slot || slot->Class() != field->Class())
                    return false;
                slot = field->Clone();
            }
            rebuilt.push_back(std::move(copy));
        }
        from.m_records.clear();
        to.InsertRecords(position, std::move(rebuilt));
        return true;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

RecordList CRecordSet::Detach() {
    RecordList records;
    records.swap(m_records);
    m_kind = 0;
    m_tags.clear();
    m_titles.clear();
    m_tagCodes.clear();
    return records;
}

} // namespace tessera
