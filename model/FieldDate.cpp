// Date, time and day-of-week fields.

#include "model/Field.h"
#include "model/FieldInternal.h"
#include "text/StringTable.h"

#include <cstring>
#include <string>

namespace tessera {

using fieldimpl::AppendZeroPadded;
using fieldimpl::ReadDecimalPart;
using fieldimpl::Tag4;

namespace {

constexpr std::size_t kTimeTextSize = 14;
constexpr std::size_t kDayWeekTextSize = 8;

constexpr int kFirstYear = 1901;
constexpr int kLastYear = 2099;

// A part of the exchange or display text: the number in `digits` digits, or spaces when
// the part is absent.
void AppendPart(std::string& out, bool present, int value, int digits) {
    if (present)
        AppendZeroPadded(out, value, digits);
    else
        out.append(static_cast<std::size_t>(digits), ' ');
}

char* WritePart(char* dst, bool present, int value, int digits) {
    if (present)
        return fieldimpl::WriteZeroPadded(dst, value, digits);
    std::memset(dst, ' ', static_cast<std::size_t>(digits));
    return dst + digits;
}

} // namespace

// ---- CTimeField ----

bool CTimeField::HasTime() const {
    const FieldTag t = Tag();
    return t == Tag4("TIM1") || t == Tag4("TIM2") || t == Tag4("ALRM");
}

bool CTimeField::HasYear() const {
    return Tag() != Tag4("ANN1");
}

bool CTimeField::ParseText(std::string_view text) {
    if (text.empty()) {
        Clear();
        return true;
    }
    // Any refusal below leaves the field empty.
    Clear();
    if (text.size() != kTimeTextSize)
        return false;

    DateTimeValue v;
    if (HasYear()) {
        const auto year = ReadDecimalPart(text.substr(0, 4));
        if (!year)
            return false;
        if (*year != 0) {
            if (*year < kFirstYear || *year > kLastYear)
                return false;
            v.year = *year;
            v.flags |= DateTimeValue::kYear;
        }
    }
    const auto month = ReadDecimalPart(text.substr(4, 2));
    if (!month || *month < 1 || *month > 12)
        return false;
    v.month = *month;
    v.flags |= DateTimeValue::kMonth;

    const auto day = ReadDecimalPart(text.substr(6, 2));
    if (!day || *day < 1 || *day > 31)
        return false;
    v.day = *day;
    v.flags |= DateTimeValue::kDay;

    if (HasTime()) {
        const std::string_view hourText = text.substr(8, 2);
        if (hourText != "  ") {
            const auto hour = ReadDecimalPart(hourText);
            if (!hour || *hour > 23)
                return false;
            v.hour = *hour;
            v.flags |= DateTimeValue::kHour;
        }
        const std::string_view minuteText = text.substr(10, 2);
        if (minuteText != "  ") {
            const auto minute = ReadDecimalPart(minuteText);
            if (!minute || *minute > 59)
                return false;
            v.minute = *minute;
            v.flags |= DateTimeValue::kMinute;
        }
    }
    m_value = v;
    m_set = true;
    return true;
}

bool CTimeField::SetValue(const FieldValue& value) {
    const auto* in = std::get_if<DateTimeValue>(&value);
    if (in == nullptr)
        return false;
    if (in->flags == 0) {
        Clear();
        return false;
    }
    // Keep only the parts this tag carries in its exchange text.
    int32_t flags =
        in->flags & (DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay |
                     DateTimeValue::kHour | DateTimeValue::kMinute);
    if (!HasYear())
        flags &= ~DateTimeValue::kYear;
    if (!HasTime())
        flags &= ~(DateTimeValue::kHour | DateTimeValue::kMinute);

    // Refuse what the text form could not carry back: it would be rejected when read.
    if (!(flags & DateTimeValue::kMonth) || !(flags & DateTimeValue::kDay))
        return false;
    if (in->month < 1 || in->month > 12 || in->day < 1 || in->day > 31)
        return false;
    if ((flags & DateTimeValue::kYear) && (in->year < kFirstYear || in->year > kLastYear))
        return false;
    if ((flags & DateTimeValue::kHour) && (in->hour < 0 || in->hour > 23))
        return false;
    if ((flags & DateTimeValue::kMinute) && (in->minute < 0 || in->minute > 59))
        return false;

    // Parts without their bit keep the values they had.
    if (flags & DateTimeValue::kYear)
        m_value.year = in->year;
    m_value.month = in->month;
    m_value.day = in->day;
    if (flags & DateTimeValue::kHour)
        m_value.hour = in->hour;
    if (flags & DateTimeValue::kMinute)
        m_value.minute = in->minute;
    m_value.flags = flags;
    m_set = true;
    return true;
}

FieldValueRef CTimeField::GetValue() const {
    if (!m_set)
        return std::monostate{};
    return &m_value;
}

void CTimeField::Clear() {
    m_value = DateTimeValue{};
    m_set = false;
}

std::unique_ptr<CField> CTimeField::Clone() const {
    return std::make_unique<CTimeField>(*this);
}

std::size_t CTimeField::RequiredCapacity(bool display) const {
    return display ? 19 : 15;
}

bool CTimeField::Render(std::string& out, bool display) const {
    if (!m_set)
        return true;
    const int32_t f = m_value.flags;
    const bool year = (f & DateTimeValue::kYear) != 0;
    const bool month = (f & DateTimeValue::kMonth) != 0;
    const bool day = (f & DateTimeValue::kDay) != 0;
    const bool hour = (f & DateTimeValue::kHour) != 0;
    const bool minute = (f & DateTimeValue::kMinute) != 0;
    if (!display) {
        const std::size_t old = out.size();
        out.resize(old + kExchangeBound);
        char* end = WriteExchange(out.data() + old);
        out.resize(static_cast<std::size_t>(end - out.data()));
        return true;
    }
    if (year || hour || minute) {
        AppendPart(out, year, m_value.year, 4);
        out.push_back('/');
    }
    AppendPart(out, month, m_value.month, 2);
    out.push_back('/');
    AppendPart(out, day, m_value.day, 2);
    if (hour || minute) {
        out.push_back(' ');
        AppendPart(out, hour, m_value.hour, 2);
        out.push_back(':');
        AppendPart(out, minute, m_value.minute, 2);
    }
    return true;
}

char* CTimeField::WriteExchange(char* dst) const {
    if (!m_set)
        return dst;
    const int32_t f = m_value.flags;
    dst = WritePart(dst, (f & DateTimeValue::kYear) != 0, m_value.year, 4);
    dst = WritePart(dst, (f & DateTimeValue::kMonth) != 0, m_value.month, 2);
    dst = WritePart(dst, (f & DateTimeValue::kDay) != 0, m_value.day, 2);
    dst = WritePart(dst, (f & DateTimeValue::kHour) != 0, m_value.hour, 2);
    dst = WritePart(dst, (f & DateTimeValue::kMinute) != 0, m_value.minute, 2);
    *dst++ = ' ';
    *dst++ = ' ';
    return dst;
}

// ---- CDayWeekField ----

bool CDayWeekField::ParseText(std::string_view text) {
    if (text.empty()) {
        Clear();
        return true;
    }
    // The parts read before the first bad one keep their bits; the field stays unset.
    Clear();
    if (text.size() != kDayWeekTextSize)
        return false;
    const auto month = ReadDecimalPart(text.substr(4, 2));
    if (!month || *month < 1 || *month > 12)
        return false;
    m_value.month = *month;
    m_value.flags |= DayWeekValue::kMonth;

    const char week = text[6];
    if (week < '1' || week > '5')
        return false;
    m_value.week = week - '0';
    m_value.flags |= DayWeekValue::kWeek;

    const char dow = text[7];
    if (dow < '0' || dow > '6')
        return false;
    m_value.dayOfWeek = dow - '0';
    m_value.flags |= DayWeekValue::kDayOfWeek;
    m_set = true;
    return true;
}

bool CDayWeekField::SetValue(const FieldValue& value) {
    const auto* in = std::get_if<DayWeekValue>(&value);
    if (in == nullptr)
        return false;
    if ((in->flags & DayWeekValue::kAll) != DayWeekValue::kAll) {
        Clear();
        return false;
    }
    // A value out of range would be written as text the reader refuses.
    if (in->month < 1 || in->month > 12 || in->week < 1 || in->week > 5 || in->dayOfWeek < 0 ||
        in->dayOfWeek > 6)
        return false;
    m_value = *in;
    m_value.flags = DayWeekValue::kAll;
    m_set = true;
    return true;
}

FieldValueRef CDayWeekField::GetValue() const {
    if (!m_set)
        return std::monostate{};
    return &m_value;
}

void CDayWeekField::Clear() {
    m_value = DayWeekValue{};
    m_set = false;
}

std::unique_ptr<CField> CDayWeekField::Clone() const {
    return std::make_unique<CDayWeekField>(*this);
}

std::size_t CDayWeekField::RequiredCapacity(bool display) const {
    return display ? 24 : 9;
}

bool CDayWeekField::Render(std::string& out, bool display) const {
    if (!m_set)
        return true;
    if (!display) {
        out.append("    ");
        AppendZeroPadded(out, m_value.month, 2);
        AppendZeroPadded(out, m_value.week, 1);
        out.push_back(static_cast<char>('0' + m_value.dayOfWeek));
        return true;
    }
    out.append(LoadString(12831 + m_value.month));
    out.push_back(' ');
    if (m_value.week >= 1 && m_value.week <= 4) // the fifth week has no label
        out.append(LoadString(12847 + m_value.week));
    out.push_back(' ');
    out.append(LoadString(12864 + m_value.dayOfWeek));
    return true;
}

} // namespace tessera
