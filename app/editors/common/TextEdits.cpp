#include "app/editors/common/TextEdits.h"

#include "app/Help.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "text/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>

namespace tessera {

// ---------------------------------------------------------------- texts of edits

int Cp932Length(const QString& text) {
    int bytes = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            bytes += 2; // stored as CR LF
        else if (c.isLowSurrogate())
            continue;
        else if (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F))
            bytes += 1;
        else
            bytes += 2;
    }
    return bytes;
}

TextCheck EncodeFieldText(const QString& text, bool allowTab, std::string& out, QString* bad) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QChar(u'\r'), QChar(u'\n'));
    normal.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    normal.replace(QChar::LineSeparator, QChar(u'\n'));
    for (QChar c : normal) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == 0x7F;
        if ((control && u != u'\n' && !(allowTab && u == u'\t'))) {
            if (bad)
                *bad = QString(c);
            return TextCheck::Forbidden;
        }
    }
    // A quote directly before a comma would end the value early in the text form.
    if (normal.contains(QStringLiteral("\","))) {
        if (bad)
            *bad = QStringLiteral("\",");
        return TextCheck::Forbidden;
    }
    std::string bytes;
    qsizetype badIndex = -1;
    if (!QStringToCp932(normal, bytes, &badIndex)) {
        if (bad) {
            *bad = badIndex >= 0 && badIndex < normal.size() ? normal.mid(badIndex, 1) : QString();
            if (badIndex >= 0 && badIndex + 1 < normal.size() &&
                normal.at(badIndex).isHighSurrogate())
                *bad = normal.mid(badIndex, 2);
        }
        return TextCheck::Unencodable;
    }
    out = NormalizeLineBreaks(bytes);
    return TextCheck::Ok;
}

namespace {

// How a stored text is shown: CR LF (or a lone CR or LF) as one line break.
QString ShownText(std::string_view bytes) {
    QString s = Cp932ToQString(bytes);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar(u'\r'), QChar(u'\n'));
    return s;
}

} // namespace

CByteLimitValidator::CByteLimitValidator(int maxBytes, const QLineEdit* edit)
    : QValidator(const_cast<QLineEdit*>(edit)), m_max(maxBytes), m_edit(edit) {}

QValidator::State CByteLimitValidator::validate(QString& input, int&) const {
    if (m_max <= 0)
        return Acceptable;
    const int bytes = Cp932Length(input);
    if (bytes <= m_max)
        return Acceptable;
    // A loaded text longer than the limit may still be shortened.
    if (m_edit != nullptr && bytes < Cp932Length(m_edit->text()))
        return Intermediate;
    return Invalid;
}

void CLoadedText::Load(std::string_view bytes, const QString& shown) {
    m_bytes.assign(bytes);
    m_shown = shown;
    m_loaded = true;
}

CByteLineEdit::CByteLineEdit(int maxBytes, QWidget* parent) : QLineEdit(parent), m_max(maxBytes) {
    if (m_max > 0) {
        setValidator(new CByteLimitValidator(m_max, this));
        // The room left shows in the tooltip; typing past the limit is refused.
        auto updateRoom = [this] {
            const QString room = EditorText(kTextEditRoomLeft);
            setToolTip(QString(room).replace(QStringLiteral("%d"), QString::number(RoomLeft())));
        };
        connect(this, &QLineEdit::textChanged, this, updateRoom);
        updateRoom();
    }
}

void CByteLineEdit::SetBytes(std::string_view bytes) {
    const QString shown = ShownText(bytes);
    setText(shown);
    m_loaded.Load(bytes, text());
}

TextCheck CByteLineEdit::TakeBytes(std::string& out, QString* bad) const {
    if (m_loaded.Unchanged(text())) {
        out = m_loaded.Bytes();
        return TextCheck::Ok;
    }
    return EncodeFieldText(text(), false, out, bad);
}

int CByteLineEdit::RoomLeft() const {
    return m_max > 0 ? m_max - Cp932Length(text()) : 0;
}

CByteTextEdit::CByteTextEdit(int maxBytes, QWidget* parent)
    : QPlainTextEdit(parent), m_max(maxBytes) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &CByteTextEdit::OnChanged);
}

void CByteTextEdit::SetMaxBytes(int maxBytes) {
    m_max = maxBytes;
    UpdateRoom();
}

void CByteTextEdit::SetBytes(std::string_view bytes) {
    const QString shown = ShownText(bytes);
    m_reverting = true;
    setPlainText(shown);
    m_reverting = false;
    m_lastText = toPlainText();
    m_lastBytes = Cp932Length(m_lastText);
    m_loaded.Load(bytes, m_lastText);
    UpdateRoom();
}

TextCheck CByteTextEdit::TakeBytes(std::string& out, bool allowTab, QString* bad) const {
    const QString now = toPlainText();
    if (m_loaded.Unchanged(now)) {
        out = m_loaded.Bytes();
        return TextCheck::Ok;
    }
    return EncodeFieldText(now, allowTab, out, bad);
}

int CByteTextEdit::RoomLeft() const {
    return m_max > 0 ? m_max - Cp932Length(toPlainText()) : 0;
}

QLabel* CByteTextEdit::RoomLabel() {
    if (m_room == nullptr) {
        m_room = new QLabel(parentWidget());
        m_room->setObjectName(objectName() + QStringLiteral("Room"));
        m_room->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        UpdateRoom();
    }
    return m_room;
}

void CByteTextEdit::OnChanged() {
    if (m_reverting)
        return;
    const QString now = toPlainText();
    const int bytes = Cp932Length(now);
    if (m_max > 0 && !m_soft && bytes > m_max && bytes > m_lastBytes) {
        // Refuse what went past the limit: back to the text before this change.
        const int pos = std::min(static_cast<int>(m_lastText.size()),
                                 std::max(0, textCursor().position() -
                                                 static_cast<int>(now.size() - m_lastText.size())));
        m_reverting = true;
        setPlainText(m_lastText);
        QTextCursor c = textCursor();
        c.setPosition(pos);
        setTextCursor(c);
        m_reverting = false;
        return;
    }
    m_lastText = now;
    m_lastBytes = bytes;
    UpdateRoom();
}

void CByteTextEdit::UpdateRoom() {
    const int left = RoomLeft();
    if (m_room != nullptr) {
        m_room->setVisible(m_max > 0);
        const QString room = EditorText(kTextEditRoomLeft);
        m_room->setText(QString(room).replace(QStringLiteral("%d"), QString::number(left)));
    }
    emit roomChanged(left);
}

} // namespace tessera
