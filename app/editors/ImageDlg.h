#pragma once
// "手書きメモ": the handwritten-memo editor. The picture can only be copied to and pasted
// from the clipboard; it is shown at its own size, one dot per dot.

#include "app/editors/EditorCommon.h"
#include "model/DiBitmap.h"

#include <QImage>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;
QT_END_NAMESPACE

namespace tessera {

inline constexpr int kMemoMaxHeight = 128;
inline constexpr int kMemoWideWidth = 278;   // PI-8000 and MobileZ
inline constexpr int kMemoNarrowWidth = 198; // every other model

// The widest picture the memo editor takes for a model code.
int MemoMaxWidth(int modelCode);

enum class PictureCheck {
    Ok,
    TooManyColours, // more than two distinct colours
    TooLarge,       // past the model's size (size check on), or too long for the text form
    Empty,          // no picture at all
};

// Turns a clipboard picture into a memo bitmap: exactly two colours (or one) become one bit
// per pixel with the darker colour black. With `checkSize` the picture must fit
// `maxWidth` x 128; without it, its packed text must still fit what the reader takes.
PictureCheck MakeMemoBitmap(const QImage& image, bool checkSize, int maxWidth, CDiBitmap& out);
// The picture as a clipboard image (white 0, black 1).
QImage MemoImage(const CDiBitmap& bitmap);

// The drawing area: the picture at an integer scale, so one dot stays sharp.
class CMemoView : public QWidget {
    Q_OBJECT
public:
    CMemoView(QWidget* parent, int maxWidth);
    void SetBitmap(const CDiBitmap* bitmap);
    void SetMaxWidth(int maxWidth);
    int Scale() const { return m_scale; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    int m_maxWidth;
    int m_scale = 1;
};

class CImageDlg final : public CRecordEditor {
    Q_OBJECT
public:
    explicit CImageDlg(const CAppSettings& settings, QWidget* parent = nullptr);
    ~CImageDlg() override;

    bool LoadFromRecord(const CDataRecord& record) override;

    // The widest picture shown and (with the size check on) taken.
    int MaxWidth() const { return m_maxWidth; }
    bool HasImage() const { return !m_bitmap.IsEmpty(); }
    const CDiBitmap& Bitmap() const { return m_bitmap; }

    // The two buttons' work. Paste takes `image` (what the clipboard holds); false after
    // 1057 when the picture is refused.
    bool PasteImage(const QImage& image);
    bool Paste();
    void Copy();
    // The picture as a PNG file at its own size; false when it could not be written (the
    // message has been shown). SaveImage asks for the file name first.
    bool SaveImageTo(const QString& path);
    void SaveImage();
    // The paste button follows the clipboard (the one-second timer's work).
    void RefreshPasteButton();

protected:
    bool Validate() override;
    bool Compose(CFieldWrites& writes) override;

private:
    void ShowImage();

    int m_maxWidth;
    CDiBitmap m_bitmap;
    bool m_imageChanged = false;
    QCheckBox* m_secret = nullptr;
    CByteLineEdit* m_title = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_paste = nullptr;
    QPushButton* m_save = nullptr;
    QLabel* m_hint = nullptr;
    CMemoView* m_view = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace tessera
