// The WebDAV client against a canned HTTP server on a loopback port: redirects within the
// host and away from it, a server that never answers, Digest authentication, and the
// publish's messages for what a server answers.

#include "dav/DavClient.h"

#include "dav/DavPublisher.h"
#include "resources/StringIds.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

// Answers each request by its path from a table; a path without an answer gets none at all.
class CannedServer {
public:
    explicit CannedServer(QMap<QString, QByteArray> answers) : m_answers(std::move(answers)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_pending[s] += s->readAll();
                    const int end = m_pending[s].indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    const QByteArray head = m_pending[s].left(end);
                    const int length = Header(head, "content-length").toInt();
                    if (m_pending[s].size() < end + 4 + length)
                        return;
                    m_pending[s] = m_pending[s].mid(end + 4 + length);
                    m_requests.append(head);
                    const QByteArray path = head.split(' ').value(1);
                    QByteArray answer = m_answers.value(QString::fromLatin1(path));
                    if (path == "/digest" && Header(head, "authorization").startsWith("Digest"))
                        answer = m_answers.value(QStringLiteral("/digest-ok"));
                    if (!answer.isEmpty())
                        s->write(answer);
                });
            }
        });
    }
    static QByteArray Header(const QByteArray& head, const QByteArray& name) {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith(name + ":"))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
    QUrl Url(const char* path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    const QList<QByteArray>& Requests() const { return m_requests; }

private:
    QTcpServer m_server;
    QMap<QString, QByteArray> m_answers;
    QMap<QTcpSocket*, QByteArray> m_pending;
    QList<QByteArray> m_requests;
};

QByteArray Reply(const char* status, const QByteArray& headers = {}, const QByteArray& body = {}) {
    return QByteArray("HTTP/1.1 ") + status + "\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

const QByteArray kMultistatus = R"(<?xml version="1.0"?><multistatus xmlns="DAV:"><response>
<href>/dav/</href><propstat><prop><resourcetype><collection/></resourcetype></prop>
<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>)";

TEST(DavClient, RedirectsSilenceAndDigest) {
    CoreApp();
    CannedServer server({
        {"/moved", Reply("308 Permanent Redirect", "Location: /dav/\r\n")},
        {"/dav/", Reply("207 Multi-Status", "Content-Type: application/xml\r\n", kMultistatus)},
        {"/away", Reply("301 Moved Permanently", "Location: http://elsewhere.invalid/dav/\r\n")},
        {"/loop", Reply("302 Found", "Location: /loop\r\n")},
        {"/digest",
         Reply("401 Unauthorized",
               "WWW-Authenticate: Digest realm=\"dav\", nonce=\"abc123\", qop=\"auth\"\r\n")},
        {"/digest-ok",
         Reply("207 Multi-Status", "Content-Type: application/xml\r\n", kMultistatus)},
    });
    dav::DavClientOptions options;
    options.user = QStringLiteral("hanako");
    options.password = QStringLiteral("pw");
    options.timeoutMs = 1500;
    dav::CDavClient client(options);

    struct Case {
        const char* path;
        dav::DavReply::Failure failure;
        int status;
        const char* finalPath;
    };
    const std::vector<Case> cases = {
        {"/moved", dav::DavReply::Failure::None, 207, "/dav/"},
        {"/away", dav::DavReply::Failure::Redirect, 301, "/away"},
        {"/loop", dav::DavReply::Failure::Redirect, 302, "/loop"},
        {"/silent", dav::DavReply::Failure::Timeout, 0, "/silent"},
        {"/digest", dav::DavReply::Failure::None, 207, "/digest"},
    };
    for (const Case& c : cases) {
        const dav::DavReply r = client.Send("PROPFIND", server.Url(c.path), {}, {}, 0);
        EXPECT_EQ(r.failure, c.failure) << c.path;
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_EQ(r.url.path(), QString::fromLatin1(c.finalPath)) << c.path;
    }
    // The redirect to another host was not followed, and the PROPFIND kept its verb.
    for (const QByteArray& head : server.Requests()) {
        EXPECT_TRUE(head.startsWith("PROPFIND ")) << head.constData();
        EXPECT_EQ(CannedServer::Header(head, "host").split(':').value(0), "127.0.0.1");
    }
    QByteArray digest;
    for (const QByteArray& head : server.Requests())
        if (CannedServer::Header(head, "authorization").startsWith("Digest"))
            digest = CannedServer::Header(head, "authorization");
    EXPECT_TRUE(digest.contains("username=\"hanako\"")) << digest.constData();
    EXPECT_TRUE(digest.contains("nonce=\"abc123\"")) << digest.constData();
    EXPECT_FALSE(digest.contains("pw")) << "the password went in the clear";
}

