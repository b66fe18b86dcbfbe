// The reader of the record-set text form.

#include "model/FieldInternal.h"
#include "model/Prompter.h"
#include "model/RecordArena.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tessera {

namespace {

bool IsLetter(std::string_view value, char upper) {
    return value.size() == 1 && (value[0] == upper || value[0] == upper + ('a' - 'A'));
}

// The last record line lost its line end (the file was cut, or its end mark moved up): the
// rule drops that record, and the user must hear of it.
void ShowCutOffRecord(int record) {
    if (HasString(kMsgRecordCutOff)) {
        ShowMessage(kMsgRecordCutOff, PromptIcon::Warning, PromptButtons::Ok, record);
        return;
    }
    // The text for a string table that does not have the entry (an older resource pack).
    static const char kText[] =
        "\x83\x8C\x83R\x81[\x83h\x94\xD4\x8D\x86 %d \x82\xCC\x8Ds\x82\xCD\x89\xFC\x8Ds\x83"
        "R\x81[\x83h\x82\xCC\x91O\x82\xC5\x93r\x90\xD8\x82\xEA\x82\xC4\x82\xA2\x82\xBD\x82"
        "\xBD\x82\xDF\x81"
        "A\x82\xB1\x82\xCC\x83\x8C\x83R\x81[\x83h\x82\xCD\x93\xC7\x82\xDD"
        "\x8D\x9E\x82\xDC\x82\xEA\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
        "B";
    const std::string message = FormatText(kText, {static_cast<long long>(record)});
    if (Prompter* prompter = CurrentPrompter())
        prompter->Show(kMsgRecordCutOff, message, PromptIcon::Warning, PromptButtons::Ok);
}

using Status = CTextTokenizer::Status;

// True when nothing but blank lines and spaces lie between `rest` and the end of the text
// (its end mark, a zero byte or the end of the buffer).
bool OnlyBlankRest(std::string_view rest) {
    for (const char c : rest) {
        if (c == '\x1A' || c == '\0')
            return true;
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            return false;
    }
    return true;
}

bool ShowFormatError() {
    ShowMessage(kMsgReadFormatError, PromptIcon::Stop, PromptButtons::Ok);
    return false;
}

bool ShowBadLineBreak(int record) {
    ShowMessage(kMsgBadLineBreak, PromptIcon::Stop, PromptButtons::Ok, record);
    return false;
}

// The header line: "i" and the tags (the values of any other first line are not tags).
// False when the text does not begin with one whole line of values.
bool ReadHeaderTags(CTextTokenizer& tok, std::vector<std::string>& tags) {
    bool first = true;
    bool isHeader = false;
    for (;;) {
        const Status status = tok.Next();
        if (status != Status::Value || tok.State() == LineState::BadBreak)
            return false;
        if (first) {
            isHeader = IsLetter(tok.Value(), 'I');
            first = false;
        } else if (isHeader) {
            tags.emplace_back(tok.Value());
        }
        if (tok.State() == LineState::EndOfLine)
            return true;
    }
}

// Why a line's values stopped before its end.
enum class LineStop { None, Overflow, BadBreak };

// The values of the record line being read: views of the input, or of `bytes` where the map
// changed them (their views are made once the line is complete, at `copies`' offsets).
// Kept from line to line so that their buffers are allocated once.
struct LineValues {
    std::vector<ReadValue> values;
    std::vector<std::pair<std::size_t, std::size_t>> copies; // value index, offset
    std::string bytes;
    std::string breakValue; // the value a line break stopped in
};

// Reads past the rest of a title line.
LineStop SkipTitleValues(CTextTokenizer& tok, Status& status) {
    while (tok.State() != LineState::EndOfLine && status == Status::Value) {
        status = tok.Next();
        if (status == Status::Overflow)
            return LineStop::Overflow;
        if (tok.State() == LineState::BadBreak)
            return LineStop::BadBreak;
    }
    return LineStop::None;
}

// Gathers the rest of a record line's values, so that the record is made once with room
// for its texts and each field takes its value as it is made.
LineStop GatherRecordValues(CTextTokenizer& tok, Status& status, LineValues& line) {
    line.bytes.clear();
    line.values.clear();
    line.copies.clear();
    if (tok.State() == LineState::EndOfLine || status != Status::Value)
        return LineStop::None;
    // Most lines are read whole in one go; the rest value by value.
    tok.NextInLine(line.values);
    LineStop stop = LineStop::None;
    while (tok.State() != LineState::EndOfLine && status == Status::Value) {
        status = tok.Next();
        if (status == Status::Overflow) {
            stop = LineStop::Overflow;
            break;
        }
        if (tok.State() == LineState::BadBreak) {
            stop = LineStop::BadBreak;
            line.breakValue.assign(tok.Value());
            break;
        }
        // A value that is the input itself stays where it is; others are copied.
        const std::string_view v = tok.Value();
        if (tok.ValueInPlace()) {
            line.values.push_back({v, tok.ValueMayHoldControl()});
        } else {
            // Its view is made once the line is complete: `bytes` may still move.
            line.copies.emplace_back(line.values.size(), line.bytes.size());
            line.bytes.append(v);
            line.values.push_back({std::string_view(line.bytes).substr(line.copies.back().second),
                                   tok.ValueMayHoldControl()});
        }
    }
    for (const auto& [k, offset] : line.copies)
        line.values[k].text =
            std::string_view(line.bytes).substr(offset, line.values[k].text.size());
    return stop;
}

// Room for a record's texts: each text-like value, its 0x1F bytes (which may become CR LF)
// and one byte to keep it at an even address.
std::size_t TextRoom(const std::vector<ReadValue>& values, const std::vector<FieldClass>& classes) {
    std::size_t extra = 0;
    const std::size_t parsed = std::min(values.size(), classes.size());
    for (std::size_t k = 0; k < parsed; ++k) {
        const FieldClass cls = classes[k];
        const ReadValue& v = values[k];
        if ((cls != FieldClass::Text && cls != FieldClass::SubText) || v.text.empty())
            continue;
        extra += v.text.size() + 1;
        // A text without control characters keeps its size; a sub-text's separators are all
        // counted.
        if (cls == FieldClass::Text && !v.mayHoldControl)
            continue;
        for (const char *p = v.text.data(), *end = p + v.text.size();
             (p = static_cast<const char*>(std::memchr(p, '\x1f', end - p))) != nullptr; ++p)
            ++extra;
    }
    return extra;
}

// Goes through a record line's values in order, with the questions a value its field refused
// raises and the one question about values beyond the last field. False when the user
// stops the read; `n` ends as the number of values gone through.
bool AskAboutRefusedValues(const std::vector<ReadValue>& values,
                           const std::vector<unsigned char>& refused, int fieldCount,
                           int recordNumber, ReadPosition& pos, int& errors, bool& ignoreAll,
                           int& n) {
    bool truncating = false; // the user chose to drop this line's surplus values
    n = 0;
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (n < fieldCount && !refused[k]) {
            ++n;
            continue;
        }
        // Kept up to date only where a question needs it: copying every value costs.
        const auto here = [&] {
            pos.field = n + 1;
            pos.value.assign(values[k].text);
        };
        if (n < fieldCount) {
            here();
            ++errors;
            if (!ignoreAll) {
                // What a refused ParseField reports, once the position is known.
                ShowMessage(kMsgInvalidInput, PromptIcon::Warning, PromptButtons::Ok);
                PromptResult answer;
                do {
                    answer = ShowMessage(kMsgBadValue, PromptIcon::Warning,
                                         PromptButtons::AbortRetryIgnore, recordNumber, n + 1,
                                         pos.value);
                } while (answer == PromptResult::Retry);
                if (answer != PromptResult::Ignore)
                    return false;
                if (ShowMessage(kMsgIgnoreAll, PromptIcon::Question, PromptButtons::YesNo) ==
                    PromptResult::Yes)
                    ignoreAll = true;
            }
        } else if (!truncating) {
            // The message says everything from this field on is dropped: one answer covers
            // the rest of the line.
            here();
            PromptResult answer;
            do {
                answer = ShowMessage(kMsgTooManyFields, PromptIcon::Warning,
                                     PromptButtons::AbortRetryIgnore, recordNumber, fieldCount + 1);
            } while (answer == PromptResult::Retry);
            if (answer != PromptResult::Ignore)
                return false;
            truncating = true;
        }
        ++n;
    }
    return true;
}

} // namespace

