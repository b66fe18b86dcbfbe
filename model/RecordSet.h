#pragma once
// Records and record sets. A record is a row of fields made from a tag list; a record set
// holds the kind, the tags, the column titles and the records of one document, and owns the
// record-set text form in which records leave and enter the program (files, clipboard,
// filter programs, device transfers).

#include "model/Field.h"
#include "model/TextForm.h"
#include "resources/StringIds.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <iosfwd>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class CCodeMap;
class CRecordArena;

// The silent user abort: an operation stops because a field refused a value, and the
// operation's caller catches it (the user has already been told, or is told by the caller).
class CUserAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

// Where the fields of a record with a given tag list lie in the record's block.
struct RecordLayout {
    std::vector<FieldTag> tags;
    std::vector<FieldClass> classes;
    std::vector<std::size_t> offsets;
    std::size_t size = 0;
    // The indices of each class's fields, in order (indexed by FieldClass).
    std::vector<std::vector<std::uint32_t>> byClass;

    static RecordLayout For(std::span<const FieldTag> tags);
};

class CRecordLineReader;

// One record: a field per tag, in tag order; an empty slot for a tag without a field class.
class CDataRecord {
public:
    explicit CDataRecord(std::span<const FieldTag> tags);
    explicit CDataRecord(const std::vector<std::string>& tags);
    ~CDataRecord();

    // Copies go through Clone/Assign, which can refuse (1027 for a slot without a class).
    CDataRecord(const CDataRecord&) = delete;
    CDataRecord& operator=(const CDataRecord&) = delete;

    // A deep copy; null after 1027 when a slot has no field class, or after 1036.
    std::unique_ptr<CDataRecord> Clone() const;
    // Becomes a deep copy of `other`; false (this record unchanged) after 1027 or 1036.
    bool Assign(const CDataRecord& other);

    int FieldCount() const { return m_layout ? static_cast<int>(m_layout->classes.size()) : 0; }
    // The field at `index`; null for an empty slot or an index outside the record.
    CField* FieldAt(int index);
    const CField* FieldAt(int index) const;
    // Index of the first field with `tag`, -1 when none.
    int FindField(FieldTag tag) const;

    // ParseText on field `index`. True when accepted; false for an index outside the record.
    // When the field refuses the text (or the slot is empty) it shows 1073 if `report`, and
    // in both cases throws CUserAbort.
    bool ParseField(int index, std::string_view text, bool report);
    // FormatText on field `index`; an index outside the record or an empty slot writes an
    // empty string and returns false.
    bool FormatField(int index, char* buffer, std::size_t capacity, bool display) const;
    bool FormatField(int index, std::string& out, bool display,
                     std::size_t capacity = CField::kNoLimit) const;
    // SetValue on the first field with `tag`; false when there is none or it refuses.
    bool SetFieldValue(FieldTag tag, const FieldValue& value);
    // GetValue of the first field with `tag`; throws CUserAbort when there is none.
    FieldValueRef GetFieldValue(FieldTag tag) const;
    // Puts field `index` back to the value of a new field.
    void ClearField(int index);

    // Plain allocation; the set's own records carry their fields in the same allocation.
    static void* operator new(std::size_t size) { return ::operator new(size); }
    static void operator delete(void* p) noexcept { ::operator delete(p); }
    // Every record goes the same way, whether the heap or a reader's arena holds it.
    static void operator delete(CDataRecord* record, std::destroying_delete_t) noexcept;

private:
    friend class CRecordSet;
    friend class CRecordLineReader;
    CDataRecord() = default;

    // Room for the block right behind the record, in the record's own allocation.
    struct WithSpace {
        std::size_t bytes;
    };
    static void* operator new(std::size_t size, WithSpace space);
    static void operator delete(void* p, WithSpace) noexcept { ::operator delete(p); }
    // The same room cut from a reader's arena.
    struct InArena {
        CRecordArena* arena;
        std::size_t bytes;
    };
    static void* operator new(std::size_t size, InArena where);
    static void operator delete(void* p, InArena) noexcept;
    CDataRecord(std::shared_ptr<const RecordLayout> layout, WithSpace space);
    // A record of `layout` with `extra` bytes after its fields (where the reader keeps the
    // record's texts), all in one allocation.
    static std::unique_ptr<CDataRecord> Make(std::shared_ptr<const RecordLayout> layout,
                                             std::size_t extra);
    std::byte* SpaceBehind();

