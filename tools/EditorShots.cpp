// Renders every record editor, loaded with the first record of its sample file, to
// docs/screenshots/editor-<kind>.png (plus the report editor in free format).
//   editor-screenshots OUTPUT_DIR [SAMPLES_DIR]

#include "ShotLanguage.h"
#include "app/editors/EditorCommon.h"
#include "app/editors/EditorFactory.h"
#include "app/editors/report/ReportDlg.h"
#include "base/AppSettings.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTreeWidget>
#include <cstdio>

using namespace tessera;

namespace {

struct Shot {
    int kind;
    const char* sample;
    int record;       // which record of the sample
    const char* file; // output name
};

constexpr Shot kShots[] = {
    {kKindPhoneBook, "phonebook", 0, "editor-1.png"},
    {kKindBusinessCard, "cards", 0, "editor-2.png"},
    {kKindSchedule, "schedule", 0, "editor-3.png"},
    {kKindAnniversary, "anniversary", 1, "editor-4.png"},
    {kKindAnniversaryWeek, "anniversary-week", 0, "editor-5.png"},
    {kKindActionList, "actions", 0, "editor-6.png"},
    {kKindReport, "report", 0, "editor-7.png"},
    {kKindReport, "report", 1, "editor-7-free.png"},
    {kKindMemo, "memo", 0, "editor-8.png"},
};

bool ReadSample(const QString& path, CRecordSet& set) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll() + '\x1A';
    return set.ReadText(bytes.constData(), static_cast<std::size_t>(bytes.size()), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tessera::shots::UseShotLanguage();
    if (argc < 2) {
        std::fprintf(stderr, "usage: editor-screenshots OUTPUT_DIR [SAMPLES_DIR]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString samples =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("resources/samples");
    QDir().mkpath(out);
    // A fixed day, so the age and the remaining time in the pictures do not drift.
    SetEditorClockForTests(QDateTime(QDate(2001, 5, 29), QTime(9, 0)));

    CAppSettings settings;
    settings.SetModel(4); // PI-6000
    int failures = 0;
    for (const Shot& s : kShots) {
        CRecordSet set;
        if (!ReadSample(samples + QLatin1Char('/') + QString::fromLatin1(s.sample) +
                            QStringLiteral(".tsr"),
                        set) ||
            set.RecordAt(s.record) == nullptr) {
            std::fprintf(stderr, "editor-screenshots: cannot read sample %s\n", s.sample);
            ++failures;
            continue;
        }
        std::unique_ptr<CRecordEditor> editor = CreateEditor(s.kind, nullptr, settings);
        if (!editor || !editor->LoadFromRecord(*set.RecordAt(s.record))) {
            ++failures;
            continue;
        }
        if (auto* report = qobject_cast<CReportDlg*>(editor.get());
            report && report->IsReportFormat())
            report->SelectRow(1);
        editor->adjustSize();
        editor->show();
        QApplication::processEvents();
        const QString path = out + QLatin1Char('/') + QString::fromLatin1(s.file);
        if (!editor->grab().save(path)) {
            std::fprintf(stderr, "editor-screenshots: cannot write %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s %dx%d\n", qPrintable(path), editor->width(), editor->height());
        }
        editor->hide();
    }
    return failures == 0 ? 0 : 1;
}
