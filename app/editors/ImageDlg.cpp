#include "app/editors/ImageDlg.h"

#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "base/SafeSave.h"
#include "bundle/ExportBundle.h"
#include "bundle/MemoPng.h"
#include "model/FieldLimits.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

namespace tessera {

namespace {

constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kCLAS = MakeTag("CLAS");
constexpr FieldTag kIMG1 = MakeTag("IMG1");
constexpr int kTimerMs = 1000;

} // namespace

int MemoMaxWidth(int modelCode) {
    return modelCode == 8 || modelCode == 9 ? kMemoWideWidth : kMemoNarrowWidth;
}

PictureCheck MakeMemoBitmap(const QImage& image, bool checkSize, int maxWidth, CDiBitmap& out) {
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return PictureCheck::Empty;
    if (image.width() > kMaxImageSide || image.height() > kMaxImageSide)
        return PictureCheck::TooLarge;

    // Transparent parts count as the paper: compose onto white first.
    QImage rgb(image.size(), QImage::Format_RGB32);
    rgb.fill(Qt::white);
    {
        QPainter p(&rgb);
        p.drawImage(0, 0, image);
    }
    QRgb colours[2] = {0, 0};
    int count = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = line[x] | 0xFF000000u;
            if ((count > 0 && c == colours[0]) || (count > 1 && c == colours[1]))
                continue;
            if (count == 2)
                return PictureCheck::TooManyColours;
            colours[count++] = c;
        }
    }
    if (checkSize && (image.width() > maxWidth || image.height() > kMemoMaxHeight))
        return PictureCheck::TooLarge;

    // The darker colour is black, whatever order the palette had.
    QRgb black;
    if (count == 1)
        black = qGray(colours[0]) < 128 ? colours[0] : 0x00000000u; // a blank page stays white
    else
        black = qGray(colours[0]) <= qGray(colours[1]) ? colours[0] : colours[1];
    if (count == 2 && qGray(colours[0]) == qGray(colours[1]))
        black = colours[1]; // equally dark: the second colour met counts as ink

    const int w = rgb.width();
    const int h = rgb.height();
    const std::size_t rowBytes = CDiBitmap::PackedRowSizeFor(w);
    std::vector<std::uint8_t> packed(rowBytes * static_cast<std::size_t>(h), 0);
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::uint8_t* row = packed.data() + rowBytes * static_cast<std::size_t>(y);
        for (int x = 0; x < w; ++x)
            if ((line[x] | 0xFF000000u) == black)
                row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
    }
    CDiBitmap bitmap;
    const auto info = CDiBitmap::DeviceInfo(w, h);
    if (!bitmap.SetInfo(info) || !bitmap.SetPackedBits(packed))
        return PictureCheck::TooLarge;
    if (!checkSize) {
        // Without the size check the picture must still come back from the text form.
        std::vector<std::uint8_t> stream;
        if (!PackImage(bitmap, stream) || stream.size() * 2 + 1 > kReadValueCapacity)
            return PictureCheck::TooLarge;
    }
    out = std::move(bitmap);
    return PictureCheck::Ok;
}

QImage MemoImage(const CDiBitmap& bitmap) {
    if (bitmap.IsEmpty())
        return {};
    QImage img(bitmap.Width(), bitmap.Height(), QImage::Format_Mono);
    img.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    img.fill(0);
    std::vector<std::uint8_t> row;
    for (int y = 0; y < bitmap.Height(); ++y) {
        if (!bitmap.PackedRow(y, row))
            break;
        // Packed rows and Format_Mono share the bit order: most significant bit leftmost.
        std::copy(row.begin(), row.end(), img.scanLine(y));
    }
    return img;
}

CMemoView::CMemoView(QWidget* parent, int maxWidth) : QWidget(parent), m_maxWidth(maxWidth) {
    // Whole device pixels per dot: on a high-density screen each dot grows by an integer
    // factor instead of being smeared across fractional pixels.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    m_scale = std::max(1, static_cast<int>(dpi / 96.0 + 0.25));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CMemoView::SetBitmap(const CDiBitmap* bitmap) {
    m_image = bitmap != nullptr ? MemoImage(*bitmap) : QImage();
    update();
}

void CMemoView::SetMaxWidth(int maxWidth) {
    m_maxWidth = maxWidth;
    updateGeometry();
    update();
}

