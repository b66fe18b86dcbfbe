#include "app/editors/EditorFactory.h"

#include "app/dial/TelDlg.h"
#include "app/editors/ActionDlg.h"
#include "app/editors/CardDlg.h"
#include "app/editors/Day1Dlg.h"
#include "app/editors/Day2Dlg.h"
#include "app/editors/EditorCommon.h"
#include "app/editors/ImageDlg.h"
#include "app/editors/SchedDlg.h"
#include "app/editors/report/ReportDlg.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

namespace tessera {

bool HasEditor(int kind) {
    return kind >= kKindPhoneBook && kind <= kKindMemo;
}

std::unique_ptr<CRecordEditor> CreateEditor(int kind, QWidget* parent,
                                            const CAppSettings& settings) {
    switch (kind) {
    case kKindPhoneBook:
        return std::make_unique<CTelDlg>(settings, parent);
    case kKindBusinessCard:
        return std::make_unique<CCardDlg>(settings, parent);
    case kKindSchedule:
        return std::make_unique<CSchedDlg>(settings, parent);
    case kKindAnniversary:
        return std::make_unique<CDay1Dlg>(settings, parent);
    case kKindAnniversaryWeek:
        return std::make_unique<CDay2Dlg>(settings, parent);
    case kKindActionList:
        return std::make_unique<CActionDlg>(settings, parent);
    case kKindReport:
        return std::make_unique<CReportDlg>(settings, parent);
    case kKindMemo:
        return std::make_unique<CImageDlg>(settings, parent);
    default:
        return nullptr;
    }
}

bool EditRecord(QWidget* parent, int kind, CDataRecord& record, bool isNew,
                const CAppSettings& settings) {
    std::unique_ptr<CRecordEditor> editor = CreateEditor(kind, parent, settings);
    if (!editor)
        return false;
    if (isNew)
        editor->SetNewRecord();
    else if (!editor->LoadFromRecord(record))
        return false;
    editor->SetTarget(&record);
    return editor->exec() == QDialog::Accepted;
}

} // namespace tessera
