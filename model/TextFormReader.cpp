// The reader of the record-set text form.

#include "model/FieldInternal.h"
#include "model/Prompter.h"
#include "model/RecordArena.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
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

// A helper thread's answer to every question: it stops its read there (the question is put
// to the user by the calling thread, which reads on from that line itself).
class CQuietPrompter : public Prompter {
public:
    explicit CQuietPrompter(std::atomic<bool>& stop) : m_stop(stop) {}
    PromptResult Show(int, const std::string&, PromptIcon, PromptButtons buttons) override {
        m_stop.store(true, std::memory_order_relaxed);
        return buttons == PromptButtons::AbortRetryIgnore ? PromptResult::Abort
                                                          : DefaultPromptResult(buttons);
    }

private:
    std::atomic<bool>& m_stop;
};

std::atomic<std::size_t> g_minPartBytes{0};
std::atomic<int> g_readThreads{0};

constexpr std::size_t kDefaultMinPartBytes = std::size_t{1} << 20;
constexpr int kMostReadThreads = 8;

// Where record lines start near each of `parts - 1` evenly spread points after `from`: a CR
// LF and a quoted "D" with a comma or CR after it. A CR is never part of a value (inside
// quotes it stops the read), so such a place is a line start unless the read stops before it.
std::vector<std::size_t> PartStarts(const char* text, std::size_t size, std::size_t from,
                                    int parts) {
    std::vector<std::size_t> starts;
    if (parts < 2 || from >= size)
        return starts;
    const std::size_t span = size - from;
    for (int k = 1; k < parts; ++k) {
        std::size_t at =
            from + span / static_cast<std::size_t>(parts) * static_cast<std::size_t>(k);
        if (!starts.empty() && at <= starts.back())
            at = starts.back() + 1;
        while (at + 6 < size) {
            const void* cr = std::memchr(text + at, '\r', size - at - 6);
            if (cr == nullptr) {
                at = size;
                break;
            }
            const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(cr) - text);
            if (text[c + 1] == '\n' && text[c + 2] == '"' && text[c + 3] == 'D' &&
                text[c + 4] == '"' && (text[c + 5] == ',' || text[c + 5] == '\r')) {
                at = c + 2;
                break;
            }
            at = c + 1;
        }
        if (at + 6 >= size)
            break;
        starts.push_back(at);
    }
    return starts;
}

} // namespace

// Reads record lines, one after another, into a list: for the set itself on the calling
// thread, or for a part of the text on a helper thread.
class CRecordLineReader {
public:
    CRecordLineReader(std::shared_ptr<const RecordLayout> layout, int fieldCount,
                      CRecordArena& blocks, RecordList& records, ReadPosition& pos,
                      bool& stoppedEarly, int& errors)
        : m_layout(std::move(layout)), m_fieldCount(fieldCount), m_records(records), m_pos(pos),
          m_stoppedEarly(stoppedEarly), m_errors(errors), m_arena(blocks) {}

    enum class End {
        Failed, // a message stopped the read
        Ended,  // the text has ended (the user has heard of anything amiss)
        AtStop, // a line starts at or after the given offset
    };
    // Lines from where `tok` stands (a line start) over [text, text + size), until the text
    // ends or a line starts at `stopAt` or later. `release` hears of the stretches read, at
    // `base` from the start of the whole text.
    End Read(CTextTokenizer& tok, const char* text, std::size_t size, std::size_t stopAt,
             const CRecordSet::ReadRelease* release, std::size_t base,
             const std::atomic<bool>* cancel);

    int RecordNumber() const { return m_recordNumber; }
    void SkipRecords(int count) { m_recordNumber += count; }
    // The start of the last line Read began before it stopped or was stopped, and how many
    // records it had then: what lies before is read as it would be at any time.
    std::size_t LineStart() const { return m_lineStart; }
    std::size_t RecordsBeforeLine() const { return m_lineRecords; }
    // Where the stretches given up so far end; a read that goes on elsewhere starts again.
    std::size_t Released() const { return m_released; }
    void SetReleased(std::size_t offset) { m_released = offset; }

private:
    std::shared_ptr<const RecordLayout> m_layout;
    int m_fieldCount;
    RecordList& m_records;
    ReadPosition& m_pos;
    bool& m_stoppedEarly;
    int& m_errors;
    int m_recordNumber = 0;
    bool m_ignoreAll = false;
    std::size_t m_released = 0;
    std::size_t m_lineStart = 0;
    std::size_t m_lineRecords = 0;
    LineValues m_line;
    std::vector<unsigned char> m_refused;
    CRecordArena m_arena;
};

