#pragma once
// Publishing records to a contacts and calendar server: find the address book and the
// calendar (the URL itself, or the user's principal and its home sets, or the well-known
// URIs), read what the server holds, and bring it to the records: create what is missing
// (If-None-Match: *), replace what changed (If-Match: its ETag), leave what is the same, and
// on request delete what this program made earlier that is no longer among the records.
// Nothing local is changed. Resources others made are never touched.

#include "dav/DavClient.h"
#include "dav/DavObjects.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

namespace tessera::dav {

// A message of the string table with its arguments, shown by the host.
struct DavMessage {
    int id = 0;
    QStringList args;
    bool IsSet() const { return id != 0; }
    // The formatted text: code page 932 (for the Prompter) or as a QString.
    std::string Cp932() const;
    QString Text() const;
};

struct PublishCounts {
    int created = 0;
    int updated = 0;
    int unchanged = 0;
    int deleted = 0;
    int refused = 0; // objects the server would not take (400, 412, 415, ...)
};

struct PublishResult {
    PublishCounts counts;
    DavMessage failure; // set when the publish stopped
    bool cancelled = false;
    std::vector<QString> notes; // one line each: refusals, dry-run plans
    QUrl addressBook, calendar; // the collections used
};

struct PublishOptions {
    QUrl url;
    bool dryRun = false;
    bool deleteMissing = false;
};

class CPublisher {
public:
    CPublisher(CDavClient& client, PublishOptions options);

    // Called before each request that changes the server: done so far, and the total.
    std::function<void(int done, int total)> progress;

    // Publishes `objects` (one per record). True when every object is on the server as it
    // should be (a dry run: when the plan could be made).
    bool Run(const std::vector<DavObject>& objects, PublishResult& result);

private:
    struct Held {
        QUrl url;
        QByteArray etag;
        std::string uid;
        std::string text;
        bool used = false;
    };

    bool Publish(const std::vector<DavObject>& objects, PublishResult& result);
    bool Discover(bool needBook, bool needCalendar, PublishResult& result);
    bool FindInHome(const QUrl& home, bool book, PublishResult& result, QUrl& found);
    bool List(const QUrl& collection, bool book, std::vector<Held>& held, PublishResult& result);
    // The message for a reply that is not what was asked for; `what` names the target.
    DavMessage Failure(const DavReply& reply, const QUrl& what) const;

    CDavClient& m_client;
    PublishOptions m_options;
    QUrl m_book, m_calendar;
};

// The counts in the fixed form of the command line: one "name: N" line each.
QString CountLines(const PublishCounts& counts);

} // namespace tessera::dav