bool CRecordSet::ReadText(const char* text, std::size_t size, const CCodeMap* map, int* errorCount,
                          const ReadRelease* release) {
    int errors = 0;
    bool ok = false;
    if (errorCount != nullptr)
        *errorCount = 0;
    if (!m_tags.empty() || !m_records.empty())
        return false;
    m_readPos = ReadPosition{};
    m_readStoppedEarly = false;
    try {
        ok = ReadTextInner(text, size, map, errors, release);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        ok = false;
    }
    if (errorCount != nullptr)
        *errorCount = errors;
    return ok;
}

bool CRecordSet::ReadTextInner(const char* text, std::size_t size, const CCodeMap* map, int& errors,
                               const ReadRelease* release) {
    auto tokenizer = std::make_unique<CTextTokenizer>(text, size, map);
    CTextTokenizer& tok = *tokenizer;

    std::vector<std::string> tags;
    if (!ReadHeaderTags(tok, tags))
        return ShowFormatError();
    SetTags(std::move(tags));
    DeduceKind();
    tok.ResetLineState();

    const int fieldCount = FieldCount();
    const std::vector<FieldClass>& classes = m_layout->classes;
    int recordNumber = 0;
    LineValues line;
    std::vector<unsigned char> refused;
    bool ignoreAll = false;
    CRecordArena arena;
    std::size_t released = 0;

    for (;;) {
        // Every line before this one lives on in the records (copied), not in the text.
        if (release != nullptr && tok.Offset() - released >= kReadReleaseStep) {
            released = tok.Offset();
            (*release)(released);
        }
        Status status = tok.Next();
        if (status == Status::Overflow)
            return ShowFormatError();
        const std::string_view head = tok.Value();
        const bool isRecord = IsLetter(head, 'D');
        if (isRecord)
            ++recordNumber;
        m_readPos.record = recordNumber;
        m_readPos.field = 0;
        if (tok.State() == LineState::BadBreak) {
            m_readPos.value.assign(head);
            return ShowBadLineBreak(recordNumber);
        }
        if (!isRecord && !IsLetter(head, 'T')) {
            if (status == Status::LastValue)
                break; // the end of the text
            return ShowFormatError();
        }

        std::unique_ptr<CDataRecord> record;
        LineStop stop = LineStop::None;
        int n = 0;
        if (isRecord) {
            stop = GatherRecordValues(tok, status, line);
            refused.assign(line.values.size(), 0);
            record = CDataRecord::MakeRead(m_layout, TextRoom(line.values, classes), line.values,
                                           refused.data(), arena);
            // Only then does a break in the line stop the read, as if each value had been
            // taken as soon as it was read.
            if (!AskAboutRefusedValues(line.values, refused, fieldCount, recordNumber, m_readPos,
                                       errors, ignoreAll, n))
                return false;
        } else {
            // Title values are rebuilt from the tags.
            stop = SkipTitleValues(tok, status);
            if (stop == LineStop::BadBreak) {
                m_readPos.value.assign(tok.Value());
                return ShowBadLineBreak(recordNumber);
            }
        }
        if (stop == LineStop::Overflow)
            return ShowFormatError();
        if (stop == LineStop::BadBreak) {
            m_readPos.field = n + 1;
            m_readPos.value = line.breakValue;
            return ShowBadLineBreak(recordNumber);
        }

        if (tok.State() == LineState::EndOfLine) {
            if (record)
                m_records.push_back(std::move(record));
            tok.ResetLineState();
        } else if (record) {
            // The input ended inside this record line.
            m_readPos.field = 0;
            m_readPos.value.clear();
            m_readStoppedEarly = true;
            ShowCutOffRecord(recordNumber);
        }
        if (status != Status::Value)
            break;
    }
    // A line end outside quotes ends the text unless a quote follows: a line that lost its
    // opening quote would silently take every line after it along.
    const std::size_t stop = std::min(tok.Offset(), size);
    if (!m_readStoppedEarly && !OnlyBlankRest(std::string_view(text + stop, size - stop))) {
        m_readStoppedEarly = true;
        m_readPos = ReadPosition{recordNumber + 1, 0, {}};
        ShowMessage(kMsgLineWithoutQuote, PromptIcon::Warning, PromptButtons::Ok, recordNumber + 1);
    }

    m_titles = TitlesForTags(m_tags);
    if (m_kind == 0)
        DeduceKind();
    return true;
}

} // namespace tessera
