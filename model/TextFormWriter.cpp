// The writers of the record-set text form.

#include <cstring>
#include <new>
#include <ostream>

#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"

namespace tessera {

namespace {

// Pieces handed to a sink: big enough to keep the per-call cost down, small enough that a
// large set is never held twice in memory.
constexpr std::size_t kSinkChunk = 256 * 1024;

void ShowWriteFormatError() {
    ShowMessage(kMsgWriteFormatError, PromptIcon::Stop, PromptButtons::Ok);
}

} // namespace

bool CRecordSet::WriteCore(const std::vector<int32_t>* selection, std::string& out,
                           const TextSink* sink) const {
    // Hands the bytes so far to the sink when there are enough of them.
    auto flush = [&](bool force) {
        if (sink == nullptr || out.empty() || (!force && out.size() < kSinkChunk))
            return true;
        if (!(*sink)(std::string_view(out))) {
            ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
        out.clear();
        return true;
    };

    out.append("\"i\"");
    for (const std::string& tag : m_tags) {
        if (CheckValue(tag) != ValueProblem::None) {
            ShowWriteFormatError();
            return false;
        }
        out.push_back(',');
        AppendQuoted(out, tag);
    }
    out.append("\r\n\"T\"");
    for (const std::string& title : m_titles) {
        if (CheckValue(title) != ValueProblem::None) {
            ShowWriteFormatError();
            return false;
        }
        out.push_back(',');
        AppendQuoted(out, title);
    }

    // Renders a field straight after its comma and quote and checks the bytes where they
    // lie: no copy through a scratch string. A value that does not fit the work buffer,
    // cannot be formatted, or would read back as something else stops the writer: better no
    // file than a wrong one.
    auto appendField = [&out](const CField* field, FieldClass cls) {
        if (field == nullptr)
            return false;
        out.append(",\"", 2);
        const std::size_t start = out.size();
        try {
            // The common classes by direct call. Their capacity needs never decide: a value
            // that large fails the read-back check anyway.
            switch (cls) {
            case FieldClass::Text:
                static_cast<const CTextField*>(field)->Render(out, false);
                break;
            case FieldClass::SubText:
                static_cast<const CSubTextField*>(field)->Render(out, false);
                break;
            case FieldClass::Check:
                if (!static_cast<const CCheckField*>(field)->Render(out, false))
                    return false;
                break;
            default:
                if (field->RequiredCapacity(false) > kWriteValueCapacity ||
                    !field->Render(out, false))
                    return false;
                break;
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return CloseAppendedValue(out, start);
    };

    const std::size_t count = selection != nullptr ? selection->size() : m_records.size();
    for (std::size_t k = 0; k < count; ++k) {
        const CDataRecord* record = nullptr;
        if (selection != nullptr)
            record = RecordAt((*selection)[k]);
        else
            record = m_records[k].get();
        if (record == nullptr) {
            ShowWriteFormatError();
            return false;
        }
        out.append("\r\n\"D\"", 5);
        const int fields = record->FieldCount();
        for (int i = 0; i < fields; ++i) {
            const FieldClass cls = record->m_layout->classes[static_cast<std::size_t>(i)];
            if (!appendField(record->FieldAt(i), cls)) {
                ShowWriteFormatError();
                return false;
            }
        }
        if (!flush(false))
            return false;
    }
    out.append("\r\n\x1A");
    return flush(true);
}

bool CRecordSet::WriteText(const TextSink& sink) const {
    try {
        std::string out;
        out.reserve(kSinkChunk + kWriteValueCapacity);
        return WriteCore(nullptr, out, &sink);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

bool CRecordSet::WriteText(std::ostream& stream) const {
    return WriteText([&stream](std::string_view bytes) {
        stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(stream);
    });
}

bool CRecordSet::WriteTextToString(std::string& out) const {
    try {
        out.clear();
        if (WriteCore(nullptr, out, nullptr))
            return true;
        out.clear();
        return false;
    } catch (const std::bad_alloc&) {
        out.clear();
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

int CRecordSet::WriteTextToBuffer(const std::vector<int32_t>* selection, char* buffer,
                                  int capacity) const {
    try {
        std::string out;
        if (!WriteCore(selection, out, nullptr))
            return -1;
        if (buffer == nullptr || capacity < 0 || out.size() > static_cast<std::size_t>(capacity)) {
            ShowMessage(kMsgBufferTooSmall, PromptIcon::Stop, PromptButtons::Ok,
                        capacity < 0 ? 0 : capacity, static_cast<long long>(out.size()));
            return -1;
        }
        std::memcpy(buffer, out.data(), out.size());
        return static_cast<int>(out.size());
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return -1;
    }
}

} // namespace tessera