QSize CMemoView::sizeHint() const {
    return QSize(m_maxWidth * m_scale + 2, kMemoMaxHeight * m_scale + 2);
}

void CMemoView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().mid().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.fillRect(rect().adjusted(1, 1, -1, -1), Qt::white);
    if (m_image.isNull())
        return;
    const int w = std::min(m_image.width(), m_maxWidth);
    const int h = std::min(m_image.height(), kMemoMaxHeight);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(1, 1, w * m_scale, h * m_scale), m_image, QRect(0, 0, w, h));
}

CImageDlg::CImageDlg(const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(140, settings, parent), m_maxWidth(MemoMaxWidth(settings.ModelCode())) {
    setObjectName(QStringLiteral("CImageDlg"));
    setWindowTitle(EditorText(110140));
    // Without the size check the view still shows at most the widest device picture.
    const int shownWidth = settings.ImageSize ? m_maxWidth : kMemoWideWidth;

    m_secret = new QCheckBox(EditorText(101071), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_title = new CByteLineEdit(FieldByteLimit(kKindMemo, kCLAS), this);
    m_title->setObjectName(QStringLiteral("title"));
    auto* titleLabel = new QLabel(EditorText(101070), this);
    titleLabel->setBuddy(m_title);
    SetEditFieldName(m_title, Cp932ToQString(FieldName(kCLAS)));
    m_copy = new QPushButton(QIcon(QStringLiteral(":/icons/copy.svg")), EditorText(9008), this);
    m_copy->setObjectName(QStringLiteral("copy"));
    m_copy->setAutoDefault(false);
    m_paste = new QPushButton(QIcon(QStringLiteral(":/icons/paste.svg")), EditorText(9009), this);
    m_paste->setObjectName(QStringLiteral("paste"));
    m_paste->setAutoDefault(false);
    // Saving the picture (backup feature block).
    m_save = new QPushButton(Cp932ToQString(LoadString(ids::kStrMemoSaveImage)), this);
    m_save->setObjectName(QStringLiteral("savePicture"));
    m_save->setAutoDefault(false);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("sizeHint"));
    // The hint hides once there is a picture; its room stays, so the buttons beside it do
    // not stretch or move after a paste.
    QSizePolicy hintPolicy = m_hint->sizePolicy();
    hintPolicy.setRetainSizeWhenHidden(true);
    m_hint->setSizePolicy(hintPolicy);
    m_view = new CMemoView(this, shownWidth);
    m_view->setObjectName(QStringLiteral("picture"));

    auto* head = new QGridLayout;
    head->addWidget(m_secret, 0, 0, 1, 2);
    head->addWidget(titleLabel, 1, 0);
    head->addWidget(m_title, 1, 1);
    head->setColumnStretch(1, 1);
    auto* tools = new QHBoxLayout;
    tools->addWidget(m_copy);
    tools->addWidget(m_paste);
    tools->addWidget(m_save);
    tools->addSpacing(8);
    tools->addWidget(m_hint, 1);
    auto* fields = new QVBoxLayout;
    fields->addLayout(head);
    fields->addLayout(tools);
    fields->addWidget(m_view, 0, Qt::AlignLeft | Qt::AlignTop);
    fields->addStretch(1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(fields, 1);
    top->addWidget(MakeButtons(), 0, Qt::AlignTop);

    connect(m_copy, &QPushButton::clicked, this, &CImageDlg::Copy);
    connect(m_paste, &QPushButton::clicked, this, &CImageDlg::Paste);
    connect(m_save, &QPushButton::clicked, this, &CImageDlg::SaveImage);
    m_timer = new QTimer(this);
    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &CImageDlg::RefreshPasteButton);
    m_timer->start();
    if (QClipboard* cb = QGuiApplication::clipboard())
        connect(cb, &QClipboard::dataChanged, this, &CImageDlg::RefreshPasteButton);
    ShowImage();
    RefreshPasteButton();
    FinishForm({m_secret, m_title, m_copy, m_paste, m_save}, m_title);
}

CImageDlg::~CImageDlg() {
    m_timer->stop();
}

void CImageDlg::ShowImage() {
    const bool has = HasImage();
    m_copy->setEnabled(has);
    m_save->setEnabled(has);
    m_hint->setVisible(!has);
    m_hint->setText(Cp932ToQString(
        FormatText(QStringToCp932Lossy(EditorText(9063)),
                   {static_cast<long long>(m_maxWidth), static_cast<long long>(kMemoMaxHeight)})));
    m_view->SetBitmap(has ? &m_bitmap : nullptr);
}

void CImageDlg::RefreshPasteButton() {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb != nullptr ? cb->mimeData() : nullptr;
    m_paste->setEnabled(data != nullptr && data->hasImage());
}

bool CImageDlg::PasteImage(const QImage& image) {
    CDiBitmap bitmap;
    PictureCheck check;
    try {
        check = MakeMemoBitmap(image, Settings().ImageSize, m_maxWidth, bitmap);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgEditNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    if (check != PictureCheck::Ok) {
        // 1057 says what is wrong; the line under it gives what fits.
        std::string text = LoadString(1057);
        text += "\n";
        const bool sized = Settings().ImageSize;
        text += FormatString(ids::kTextImageAllowed,
                             static_cast<long long>(sized ? m_maxWidth : kMaxImageSide),
                             static_cast<long long>(sized ? kMemoMaxHeight : kMaxImageSide));
        if (Prompter* p = CurrentPrompter())
            p->Show(1057, text, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    m_bitmap = std::move(bitmap);
    m_imageChanged = true;
    ShowImage();
    return true;
}

bool CImageDlg::Paste() {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb != nullptr ? cb->mimeData() : nullptr;
    if (data == nullptr || !data->hasImage())
        return false;
    return PasteImage(cb->image());
}

void CImageDlg::Copy() {
    if (!HasImage())
        return;
    if (QClipboard* cb = QGuiApplication::clipboard()) {
        cb->setImage(MemoImage(m_bitmap));
        m_paste->setEnabled(true);
    } else {
        ShowMessage(1035, PromptIcon::Stop, PromptButtons::Ok);
    }
}

bool CImageDlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0;
    std::string title;
    const CField* image = FieldOf(record, kIMG1);
    if (!LoadInt(record, kSCRT, secret) || !LoadText(record, kCLAS, title) || image == nullptr ||
        image->Class() != FieldClass::Image)
        return LoadFailed();
    const CDiBitmap* bitmap = ValueAs<CDiBitmap>(image->GetValue());
    CDiBitmap copy;
    if (bitmap != nullptr && !copy.CopyFrom(*bitmap))
        return false; // 1036 shown
    m_secret->setChecked(secret != 0);
    m_title->SetBytes(title);
    m_bitmap = std::move(copy);
    m_imageChanged = false;
    ShowImage();
    return true;
}

bool CImageDlg::Validate() {
    if (!HasImage()) {
        ShowRequiredMissing(kIMG1);
        return false;
    }
    return true;
}

bool CImageDlg::Compose(CFieldWrites& writes) {
    if (!HasImage()) {
        ShowMessage(1056, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    if (m_imageChanged || IsNewRecord())
        writes.Set(kIMG1, static_cast<const CDiBitmap*>(&m_bitmap));
    return TakeEdit(m_title, kCLAS, writes);
}

// ---- saving the picture (backup feature block) ----

bool CImageDlg::SaveImageTo(const QString& path) {
    const QByteArray png = bundle::MemoPng(m_bitmap);
    QString reason;
    if (png.isEmpty() ||
        !SaveFileSafely(path, std::string_view(png.constData(), png.size()), &reason)) {
        ShowMessage(ids::kMsgMemoSaveFailed, PromptIcon::Stop, PromptButtons::Ok,
                    QStringToCp932Lossy(QDir::toNativeSeparators(path)),
                    QStringToCp932Lossy(reason));
        return false;
    }
    return true;
}

void CImageDlg::SaveImage() {
    if (!HasImage())
        return;
    QString name = bundle::FileTitle(m_title->text(), QStringLiteral("memo"));
    const QString path = QFileDialog::getSaveFileName(
        this, Cp932ToQString(LoadString(ids::kStrMemoSaveTitle)),
        QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
            .filePath(name + QStringLiteral(".png")),
        Cp932ToQString(LoadString(ids::kStrMemoPngFilter)));
    if (!path.isEmpty())
        SaveImageTo(path);
}

} // namespace tessera
