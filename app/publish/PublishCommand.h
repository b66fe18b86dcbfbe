#pragma once
// ファイル → サーバーへ公開...: the dialog, the password from the secret store, the publish
// under a progress window with a cancel button, and the summary.

#include "dav/DavObjects.h"
#include "dav/DavPublisher.h"

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace tessera {

class CCodeMap;
class CTesseraDoc;

// Runs the whole command; `document` may be null (then only a folder can be published).
void RunPublishCommand(CTesseraDoc* document, const CCodeMap* map, QWidget* parent);

// The publish itself with the progress window; the summary (or the failure) is shown
// through the prompter with the notes as details. Returns the result for the caller.
dav::PublishResult PublishWithProgress(const std::vector<dav::DavObject>& objects,
                                       const dav::PublishOptions& options, const QString& user,
                                       const QString& password, std::vector<QString> notes,
                                       QWidget* parent);

} // namespace tessera
