#include "bundle/ExportBundle.h"

#include "base/SafeSave.h"
#include "bundle/BackupFolder.h"
#include "bundle/MemoPng.h"
#include "filters/CsvFormat.h"
#include "filters/FilterKit.h"
#include "filters/ICalFormat.h"
#include "filters/VCardFormat.h"
#include "model/DiBitmap.h"
#include "model/Field.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <set>

namespace tessera::bundle {

namespace {

bool IsContactKind(int kind) {
    return kind == kKindPhoneBook || kind == kKindBusinessCard;
}
bool IsCalendarKind(int kind) {
    return kind == kKindSchedule || kind == kKindAnniversary || kind == kKindAnniversaryWeek ||
           kind == kKindActionList;
}

QString Utf8(const std::string& s) {
    return QString::fromStdString(s);
}

// The body of one iCalendar file: its components, without the calendar's own lines.
std::string CalendarBody(const std::string& ics) {
    const std::string head = "CALSCALE:GREGORIAN\r\n";
    const std::size_t from = ics.find(head);
    const std::size_t to = ics.rfind("END:VCALENDAR\r\n");
    if (from == std::string::npos || to == std::string::npos || to < from + head.size())
        return {};
    return ics.substr(from + head.size(), to - from - head.size());
}

// Writes the bundle's files and keeps the list.
class Writer {
public:
    Writer(const QString& outDir, BundleResult& result) : m_dir(outDir), m_result(result) {}

    void File(const QString& relative, const QByteArray& bytes, int records) {
        const QString path = m_dir.filePath(relative);
        QString reason;
        if (!QDir().mkpath(QFileInfo(path).path())) {
            m_result.failures << QStringLiteral("%1: cannot make the folder").arg(relative);
            return;
        }
        if (!SaveFileSafely(path, std::string_view(bytes.constData(), bytes.size()), &reason)) {
            m_result.failures << QStringLiteral("%1: %2").arg(relative, reason);
            return;
        }
        m_result.files.push_back({relative, records});
    }
    // `stem``suffix` inside `folder`, unique within this bundle.
    QString Unique(const QString& folder, const QString& stem, const QString& suffix) {
        QString name = folder + stem + suffix;
        for (int n = 2; m_used.count(name.toLower()) != 0; ++n)
            name = QStringLiteral("%1%2-%3%4").arg(folder, stem).arg(n).arg(suffix);
        m_used.insert(name.toLower());
        return name;
    }

private:
    QDir m_dir;
    BundleResult& m_result;
    std::set<QString> m_used;
};

void TakeNotes(BundleResult& result, const QString& file, const QString& label) {
    for (const std::string& line : filters::RunNotes().Lines())
        result.notes << QStringLiteral("%1 (%2): %3").arg(file, label, Utf8(line));
    filters::RunNotes().Clear();
}

QString Title(const CRecordSet& set, int record, const QString& fallback) {
    const int index = set.FindTag(MakeTag("CLAS"));
    if (index < 0)
        return fallback;
    return FileTitle(Utf8(filters::ExchangeUtf8(*set.RecordAt(record), index)), fallback);
}

QString Number(int n, int total) {
    const int width = std::max(2, static_cast<int>(QString::number(total).size()));
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

} // namespace

QString FileTitle(const QString& title, const QString& fallback) {
    QString out;
    for (const QChar c : title) {
        const bool bad =
            c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c);
        out += bad ? QLatin1Char('_') : c;
    }
    while (!out.isEmpty() && (out.front() == QLatin1Char('.') || out.front().isSpace()))
        out.remove(0, 1);
    while (!out.isEmpty() && (out.back() == QLatin1Char('.') || out.back().isSpace()))
        out.chop(1);
    if (out.size() > 60)
        out = out.left(60).trimmed();
    return out.isEmpty() ? fallback : out;
}

QByteArray ReportText(const CRecordSet& set, int record) {
    const int index = set.FindTag(MakeTag("MEM1"));
    if (index < 0)
        return {};
    QString text = Utf8(filters::ExchangeUtf8(*set.RecordAt(record), index));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.contains(QLatin1Char('\t'))) {
        // An item list: each item "name TAB content", the items on lines of their own.
        QStringList lines = text.split(QLatin1Char('\n'));
        for (QString& line : lines)
            line.replace(QLatin1Char('\t'), QStringLiteral(": "));
        text = lines.join(QLatin1Char('\n'));
    }
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text.toUtf8();
}

CExportBundle::CExportBundle() = default;
CExportBundle::~CExportBundle() = default;

bool CExportBundle::AddText(const QString& label, std::string_view textForm, QString* why) {
    CRecordSet read;
    filters::Failure failure;
    bool ok = filters::ReadTextForm(textForm, read, failure);
    std::unique_ptr<CRecordSet> set;
    if (ok && IsValidKind(read.Kind())) {
        set = filters::OnKindTags(read, read.Kind(), failure);
        ok = set != nullptr;
    } else if (ok) {
        failure.message = "no record kind could be told from its fields";
        ok = false;
    }
    filters::RunNotes().Clear();
    if (!ok) {
        if (why)
            *why = QStringLiteral("%1: %2").arg(label, Utf8(failure.message));
        return false;
    }
    m_sources.push_back({label, std::move(set)});
    return true;
}

