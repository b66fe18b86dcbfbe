// The writers of the record-set text form.

#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

namespace tessera {

namespace {

// Pieces handed to a sink: big enough to keep the per-call cost down, small enough that a
// large set is never held twice in memory.
constexpr std::size_t kSinkChunk = 256 * 1024;

void ShowWriteFormatError() {
    ShowMessage(kMsgWriteFormatError, PromptIcon::Stop, PromptButtons::Ok);
}

// The writer's output: one buffer it writes into directly, with room checked per field
// rather than per byte, handed on in pieces of about kSinkChunk bytes.
class OutBuffer {
public:
    // Bytes that may always be written (or read) past the current end.
    static constexpr std::size_t kSlack = 16;

    OutBuffer() : m_size(kSinkChunk + kWriteValueCapacity) {
        m_data = std::make_unique_for_overwrite<char[]>(m_size);
        m_pos = m_data.get();
    }
    char* Base() { return m_data.get(); }
    char*& Pos() { return m_pos; }
    std::size_t Used() const { return static_cast<std::size_t>(m_pos - m_data.get()); }
    // Makes sure `count` more bytes (and the slack) fit. Moves the buffer when they do not,
    // so pointers into it must be taken again afterwards; offsets stay.
    void Room(std::size_t count) {
        if (static_cast<std::size_t>(m_data.get() + m_size - m_pos) >= count + kSlack)
            return;
        const std::size_t used = Used();
        const std::size_t size = std::max(m_size * 2, used + count + kSlack);
        auto bigger = std::make_unique_for_overwrite<char[]>(size);
        std::memcpy(bigger.get(), m_data.get(), used);
        m_data = std::move(bigger);
        m_size = size;
        m_pos = m_data.get() + used;
    }
    void Append(const char* bytes, std::size_t count) {
        Room(count);
        std::memcpy(m_pos, bytes, count);
        m_pos += count;
    }
    std::string_view View() const { return {m_data.get(), Used()}; }
    void Clear() { m_pos = m_data.get(); }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size;
    char* m_pos;
};

// The header and title lines. False (with the message) when a tag or title cannot be
// written as a value.
bool AppendHeader(OutBuffer& out, const std::vector<std::string>& tags,
                  const std::vector<std::string>& titles) {
    std::string head = "\"i\"";
    for (const std::string& tag : tags) {
        if (CheckValue(tag) != ValueProblem::None) {
            ShowWriteFormatError();
            return false;
        }
        head.push_back(',');
        AppendQuoted(head, tag);
    }
    head.append("\r\n\"T\"");
    for (const std::string& title : titles) {
        if (CheckValue(title) != ValueProblem::None) {
            ShowWriteFormatError();
            return false;
        }
        head.push_back(',');
        AppendQuoted(head, title);
    }
    out.Append(head.data(), head.size());
    return true;
}

// Record lines are written whole and their values checked together, about 16 KB of lines at
// a time (and always before their bytes leave): a value that would not fit the reader's work
// buffer or would read back as something else stops the writer, as does a field that cannot
// be formatted: better no file than a wrong one. One pass of simple byte tests over a whole
// batch costs far less than a look at each value.
class LineBatch {
public:
    explicit LineBatch(OutBuffer& out) : m_out(out), m_start(out.Used()) {}

