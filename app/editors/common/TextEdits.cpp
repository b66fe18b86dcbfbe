#include "app/editors/common/TextEdits.h"

#include "app/Help.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "text/StringTable.h"

#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <algorithm>
#include <memory>

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

QString Cp932Prefix(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                ? 2
                : 1;
        const int b = Cp932Length(text.mid(i, n));
        if (bytes + b > maxBytes)
            break;
        bytes += b;
        i += n;
    }
    return text.left(i);
}

namespace {
constexpr const char* kFieldNameProperty = "tesseraFieldName";
} // namespace

void SetEditFieldName(QWidget* edit, const QString& name) {
    edit->setProperty(kFieldNameProperty, name);
}

void ShowPasteCut(const QWidget* edit, int cut, int limit) {
    const QString name = edit->property(kFieldNameProperty).toString();
    ShowMessage(ids::kMsgEditPasteCut, PromptIcon::Information, PromptButtons::Ok,
                QStringToCp932Lossy(name), static_cast<long long>(cut),
                static_cast<long long>(limit));
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

void CByteLineEdit::PasteLimited(const QString& pasted) {
    if (isReadOnly() || pasted.isEmpty())
        return;
    if (m_max <= 0) {
        insert(pasted);
        return;
    }
    // The selection goes, so its bytes count as room.
    const int room = std::max(0, m_max - Cp932Length(text()) + Cp932Length(selectedText()));
    const QString fits = Cp932Prefix(pasted, room);
    if (!fits.isEmpty() || hasSelectedText())
        insert(fits);
    const int cut = Cp932Length(pasted) - Cp932Length(fits);
    if (cut > 0)
        ShowPasteCut(this, cut, m_max);
}

void CByteLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Paste && m_max > 0) {
        if (const QClipboard* cb = QGuiApplication::clipboard())
            PasteLimited(cb->text());
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CByteLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (m_max > 0) {
        for (QAction* a : menu->actions()) {
            if (a->objectName() != QLatin1String("edit-paste"))
                continue;
            disconnect(a, &QAction::triggered, nullptr, nullptr);
            connect(a, &QAction::triggered, this, [this] {
                if (const QClipboard* cb = QGuiApplication::clipboard())
                    PasteLimited(cb->text());
            });
        }
    }
    menu->exec(event->globalPos());
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

void CByteTextEdit::insertFromMimeData(const QMimeData* source) {
    if (m_max <= 0 || m_soft || source == nullptr || !source->hasText() || isReadOnly()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString pasted = source->text();
    pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    pasted.replace(QChar(u'\r'), QChar(u'\n'));
    const QTextCursor c = textCursor();
    const int room = std::max(
        0, m_max - Cp932Length(toPlainText()) +
               Cp932Length(c.selectedText().replace(QChar::ParagraphSeparator, QChar(u'\n'))));
    const QString fits = Cp932Prefix(pasted, room);
    if (!fits.isEmpty() || c.hasSelection())
        insertPlainText(fits);
    const int cut = Cp932Length(pasted) - Cp932Length(fits);
    if (cut > 0)
        ShowPasteCut(this, cut, m_max);
}

QSize CByteTextEdit::sizeHint() const {
    QSize hint = QPlainTextEdit::sizeHint();
    if (minimumHeight() > 0)
        hint.setHeight(minimumHeight());
    return hint;
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
