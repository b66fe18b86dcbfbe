// Build-time generator: turns the UTF-8 sources of resources/ into code page 932 C++ data.
//   resgen strings  strings.txt  out.cpp [ids.h]   the string table [and its named ids]
//   resgen charmap  charmap.txt  out.cpp   the three device character tables
//   resgen cp932    out.cpp                the code page 932 <-> Unicode tables
// Any text that code page 932 cannot hold, a duplicate id or a malformed row stops the build.

#include "text/LeadByte.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const QString& where, const QString& what) {
    std::fprintf(stderr, "resgen: %s: %s\n", qPrintable(where), qPrintable(what));
    std::exit(1);
}

QByteArray ToCp932(const QString& text, const QString& where) {
    QStringEncoder enc("windows-31j");
    if (!enc.isValid())
        Fail(where, QStringLiteral("no windows-31j codec in this Qt"));
    QByteArray out;
    // Encode one character at a time so that a character with no code is reported
    // instead of being replaced silently.
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        QString ch = text.mid(i, n);
        QByteArray b = enc.encode(ch);
        if (enc.hasError() || b.isEmpty())
            Fail(where, QStringLiteral("character U+%1 has no code page 932 code")
                            .arg(ch.at(0).unicode(), 4, 16, QLatin1Char('0')));
        out += b;
        i += n - 1;
    }
    return out;
}

// Undoes the C escapes of a source line: \n \r \t \\ \" \xHH.
QString Unescape(const QString& s, const QString& where) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        QChar c = s.at(i);
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= s.size())
            Fail(where, QStringLiteral("backslash at line end"));
        switch (s.at(i).unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        case '"':
            out += QLatin1Char('"');
            break;
        case 'x': {
            bool ok = false;
            uint v = s.mid(i + 1, 2).toUInt(&ok, 16);
            if (!ok || s.mid(i + 1, 2).size() != 2)
                Fail(where, QStringLiteral("bad \\x escape"));
            out += QChar(v);
            i += 2;
            break;
        }
        default:
            Fail(where, QStringLiteral("unknown escape \\%1").arg(s.at(i)));
        }
    }
    return out;
}

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        Fail(path, QStringLiteral("cannot read"));
    QByteArray all = f.readAll();
    QStringDecoder dec(QStringDecoder::Utf8);
    QString text = dec.decode(all);
    if (dec.hasError())
        Fail(path, QStringLiteral("not valid UTF-8"));
    text.remove(QLatin1Char('\r'));
    return text.split(QLatin1Char('\n'));
}

// A C++ string literal holding exactly `bytes` (octal escapes for everything unsafe).
std::string Literal(const QByteArray& bytes) {
    std::string out = "\"";
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\' && b != '?') {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", b);
            out += buf;
        }
    }
    out += '"';
    return out;
}

void WriteFile(const QString& path, const std::string& content) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        Fail(path, QStringLiteral("cannot write"));
    f.write(content.data(), static_cast<qint64>(content.size()));
    if (!f.commit())
        Fail(path, QStringLiteral("cannot write"));
}

// A comment line "#= kName" names the entry on the next line: the generated header then
// holds `inline constexpr int kName = id;`, so code never spells the number twice.
// Resource packs read the marker as the comment it is.
bool IsIdName(const QString& name) {
    if (name.size() < 2 || name.at(0) != QLatin1Char('k') || !name.at(1).isUpper())
        return false;
    for (QChar c : name)
        if (c.unicode() > 0x7F || !(c.isLetterOrNumber() || c == QLatin1Char('_')))
            return false;
    return true;
}