    // Makes the fields of `layout` in one block: `make(i, where)` constructs field i (of
    // class layout.classes[i], never None) at `where`.
    // `block` is where to make them (null: a block of the record's own, `extra` bytes longer).
    template <class MakeField>
    void Build(std::shared_ptr<const RecordLayout> layout, std::byte* block, std::size_t extra,
               MakeField make);
    void Release() noexcept;
    // The `extra` bytes of the block.
    char* ExtraSpace() { return reinterpret_cast<char*>(m_block + m_layout->size); }
    // One value of a line being read, and whether a character below 0x20 may be in it.
    using LineValue = ReadValue;
    // A record of `layout` with `extra` bytes behind its fields, made and filled in one go:
    // field k takes values[k] as the reader gives it (texts go to the extra bytes, see
    // CTextField::ReadInto; other classes parse it). refused[k] is set for each value the
    // field refused (the field is left empty) or that has no field to go to; `refused` must
    // hold values.size() zeros. The record is cut from `arena` when it fits one.
    static std::unique_ptr<CDataRecord> MakeRead(std::shared_ptr<const RecordLayout> layout,
                                                 std::size_t extra,
                                                 std::span<const LineValue> values,
                                                 unsigned char* refused, CRecordArena& arena);
    CDataRecord(std::shared_ptr<const RecordLayout> layout, WithSpace space,
                std::span<const LineValue> values, unsigned char* refused);

    // The fields live in one block, their places given by the layout that the records of a
    // set share: one allocation per record instead of one per field and value, which is most
    // of the cost of reading a large set, and no per-record table of field addresses.
    std::shared_ptr<const RecordLayout> m_layout;
    std::byte* m_block = nullptr;
    bool m_ownsBlock = false; // false for the block behind the record
    bool m_inArena = false;   // the record itself lies in a reader's arena
};

using RecordList = std::vector<std::unique_ptr<CDataRecord>>;

// Where the reader stands, for callers (and prompters) that want to say more than the
// message text: record number from 1, field number from 1 (0 outside a record line), and the
// value being read.
struct ReadPosition {
    int record = 0;
    int field = 0;
    std::string value;
};

class CRecordSet {
public:
    CRecordSet();
    ~CRecordSet();
    CRecordSet(const CRecordSet&) = delete;
    CRecordSet& operator=(const CRecordSet&) = delete;

    int Kind() const { return m_kind; }
    int RecordCount() const { return static_cast<int>(m_records.size()); }
    int FieldCount() const { return static_cast<int>(m_tags.size()); }
    const std::vector<std::string>& Tags() const { return m_tags; }
    const std::vector<std::string>& Titles() const { return m_titles; }
    std::span<const FieldTag> TagCodes() const { return m_tagCodes; }
    // The tag at `index` as a FieldTag; 0 outside the tag list.
    FieldTag TagCodeAt(int index) const;
    // Index of the first column with `tag`, -1 when none.
    int FindTag(FieldTag tag) const;

    // Makes this a set of `kind` (1-8): its tags and titles. Records of the previous layout
    // are destroyed, since they no longer fit the columns. False for any other kind.
    bool SetKind(int kind);
    // Finds the kind from the tags; stores it (0 when not recognised). True when found.
    bool DeduceKind();
    // Gives an empty set any tag list, as a read header would: tags, titles by tag, kind
    // deduced. False (nothing changed) when the set holds records.
    bool SetTagList(std::vector<std::string> tags);

    // The record at `position` (0 = first), null past the end. Constant time.
    CDataRecord* RecordAt(int position) const;

    // Inserts `records` in order before the record at `position`; -1, or a position at or
    // past the record count, appends. False only when given no record (null entries count
    // as none and are skipped).
    bool InsertRecords(int position, RecordList records);
    bool InsertRecord(int position, std::unique_ptr<CDataRecord> record);
    // Unlinks and destroys the record; false when there is none.
    bool RemoveRecord(int position);
    // Unlinks the record and hands it over; null when there is none.
    std::unique_ptr<CDataRecord> TakeRecord(int position);
    // A new empty record made from the set's tags, not yet in the set; 1036 and null when
    // memory runs out.
    std::unique_ptr<CDataRecord> NewRecord() const;

    // Moves every record of `from` into `to` before `position` (as InsertRecords). Both sets
    // must have the same kind. With the same tags the records move as they are; otherwise
    // each record is rebuilt on the tags of `to`, field by field, and a tag of `from` that `to`
    // lacks refuses the move, so no value is dropped. False (nothing moved) when refused; the
    // caller shows 1031. `from` keeps its kind and tags: reset it with Detach.
    static bool MoveRecords(CRecordSet& from, CRecordSet& to, int position);

    // Forgets the records, kind and counts without destroying the records: they are handed
    // back to the caller. Tags and titles are cleared too.
    RecordList Detach();

    // ---- The text form ----

    using TextSink = std::function<bool(std::string_view bytes)>;

    // Writes the text form of all records, in pieces, to `sink`; a sink returning false is a
    // file error (1037). 2049 when a value cannot be written so that it reads back. True on
    // success.
    bool WriteText(const TextSink& sink) const;
    bool WriteText(std::ostream& out) const;
    // The whole text form into `out` (replaced); 2049 or 1036 and false on failure.
    bool WriteTextToString(std::string& out) const;
    // Writes all records (selection null) or the records at the listed positions, in the
    // list's order, into `buffer`. Returns the byte count, or -1: 1028 when the text does not
    // fit `capacity`, 2049 for a value that cannot be written or a position with no record,
    // 1036 when memory runs out.
    int WriteTextToBuffer(const std::vector<int32_t>* selection, char* buffer, int capacity) const;

