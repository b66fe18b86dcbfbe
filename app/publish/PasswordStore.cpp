#include "app/publish/PasswordStore.h"

#include <QEventLoop>

#ifdef TESSERA_HAVE_KEYCHAIN
#include <qt6keychain/keychain.h>
#endif

namespace tessera {

namespace {
const QString kService = QStringLiteral("Tessera publish");

#ifdef TESSERA_HAVE_KEYCHAIN
// Runs `job` to its end; the store may answer later (it may ask the user to unlock it).
CPasswordStore::Result Wait(QKeychain::Job& job, QString& problem) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // a password never goes to a plain file
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    switch (job.error()) {
    case QKeychain::NoError:
        return CPasswordStore::Result::Ok;
    case QKeychain::EntryNotFound:
        return CPasswordStore::Result::NotFound;
    default:
        problem = job.errorString();
        return CPasswordStore::Result::Unavailable;
    }
}
#endif
} // namespace

CPasswordStore::CPasswordStore(const QString& user, const QString& host)
    : m_key(user + QLatin1Char('@') + host) {}

CPasswordStore::Result CPasswordStore::Read(QString& password) {
#ifdef TESSERA_HAVE_KEYCHAIN
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(m_key);
    const Result r = Wait(job, m_problem);
    if (r == Result::Ok)
        password = job.textData();
    return r;
#else
    (void)password;
    m_problem = QStringLiteral("built without QtKeychain");
    return Result::Unavailable;
#endif
}

CPasswordStore::Result CPasswordStore::Write(const QString& password) {
#ifdef TESSERA_HAVE_KEYCHAIN
    QKeychain::WritePasswordJob job(kService);
    job.setKey(m_key);
    job.setTextData(password);
    return Wait(job, m_problem);
#else
    (void)password;
    m_problem = QStringLiteral("built without QtKeychain");
    return Result::Unavailable;
#endif
}

CPasswordStore::Result CPasswordStore::Forget() {
#ifdef TESSERA_HAVE_KEYCHAIN
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(m_key);
    return Wait(job, m_problem);
#else
    m_problem = QStringLiteral("built without QtKeychain");
    return Result::Unavailable;
#endif
}

} // namespace tessera
