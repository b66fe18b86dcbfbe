#pragma once
// "名刺管理": the business-card editor, the phone-book form plus the company fields.

#include "app/dial/TelDlg.h"

namespace tessera {

// Business cards (dialog 139).
class CCardDlg final : public CContactDlg {
    Q_OBJECT
public:
    explicit CCardDlg(const CAppSettings& settings, QWidget* parent = nullptr);
};

} // namespace tessera
