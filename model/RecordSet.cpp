#include "model/RecordSet.h"

#include "model/Prompter.h"
#include "model/RecordArena.h"
#include "model/RecordKind.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <new>
#include <type_traits>

namespace tessera {

// ---- CDataRecord ----

namespace {

struct ClassLayout {
    std::size_t size;
    std::size_t align;
};

template <class T> constexpr ClassLayout LayoutFor() {
    return {sizeof(T), alignof(T)};
}

ClassLayout LayoutOf(FieldClass c) {
    switch (c) {
    case FieldClass::Text:
        return LayoutFor<CTextField>();
    case FieldClass::SubText:
        return LayoutFor<CSubTextField>();
    case FieldClass::Flag:
        return LayoutFor<CFlagField>();
    case FieldClass::Time:
        return LayoutFor<CTimeField>();
    case FieldClass::DayWeek:
        return LayoutFor<CDayWeekField>();
    case FieldClass::Check:
        return LayoutFor<CCheckField>();
    case FieldClass::Ascii:
        return LayoutFor<CAsciiField>();
    case FieldClass::Binary:
        return LayoutFor<CBinaryField>();
    case FieldClass::Phonogram:
        return LayoutFor<CPhonogramField>();
    case FieldClass::Image:
        return LayoutFor<CImageField>();
    case FieldClass::None:
        break;
    }
    return {0, 1};
}

// A new empty field of class `c` at `where`.
CField* ConstructField(FieldClass c, FieldTag tag, void* where) {
    switch (c) {
    case FieldClass::Text:
        return ::new (where) CTextField(tag);
    case FieldClass::SubText:
        return ::new (where) CSubTextField(tag);
    case FieldClass::Flag:
        return ::new (where) CFlagField(tag);
    case FieldClass::Time:
        return ::new (where) CTimeField(tag);
    case FieldClass::DayWeek:
        return ::new (where) CDayWeekField(tag);
    case FieldClass::Check:
        return ::new (where) CCheckField(tag);
    case FieldClass::Ascii:
        return ::new (where) CAsciiField(tag);
    case FieldClass::Binary:
        return ::new (where) CBinaryField(tag);
    case FieldClass::Phonogram:
        return ::new (where) CPhonogramField(tag);
    case FieldClass::Image:
        return ::new (where) CImageField(tag);
    case FieldClass::None:
        break;
    }
    return nullptr;
}

// A copy of `f` (tag and value) at `where`.
CField* CopyField(const CField& f, void* where) {
    switch (f.Class()) {
    case FieldClass::Text:
        return ::new (where) CTextField(static_cast<const CTextField&>(f));
    case FieldClass::SubText:
        return ::new (where) CSubTextField(static_cast<const CSubTextField&>(f));
    case FieldClass::Flag:
        return ::new (where) CFlagField(static_cast<const CFlagField&>(f));
    case FieldClass::Time:
        return ::new (where) CTimeField(static_cast<const CTimeField&>(f));
    case FieldClass::DayWeek:
        return ::new (where) CDayWeekField(static_cast<const CDayWeekField&>(f));
    case FieldClass::Check:
        return ::new (where) CCheckField(static_cast<const CCheckField&>(f));
    case FieldClass::Ascii:
        return ::new (where) CAsciiField(static_cast<const CAsciiField&>(f));
    case FieldClass::Binary:
        return ::new (where) CBinaryField(static_cast<const CBinaryField&>(f));
    case FieldClass::Phonogram:
        return ::new (where) CPhonogramField(static_cast<const CPhonogramField&>(f));
    case FieldClass::Image:
        return ::new (where) CImageField(static_cast<const CImageField&>(f));
    case FieldClass::None:
        break;
    }
    return nullptr;
}

constexpr std::size_t AlignUp(std::size_t n, std::size_t a) {
    return (n + a - 1) / a * a;
}

// A new field of final class F at `where` that has parsed `text`; `ok` tells whether it took it.
template <class F> CField* MakeParsed(void* where, FieldTag tag, std::string_view text, bool& ok) {
    auto* field = ::new (where) F(tag);
    ok = field->ParseText(text);
    return field;
}

} // namespace

RecordLayout RecordLayout::For(std::span<const FieldTag> tags) {
    RecordLayout layout;
    layout.tags.assign(tags.begin(), tags.end());
    layout.classes.reserve(tags.size());
    layout.offsets.reserve(tags.size());
    std::size_t offset = 0;
    for (FieldTag tag : tags) {
        const FieldClass c = FieldClassOf(tag);
        const ClassLayout l = LayoutOf(c);
        offset = AlignUp(offset, l.align);
        layout.classes.push_back(c);
        layout.offsets.push_back(offset);
        offset += l.size;
    }
    layout.size = offset == 0 ? 1 : offset;
    layout.byClass.resize(static_cast<std::size_t>(FieldClass::Image) + 1);
    for (std::size_t i = 0; i < layout.classes.size(); ++i)
        layout.byClass[static_cast<std::size_t>(layout.classes[i])].push_back(
            static_cast<std::uint32_t>(i));
    return layout;
}

namespace {

std::shared_ptr<const RecordLayout> SharedLayout(std::span<const FieldTag> tags) {
    return std::make_shared<const RecordLayout>(RecordLayout::For(tags));
}

// The field made at `where`: single inheritance puts the CField part at the same address.
CField* FieldIn(std::byte* where) {
    return std::launder(reinterpret_cast<CField*>(where));
}

} // namespace

template <class MakeField>
void CDataRecord::Build(std::shared_ptr<const RecordLayout> layout, std::byte* block,
                        std::size_t extra, MakeField make) {
    const RecordLayout& l = *layout;
    const std::size_t count = l.classes.size();
    std::unique_ptr<std::byte[]> own;
    if (block == nullptr) {
        own = std::make_unique_for_overwrite<std::byte[]>(l.size + extra);
        block = own.get();
    }
    std::size_t i = 0;
    try {
        for (; i < count; ++i) {
            if (l.classes[i] == FieldClass::None)
                continue;
            std::byte* where = block + l.offsets[i];
            [[maybe_unused]] CField* made = make(i, static_cast<void*>(where));
            assert(static_cast<void*>(made) == static_cast<void*>(where));
        }
    } catch (...) {
        for (std::size_t j = 0; j < i; ++j)
            if (l.classes[j] != FieldClass::None)
                FieldIn(block + l.offsets[j])->~CField();
        throw;
    }
    Release();
    m_ownsBlock = own != nullptr;
    m_block = own ? own.release() : block;
    m_layout = std::move(layout);
}

void CDataRecord::Release() noexcept {
    if (m_layout && m_block) {
        const RecordLayout& l = *m_layout;
        for (std::size_t i = 0; i < l.classes.size(); ++i)
            if (l.classes[i] != FieldClass::None)
                FieldIn(m_block + l.offsets[i])->~CField();
    }
    if (m_ownsBlock)
        delete[] m_block;
    m_block = nullptr;
    m_ownsBlock = false;
    m_layout.reset();
}

namespace {
constexpr std::size_t kSpaceOffset = AlignUp(sizeof(CDataRecord), alignof(std::max_align_t));
} // namespace

std::byte* CDataRecord::SpaceBehind() {
    return reinterpret_cast<std::byte*>(this) + kSpaceOffset;
}

void* CDataRecord::operator new(std::size_t size, WithSpace space) {
    assert(size <= kSpaceOffset);
    (void)size;
    return ::operator new(kSpaceOffset + space.bytes);
}

void* CDataRecord::operator new(std::size_t size, InArena where) {
    assert(size <= kSpaceOffset);
    (void)size;
    return where.arena->Allocate(kSpaceOffset + where.bytes);
}

void CDataRecord::operator delete(void* p, InArena) noexcept {
    CRecordArena::Release(p);
}

void CDataRecord::operator delete(CDataRecord* record, std::destroying_delete_t) noexcept {
    const bool inArena = record->m_inArena;
    record->~CDataRecord();
    if (inArena)
        CRecordArena::Release(record);
    else
        ::operator delete(static_cast<void*>(record));
}

CDataRecord::CDataRecord(std::shared_ptr<const RecordLayout> layout, WithSpace) {
    const RecordLayout& l = *layout;
    Build(std::move(layout), SpaceBehind(), 0,
          [&l](std::size_t i, void* at) { return ConstructField(l.classes[i], l.tags[i], at); });
}

std::unique_ptr<CDataRecord> CDataRecord::Make(std::shared_ptr<const RecordLayout> layout,
                                               std::size_t extra) {
    const WithSpace space{layout->size + extra};
    return std::unique_ptr<CDataRecord>(new (space) CDataRecord(std::move(layout), space));
}

CDataRecord::CDataRecord(std::span<const FieldTag> tags) {
    auto layout = SharedLayout(tags);
    const RecordLayout& l = *layout;
    Build(std::move(layout), nullptr, 0,
          [&l](std::size_t i, void* at) { return ConstructField(l.classes[i], l.tags[i], at); });
}

CDataRecord::CDataRecord(const std::vector<std::string>& tags) {
    std::vector<FieldTag> codes;
    codes.reserve(tags.size());
    for (const std::string& tag : tags)
        codes.push_back(TagCodeOf(tag));
    auto layout = SharedLayout(codes);
    const RecordLayout& l = *layout;
    Build(std::move(layout), nullptr, 0,
          [&l](std::size_t i, void* at) { return ConstructField(l.classes[i], l.tags[i], at); });
}

CDataRecord::~CDataRecord() {
    Release();
}

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
    const int count = other.FieldCount();
    for (int i = 0; i < count; ++i) {
        if (other.FieldAt(i) == nullptr) {
            ShowMessage(kMsgUnknownField, PromptIcon::Stop, PromptButtons::Ok);
            return false;
        }
    }
    try {
        // Every slot holds a field, so the copy has the same layout.
        std::shared_ptr<const RecordLayout> layout =
            other.m_layout ? other.m_layout : SharedLayout({});
        Build(std::move(layout), nullptr, 0, [&](std::size_t i, void* at) {
            return CopyField(*other.FieldAt(static_cast<int>(i)), at);
        });
        return true;
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
}

CField* CDataRecord::FieldAt(int index) {
    if (index < 0 || index >= FieldCount())
        return nullptr;
    const auto i = static_cast<std::size_t>(index);
    if (m_layout->classes[i] == FieldClass::None)
        return nullptr;
    return FieldIn(m_block + m_layout->offsets[i]);
}

const CField* CDataRecord::FieldAt(int index) const {
    return const_cast<CDataRecord*>(this)->FieldAt(index);
}

int CDataRecord::FindField(FieldTag tag) const {
    const int count = FieldCount();
    for (int i = 0; i < count; ++i) {
        const CField* field = FieldAt(i);
        if (field != nullptr && field->Tag() == tag)
            return i;
    }
    return -1;
}

bool CDataRecord::ParseField(int index, std::string_view text, bool report) {
    if (index < 0 || index >= FieldCount())
        return false;
    CField* field = FieldAt(index);
    if (field != nullptr && field->ParseText(text))
        return true;
    if (report)
        ShowMessage(kMsgInvalidInput, PromptIcon::Warning, PromptButtons::Ok);
    throw CUserAbort();
}

CDataRecord::CDataRecord(std::shared_ptr<const RecordLayout> layout, WithSpace,
                         std::span<const LineValue> values, unsigned char* refused) {
    const RecordLayout& l = *layout;
    std::byte* const block = SpaceBehind();
    char* space = reinterpret_cast<char*>(block + l.size);
    const std::size_t count = std::min(values.size(), l.classes.size());
    // A slot without a field refuses any value, an empty one too.
    for (std::uint32_t i : l.byClass[static_cast<std::size_t>(FieldClass::None)])
        if (i < count)
            refused[i] = 1;
    // The fields are made and take their values class by class: each class is one loop with
    // no choice per field, which a record of a dozen fields of mixed classes otherwise pays
    // for in jumps the processor cannot foresee. Field k takes values[k] when there is one.
    // Should anything throw (memory), every field made so far goes again: they are made in
    // the order of kOrder, so a count says which ones exist.
    constexpr FieldClass kOrder[] = {
        FieldClass::Text,      FieldClass::SubText, FieldClass::Check,   FieldClass::Flag,
        FieldClass::Time,      FieldClass::Ascii,   FieldClass::DayWeek, FieldClass::Binary,
        FieldClass::Phonogram, FieldClass::Image};
    auto ofClass = [&l](FieldClass c) -> const std::vector<std::uint32_t>& {
        return l.byClass[static_cast<std::size_t>(c)];
    };
    auto refuse = [&](CField* field, std::uint32_t i) {
        field->Clear();
        refused[i] = 1;
    };
    std::size_t made = 0;
    // Makes the fields of final class F and has each parse its value.
    auto parsed = [&](auto* kind, FieldClass c) {
        using F = std::remove_pointer_t<decltype(kind)>;
        for (std::uint32_t i : ofClass(c)) {
            auto* field = ::new (block + l.offsets[i]) F(l.tags[i]);
            ++made;
            if (i < count && !field->ParseText(values[i].text))
                refuse(field, i);
        }
    };
    try {
        for (FieldClass c : kOrder) {
            if (ofClass(c).empty())
                continue;
            switch (c) {
            case FieldClass::Text:
                for (std::uint32_t i : ofClass(c)) {
                    auto* text = ::new (block + l.offsets[i]) CTextField(l.tags[i]);
                    ++made;
                    if (i < count &&
                        !text->ReadInto(values[i].text, values[i].mayHoldControl, space))
                        refuse(text, i);
                }
                break;
            case FieldClass::SubText:
                for (std::uint32_t i : ofClass(c)) {
                    auto* sub = ::new (block + l.offsets[i]) CSubTextField(l.tags[i]);
                    ++made;
                    if (i < count && !sub->ReadInto(values[i].text, space))
                        refuse(sub, i);
                }
                break;
            case FieldClass::Check:
                parsed(static_cast<CCheckField*>(nullptr), c);
                break;
            case FieldClass::Flag:
                parsed(static_cast<CFlagField*>(nullptr), c);
                break;
            case FieldClass::Time:
                parsed(static_cast<CTimeField*>(nullptr), c);
                break;
            default:
                for (std::uint32_t i : ofClass(c)) {
                    CField* field = ConstructField(c, l.tags[i], block + l.offsets[i]);
                    ++made;
                    if (i < count && !field->ParseText(values[i].text))
                        refuse(field, i);
                }
                break;
            }
        }
    } catch (...) {
        for (FieldClass c : kOrder)
            for (std::uint32_t i : ofClass(c))
                if (made != 0) {
                    FieldIn(block + l.offsets[i])->~CField();
                    --made;
                }
        throw;
    }
    m_block = block;
    m_ownsBlock = false;
    m_layout = std::move(layout);
}

std::unique_ptr<CDataRecord> CDataRecord::MakeRead(std::shared_ptr<const RecordLayout> layout,
                                                   std::size_t extra,
                                                   std::span<const LineValue> values,
                                                   unsigned char* refused, CRecordArena& arena) {
    const WithSpace space{layout->size + extra};
    if (!CRecordArena::Fits(kSpaceOffset + space.bytes))
        return std::unique_ptr<CDataRecord>(
            new (space) CDataRecord(std::move(layout), space, values, refused));
    auto* record =
        new (InArena{&arena, space.bytes}) CDataRecord(std::move(layout), space, values, refused);
    record->m_inArena = true;
    return std::unique_ptr<CDataRecord>(record);
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
    return FieldAt(index)->SetValue(value);
}

FieldValueRef CDataRecord::GetFieldValue(FieldTag tag) const {
    const int index = FindField(tag);
    if (index < 0)
        throw CUserAbort();
    return FieldAt(index)->GetValue();
}

void CDataRecord::ClearField(int index) {
    if (CField* field = FieldAt(index))
        field->Clear();
}

// ---- CRecordSet ----

CRecordSet::CRecordSet() : m_layout(SharedLayout({})) {}
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
    m_layout = SharedLayout(m_tagCodes);
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
        return CDataRecord::Make(m_layout, 0);
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
    for (std::size_t i = 0; i < target.size(); ++i) {
        // A slot without a class never holds a value; any other column must find its own.
        if (target[i] < 0 && FieldClassOf(from.m_tagCodes[i]) != FieldClass::None)
            return false;
    }
    std::vector<int> sourceOf(to.m_tagCodes.size(), -1);
    for (std::size_t i = 0; i < target.size(); ++i)
        if (target[i] >= 0)
            sourceOf[static_cast<std::size_t>(target[i])] = static_cast<int>(i);
    try {
        RecordList rebuilt;
        rebuilt.reserve(from.m_records.size());
        const RecordLayout& layout = *to.m_layout;
        for (const auto& record : from.m_records) {
            std::unique_ptr<CDataRecord> copy(new CDataRecord());
            copy->Build(to.m_layout, nullptr, 0, [&](std::size_t j, void* at) {
                const CField* source = sourceOf[j] >= 0 ? record->FieldAt(sourceOf[j]) : nullptr;
                return source != nullptr ? CopyField(*source, at)
                                         : ConstructField(layout.classes[j], layout.tags[j], at);
            });
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
    m_layout = SharedLayout({});
    return records;
}

} // namespace tessera
