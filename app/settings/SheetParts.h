#pragma once
// What the pages of the settings sheet share: string ids, ranges and two small helpers.
// Only the sheet's own files include this.

#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QLabel>
#include <QString>

namespace tessera::sheet {

inline constexpr int kStrCaption = 3072;                   // 環境設定
inline constexpr int kStrCountUnit = 3050;                 // 個
inline constexpr int kStrFirstModel = ids::kStrFirstModel; // PI-3000 .. PI系以外
inline constexpr int kMsgSetAgain = 1032;
inline constexpr int kMsgIntRange = 61713; // whole number between %d and %d

inline constexpr int kModelChoices = 11; // model codes 0..9 and "not a PI model"
inline constexpr int kMinBuffer = 6;     // 64 KiB
inline constexpr int kMaxBuffer = 10;    // 1024 KiB
inline constexpr int kDefaultBuffer = 7;
inline constexpr int kMinHistory = 1;
inline constexpr int kMaxHistory = 16; // what the recent-file list can hold
inline constexpr int kDefaultHistory = 4;
inline constexpr int kMinWidth = CAppSettings::kMinFieldWidth;
inline constexpr int kMaxWidth = CAppSettings::kMaxFieldWidth;
inline constexpr int kSpeedIndex9600 = 5;
inline constexpr int kMaxCallOut = 32;

inline const char* const kModelFallback[kModelChoices] = {
    "PI-3000", "PI-4000", "PI-4500", "PI-5000", "PI-6000", "PI-6500",
    "PI-6600", "PI-7000", "PI-8000", "MobileZ", "PI系以外"};

// A text of the string table (or of a resource pack), with the built-in words as a fallback.
inline QString Text(int id, const char* fallback) {
    if (HasString(id))
        return Cp932ToQString(LoadString(id));
    return QString::fromUtf8(fallback);
}

// A text of our own (ids 9400 ..), always in the table.
inline QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

inline QLabel* Note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace tessera::sheet