    // A quoted value of the line being written; `check` for those the check must look at.
    void AddQuoted(const char* start, std::size_t size, bool check) {
        ++m_quoted;
        if (check)
            m_values.push_back({static_cast<std::size_t>(start - m_out.Base()), size});
    }
    void EndLine() { ++m_lines; }
    bool Full() const { return m_out.Used() - m_start >= kBytes; }
    // Checks the lines written since the last check; false (with the message) when one fails.
    bool Check() {
        *m_out.Pos() = '\0'; // the byte after the lines, which the check reads too
        if (m_lines != 0 && !CheckWrittenLines(m_out.Base(), m_start, m_out.Used(), m_lines,
                                               m_quoted, m_values.data(), m_values.size())) {
            ShowWriteFormatError();
            return false;
        }
        m_values.clear();
        m_start = m_out.Used();
        m_lines = 0;
        m_quoted = 0;
        return true;
    }
    // The checked lines left the buffer, which starts again from its beginning.
    void Restart() { m_start = 0; }

private:
    static constexpr std::size_t kBytes = 16 * 1024;
    OutBuffer& m_out;
    std::vector<WrittenValue> m_values; // of the batch, those the check must look at
    std::size_t m_start;                // where the lines not yet checked begin
    std::size_t m_lines = 0;
    std::size_t m_quoted = 0; // non-empty values of the batch
};

} // namespace

// One field's value after a comma: quoted, or a bare comma when empty. False (with the
// message) when the field cannot be formatted or its text would not fit the reader's work
// buffer.
template <class Out, class Batch>
bool CRecordSet::AppendValue(Out& out, const CField& field, FieldClass cls, std::string& scratch,
                             Batch& batch) {
    // The common classes straight into the buffer after the comma and quote, the others
    // through a string. Room for the closing quote too.
    char* start = nullptr;
    char* end = nullptr;
    auto open = [&](std::size_t bound) {
        out.Room(bound + 3);
        char*& p = out.Pos();
        p[0] = ',';
        p[1] = '"';
        start = p + 2;
    };
    switch (cls) {
    case FieldClass::Text: {
        const auto& text = static_cast<const CTextField&>(field);
        open(text.ExchangeBound());
        end = text.WriteExchange(start);
        break;
    }
    case FieldClass::SubText: {
        const auto& sub = static_cast<const CSubTextField&>(field);
        open(sub.ExchangeBound());
        end = sub.WriteExchange(start);
        break;
    }
    case FieldClass::Check:
        open(CCheckField::kExchangeBound);
        end = static_cast<const CCheckField&>(field).WriteExchange(start);
        break;
    case FieldClass::Flag:
        open(CFlagField::kExchangeBound);
        end = static_cast<const CFlagField&>(field).WriteExchange(start);
        break;
    case FieldClass::Time:
        open(CTimeField::kExchangeBound);
        end = static_cast<const CTimeField&>(field).WriteExchange(start);
        break;
    default: {
        bool rendered = false;
        scratch.clear();
        try {
            rendered = field.RequiredCapacity(false) <= kWriteValueCapacity &&
                       field.Render(scratch, false);
        } catch (const std::bad_alloc&) {
            rendered = false;
        }
        if (rendered) {
            open(scratch.size());
            std::memcpy(start, scratch.data(), scratch.size());
            end = start + scratch.size();
        }
        break;
    }
    }
    if (end == nullptr) {
        ShowWriteFormatError();
        return false;
    }
    const auto size = static_cast<std::size_t>(end - start);
    char*& p = out.Pos();
    if (size == 0) {
        p = start - 1; // an empty value is a bare comma
        return true;
    }
    if (size > kReadValueCapacity - 1) {
        ShowWriteFormatError();
        return false;
    }
    *end = '"';
    p = end + 1;
    // Marks, flags and dates are fixed bytes that always read back: their values only count
    // among the quotes.
    batch.AddQuoted(start, size,
                    cls != FieldClass::Check && cls != FieldClass::Flag && cls != FieldClass::Time);
    return true;
}

bool CRecordSet::WriteCore(const std::vector<int32_t>* selection, const TextSink& emit) const {
    OutBuffer out;
    if (!AppendHeader(out, m_tags, m_titles))
        return false;
    LineBatch batch(out);
    std::string scratch; // the rarer classes render through it

    const std::size_t count = selection != nullptr ? selection->size() : m_records.size();
    for (std::size_t k = 0; k < count; ++k) {
        const CDataRecord* record =
            selection != nullptr ? RecordAt((*selection)[k]) : m_records[k].get();
        if (record == nullptr) {
            ShowWriteFormatError();
            return false;
        }
        out.Append("\r\n\"D\"", 5);
        const RecordLayout& layout = *record->m_layout;
        const std::size_t fields = layout.classes.size();
        for (std::size_t i = 0; i < fields; ++i) {
            const FieldClass cls = layout.classes[i];
            if (cls == FieldClass::None) {
                ShowWriteFormatError();
                return false;
            }
            const CField* field =
                std::launder(reinterpret_cast<const CField*>(record->m_block + layout.offsets[i]));
            if (!AppendValue(out, *field, cls, scratch, batch))
                return false;
        }
        batch.EndLine();
        if (batch.Full() && !batch.Check())
            return false;
        if (out.Used() >= kSinkChunk) {
            // Every line must have passed before its bytes leave.
            if (!batch.Check() || !emit(out.View()))
                return false;
            out.Clear();
            batch.Restart();
        }
    }
    if (!batch.Check())
        return false;
    out.Append("\r\n\x1A", 3);
    return emit(out.View());
}

bool CRecordSet::WriteText(const TextSink& sink) const {
    try {
        return WriteCore(nullptr, [&sink](std::string_view bytes) {
            if (sink(bytes))
                return true;
            ShowMessage(kMsgFileError, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        });
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
        if (WriteCore(nullptr, [&out](std::string_view bytes) {
                out.append(bytes);
                return true;
            }))
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
        if (!WriteCore(selection, [&out](std::string_view bytes) {
                out.append(bytes);
                return true;
            }))
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
