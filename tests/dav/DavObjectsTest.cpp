// The resources a publish makes from records, the comparison that decides whether one is
// sent again, and the reading of a server's multistatus answers.

#include "dav/DavObjects.h"

#include "dav/DavClient.h"
#include "model/CodeMap.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <set>

namespace tessera::test {
namespace {

using dav::Substance;

const std::string kEvent = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Quillon//Tessera//JA\r\n"
                           "BEGIN:VEVENT\r\nUID:1@tessera.invalid\r\nDTSTAMP:20260101T000000Z\r\n"
                           "DTSTART;VALUE=DATE-TIME;TZID=Asia/Tokyo:20010604T100000\r\n"
                           "SUMMARY:定例会議\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
                           "TRIGGER:-PT60M\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

TEST(DavSubstance, WhatServersRewriteIsTheSameWhatRecordsSayIsNot) {
    struct Case {
        const char* what;
        std::string other;
        bool same;
    };
    const std::vector<Case> cases = {
        {"the same text", kEvent, true},
        {"a new DTSTAMP and PRODID",
         "BEGIN:VCALENDAR\r\nPRODID:-//Radicale//NONSGML//EN\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\n"
         "UID:1@tessera.invalid\r\nDTSTAMP:20270505T101010Z\r\n"
         "DTSTART;TZID=Asia/Tokyo;VALUE=DATE-TIME:20010604T100000\r\nSUMMARY:定例会議\r\n"
         "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT1H\r\nEND:VALARM\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         true},
        {"folded at another place, LF breaks",
         "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:1@tessera.invalid\n"
         "DTSTART;VALUE=DATE-TIME;TZID=Asia/To\n kyo:20010604T100000\nSUMMARY:定例\n 会議\n"
         "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT60M\nEND:VALARM\nEND:VEVENT\n"
         "BEGIN:VTIMEZONE\nTZID:Asia/Tokyo\nEND:VTIMEZONE\nEND:VCALENDAR\n",
         true},
        {"another title", std::string(kEvent).replace(kEvent.find("定例会議"), 12, "臨時会議"),
         false},
        {"another alarm time", std::string(kEvent).replace(kEvent.find("-PT60M"), 6, "-PT30M"),
         false},
        {"the alarm moved out of the event",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:1@tessera.invalid\r\n"
         "DTSTART;VALUE=DATE-TIME;TZID=Asia/Tokyo:20010604T100000\r\nSUMMARY:定例会議\r\n"
         "ACTION:DISPLAY\r\nTRIGGER:-PT60M\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         false},
        {"a value in another case", std::string(kEvent).replace(kEvent.find("Tokyo"), 5, "TOKYO"),
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Substance(kEvent) == Substance(c.other), c.same) << c.what;
}

TEST(DavSplit, OneCalendarObjectPerComponentWithTheCalendarsOwnLines) {
    const std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\n"
                            "BEGIN:VEVENT\r\nUID:a\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\n"
                            "END:VALARM\r\nEND:VEVENT\r\n"
                            "BEGIN:VTODO\r\nUID:b\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    const std::vector<std::string> parts = dav::SplitCalendar(ics);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:a\r\n"
                        "BEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\nEND:VEVENT\r\n"
                        "END:VCALENDAR\r\n");
    EXPECT_EQ(parts[1], "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VTODO\r\nUID:b\r\n"
                        "END:VTODO\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(dav::ComponentName(parts[1]), "VTODO");
    EXPECT_EQ(dav::PropertyValue(parts[0], "UID"), "a");
    // The alarm's trigger is not the event's.
    EXPECT_EQ(dav::PropertyValue(parts[0], "TRIGGER"), "");

    const std::vector<std::string> cards =
        dav::SplitCards("BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:b\r\nEND:VCARD\r\n");
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[1], "BEGIN:VCARD\r\nFN:b\r\nEND:VCARD\r\n");
}

TEST(DavObjects, EverySampleRecordIsOneObjectOfItsOwnUnderAStableUid) {
    CCodeMap map(nullptr);
    ASSERT_TRUE(map.LoadTables());
    struct Case {
        const char* sample;
        dav::Collection collection;
        std::set<std::string> components;
    };
    const std::vector<Case> cases = {
        {"phonebook", dav::Collection::AddressBook, {"VCARD"}},
        {"cards", dav::Collection::AddressBook, {"VCARD"}},
        {"schedule", dav::Collection::Calendar, {"VEVENT"}},
        {"anniversary", dav::Collection::Calendar, {"VEVENT"}},
        {"anniversary-week", dav::Collection::Calendar, {"VEVENT"}},
        {"actions", dav::Collection::Calendar, {"VTODO"}},
        {"memo", dav::Collection::Calendar, {}},
        {"report", dav::Collection::Calendar, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sample);
        CRecordSet set;
        const std::string bytes = SampleBytes(c.sample);
        ASSERT_TRUE(set.ReadText(bytes, &map));
        const std::string before = [&] {
            std::string t;
            set.WriteTextToString(t);
            return t;
        }();
        std::vector<dav::DavObject> first, second;
        std::vector<std::string> notes;
        std::string error;
        ASSERT_TRUE(dav::MakeObjects(set, c.sample, first, notes, error)) << error;
        ASSERT_TRUE(dav::MakeObjects(set, c.sample, second, notes, error)) << error;
        std::string after;
        set.WriteTextToString(after);
        EXPECT_EQ(after, before) << "the records were changed";
        if (c.components.empty()) {
            EXPECT_TRUE(first.empty());
            continue;
        }
        ASSERT_EQ(static_cast<int>(first.size()), set.RecordCount());
        std::set<std::string> uids;
        for (std::size_t i = 0; i < first.size(); ++i) {
            const dav::DavObject& o = first[i];
            EXPECT_EQ(o.collection, c.collection);
            EXPECT_EQ(o.recordNo, static_cast<int>(i) + 1);
            EXPECT_TRUE(c.components.count(o.component)) << o.component;
            EXPECT_NE(o.uid.find("@tessera.invalid"), std::string::npos);
            EXPECT_TRUE(uids.insert(o.uid).second) << "a UID twice: " << o.uid;
            // Exactly one component (and its alarms) in each calendar object.
            if (c.collection == dav::Collection::Calendar) {
                EXPECT_EQ(dav::SplitCalendar(o.text).size(), 1u);
            }
            // A second export differs in its time stamp at most.
            EXPECT_EQ(second[i].uid, o.uid);
            EXPECT_EQ(Substance(second[i].text), Substance(o.text));
        }
    }
}

TEST(DavIdentity, AnEditedRecordKeepsItsKeyARenamedOneDoesNot) {
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:1@tessera.invalid\r\nFN:山田 花子\r\n"
        "TEL;TYPE=VOICE:03-3812-4471\r\nEND:VCARD\r\n";
    std::string renumbered = card;
    renumbered.replace(renumbered.find("4471"), 4, "9999");
    std::string renamed = card;
    renamed.replace(renamed.find("花子"), 6, "太郎");
    EXPECT_EQ(dav::IdentityKey(card), dav::IdentityKey(renumbered));
    EXPECT_NE(dav::IdentityDetail(card), dav::IdentityDetail(renumbered));
    EXPECT_NE(dav::IdentityKey(card), dav::IdentityKey(renamed));
    EXPECT_NE(dav::IdentityKey(card), dav::IdentityKey(kEvent));
}

TEST(DavMultistatus, PropertiesOfRefusedPropstatsAreLeftOut) {
    const QByteArray xml = R"(<?xml version="1.0"?>
<multistatus xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav" xmlns:R="urn:ietf:params:xml:ns:carddav">
 <response><href>/u/</href>
  <propstat><prop><resourcetype><collection/></resourcetype>
    <current-user-principal><href>/u/</href></current-user-principal>
    <R:addressbook-home-set><href>/u/books/</href></R:addressbook-home-set></prop>
   <status>HTTP/1.1 200 OK</status></propstat>
  <propstat><prop><C:calendar-home-set><href>/nowhere/</href></C:calendar-home-set></prop>
   <status>HTTP/1.1 404 Not Found</status></propstat></response>
 <response><href>/u/cal/</href><propstat><prop>
   <resourcetype><collection/><C:calendar/></resourcetype>
   <C:supported-calendar-component-set><C:comp name="VEVENT"/><C:comp name="VTODO"/></C:supported-calendar-component-set>
   <getetag>"e1"</getetag><C:calendar-data>BEGIN:VCALENDAR&#13;
END:VCALENDAR&#13;
</C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>
 <response><href>/u/gone.ics</href><status>HTTP/1.1 404 Not Found</status></response>
</multistatus>)";
    QList<dav::DavResponse> r;
    ASSERT_TRUE(dav::ParseMultistatus(xml, r));
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r[0].href, "/u/");
    EXPECT_EQ(r[0].types, QStringList{"collection"});
    EXPECT_EQ(r[0].principal, "/u/");
    EXPECT_EQ(r[0].addressbookHome, "/u/books/");
    EXPECT_EQ(r[0].calendarHome, "") << "a property of a 404 propstat";
    EXPECT_EQ(r[1].types, (QStringList{"collection", "calendar"}));
    EXPECT_EQ(r[1].components, (QStringList{"VEVENT", "VTODO"}));
    EXPECT_EQ(r[1].etag, "\"e1\"");
    EXPECT_EQ(r[1].data, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(r[2].status, 404);

    for (const char* notDav : {"<html><body>hello</body></html>", "", "<multistatus>"}) {
        QList<dav::DavResponse> none;
        EXPECT_FALSE(dav::ParseMultistatus(notDav, none)) << notDav;
    }
}

} // namespace
} // namespace tessera::test