bool CExportBundle::AddFile(const QString& path, QString* why) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    return AddText(path, std::string_view(bytes.constData(), bytes.size()), why);
}

bool CExportBundle::AddFolder(const QString& dir, QStringList* why) {
    const QDir d(dir);
    bool all = true;
    for (const QString& name :
         d.entryList({QStringLiteral("*.tsr")}, QDir::Files | QDir::Readable, QDir::Name)) {
        QString reason;
        if (!AddFile(d.filePath(name), &reason)) {
            all = false;
            if (why)
                *why << reason;
        }
    }
    return all;
}

BundleResult CExportBundle::Write(const QString& outDir) {
    BundleResult result;
    Writer writer(outDir, result);
    std::string contacts, calendar;
    int contactRecords = 0, calendarRecords = 0;
    bool anyCalendar = false;
    int memoTotal = 0, reportTotal = 0, memoNo = 0, reportNo = 0;
    for (const Source& s : m_sources) {
        if (s.set->Kind() == kKindMemo)
            memoTotal += s.set->RecordCount();
        if (s.set->Kind() == kKindReport)
            reportTotal += s.set->RecordCount();
    }

    for (const Source& s : m_sources) {
        const CRecordSet& set = *s.set;
        const int kind = set.Kind();
        const QString label =
            QFileInfo(s.label).fileName().isEmpty() ? s.label : QFileInfo(s.label).fileName();
        filters::Failure failure;
        std::string out;
        if (IsContactKind(kind)) {
            if (filters::ExportVCard(set, out, failure)) {
                contacts += out;
                contactRecords += set.RecordCount();
            } else {
                result.failures
                    << QStringLiteral("contacts.vcf (%1): %2").arg(label, Utf8(failure.message));
            }
            TakeNotes(result, QStringLiteral("contacts.vcf"), label);
        }
        if (IsCalendarKind(kind)) {
            if (filters::ExportICal(set, out, failure)) {
                calendar += CalendarBody(out);
                calendarRecords += set.RecordCount();
                anyCalendar = true;
            } else {
                result.failures
                    << QStringLiteral("calendar.ics (%1): %2").arg(label, Utf8(failure.message));
            }
            TakeNotes(result, QStringLiteral("calendar.ics"), label);
        }
        const QString csv =
            writer.Unique(QStringLiteral("csv/"), KindSlug(kind), QStringLiteral(".csv"));
        if (filters::ExportCsv(set, out, failure))
            writer.File(csv, QByteArray::fromStdString(out), set.RecordCount());
        else
            result.failures << QStringLiteral("%1 (%2): %3").arg(csv, label, Utf8(failure.message));
        TakeNotes(result, csv, label);

        if (kind == kKindMemo) {
            const int image = set.FindTag(MakeTag("IMG1"));
            for (int r = 0; r < set.RecordCount(); ++r) {
                ++memoNo;
                const auto* field =
                    image < 0 ? nullptr
                              : dynamic_cast<const CImageField*>(set.RecordAt(r)->FieldAt(image));
                const QString name = writer.Unique(QStringLiteral("memos/"),
                                                   Number(memoNo, memoTotal) + QLatin1Char('-') +
                                                       Title(set, r, QStringLiteral("memo")),
                                                   QStringLiteral(".png"));
                if (field == nullptr || field->Bitmap() == nullptr) {
                    result.notes << QStringLiteral("%1 (%2): record %3 holds no picture")
                                        .arg(name, label)
                                        .arg(r + 1);
                    continue;
                }
                writer.File(name, MemoPng(*field->Bitmap()), 1);
            }
        }
        if (kind == kKindReport) {
            for (int r = 0; r < set.RecordCount(); ++r) {
                ++reportNo;
                const QString name =
                    writer.Unique(QStringLiteral("reports/"),
                                  Number(reportNo, reportTotal) + QLatin1Char('-') +
                                      Title(set, r, QStringLiteral("report")),
                                  QStringLiteral(".txt"));
                writer.File(name, ReportText(set, r), 1);
            }
        }
    }
    if (!contacts.empty())
        writer.File(QStringLiteral("contacts.vcf"), QByteArray::fromStdString(contacts),
                    contactRecords);
    if (anyCalendar) {
        std::string head;
        filters::Failure unused;
        CRecordSet empty;
        empty.SetKind(kKindSchedule);
        filters::ExportICal(empty, head, unused); // the calendar's own lines, no component
        const std::size_t end = head.rfind("END:VCALENDAR\r\n");
        writer.File(QStringLiteral("calendar.ics"),
                    QByteArray::fromStdString(head.substr(0, end) + calendar + head.substr(end)),
                    calendarRecords);
    }
    return result;
}

} // namespace tessera::bundle
