#pragma once
// The text edits that count their limit in code page 932 bytes.

#include "app/editors/common/EditorTexts.h"

namespace tessera {

// ---- text edits ----

// Outcome of turning an edit's text into field bytes.
enum class TextCheck {
    Ok,
    Unencodable, // a character code page 932 cannot hold
    Forbidden,   // TAB (unless allowed), a control byte, 0x1A, or a quote directly before a comma
};

// Encodes `text` for a field: line breaks become CR LF, and characters the field cannot carry
// are refused. `bad` receives the refused character.
TextCheck EncodeFieldText(const QString& text, bool allowTab, std::string& out, QString* bad);

// Bytes `text` takes in code page 932 (a line break counted as CR LF).
int Cp932Length(const QString& text);
// The longest start of `text` that takes at most `maxBytes` bytes, never cutting a
// character (nor a surrogate pair) in two.
QString Cp932Prefix(const QString& text, int maxBytes);

// The name a byte-limited edit gives its field in messages (MakeFieldLabel sets it).
void SetEditFieldName(QWidget* edit, const QString& name);
// A paste into `edit` (name from SetEditFieldName) that did not fit: `cut` bytes were left
// out of a field of `limit` bytes.
void ShowPasteCut(const QWidget* edit, int cut, int limit);

// Refuses an edit that would make the text longer than the limit in bytes. A loaded text
// that is already longer may still be shortened.
class CByteLimitValidator : public QValidator {
    Q_OBJECT
public:
    CByteLimitValidator(int maxBytes, const QLineEdit* edit);
    State validate(QString& input, int& pos) const override;

private:
    int m_max;
    const QLineEdit* m_edit;
};

// The original bytes of a loaded text and the text shown for them: an edit the user did not
// change gives back exactly the bytes it was loaded with.
class CLoadedText {
public:
    void Load(std::string_view bytes, const QString& shown);
    bool Unchanged(const QString& now) const { return m_loaded && now == m_shown; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    QString m_shown;
    bool m_loaded = false;
};

// One-line edit limited in code page 932 bytes.
class CByteLineEdit : public QLineEdit {
    Q_OBJECT
public:
    // `maxBytes` 0: no limit.
    CByteLineEdit(int maxBytes, QWidget* parent = nullptr);

    void SetBytes(std::string_view bytes);
    // The bytes to store (the loaded bytes when untouched).
    TextCheck TakeBytes(std::string& out, QString* bad = nullptr) const;
    bool IsTouched() const { return !m_loaded.Unchanged(text()); }
    int MaxBytes() const { return m_max; }
    int RoomLeft() const;
    // Pastes `text` at the cursor, as much of it as fits; says so when some was left out.
    void PasteLimited(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int m_max;
    CLoadedText m_loaded;
};

// Multi-line edit limited in code page 932 bytes; TAB moves the focus, and the companion
// label (RoomLabel) shows how many bytes are left.
class CByteTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    CByteTextEdit(int maxBytes, QWidget* parent = nullptr);

    void SetBytes(std::string_view bytes);
    TextCheck TakeBytes(std::string& out, bool allowTab = false, QString* bad = nullptr) const;
    bool IsTouched() const { return !m_loaded.Unchanged(toPlainText()); }
    bool IsEmptyText() const { return toPlainText().isEmpty(); }
    int MaxBytes() const { return m_max; }
    void SetMaxBytes(int maxBytes);
    // A soft limit only shows the room left (negative past it) and refuses nothing; the
    // dialog checks the length when the user confirms.
    void SetSoftLimit(bool soft) { m_soft = soft; }
    int RoomLeft() const;
    // A small label kept up to date with the bytes left (null without a limit).
    QLabel* RoomLabel();
    // A dialog opens with the edit at its set number of lines (SetEditLines) and grows it
    // from there.
    QSize sizeHint() const override;

signals:
    void roomChanged(int left);

protected:
    // Pastes and drops take as much as fits under a hard limit, and say how much was left.
    void insertFromMimeData(const QMimeData* source) override;

private:
    void OnChanged();
    void UpdateRoom();

    int m_max;
    CLoadedText m_loaded;
    QString m_lastText;
    int m_lastBytes = 0;
    bool m_reverting = false;
    bool m_soft = false;
    QLabel* m_room = nullptr;
};

} // namespace tessera