int GenStrings(const QString& in, const QString& out, const QString& idsOut) {
    std::map<int, QByteArray> table;
    std::map<QString, std::pair<int, QString>> names; // name -> (id, source text)
    QString pendingName, pendingWhere;
    const QStringList lines = ReadLines(in);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString& line = lines[n];
        QString where = QStringLiteral("%1:%2").arg(in).arg(n + 1);
        if (line.startsWith(QLatin1String("#="))) {
            if (!pendingName.isEmpty())
                Fail(pendingWhere,
                     QStringLiteral("name %1 is not followed by an entry").arg(pendingName));
            pendingName = line.mid(2).trimmed();
            pendingWhere = where;
            if (!IsIdName(pendingName))
                Fail(where,
                     QStringLiteral("a name is k followed by a capital and letters or digits"));
            if (names.count(pendingName))
                Fail(where, QStringLiteral("name %1 given twice").arg(pendingName));
            continue;
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            if (!pendingName.isEmpty())
                Fail(pendingWhere,
                     QStringLiteral("name %1 is not followed by an entry").arg(pendingName));
            continue;
        }
        qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0)
            Fail(where, QStringLiteral("expected ID<TAB>text"));
        bool ok = false;
        int id = line.left(tab).toInt(&ok);
        if (!ok || id < 0 || id > 199999)
            Fail(where, QStringLiteral("bad id"));
        if (table.count(id))
            Fail(where, QStringLiteral("id %1 given twice").arg(id));
        table[id] = ToCp932(Unescape(line.mid(tab + 1), where), where);
        if (!pendingName.isEmpty())
            names[pendingName] = {id, line.mid(tab + 1)};
        pendingName.clear();
    }
    if (!pendingName.isEmpty())
        Fail(pendingWhere, QStringLiteral("name %1 is not followed by an entry").arg(pendingName));
    std::string src = "// Generated from strings.txt; do not edit.\n"
                      "#include \"resources/StringData.h\"\n\n"
                      "namespace tessera::detail {\n\n"
                      "const StringDataEntry kStringData[] = {\n";
    for (const auto& [id, bytes] : table)
        src += "    {" + std::to_string(id) + ", " + Literal(bytes) + ", " +
               std::to_string(bytes.size()) + "},\n";
    src += "};\nconst std::size_t kStringDataCount = " + std::to_string(table.size()) +
           ";\n\n} // namespace tessera::detail\n";
    WriteFile(out, src);
    if (idsOut.isEmpty())
        return 0;
    std::map<int, QString> byId;
    for (const auto& [name, entry] : names)
        byId[entry.first] = name;
    std::string ids = "// Generated from strings.txt (its \"#= kName\" lines); do not edit.\n"
                      "#pragma once\n\nnamespace tessera::ids {\n\n";
    for (const auto& [id, name] : byId) {
        // The start of the text as a reminder; no backslash, which would continue the comment.
        QString hint = names[name].second.left(40);
        hint.replace(QLatin1Char('\\'), QLatin1Char('/'));
        ids += "inline constexpr int " + name.toStdString() + " = " + std::to_string(id) + "; // " +
               hint.toStdString() + "\n";
    }
    ids += "\n} // namespace tessera::ids\n";
    WriteFile(idsOut, ids);
    return 0;
}

// ---- character tables ----

enum class Kind { Strings, Single, Double };

struct Range {
    int first = 0;
    int last = 0;
    int group = 0;
    Kind kind = Kind::Double;
    std::vector<QByteArray> results; // one per code; empty = unchanged
    int number = 0;
    int offset = 0;
};

int GroupBits(const QString& g, const QString& where) {
    if (g == QLatin1String("always"))
        return 0x00;
    if (g == QLatin1String("symbol"))
        return 0x40;
    if (g == QLatin1String("kana"))
        return 0x80;
    if (g == QLatin1String("alnum"))
        return 0xC0;
    Fail(where, QStringLiteral("unknown group %1").arg(g));
}