CRecordLineReader::End CRecordLineReader::Read(CTextTokenizer& tok, const char* text,
                                               std::size_t size, std::size_t stopAt,
                                               const CRecordSet::ReadRelease* release,
                                               std::size_t base, const std::atomic<bool>* cancel) {
    const std::vector<FieldClass>& classes = m_layout->classes;
    for (;;) {
        if (tok.Offset() >= stopAt)
            return End::AtStop;
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed))
            return End::Failed;
        m_lineStart = tok.Offset();
        m_lineRecords = m_records.size();
        // Every line before this one lives on in the records (copied), not in the text.
        if (release != nullptr && tok.Offset() - m_released >= CRecordSet::kReadReleaseStep) {
            (*release)(base + m_released, base + tok.Offset());
            m_released = tok.Offset();
        }
        Status status = tok.Next();
        if (status == Status::Overflow) {
            ShowFormatError();
            return End::Failed;
        }
        const std::string_view head = tok.Value();
        const bool isRecord = IsLetter(head, 'D');
        if (isRecord)
            ++m_recordNumber;
        m_pos.record = m_recordNumber;
        m_pos.field = 0;
        if (tok.State() == LineState::BadBreak) {
            m_pos.value.assign(head);
            ShowBadLineBreak(m_recordNumber);
            return End::Failed;
        }
        if (!isRecord && !IsLetter(head, 'T')) {
            if (status == Status::LastValue)
                break; // the end of the text
            ShowFormatError();
            return End::Failed;
        }

        std::unique_ptr<CDataRecord> record;
        LineStop stop = LineStop::None;
        int n = 0;
        if (isRecord) {
            stop = GatherRecordValues(tok, status, m_line);
            m_refused.assign(m_line.values.size(), 0);
            record = CDataRecord::MakeRead(m_layout, TextRoom(m_line.values, classes),
                                           m_line.values, m_refused.data(), m_arena);
            // Only then does a break in the line stop the read, as if each value had been
            // taken as soon as it was read.
            if (!AskAboutRefusedValues(m_line.values, m_refused, m_fieldCount, m_recordNumber,
                                       m_pos, m_errors, m_ignoreAll, n))
                return End::Failed;
        } else {
            // Title values are rebuilt from the tags.
            stop = SkipTitleValues(tok, status);
            if (stop == LineStop::BadBreak) {
                m_pos.value.assign(tok.Value());
                ShowBadLineBreak(m_recordNumber);
                return End::Failed;
            }
        }
        if (stop == LineStop::Overflow) {
            ShowFormatError();
            return End::Failed;
        }
        if (stop == LineStop::BadBreak) {
            m_pos.field = n + 1;
            m_pos.value = m_line.breakValue;
            ShowBadLineBreak(m_recordNumber);
            return End::Failed;
        }

        if (tok.State() == LineState::EndOfLine) {
            if (record)
                m_records.push_back(std::move(record));
            tok.ResetLineState();
        } else if (record) {
            // The input ended inside this record line.
            m_pos.field = 0;
            m_pos.value.clear();
            m_stoppedEarly = true;
            ShowCutOffRecord(m_recordNumber);
        }
        if (status != Status::Value)
            break;
    }
    // A line end outside quotes ends the text unless a quote follows: a line that lost its
    // opening quote would silently take every line after it along.
    const std::size_t stop = std::min(tok.Offset(), size);
    if (!m_stoppedEarly && !OnlyBlankRest(std::string_view(text + stop, size - stop))) {
        m_stoppedEarly = true;
        m_pos = ReadPosition{m_recordNumber + 1, 0, {}};
        ShowMessage(kMsgLineWithoutQuote, PromptIcon::Warning, PromptButtons::Ok,
                    m_recordNumber + 1);
    }
    return End::Ended;
}

namespace {

// A stretch of the text that a helper thread reads while the calling thread reads what
// lies before it. Up to `cleanEnd` (from `start`) it is read as the calling thread would read
// it there: its first `cleanRecords` records are the lines', and no question came up. Where
// the first question came up (or the read stopped), the calling thread reads on itself.
struct ReadPart {
    std::size_t start = 0;
    std::size_t stop = 0; // where the next part starts, or the size of the text
    RecordList records;
    std::size_t cleanEnd = 0;
    std::size_t cleanRecords = 0;
    std::size_t released = 0; // where the stretches it gave up end
    std::atomic<bool> stopNow{false};
    std::thread thread; // last: joined (by the owner) before the rest goes

    ReadPart() = default;
    ReadPart(const ReadPart&) = delete;
    ReadPart& operator=(const ReadPart&) = delete;
    ~ReadPart() {
        stopNow.store(true, std::memory_order_relaxed);
        if (thread.joinable())
            thread.join();
    }