    // Reads a whole text form (ending with 0x1A, a zero byte or the end of the buffer) into
    // this set, which must be empty (no tags, no records; false otherwise). Every double-byte
    // character goes through `map` (null: unchanged). Asks about bad values through the
    // prompter. `errorCount` receives the number of fields emptied because their values were
    // refused. On failure the records already read stay; the caller discards the set.
    // `release`, when given, hears now and then (at the start of a line, about every
    // kReadReleaseStep bytes) of a stretch [from, to) of the text that the read will not
    // look at again: a caller that mapped a large file can let go of it. A large text is
    // read by several threads at once, so `release` may be called from several threads at
    // the same time, never for bytes another running call names.
    using ReadRelease = std::function<void(std::size_t from, std::size_t to)>;
    static constexpr std::size_t kReadReleaseStep = std::size_t{1} << 18;
    // How a large text is shared out among threads: each helper thread takes at least
    // `minPartBytes` of it, and no more than `threads` threads read (1: the calling thread
    // reads alone). Zero for either restores its default (1 MiB, the machine's cores up to 8).
    // What a read gives is the same however it is shared out.
    struct ReadSharing {
        std::size_t minPartBytes = 0;
        int threads = 0;
    };
    static void SetReadSharing(ReadSharing sharing);
    bool ReadText(const char* text, std::size_t size, const CCodeMap* map,
                  int* errorCount = nullptr, const ReadRelease* release = nullptr);
    bool ReadText(std::string_view text, const CCodeMap* map, int* errorCount = nullptr,
                  const ReadRelease* release = nullptr) {
        return ReadText(text.data(), text.size(), map, errorCount, release);
    }
    // Where ReadText stands while it asks the user (and where it stopped afterwards).
    const ReadPosition& CurrentReadPosition() const { return m_readPos; }
    // True when the last ReadText succeeded without reading all of the text (the user has
    // been warned): its last record line was cut short, or a line did not start with a
    // quote. Writing the set over the file it came from would lose the rest.
    bool ReadStoppedEarly() const { return m_readStoppedEarly; }

private:
    bool ReadTextInner(const char* text, std::size_t size, const CCodeMap* map, int& errors,
                       const ReadRelease* release);
    // Writes the text form of all records (selection null) or of the listed ones, handing it
    // to `emit` in pieces; false after 2049, or when `emit` returns false.
    bool WriteCore(const std::vector<int32_t>* selection, const TextSink& emit) const;
    // One field's value of a record line for WriteCore, in the writer's own output and batch.
    template <class Out, class Batch>
    static bool AppendValue(Out& out, const CField& field, FieldClass cls, std::string& scratch,
                            Batch& batch);
    void SetTags(std::vector<std::string> tags);

    int m_kind = 0;
    std::vector<std::string> m_tags;
    std::vector<std::string> m_titles;
    std::vector<FieldTag> m_tagCodes;
    std::shared_ptr<const RecordLayout> m_layout;
    RecordList m_records;
    ReadPosition m_readPos;
    bool m_readStoppedEarly = false;
};

// Message ids of the record set and its text form.
enum RecordSetMessage : int {
    kMsgReadFormatError = 2048,  // フォーマットが異常です。...
    kMsgWriteFormatError = 2049, // 内部データが異常です。...
    kMsgBadValue = 1074, // レコード番号 %d、フィールド番号 %d の内容 '%s' が不正です。...
    kMsgIgnoreAll = 1078,     // 以降の不正なデータ項目を全て無視しますか？...
    kMsgTooManyFields = 1077, // レコード番号 %d のフィールド数が多すぎます。...
    kMsgBadLineBreak = 1076, // レコード番号 %d に不正な改行コードが検出されました。...
    kMsgInvalidInput = ids::kMsgInvalidInput, // 入力されたデータが不正です。確認してください。
    kMsgUnknownField = 1027, // 未知のフィールド名です
    kMsgBufferTooSmall = 1028, // バッファサイズ(%dバイト)以上のデータ(%dバイト)を...
    kMsgNoMemory = ids::kMsgNoMemory, // メモリ割り当てに失敗しました
    kMsgFileError = 1037,             // ファイル操作中にエラーが発生しました
    kMsgFieldsEmptied = 1079, // %d 個のフィールドにエラーがありました。...
    // The last record line ended without its line end, so that record was not read.
    kMsgRecordCutOff = 2051,
    // A line did not start with a quote: the read stopped before it (record number).
    kMsgLineWithoutQuote = ids::kMsgLineWithoutQuote,
};

} // namespace tessera