int GenCharmap(const QString& in, const QString& out) {
    QByteArray single;
    std::vector<Range> ranges;
    const QStringList lines = ReadLines(in);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString where = QStringLiteral("%1:%2").arg(in).arg(n + 1);
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList tok = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (tok[0] == QLatin1String("single")) {
            if (tok.size() != 2)
                Fail(where, QStringLiteral("single needs one text"));
            single = tok[1].toLatin1();
            continue;
        }
        if (tok.size() < 5)
            Fail(where, QStringLiteral("expected: FIRST LAST GROUP KIND RESULTS..."));
        Range r;
        bool ok1 = false, ok2 = false;
        r.first = tok[0].toInt(&ok1, 16);
        r.last = tok[1].toInt(&ok2, 16);
        if (!ok1 || !ok2 || r.first < 0x8100 || r.last > 0xFDFF || r.last < r.first)
            Fail(where, QStringLiteral("bad code range"));
        r.group = GroupBits(tok[2], where);
        const int count = r.last - r.first + 1;
        if (tok[3] == QLatin1String("single")) {
            r.kind = Kind::Single;
            QByteArray digits = tok[4].toLatin1();
            if (tok.size() != 5 || digits.size() != count)
                Fail(where, QStringLiteral("single range needs one ASCII character per code"));
            r.offset = static_cast<int>(single.indexOf(digits));
            if (r.offset < 0)
                Fail(where, QStringLiteral("results not found in the single-byte table"));
            for (char c : digits)
                r.results.emplace_back(1, c);
        } else {
            r.kind = tok[3] == QLatin1String("str") ? Kind::Strings
                     : tok[3] == QLatin1String("double")
                         ? Kind::Double
                         : (Fail(where, QStringLiteral("bad kind")), Kind::Double);
            if (tok.size() - 4 != count)
                Fail(where,
                     QStringLiteral("%1 results for %2 codes").arg(tok.size() - 4).arg(count));
            for (qsizetype i = 4; i < tok.size(); ++i) {
                if (tok[i] == QLatin1String("="))
                    r.results.emplace_back();
                else
                    r.results.push_back(ToCp932(Unescape(tok[i], where), where));
                if (r.kind == Kind::Double && !r.results.back().isEmpty() &&
                    r.results.back().size() != 2)
                    Fail(where,
                         QStringLiteral("double-byte result %1 is not one double-byte character")
                             .arg(tok[i]));
            }
        }
        for (const Range& o : ranges)
            if (!(r.last < o.first || r.first > o.last))
                Fail(where, QStringLiteral("overlaps another range"));
        ranges.push_back(r);
    }
    if (single.size() != 72)
        Fail(in, QStringLiteral("the single-byte table must hold 72 characters"));

    std::vector<unsigned char> cls(32000, 0);
    std::vector<std::pair<int, int>> rangeInfo(64, {0, 0});
    std::vector<QByteArray> strings;
    QByteArray doubles;
    int nextStr = 1, nextSingle = 21, nextDouble = 41;
    for (Range& r : ranges) {
        QString where = QStringLiteral("range %1").arg(r.first, 4, 16);
        if (r.kind == Kind::Strings) {
            r.number = nextStr++;
            // Ranges with identical result lists share their entries ("10".."16", "[TEL]").
            int found = -1;
            for (size_t s = 0; s + r.results.size() <= strings.size() && found < 0; ++s) {
                bool same = true;
                for (size_t k = 0; k < r.results.size() && same; ++k)
                    same = strings[s + k] == r.results[k];
                if (same)
                    found = static_cast<int>(s);
            }
            if (found < 0) {
                found = static_cast<int>(strings.size());
                for (const QByteArray& b : r.results) {
                    if (b.isEmpty() || b.size() > 6)
                        Fail(where, QStringLiteral("result strings are 1 to 6 bytes"));
                    strings.push_back(b);
                }
            }
            r.offset = found;
        } else if (r.kind == Kind::Single) {
            r.number = nextSingle++;
        } else {
            r.number = nextDouble++;
            r.offset = static_cast<int>(doubles.size() / 2);
            for (int i = 0; i < static_cast<int>(r.results.size()); ++i) {
                const int code = r.first + i;
                if (r.results[i].isEmpty()) {
                    doubles += static_cast<char>(code >> 8);
                    doubles += static_cast<char>(code & 0xFF);
                } else {
                    doubles += r.results[i];
                }
            }
        }
        if (r.number > 63 || (r.kind == Kind::Strings && r.number > 20) ||
            (r.kind == Kind::Single && r.number > 40))
            Fail(where, QStringLiteral("too many ranges of this kind"));
        rangeInfo[r.number] = {r.first, r.offset};
        for (int i = 0; i < static_cast<int>(r.results.size()); ++i) {
            // Codes left unchanged inside a range keep class 0, so nothing is looked up.
            if (r.kind != Kind::Single && r.results[i].isEmpty())
                continue;
            cls[r.first + i - 0x8100] = static_cast<unsigned char>(r.group | r.number);
        }
    }
    if (doubles.size() != 358)
        Fail(in, QStringLiteral("double-byte table has %1 entries, expected 179")
                     .arg(doubles.size() / 2));
    if (strings.size() != 163)
        Fail(in, QStringLiteral("result list has %1 strings, expected 163").arg(strings.size()));

    std::string src = "// Generated from charmap.txt; do not edit.\n"
                      "#include \"resources/CharTables.h\"\n\n"
                      "namespace tessera::chartables {\n\n";
    src += "const unsigned char kClassTable[kClassTableSize] = {";
    for (size_t i = 0; i < cls.size(); ++i)
        src += (i % 32 == 0 ? "\n    " : "") + std::to_string(cls[i]) + ",";
    src += "\n};\n\nconst char kSingleTable[kSingleTableSize + 1] = " + Literal(single) + ";\n\n";
    src += "const unsigned char kDoubleTable[kDoubleTableSize] = {";
    for (qsizetype i = 0; i < doubles.size(); ++i)
        src += (i % 16 == 0 ? "\n    " : "") +
               std::to_string(static_cast<unsigned char>(doubles[i])) + ",";
    src += "\n};\n\nconst RangeInfo kRanges[kRangeCount] = {\n";
    for (const auto& [first, offset] : rangeInfo)
        src += "    {" + std::to_string(first) + ", " + std::to_string(offset) + "},\n";
    src += "};\n\nconst ResultString kResultStrings[kResultStringCount] = {\n";
    QByteArray text;
    for (const QByteArray& s : strings) {
        src += "    {" + std::to_string(text.size()) + ", " + std::to_string(s.size()) + "},\n";
        text += s;
    }
    src += "};\n\nconst char kResultText[] = " + Literal(text) +
           ";\n\n"
           "} // namespace tessera::chartables\n";
    WriteFile(out, src);
    return 0;
}

