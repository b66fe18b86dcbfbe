#include "app/editors/CardDlg.h"

namespace tessera {

CCardDlg::CCardDlg(const CAppSettings& settings, QWidget* parent)
    : CContactDlg(true, 139, settings, parent) {}

} // namespace tessera
