#include "dav/DavClient.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslError>
#include <QXmlStreamReader>

namespace tessera::dav {

namespace {

constexpr int kMaxRedirects = 5;

bool SameHost(const QUrl& a, const QUrl& b) {
    if (a.host().compare(b.host(), Qt::CaseInsensitive) != 0)
        return false;
    // http -> https on the same host is an upgrade, not a move elsewhere.
    if (a.scheme() == b.scheme())
        return a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
    return a.scheme() == QLatin1String("http") && b.scheme() == QLatin1String("https");
}

} // namespace

CDavClient::CDavClient(DavClientOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_manager(new QNetworkAccessManager(this)) {
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    connect(m_manager, &QNetworkAccessManager::authenticationRequired, this,
            [this](QNetworkReply* reply, QAuthenticator* auth) {
                // One try per request: a second ask means the server refused the password,
                // and the reply then ends with 401.
                if (reply->property("tessera.authTried").toBool() || m_options.user.isEmpty())
                    return;
                reply->setProperty("tessera.authTried", true);
                auth->setUser(m_options.user);
                auth->setPassword(m_options.password);
            });
}

CDavClient::~CDavClient() = default;

void CDavClient::Cancel() {
    m_cancelled = true;
    if (m_current != nullptr)
        m_current->abort();
}

DavReply CDavClient::Send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                          const QList<QPair<QByteArray, QByteArray>>& headers, int depth) {
    QUrl at = url;
    for (int hop = 0;; ++hop) {
        DavReply reply = SendOnce(verb, at, body, headers, depth);
        const int s = reply.status;
        if (reply.failure != DavReply::Failure::None ||
            !(s == 301 || s == 302 || s == 303 || s == 307 || s == 308))
            return reply;
        const QUrl next = at.resolved(reply.refusedUrl);
        if (!next.isValid() || !SameHost(url, next) || hop >= kMaxRedirects) {
            reply.failure = DavReply::Failure::Redirect;
            reply.refusedUrl = next;
            return reply;
        }
        at = next;
    }
}

DavReply CDavClient::SendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                              const QList<QPair<QByteArray, QByteArray>>& headers, int depth) {
    DavReply out;
    out.url = url;
    if (m_cancelled) {
        out.failure = DavReply::Failure::Cancelled;
        return out;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_options.timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tessera/" TESSERA_VERSION));
    if (depth >= 0)
        request.setRawHeader("Depth", QByteArray::number(depth));
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    if (!body.isEmpty() && !request.hasRawHeader("Content-Type"))
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");

    QNetworkReply* reply = m_manager->sendCustomRequest(request, verb, body);
    m_current = reply;
    connect(reply, &QNetworkReply::sslErrors, this, [this, reply, &out](const QList<QSslError>& e) {
        QSslCertificate cert = reply->sslConfiguration().peerCertificate();
        if (cert.isNull() && !e.isEmpty())
            cert = e.first().certificate();
        const QString host = reply->url().host();
        const QString print =
            QString::fromLatin1(cert.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
        QStringList problems;
        for (const QSslError& err : e)
            problems << err.errorString();
        out.certHost = host;
        out.certFingerprint = print;
        out.certProblem = problems.join(QStringLiteral("; "));
        if (cert.isNull())
            return;
        bool trusted = m_options.trusted.value(host).contains(print);
        if (!trusted && m_options.askTrust && m_options.askTrust(host, print, out.certProblem)) {
            m_options.trusted[host].append(print);
            trusted = true;
        }
        if (trusted) {
            out.certFingerprint.clear();
            reply->ignoreSslErrors(e);
        }
    });
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    m_current = nullptr;

    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    out.body = reply->readAll();
    out.etag = reply->rawHeader("ETag");
    out.contentType = reply->rawHeader("Content-Type");
    out.dav = reply->rawHeader("DAV");
    if (reply->hasRawHeader("Location"))
        out.refusedUrl = QUrl(QString::fromUtf8(reply->rawHeader("Location")));
    const QNetworkReply::NetworkError error = reply->error();
    if (out.status == 0 && error != QNetworkReply::NoError) {
        if (m_cancelled)
            out.failure = DavReply::Failure::Cancelled;
        else if (error == QNetworkReply::OperationCanceledError ||
                 error == QNetworkReply::TimeoutError)
            out.failure = DavReply::Failure::Timeout;
        else if (error == QNetworkReply::SslHandshakeFailedError && !out.certFingerprint.isEmpty())
            out.failure = DavReply::Failure::Certificate;
        else
            out.failure = DavReply::Failure::Network;
        out.reason = reply->errorString();
    }
    reply->deleteLater();
    return out;
}

bool ParseMultistatus(const QByteArray& xml, QList<DavResponse>& out) {
    static const QString kDav = QStringLiteral("DAV:");
    QXmlStreamReader r(xml);
    bool multistatus = false;
    DavResponse response, props;
    bool inResponse = false, inPropstat = false;
    int propstatStatus = 0;
    // The property being read (its local name) and the one above it.
    QStringList stack;
    auto statusCode = [](const QString& line) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        return parts.size() >= 2 ? parts[1].toInt() : 0;
    };
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            const QString name = r.name().toString();
            const bool dav = r.namespaceUri() == kDav;
            stack.append(name);
            if (dav && name == QLatin1String("multistatus")) {
                multistatus = true;
            } else if (dav && name == QLatin1String("response")) {
                response = DavResponse();
                inResponse = true;
            } else if (dav && name == QLatin1String("propstat")) {
                props = DavResponse();
                inPropstat = true;
                propstatStatus = 0;
            } else if (inPropstat && stack.size() >= 2 &&
                       stack[stack.size() - 2] == QLatin1String("resourcetype")) {
                props.types.append(name);
            } else if (inPropstat && name == QLatin1String("comp") && stack.size() >= 2 &&
                       stack[stack.size() - 2] ==
                           QLatin1String("supported-calendar-component-set")) {
                props.components.append(r.attributes().value(QLatin1String("name")).toString());
            } else if (dav && name == QLatin1String("href") && stack.size() >= 2) {
                const QString parent = stack[stack.size() - 2];
                const QString text = r.readElementText().trimmed();
                stack.removeLast();
                if (parent == QLatin1String("response"))
                    response.href = text;
                else if (parent == QLatin1String("current-user-principal"))
                    props.principal = text;
                else if (parent == QLatin1String("addressbook-home-set"))
                    props.addressbookHome = text;
                else if (parent == QLatin1String("calendar-home-set"))
                    props.calendarHome = text;
            } else if (dav && name == QLatin1String("status")) {
                const int code = statusCode(r.readElementText());
                stack.removeLast();
                if (inPropstat)
                    propstatStatus = code;
                else if (inResponse)
                    response.status = code;
            } else if (inPropstat &&
                       (name == QLatin1String("getetag") || name == QLatin1String("displayname") ||
                        name == QLatin1String("address-data") ||
                        name == QLatin1String("calendar-data"))) {
                const QString text = r.readElementText();
                stack.removeLast();
                if (name == QLatin1String("getetag"))
                    props.etag = text.trimmed().toUtf8();
                else if (name == QLatin1String("displayname"))
                    props.displayName = text;
                else
                    props.data = text;
            }
        } else if (r.isEndElement()) {
            const QString name = r.name().toString();
            const bool dav = r.namespaceUri() == kDav;
            if (!stack.isEmpty())
                stack.removeLast();
            if (dav && name == QLatin1String("propstat")) {
                inPropstat = false;
                if (propstatStatus >= 200 && propstatStatus < 300) {
                    response.types += props.types;
                    response.components += props.components;
                    if (!props.principal.isEmpty())
                        response.principal = props.principal;
                    if (!props.addressbookHome.isEmpty())
                        response.addressbookHome = props.addressbookHome;
                    if (!props.calendarHome.isEmpty())
                        response.calendarHome = props.calendarHome;
                    if (!props.displayName.isEmpty())
                        response.displayName = props.displayName;
                    if (!props.etag.isEmpty())
                        response.etag = props.etag;
                    if (!props.data.isEmpty())
                        response.data = props.data;
                }
            } else if (dav && name == QLatin1String("response")) {
                inResponse = false;
                out.append(response);
            }
        }
    }
    return multistatus && !r.hasError();
}

} // namespace tessera::dav