// ---- code page 932 <-> Unicode ----

int GenCp932(const QString& out) {
    // Every code the codec defines, single and double byte, with its Unicode character,
    // plus the canonical code of every character (duplicates in the NEC and IBM rows
    // encode to one of their codes).
    std::vector<std::pair<unsigned, unsigned>> decode;
    std::map<unsigned, unsigned> encode;
    auto tryCode = [&](const QByteArray& bytes, unsigned code) {
        QStringDecoder dec("windows-31j");
        QString s = dec.decode(bytes);
        if (dec.hasError() || s.size() != 1 || s.at(0) == QChar(0xFFFD) ||
            (s.at(0) == QChar(0x1A) && code != 0x1A))
            return;
        const unsigned u = s.at(0).unicode();
        decode.emplace_back(code, u);
        if (!encode.count(u)) {
            QStringEncoder enc("windows-31j");
            QByteArray b = enc.encode(s);
            if (!enc.hasError() && !b.isEmpty()) {
                unsigned c = 0;
                for (char ch : b)
                    c = (c << 8) | static_cast<unsigned char>(ch);
                encode[u] = c;
            }
        }
    };
    for (unsigned b = 0; b < 0x100; ++b) {
        if (!tessera::IsLeadByte(static_cast<unsigned char>(b)))
            tryCode(QByteArray(1, static_cast<char>(b)), b);
    }
    // Lead 0xFD holds only device-only codes; the codec defines none of them.
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!tessera::IsLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            QByteArray b;
            b += static_cast<char>(lead);
            b += static_cast<char>(trail);
            tryCode(b, (lead << 8) | trail);
        }
    }
    if (decode.size() < 7000)
        Fail(out, QStringLiteral("the windows-31j codec defines too few codes"));
    std::string src = "// Generated from the windows-31j codec; do not edit.\n"
                      "#include \"resources/Cp932Data.h\"\n\n"
                      "namespace tessera::detail {\n\n"
                      "const Cp932Pair kCp932Decode[] = {";
    int k = 0;
    for (const auto& [c, u] : decode)
        src += (k++ % 8 == 0 ? "\n    " : " ") + std::string("{") + std::to_string(c) + "," +
               std::to_string(u) + "},";
    src += "\n};\nconst std::size_t kCp932DecodeCount = " + std::to_string(decode.size()) + ";\n\n";
    src += "const Cp932Pair kCp932Encode[] = {";
    k = 0;
    for (const auto& [u, c] : encode)
        src += (k++ % 8 == 0 ? "\n    " : " ") + std::string("{") + std::to_string(u) + "," +
               std::to_string(c) + "},";
    src += "\n};\nconst std::size_t kCp932EncodeCount = " + std::to_string(encode.size()) +
           ";\n\n} // namespace tessera::detail\n";
    WriteFile(out, src);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("strings") && (argc == 4 || argc == 5))
        return GenStrings(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          argc == 5 ? QString::fromLocal8Bit(argv[4]) : QString());
    if (mode == QLatin1String("charmap") && argc == 4)
        return GenCharmap(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (mode == QLatin1String("cp932") && argc == 3)
        return GenCp932(QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr,
                 "usage: resgen strings IN OUT [IDS] | resgen charmap IN OUT | resgen cp932 OUT\n");
    return 1;
}
