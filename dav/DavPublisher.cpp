#include "dav/DavPublisher.h"

#include "base/Cp932.h"
#include "filters/FilterKit.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <map>
#include <set>

namespace tessera::dav {

namespace {

const QByteArray kPropfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<d:propfind xmlns:d=\"DAV:\" xmlns:card=\"urn:ietf:params:xml:ns:carddav\" "
    "xmlns:cal=\"urn:ietf:params:xml:ns:caldav\"><d:prop>"
    "<d:resourcetype/><d:displayname/><d:current-user-principal/>"
    "<card:addressbook-home-set/><cal:calendar-home-set/>"
    "<cal:supported-calendar-component-set/></d:prop></d:propfind>\n";

const QByteArray kBookQuery =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<card:addressbook-query xmlns:d=\"DAV:\" xmlns:card=\"urn:ietf:params:xml:ns:carddav\">"
    "<d:prop><d:getetag/><card:address-data/></d:prop></card:addressbook-query>\n";

const QByteArray kCalendarQuery =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<cal:calendar-query xmlns:d=\"DAV:\" xmlns:cal=\"urn:ietf:params:xml:ns:caldav\">"
    "<d:prop><d:getetag/><cal:calendar-data/></d:prop>"
    "<cal:filter><cal:comp-filter name=\"VCALENDAR\"/></cal:filter></cal:calendar-query>\n";

const QByteArray kEtagBody = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/>"
                             "<d:getetag/></d:prop></d:propfind>\n";

QString Utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QUrl AsCollection(QUrl url) {
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        url.setPath(path + QLatin1Char('/'));
    return url;
}

bool SamePath(const QUrl& a, const QUrl& b) {
    return AsCollection(a).path() == AsCollection(b).path();
}

bool Ours(const std::string& uid) {
    const std::string_view suffix = filters::kUidSuffix;
    return uid.size() > suffix.size() &&
           uid.compare(uid.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What the server said about a refused object: its body's first line, else the reason.
QString ServerReason(const DavReply& r) {
    QString text = QString::fromUtf8(r.body).simplified();
    if (text.startsWith(QLatin1Char('<')))
        text.clear(); // an HTML or XML page says nothing a line can hold
    if (text.size() > 200)
        text = text.left(200) + QStringLiteral("...");
    return text.isEmpty() ? r.reason : text;
}

// One planned change.
struct Step {
    enum Kind { Create, Update, Delete } kind = Create;
    const DavObject* object = nullptr; // Create, Update
    QUrl url;
    QByteArray etag;
    std::string text; // what to send
};

// `text` with the UID line `from` made `to`.
std::string WithUid(const std::string& text, const std::string& from, const std::string& to) {
    std::string out = text;
    const std::string line = "\r\nUID:" + from + "\r\n";
    const std::size_t at = out.find(line);
    if (at != std::string::npos)
        out.replace(at, line.size(), "\r\nUID:" + to + "\r\n");
    return out;
}

} // namespace

std::string DavMessage::Cp932() const {
    std::vector<FormatArg> values;
    for (const QString& a : args)
        values.emplace_back(QStringToCp932Lossy(a));
    return FormatText(LoadString(id), values);
}

QString DavMessage::Text() const {
    return Cp932ToQString(Cp932());
}

QString CountLines(const PublishCounts& c) {
    return QStringLiteral("created: %1\nupdated: %2\nunchanged: %3\ndeleted: %4\n")
        .arg(c.created)
        .arg(c.updated)
        .arg(c.unchanged)
        .arg(c.deleted);
}

CPublisher::CPublisher(CDavClient& client, PublishOptions options)
    : m_client(client), m_options(std::move(options)) {}

DavMessage CPublisher::Failure(const DavReply& r, const QUrl& what) const {
    const QString host = what.host();
    const QString where = what.toDisplayString(QUrl::RemoveUserInfo);
    switch (r.failure) {
    case DavReply::Failure::Timeout:
        return {ids::kMsgDavTimeout, {host, QString::number(m_client.TimeoutSeconds())}};
    case DavReply::Failure::Network:
        return {ids::kMsgDavNoConnect, {host, r.reason}};
    case DavReply::Failure::Cancelled:
        return {ids::kMsgDavCancelled, {}};
    case DavReply::Failure::Certificate:
        return {ids::kMsgDavCertificate, {r.certHost, r.certProblem, r.certFingerprint}};
    case DavReply::Failure::Redirect:
        return {ids::kMsgDavRedirect, {r.refusedUrl.toDisplayString(QUrl::RemoveUserInfo)}};
    case DavReply::Failure::None:
        break;
    }
    const QString code = QString::number(r.status);
    if (r.status == 401)
        return {ids::kMsgDavAuth, {host}};
    if (r.status == 403)
        return {ids::kMsgDavForbidden, {where, r.reason}};
    if (r.status == 404)
        return {ids::kMsgDavNotFound, {where}};
    if (r.status == 409)
        return {ids::kMsgDavConflict, {where, ServerReason(r)}};
    if (r.status >= 500)
        return {ids::kMsgDavServerError, {code, r.reason}};
    return {ids::kMsgDavUnexpected, {code, r.reason, where}};
}

bool CPublisher::FindInHome(const QUrl& home, bool book, PublishResult& result, QUrl& found) {
    const DavReply r = m_client.Send("PROPFIND", home, kPropfindBody, {}, 1);
    QList<DavResponse> responses;
    if (r.status != 207 || !ParseMultistatus(r.body, responses)) {
        if (r.failure != DavReply::Failure::None || r.status == 401 || r.status >= 500) {
            result.failure = Failure(r, home);
            return false;
        }
        return true; // no collections here
    }
    // An address book; a calendar that takes events (the schedule and anniversaries) and
    // to-dos (the action list), or says nothing of what it takes.
    for (const DavResponse& resp : responses) {
        const bool fits = book ? resp.types.contains(QLatin1String("addressbook"))
                               : resp.types.contains(QLatin1String("calendar")) &&
                                     (resp.components.isEmpty() ||
                                      (resp.components.contains(QLatin1String("VEVENT")) &&
                                       resp.components.contains(QLatin1String("VTODO"))));
        if (fits) {
            found = AsCollection(r.url.resolved(QUrl(resp.href)));
            return true;
        }
    }
    return true;
}

bool CPublisher::Discover(bool needBook, bool needCalendar, PublishResult& result) {
    const QUrl start = m_options.url;
    DavReply r = m_client.Send("PROPFIND", start, kPropfindBody, {}, 0);
    QList<DavResponse> responses;
    bool dav = r.status == 207 && ParseMultistatus(r.body, responses);
    // 501: a web server that has never heard of PROPFIND.
    auto fatal = [](const DavReply& x) {
        return x.failure != DavReply::Failure::None || x.status == 401 || x.status == 403 ||
               (x.status >= 500 && x.status != 501);
    };
    if (!dav && !fatal(r)) {
        // Not a collection of the server: the host's well-known entry points.
        for (const char* wk : {"/.well-known/carddav", "/.well-known/caldav"}) {
            const DavReply w = m_client.Send("PROPFIND", start.resolved(QUrl(QLatin1String(wk))),
                                             kPropfindBody, {}, 0);
            if (w.status == 207 && ParseMultistatus(w.body, responses) && !responses.isEmpty()) {
                r = w;
                dav = true;
                break;
            }
            if (fatal(w)) {
                r = w;
                break;
            }
        }
    }
    if (!dav) {
        if (fatal(r)) {
            result.failure = Failure(r, start);
        } else {
            const QString said =
                r.status != 0 ? QStringLiteral("%1 %2").arg(r.status).arg(r.reason) : r.reason;
            result.failure = {ids::kMsgDavNotDav,
                              {start.toDisplayString(QUrl::RemoveUserInfo), said}};
        }
        return false;
    }
    DavResponse self = responses.isEmpty() ? DavResponse() : responses.front();
    for (const DavResponse& resp : responses)
        if (SamePath(r.url.resolved(QUrl(resp.href)), r.url))
            self = resp;
    if (self.types.contains(QLatin1String("addressbook")))
        m_book = AsCollection(r.url);
    if (self.types.contains(QLatin1String("calendar")))
        m_calendar = AsCollection(r.url);

    QString bookHome = self.addressbookHome, calendarHome = self.calendarHome;
    QUrl base = r.url;
    if (((needBook && m_book.isEmpty() && bookHome.isEmpty()) ||
         (needCalendar && m_calendar.isEmpty() && calendarHome.isEmpty())) &&
        !self.principal.isEmpty()) {
        const QUrl principal = r.url.resolved(QUrl(self.principal));
        const DavReply p = m_client.Send("PROPFIND", principal, kPropfindBody, {}, 0);
        QList<DavResponse> pr;
        if (p.failure != DavReply::Failure::None || p.status == 401 || p.status >= 500) {
            result.failure = Failure(p, principal);
            return false;
        }
        if (p.status == 207 && ParseMultistatus(p.body, pr) && !pr.isEmpty()) {
            base = p.url;
            if (bookHome.isEmpty())
                bookHome = pr.front().addressbookHome;
            if (calendarHome.isEmpty())
                calendarHome = pr.front().calendarHome;
        }
    }
    // Without home sets the URL itself may hold the collections.
    const QUrl bookHomeUrl = bookHome.isEmpty() ? r.url : base.resolved(QUrl(bookHome));
    const QUrl calendarHomeUrl = calendarHome.isEmpty() ? r.url : base.resolved(QUrl(calendarHome));
    if (needBook && m_book.isEmpty()) {
        if (!FindInHome(bookHomeUrl, true, result, m_book))
            return false;
        if (m_book.isEmpty()) {
            result.failure = {ids::kMsgDavNoBook, {start.host()}};
            return false;
        }
    }
    if (needCalendar && m_calendar.isEmpty()) {
        if (!FindInHome(calendarHomeUrl, false, result, m_calendar))
            return false;
        if (m_calendar.isEmpty()) {
            result.failure = {ids::kMsgDavNoCalendar, {start.host()}};
            return false;
        }
    }
    return true;
}

bool CPublisher::List(const QUrl& collection, bool book, std::vector<Held>& held,
                      PublishResult& result) {
    DavReply r = m_client.Send("REPORT", collection, book ? kBookQuery : kCalendarQuery, {}, 1);
    QList<DavResponse> responses;
    bool fromReport = r.status == 207 && ParseMultistatus(r.body, responses);
    if (!fromReport) {
        if (r.failure != DavReply::Failure::None || r.status == 401 || r.status == 403 ||
            r.status >= 500) {
            result.failure = Failure(r, collection);
            return false;
        }
        // A server without the query: the ETags, then each resource by itself.
        r = m_client.Send("PROPFIND", collection, kEtagBody, {}, 1);
        responses.clear();
        if (r.status != 207 || !ParseMultistatus(r.body, responses)) {
            result.failure = Failure(r, collection);
            return false;
        }
    }
    for (const DavResponse& resp : responses) {
        const QUrl url = r.url.resolved(QUrl(resp.href));
        if (SamePath(url, collection) || resp.types.contains(QLatin1String("collection")) ||
            (resp.status != 0 && resp.status != 200))
            continue;
        Held h;
        h.url = url;
        h.etag = resp.etag;
        QByteArray data = resp.data.toUtf8();
        if (!fromReport) {
            const DavReply g = m_client.Send("GET", url);
            if (!g.Ok()) {
                result.failure = Failure(g, url);
                return false;
            }
            data = g.body;
            if (!g.etag.isEmpty())
                h.etag = g.etag;
        }
        h.text = data.toStdString();
        h.uid = PropertyValue(h.text, "UID");
        held.push_back(std::move(h));
    }
    return true;
}

bool CPublisher::Run(const std::vector<DavObject>& objects, PublishResult& result) {
    result = PublishResult();
    const bool ok = Publish(objects, result);
    // A cancel may stop any request, the reads of the first steps too.
    result.cancelled = m_client.IsCancelled() && result.failure.IsSet();
    if (result.cancelled)
        result.failure = {ids::kMsgDavCancelled, {}};
    return ok;
}

bool CPublisher::Publish(const std::vector<DavObject>& objects, PublishResult& result) {
    // One resource per UID: a record that is there twice (in two files) goes once.
    std::vector<const DavObject*> unique;
    std::map<std::string, const DavObject*> byUid;
    bool needBook = false, needCalendar = false;
    for (const DavObject& o : objects) {
        auto [it, fresh] = byUid.emplace(o.uid, &o);
        if (!fresh) {
            result.notes.push_back(
                DavMessage{ids::kMsgDavDuplicate,
                           {Utf8(o.source), QString::number(o.recordNo), Utf8(it->second->source),
                            QString::number(it->second->recordNo)}}
                    .Text());
            continue;
        }
        unique.push_back(&o);
        (o.collection == Collection::AddressBook ? needBook : needCalendar) = true;
    }
    if (unique.empty()) {
        result.failure = {ids::kMsgDavNothing, {}};
        return false;
    }
    if (!Discover(needBook, needCalendar, result))
        return false;
    result.addressBook = m_book;
    result.calendar = m_calendar;

    std::vector<Step> steps;
    for (const bool book : {true, false}) {
        if (book ? !needBook : !needCalendar)
            continue;
        const QUrl collection = book ? m_book : m_calendar;
        std::vector<Held> held;
        if (!List(collection, book, held, result))
            return false;
        std::map<std::string, Held*> heldByUid;
        for (Held& h : held)
            if (!h.uid.empty())
                heldByUid.emplace(h.uid, &h);
        std::vector<const DavObject*> mine, rest;
        std::set<std::string> local;
        for (const DavObject* o : unique)
            if ((o->collection == Collection::AddressBook) == book) {
                mine.push_back(o);
                local.insert(o->uid);
            }
        for (const DavObject* o : mine) {
            const auto it = heldByUid.find(o->uid);
            if (it == heldByUid.end()) {
                rest.push_back(o);
                continue;
            }
            it->second->used = true;
            if (Substance(it->second->text) == Substance(o->text))
                ++result.counts.unchanged;
            else
                steps.push_back({Step::Update, o, it->second->url, it->second->etag, o->text});
        }
        // An edited record has a new UID; its old resource is the one of ours that lost
        // its record and has the same name (or title), the same number (or start) first.
        for (const DavObject* o : rest) {
            const std::string key = IdentityKey(o->text), detail = IdentityDetail(o->text);
            Held* match = nullptr;
            for (Held& h : held) {
                if (h.used || !Ours(h.uid) || local.count(h.uid) != 0 || IdentityKey(h.text) != key)
                    continue;
                if (match == nullptr ||
                    (IdentityDetail(h.text) == detail && IdentityDetail(match->text) != detail))
                    match = &h;
            }
            if (match != nullptr) {
                // A resource keeps its UID for good (servers refuse a new one), so the
                // record goes out under the UID the server knows it by.
                match->used = true;
                std::string text = WithUid(o->text, o->uid, match->uid);
                if (Substance(match->text) == Substance(text))
                    ++result.counts.unchanged;
                else
                    steps.push_back({Step::Update, o, match->url, match->etag, std::move(text)});
            } else {
                const QString name = QString::fromLatin1(QUrl::toPercentEncoding(Utf8(o->uid))) +
                                     (book ? QStringLiteral(".vcf") : QStringLiteral(".ics"));
                steps.push_back({Step::Create, o, collection.resolved(QUrl(name)), {}, o->text});
            }
        }
        if (m_options.deleteMissing)
            for (Held& h : held)
                if (!h.used && Ours(h.uid) && local.count(h.uid) == 0)
                    steps.push_back({Step::Delete, nullptr, h.url, h.etag, {}});
    }

    const int total = static_cast<int>(steps.size());
    int done = 0;
    for (const Step& s : steps) {
        if (progress)
            progress(done, total);
        ++done;
        const QString where = s.url.toDisplayString(QUrl::RemoveUserInfo);
        if (m_options.dryRun) {
            if (s.kind == Step::Delete) {
                result.notes.push_back(DavMessage{ids::kMsgDavWouldDelete, {where}}.Text());
                ++result.counts.deleted;
            } else {
                result.notes.push_back(DavMessage{
                    s.kind == Step::Create ? ids::kMsgDavWouldCreate : ids::kMsgDavWouldUpdate,
                    {Utf8(s.object->source), QString::number(s.object->recordNo),
                     where}}.Text());
                ++(s.kind == Step::Create ? result.counts.created : result.counts.updated);
            }
            continue;
        }
        DavReply r;
        if (s.kind == Step::Delete) {
            QList<QPair<QByteArray, QByteArray>> headers;
            if (!s.etag.isEmpty())
                headers.append(qMakePair(QByteArray("If-Match"), s.etag));
            r = m_client.Send("DELETE", s.url, {}, headers);
            if (r.Ok() || r.status == 404) {
                result.counts.deleted += r.Ok() ? 1 : 0;
                continue;
            }
            if (r.failure == DavReply::Failure::None && r.status == 412) {
                result.notes.push_back(DavMessage{
                    ids::kMsgDavDeleteFailed,
                    {where, QString::number(r.status),
                     r.reason}}.Text());
                continue;
            }
        } else {
            QList<QPair<QByteArray, QByteArray>> headers = {
                {"Content-Type", s.object->collection == Collection::AddressBook
                                     ? QByteArray("text/vcard; charset=utf-8")
                                     : QByteArray("text/calendar; charset=utf-8")}};
            if (s.kind == Step::Create)
                headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
            else if (!s.etag.isEmpty())
                headers.append(qMakePair(QByteArray("If-Match"), s.etag));
            r = m_client.Send("PUT", s.url, QByteArray::fromStdString(s.text), headers);
            if (r.Ok()) {
                ++(s.kind == Step::Create ? result.counts.created : result.counts.updated);
                continue;
            }
            // One object the server will not take: say which record and why, go on.
            if (r.failure == DavReply::Failure::None &&
                (r.status == 400 || r.status == 409 || r.status == 413 || r.status == 415 ||
                 r.status == 422 || r.status == 412)) {
                ++result.counts.refused;
                const QString file = Utf8(s.object->source);
                const QString no = QString::number(s.object->recordNo);
                result.notes.push_back(
                    (r.status == 412
                         ? DavMessage{ids::kMsgDavChanged, {file, no}}
                         : DavMessage{ids::kMsgDavRefused,
                                      {file, no, QString::number(r.status), ServerReason(r)}})
                        .Text());
                continue;
            }
        }
        result.failure = Failure(r, s.url);
        return false;
    }
    if (progress)
        progress(total, total);
    return result.counts.refused == 0;
}

} // namespace tessera::dav