    void Read(const CTextTokenizer& like, const char* text, std::size_t size,
              const std::shared_ptr<const RecordLayout>& layout, int fieldCount,
              CRecordArena& blocks, const CRecordSet::ReadRelease* release) {
        CQuietPrompter quiet(stopNow);
        const CThreadPrompterScope scope(&quiet);
        ReadPosition pos;
        bool stoppedEarly = false;
        int errors = 0;
        std::optional<CRecordLineReader> reader;
        try {
            CTextTokenizer tok(like, text + start, size - start);
            reader.emplace(layout, fieldCount, blocks, records, pos, stoppedEarly, errors);
            const auto end = reader->Read(tok, text + start, size - start, stop - start, release,
                                          start, &stopNow);
            const bool whole = end == CRecordLineReader::End::AtStop &&
                               tok.Offset() == stop - start &&
                               !stopNow.load(std::memory_order_relaxed);
            cleanEnd = whole ? stop - start : reader->LineStart();
            cleanRecords = whole ? records.size() : reader->RecordsBeforeLine();
            released = reader->Released();
        } catch (...) {
            // Out of memory and the like: the calling thread reads on from the line where it
            // happened, and says so.
            cleanEnd = reader ? reader->LineStart() : 0;
            cleanRecords = reader ? std::min(reader->RecordsBeforeLine(), records.size()) : 0;
            released = reader ? reader->Released() : 0;
        }
    }
};

// How many threads read a text of `size` bytes.
int ReadThreads(std::size_t size) {
    const std::size_t least = g_minPartBytes.load(std::memory_order_relaxed);
    const std::size_t minPart = least != 0 ? least : kDefaultMinPartBytes;
    int threads = g_readThreads.load(std::memory_order_relaxed);
    if (threads <= 0)
        threads =
            std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMostReadThreads);
    const std::size_t bySize = size / minPart;
    return static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(threads), std::max<std::size_t>(bySize, 1)));
}

} // namespace

void CRecordSet::SetReadSharing(ReadSharing sharing) {
    g_minPartBytes.store(sharing.minPartBytes, std::memory_order_relaxed);
    g_readThreads.store(sharing.threads, std::memory_order_relaxed);
}

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
    if (text == nullptr)
        size = 0;
    auto tokenizer = std::make_unique<CTextTokenizer>(text, size, map);
    CTextTokenizer& tok = *tokenizer;

    std::vector<std::string> tags;
    if (!ReadHeaderTags(tok, tags))
        return ShowFormatError();
    SetTags(std::move(tags));
    DeduceKind();
    tok.ResetLineState();

    const int fieldCount = FieldCount();
    // Every thread's records are cut from the same blocks (see CRecordArena).
    CRecordArena blocks;
    CRecordLineReader reader(m_layout, fieldCount, blocks, m_records, m_readPos, m_readStoppedEarly,
                             errors);

    // A large text is shared out: helper threads read the later parts while this thread
    // reads the first. Each part's records are taken when this thread's read arrives where
    // the part starts and the part was read as this thread would have read it (no question
    // came up in it); otherwise this thread reads the part itself, with every question in
    // its place.
    const std::vector<std::size_t> starts =
        PartStarts(text, size, tok.Offset(), ReadThreads(size - std::min(tok.Offset(), size)));
    std::vector<std::unique_ptr<ReadPart>> parts;
    parts.reserve(starts.size());
    for (std::size_t k = 0; k < starts.size(); ++k) {
        auto part = std::make_unique<ReadPart>();
        part->start = starts[k];
        part->stop = k + 1 < starts.size() ? starts[k + 1] : size;
        ReadPart* p = part.get();
        parts.push_back(std::move(part));
        try {
            p->thread =
                std::thread([p, &tok, &blocks, text, size, layout = m_layout, fieldCount, release] {
                    p->Read(tok, text, size, layout, fieldCount, blocks, release);
                });
        } catch (const std::system_error&) {
            parts.pop_back(); // no thread to be had: this thread reads on
            break;
        }
    }
    std::size_t next = 0;
    for (;;) {
        const std::size_t stopAt = next < parts.size() ? parts[next]->start : size + 1;
        const auto end = reader.Read(tok, text, size, stopAt, release, 0, nullptr);
        if (end == CRecordLineReader::End::Failed)
            return false;
        if (end == CRecordLineReader::End::Ended)
            break;
        ReadPart& part = *parts[next++];
        part.thread.join();
        if (tok.Offset() != part.start)
            continue; // not where the part starts (no line does there): read on here
        m_records.reserve(m_records.size() + part.cleanRecords);
        for (std::size_t k = 0; k < part.cleanRecords; ++k)
            m_records.push_back(std::move(part.records[k]));
        reader.SkipRecords(static_cast<int>(part.cleanRecords));
        m_readPos.record = reader.RecordNumber();
        m_readPos.field = 0;
        // The lines this thread has taken from the part are given up as well.
        const std::size_t taken = part.start + part.cleanEnd;
        if (release != nullptr) {
            if (reader.Released() < part.start)
                (*release)(reader.Released(), part.start);
            if (part.start + part.released < taken)
                (*release)(part.start + part.released, taken);
        }
        reader.SetReleased(taken);
        tok.SeekLine(taken);
    }
    parts.clear(); // helpers still at work on parts this thread has read itself stop here

    m_titles = TitlesForTags(m_tags);
    if (m_kind == 0)
        DeduceKind();
    return true;
}

} // namespace tessera