TEST(DavPublisher, EachServerAnswerHasItsOwnMessage) {
    CoreApp();
    CannedServer server({
        {"/401", Reply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"dav\"\r\n")},
        {"/403", Reply("403 Forbidden")},
        {"/500", Reply("500 Internal Server Error")},
        {"/503", Reply("503 Service Unavailable")},
        {"/web", Reply("200 OK", "Content-Type: text/html\r\n", "<html></html>")},
        {"/.well-known/carddav", Reply("404 Not Found")},
        {"/.well-known/caldav", Reply("404 Not Found")},
        {"/away", Reply("301 Moved Permanently", "Location: https://elsewhere.invalid/\r\n")},
    });
    struct Case {
        const char* path;
        int message;
    };
    const std::vector<Case> cases = {
        {"/401", ids::kMsgDavAuth},        {"/403", ids::kMsgDavForbidden},
        {"/500", ids::kMsgDavServerError}, {"/503", ids::kMsgDavServerError},
        {"/web", ids::kMsgDavNotDav},      {"/away", ids::kMsgDavRedirect},
        {"/silent", ids::kMsgDavTimeout},
    };
    dav::DavObject card;
    card.uid = "1@tessera.invalid";
    card.text = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:1@tessera.invalid\r\nFN:a\r\nEND:VCARD\r\n";
    card.component = "VCARD";
    for (const Case& c : cases) {
        dav::DavClientOptions options;
        options.user = QStringLiteral("u");
        options.password = QStringLiteral("wrong");
        options.timeoutMs = 1500;
        dav::CDavClient client(options);
        dav::PublishOptions publish;
        publish.url = server.Url(c.path);
        dav::CPublisher publisher(client, publish);
        dav::PublishResult result;
        EXPECT_FALSE(publisher.Run({card}, result)) << c.path;
        EXPECT_EQ(result.failure.id, c.message)
            << c.path << ": " << result.failure.Text().toStdString();
        EXPECT_EQ(result.counts.created, 0);
    }
}

} // namespace
} // namespace tessera::test

namespace tessera::test {
namespace {

TEST(DavPublisher, ARefusedObjectIsNamedAndTheRestGoesOn) {
    CoreApp();
    const QByteArray book = R"(<?xml version="1.0"?><multistatus xmlns="DAV:"
 xmlns:R="urn:ietf:params:xml:ns:carddav"><response><href>/book/</href><propstat><prop>
<resourcetype><collection/><R:addressbook/></resourcetype></prop>
<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>)";
    const QByteArray refused = Reply("415 Unsupported Media Type", {}, "only vCard 4.0 here");
    const QByteArray created = Reply("201 Created", "ETag: \"n\"\r\n");
    CannedServer server({
        {"/book/", Reply("207 Multi-Status", "Content-Type: application/xml\r\n", book)},
        {"/book/1@tessera.invalid.vcf", refused},
        {"/book/1%40tessera.invalid.vcf", refused},
        {"/book/2@tessera.invalid.vcf", created},
        {"/book/2%40tessera.invalid.vcf", created},
    });
    std::vector<dav::DavObject> objects;
    for (const char* n : {"1", "2"}) {
        dav::DavObject o;
        o.uid = std::string(n) + "@tessera.invalid";
        o.text = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + o.uid + "\r\nFN:" + n + "\r\nEND:VCARD\r\n";
        o.component = "VCARD";
        o.source = "phonebook.tsr";
        o.recordNo = std::atoi(n);
        objects.push_back(o);
    }
    dav::DavClientOptions options;
    options.timeoutMs = 5000;
    dav::CDavClient client(options);
    dav::PublishOptions publish;
    publish.url = server.Url("/book/");
    dav::CPublisher publisher(client, publish);
    dav::PublishResult result;
    EXPECT_FALSE(publisher.Run(objects, result)) << "a refusal is not a success";
    EXPECT_FALSE(result.failure.IsSet()) << result.failure.Text().toStdString();
    EXPECT_EQ(result.counts.refused, 1);
    EXPECT_EQ(result.counts.created, 1);
    ASSERT_EQ(result.notes.size(), 1u);
    const QString note = result.notes[0];
    EXPECT_TRUE(note.contains(QLatin1String("phonebook.tsr")) &&
                note.contains(QLatin1String(" 1 ")) && note.contains(QLatin1String("415")) &&
                note.contains(QLatin1String("only vCard 4.0 here")))
        << note.toStdString();
    int puts = 0;
    for (const QByteArray& head : server.Requests())
        if (head.startsWith("PUT ")) {
            ++puts;
            EXPECT_EQ(CannedServer::Header(head, "if-none-match"), "*") << head.constData();
        }
    EXPECT_EQ(puts, 2);
}

} // namespace
} // namespace tessera::test
