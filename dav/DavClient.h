#pragma once
// One WebDAV conversation with a server, request by request: each call waits (in a local
// event loop) for its answer, so the publish reads top to bottom. TLS is verified; a
// certificate the system does not trust is taken only when the user has trusted that very
// certificate for that host. Basic and Digest authentication come from Qt Network; a
// redirect is followed only within the same host.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace tessera::dav {

struct DavReply {
    enum class Failure { None, Network, Timeout, Cancelled, Certificate, Redirect };
    Failure failure = Failure::None;
    int status = 0; // HTTP status, 0 when none came
    QString reason; // the status line's reason, or the network error's text
    QByteArray body;
    QByteArray etag;
    QByteArray contentType;
    QByteArray dav;   // the DAV header (OPTIONS)
    QUrl url;         // where the answer finally came from
    QUrl refusedUrl;  // Redirect: where the server wanted to send us
    QString certHost; // Certificate: the host and the certificate's SHA-256 fingerprint
    QString certFingerprint;
    QString certProblem;
    bool Ok() const { return failure == Failure::None && status >= 200 && status < 300; }
};

struct DavClientOptions {
    QString user;
    QString password;
    int timeoutMs = 30000; // without a byte moving
    // Host -> SHA-256 fingerprints (hex with colons) of certificates the user trusted.
    QMap<QString, QStringList> trusted;
    // Asked when a certificate is not trusted; true trusts it (the caller remembers it).
    std::function<bool(const QString& host, const QString& fingerprint, const QString& problem)>
        askTrust;
};

class CDavClient : public QObject {
public:
    explicit CDavClient(DavClientOptions options, QObject* parent = nullptr);
    ~CDavClient() override;

    // Sends `verb` to `url`. `depth` < 0 sends no Depth header. Extra headers as name/value.
    DavReply Send(const QByteArray& verb, const QUrl& url, const QByteArray& body = {},
                  const QList<QPair<QByteArray, QByteArray>>& headers = {}, int depth = -1);

    // Stops the request under way (from a progress window); every later one fails at once.
    void Cancel();
    bool IsCancelled() const { return m_cancelled; }
    int TimeoutSeconds() const { return m_options.timeoutMs / 1000; }

    // Certificates trusted during this conversation (to be remembered by the caller).
    const QMap<QString, QStringList>& Trusted() const { return m_options.trusted; }

private:
    DavReply SendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                      const QList<QPair<QByteArray, QByteArray>>& headers, int depth);

    DavClientOptions m_options;
    QNetworkAccessManager* m_manager = nullptr;
    QNetworkReply* m_current = nullptr;
    bool m_cancelled = false;
};

// ---- the multistatus answer of PROPFIND and REPORT ----

struct DavResponse {
    QString href;            // as the server wrote it (path, percent-encoded)
    QStringList types;       // resourcetype children: "collection", "addressbook", "calendar"
    QStringList components;  // supported-calendar-component-set
    QString principal;       // current-user-principal
    QString addressbookHome; // addressbook-home-set
    QString calendarHome;    // calendar-home-set
    QString displayName;
    QByteArray etag;
    QString data;   // address-data / calendar-data
    int status = 0; // a status of the response itself (a REPORT's 404 for one href)
};

// Reads a 207 body; false when it is no multistatus document.
bool ParseMultistatus(const QByteArray& xml, QList<DavResponse>& out);

} // namespace tessera::dav
