#include "app/publish/PublishCommand.h"

#include "app/publish/PasswordStore.h"
#include "app/publish/PublishDlg.h"
#include "base/Cp932.h"
#include "dav/DavInput.h"
#include "dav/DavTrust.h"
#include "document/TesseraDoc.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QProgressDialog>
#include <QUrl>

namespace tessera {

namespace {

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

std::string Details(const std::vector<QString>& notes) {
    QString all;
    for (const QString& n : notes)
        all += n + QLatin1Char('\n');
    return all.toStdString();
}

} // namespace

dav::PublishResult PublishWithProgress(const std::vector<dav::DavObject>& objects,
                                       const dav::PublishOptions& options, const QString& user,
                                       const QString& password, std::vector<QString> notes,
                                       QWidget* parent) {
    dav::DavClientOptions client;
    client.user = user;
    client.password = password;
    client.trusted = dav::LoadTrusted();
    client.askTrust = [](const QString& host, const QString& print, const QString& problem) {
        return ShowMessage(ids::kMsgDavTrustAsk, PromptIcon::Warning, PromptButtons::YesNo,
                           QStringToCp932Lossy(host), QStringToCp932Lossy(problem),
                           QStringToCp932Lossy(print)) == PromptResult::Yes;
    };
    dav::CDavClient davClient(client);

    QProgressDialog progress(Text(ids::kStrDavReading),
                             Cp932ToQString(LoadString(kFixedTextBase + 27)), 0, 0, parent);
    progress.setObjectName(QStringLiteral("PublishProgress"));
    progress.setWindowTitle(Text(ids::kStrDavTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QObject::connect(&progress, &QProgressDialog::canceled, &davClient,
                     [&davClient] { davClient.Cancel(); });
    progress.show();
    QApplication::processEvents();

    dav::CPublisher publisher(davClient, options);
    publisher.progress = [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        progress.setLabelText(Cp932ToQString(
            FormatText(LoadString(ids::kStrDavProgress),
                       {static_cast<long long>(done), static_cast<long long>(total)})));
    };
    dav::PublishResult result;
    publisher.Run(objects, result);
    progress.close();
    if (davClient.Trusted() != client.trusted)
        dav::SaveTrusted(davClient.Trusted());

    notes.insert(notes.end(), result.notes.begin(), result.notes.end());
    const std::string details = Details(notes);
    Prompter* prompter = CurrentPrompter();
    const dav::PublishCounts& c = result.counts;
    if (result.failure.IsSet()) {
        if (prompter != nullptr)
            prompter->ShowWithDetails(result.failure.id, result.failure.Cp932(),
                                      result.cancelled ? PromptIcon::Information : PromptIcon::Stop,
                                      PromptButtons::Ok, details);
    } else if (c.refused > 0) {
        ShowMessageWithDetails(ids::kMsgDavDoneRefused, PromptIcon::Warning, PromptButtons::Ok,
                               details, c.refused, c.created, c.updated, c.unchanged, c.deleted);
    } else {
        ShowMessageWithDetails(ids::kMsgDavDone, PromptIcon::Information, PromptButtons::Ok,
                               details, c.created, c.updated, c.unchanged, c.deleted);
    }
    return result;
}

void RunPublishCommand(CTesseraDoc* document, const CCodeMap* map, QWidget* parent) {
    PublishChoice initial = CPublishDlg::LoadChoice();
    QString storeProblem;
    if (!initial.user.isEmpty() && IsPublishUrl(initial.url)) {
        CPasswordStore store(initial.user, QUrl(initial.url).host());
        if (store.Read(initial.password) == CPasswordStore::Result::Unavailable)
            storeProblem = store.Problem();
    } else {
        // Nothing to read yet: ask the store whether it is there at all.
        CPasswordStore probe(QStringLiteral("-"), QStringLiteral("-"));
        QString none;
        if (probe.Read(none) == CPasswordStore::Result::Unavailable)
            storeProblem = probe.Problem();
    }
    // Said once per run of the program; the dialog then asks each time.
    static bool told = false;
    if (!storeProblem.isEmpty() && !told) {
        told = true;
        ShowMessage(ids::kMsgDavNoSecretStore, PromptIcon::Information, PromptButtons::Ok,
                    QStringToCp932Lossy(storeProblem));
    }

    const QString title = document != nullptr ? document->Title() : QString();
    CPublishDlg dlg(initial, title, storeProblem, parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const PublishChoice choice = dlg.Choice();
    CPublishDlg::SaveChoice(choice);
    const QUrl url(choice.url);
    if (storeProblem.isEmpty() && !choice.user.isEmpty()) {
        CPasswordStore store(choice.user, url.host());
        if (choice.remember && !choice.password.isEmpty())
            store.Write(choice.password);
        else if (!choice.remember)
            store.Forget();
    }

    std::vector<dav::DavObject> objects;
    std::vector<QString> notes;
    if (choice.useDocument && document != nullptr && document->RecordSet() != nullptr) {
        dav::AddSet(*document->RecordSet(), title, objects, notes);
    } else {
        QStringList files;
        dav::DavMessage failure;
        if (!dav::ExpandInputs({choice.folder}, files, failure)) {
            if (Prompter* p = CurrentPrompter())
                p->Show(failure.id, failure.Cp932(), PromptIcon::Stop, PromptButtons::Ok);
            return;
        }
        dav::AddFiles(files, map, objects, notes);
    }
    dav::PublishOptions options;
    options.url = url;
    options.deleteMissing = choice.deleteMissing;
    PublishWithProgress(objects, options, choice.user, choice.password, notes, parent);
}

} // namespace tessera
