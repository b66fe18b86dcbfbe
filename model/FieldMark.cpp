// Check marks, done marks and priorities, and their display strings.

#include "model/Field.h"
#include "model/FieldInternal.h"
#include "text/StringTable.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

namespace tessera {

using fieldimpl::Tag4;

namespace {

// The fixed exchange symbols of check marks (code page 932): "△" 1, "×" 2, "○" 3.
const std::string kFixedCheck[4] = {"", std::string(CCheckField::ExchangeSymbol(1)),
                                    std::string(CCheckField::ExchangeSymbol(2)),
                                    std::string(CCheckField::ExchangeSymbol(3))};

// Built-in texts used when the string table has no entry: "緊急" "Ａ" "Ｂ" "Ｃ", "済".
const std::string kDefaultPriority[4] = {"\x8b\xd9\x8b\x7d", "\x82\x60", "\x82\x61", "\x82\x62"};
const std::string kDefaultDone = "\x8d\xcf";

// Each mark text lives in an 8-byte slot: at most 7 bytes, never cutting a double-byte
// character in half.
std::string SlotText(int id, const std::string& fallback) {
    const std::string& loaded = LoadString(id);
    const std::string& text = loaded.empty() ? fallback : loaded;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t width =
            fieldimpl::IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > 7)
            break;
        end += width;
    }
    return text.substr(0, std::min(end, text.size()));
}

fieldimpl::MarkStrings g_marks;
std::once_flag g_marksOnce;

void LoadMarks() {
    fieldimpl::MarkStrings m;
    m.check[1] = SlotText(12802, kFixedCheck[1]);
    m.check[2] = SlotText(12801, kFixedCheck[2]);
    m.check[3] = SlotText(12800, kFixedCheck[3]);
    for (int v = 1; v < 4; ++v)
        m.checkKey[v] = fieldimpl::MarkKey(m.check[v]);
    for (int i = 0; i < 4; ++i)
        m.priority[i] = SlotText(12816 + i, kDefaultPriority[i]);
    m.done = SlotText(12820, kDefaultDone);
    g_marks = std::move(m);
}

// Set once the first load is done: every check field made or read asks, so the common
// answer costs one load instead of a call.
std::atomic<bool> g_marksReady{false};

void EnsureMarks() {
    if (g_marksReady.load(std::memory_order_acquire))
        return;
    std::call_once(g_marksOnce, [] {
        LoadMarks();
        g_marksReady.store(true, std::memory_order_release);
    });
}

} // namespace

namespace fieldimpl {
const MarkStrings& LoadedMarkStrings() {
    EnsureMarks();
    return g_marks;
}
} // namespace fieldimpl

void ReloadMarkStrings() {
    EnsureMarks();
    LoadMarks();
}

// ---- CCheckField ----

CCheckField::CCheckField(FieldTag tag) : CField(tag) {
    EnsureMarks();
}

bool CCheckField::ParseText(std::string_view text) {
    if (text.empty()) {
        m_value = 0;
        return true;
    }
    // The loaded symbols first, then always the fixed ones, so that a resource pack that
    // changes only some symbols cannot make files unreadable. Marks are at most 7 bytes, so
    // they compare as numbers.
    static constexpr std::uint64_t kFixedKeys[4] = {0, fieldimpl::MarkKey(ExchangeSymbol(1)),
                                                    fieldimpl::MarkKey(ExchangeSymbol(2)),
                                                    fieldimpl::MarkKey(ExchangeSymbol(3))};
    const std::uint64_t key = fieldimpl::MarkKey(text);
    if (key != 0) {
        const auto& marks = fieldimpl::LoadedMarkStrings();
        for (int v = 3; v >= 1; --v) {
            if (marks.checkKey[v] == key) { // an empty mark has key 0
                m_value = v;
                return true;
            }
        }
        for (int v = 3; v >= 1; --v) {
            if (kFixedKeys[v] == key) {
                m_value = v;
                return true;
            }
        }
    }
    m_value = 0;
    return false;
}

bool CCheckField::SetValue(const FieldValue& value) {
    const auto* v = std::get_if<int32_t>(&value);
    if (v == nullptr || *v < 0 || *v > 3)
        return false;
    m_value = *v;
    return true;
}

std::unique_ptr<CField> CCheckField::Clone() const {
    return std::make_unique<CCheckField>(*this);
}

std::size_t CCheckField::RequiredCapacity(bool) const {
    return 3;
}

bool CCheckField::Render(std::string& out, bool display) const {
    if (m_value < 0 || m_value > 3)
        return false;
    if (m_value == 0)
        return true;
    out.append(display ? fieldimpl::LoadedMarkStrings().check[m_value] : kFixedCheck[m_value]);
    return true;
}

// ---- CAsciiField ----

CAsciiField::CAsciiField(FieldTag tag) : CField(tag) {
    EnsureMarks();
}

int32_t CAsciiField::MaxValue() const {
    if (Tag() == Tag4("MARK"))
        return 1;
    if (Tag() == Tag4("PRTY"))
        return 3;
    return -1;
}

bool CAsciiField::ParseText(std::string_view text) {
    const int32_t max = MaxValue();
    if (max < 0 || text.size() != 2 || text[0] != '0' || text[1] < '0' || text[1] > '0' + max) {
        m_value = -1;
        return false;
    }
    m_value = text[1] - '0';
    return true;
}

bool CAsciiField::SetValue(const FieldValue& value) {
    const auto* v = std::get_if<int32_t>(&value);
    const int32_t max = MaxValue();
    if (v == nullptr || max < 0 || *v < 0 || *v > max)
        return false;
    m_value = *v;
    return true;
}

std::unique_ptr<CField> CAsciiField::Clone() const {
    return std::make_unique<CAsciiField>(*this);
}

std::size_t CAsciiField::RequiredCapacity(bool display) const {
    return display ? 5 : 3;
}

bool CAsciiField::Render(std::string& out, bool display) const {
    const int32_t max = MaxValue();
    if (max < 0)
        return false;
    // No value yet: an empty text in both forms; the reader refuses it, so it can never
    // come back as a value the record did not have.
    if (m_value < 0 || m_value > max)
        return m_value < 0;
    if (!display) {
        out.push_back('0');
        out.push_back(static_cast<char>('0' + m_value));
        return true;
    }
    const auto& marks = fieldimpl::LoadedMarkStrings();
    if (Tag() == Tag4("MARK"))
        out.append(m_value == 1 ? marks.done : std::string(" "));
    else
        out.append(marks.priority[m_value]);
    return true;
}

} // namespace tessera
