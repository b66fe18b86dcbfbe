// Handwritten-memo editor: what a pasted picture must be, how it is turned into one bit per
// pixel, the size rules per model, copy and store.

#include "EditorTestSupport.h"
#include "app/editors/ImageDlg.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace tessera::test {
namespace {

// A w x h picture of two colours: `ink` dots on a `paper` background, a diagonal line.
QImage TwoColours(int w, int h, QColor paper = Qt::white, QColor ink = Qt::black) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(paper);
    for (int i = 0; i < std::min(w, h); ++i)
        img.setPixelColor(i, i, ink);
    return img;
}

class ImageEditorTest : public EditorTest {
protected:
    std::unique_ptr<CImageDlg> MakeMemo() {
        return std::unique_ptr<CImageDlg>(static_cast<CImageDlg*>(Make(kKindMemo).release()));
    }
    KindRecords kind{kKindMemo};
};

TEST(MemoPicture, TwoColoursBecomeBlackOnWhiteWhateverTheirOrder) {
    EditorApp();
    struct Case {
        QColor paper, ink;
    } cases[] = {
        {Qt::white, Qt::black},
        {Qt::black, Qt::white}, // inverted palette: the darker is still black
        {QColor(200, 220, 255), QColor(10, 40, 90)},
    };
    for (const auto& c : cases) {
        CDiBitmap bmp;
        ASSERT_EQ(MakeMemoBitmap(TwoColours(10, 6, c.paper, c.ink), true, 198, bmp),
                  PictureCheck::Ok);
        const bool inkIsDark = qGray(c.ink.rgb()) < qGray(c.paper.rgb());
        EXPECT_EQ(bmp.IsBlack(2, 2), inkIsDark);
        EXPECT_EQ(bmp.IsBlack(3, 2), !inkIsDark);
        EXPECT_EQ(bmp.Width(), 10);
        EXPECT_EQ(bmp.Height(), 6);
    }
}

TEST(MemoPicture, IndexedPictureOfSixteenColoursIsRefused) {
    EditorApp();
    QImage img(16, 4, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 16; ++i)
        table.push_back(qRgb(i * 16, i * 8, 255 - i * 16));
    img.setColorTable(table);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 4; ++y)
            img.setPixel(x, y, static_cast<uint>(x));
    CDiBitmap bmp;
    EXPECT_EQ(MakeMemoBitmap(img, false, 198, bmp), PictureCheck::TooManyColours);
    EXPECT_TRUE(bmp.IsEmpty());
}

TEST(MemoPicture, BlankPageAndSizeRules) {
    EditorApp();
    QImage blank(8, 8, QImage::Format_RGB32);
    blank.fill(Qt::white);
    CDiBitmap bmp;
    ASSERT_EQ(MakeMemoBitmap(blank, true, 198, bmp), PictureCheck::Ok);
    EXPECT_FALSE(bmp.IsBlack(0, 0));
    EXPECT_EQ(MakeMemoBitmap(TwoColours(199, 10), true, 198, bmp), PictureCheck::TooLarge);
    EXPECT_EQ(MakeMemoBitmap(TwoColours(198, 129), true, 198, bmp), PictureCheck::TooLarge);
    EXPECT_EQ(MakeMemoBitmap(TwoColours(198, 128), true, 198, bmp), PictureCheck::Ok);
    // Without the size check a large plain picture is fine, but one whose text the reader
    // could not hold is not.
    EXPECT_EQ(MakeMemoBitmap(TwoColours(800, 300), false, 198, bmp), PictureCheck::Ok);
    QImage noisy(400, 400, QImage::Format_RGB32);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            noisy.setPixel(x, y, ((x * 7 + y * 13) % 3) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    EXPECT_EQ(MakeMemoBitmap(noisy, false, 198, bmp), PictureCheck::TooLarge);
    EXPECT_EQ(MakeMemoBitmap(QImage(), false, 198, bmp), PictureCheck::Empty);
}

TEST(MemoPicture, ClipboardImageRoundTrip) {
    EditorApp();
    CDiBitmap bmp;
    ASSERT_EQ(MakeMemoBitmap(TwoColours(37, 5), true, 198, bmp), PictureCheck::Ok);
    const QImage img = MemoImage(bmp);
    CDiBitmap back;
    ASSERT_EQ(MakeMemoBitmap(img, true, 198, back), PictureCheck::Ok);
    EXPECT_TRUE(back.SamePicture(bmp));
}

TEST(MemoPicture, WidthByModel) {
    for (int model = 0; model < 10; ++model)
        EXPECT_EQ(MemoMaxWidth(model), model == 8 || model == 9 ? 278 : 198) << model;
}

TEST_F(ImageEditorTest, PastingTwoHundredDotsDependsOnTheModel) {
    settings.ImageSize = true;
    settings.SetModel(4); // PI-6000
    auto narrow = MakeMemo();
    narrow->SetNewRecord();
    prompter.Expect(1057);
    EXPECT_FALSE(narrow->PasteImage(TwoColours(200, 100)));
    EXPECT_FALSE(narrow->HasImage());

    settings.SetModel(8); // PI-8000
    auto wide = MakeMemo();
    wide->SetNewRecord();
    EXPECT_TRUE(wide->PasteImage(TwoColours(200, 100)));
    EXPECT_TRUE(wide->HasImage());

    settings.ImageSize = false;
    settings.SetModel(4);
    auto unchecked = MakeMemo();
    unchecked->SetNewRecord();
    EXPECT_TRUE(unchecked->PasteImage(TwoColours(200, 100)));
}

TEST_F(ImageEditorTest, SizeHintUntilThereIsAPicture) {
    auto ed = MakeMemo();
    ed->SetNewRecord();
    auto* hint = Child<QLabel>(*ed, "sizeHint");
    EXPECT_EQ(hint->text(), U("Max 198 x 128 dots"));
    EXPECT_FALSE(hint->isHidden());
    EXPECT_FALSE(Child<QPushButton>(*ed, "copy")->isEnabled());
    ASSERT_TRUE(ed->PasteImage(TwoColours(20, 20)));
    EXPECT_TRUE(hint->isHidden());
    EXPECT_TRUE(Child<QPushButton>(*ed, "copy")->isEnabled());
}

TEST_F(ImageEditorTest, NoPictureMeansNoRecord) {
    auto rec = kind.New();
    auto ed = MakeMemo();
    ed->SetNewRecord();
    prompter.Expect(1040);
    EXPECT_FALSE(PressOk(*ed, *rec));
    prompter.Expect(1056);
    EXPECT_FALSE(ed->StoreIntoRecord(*rec));
}

TEST_F(ImageEditorTest, StoredPictureReadsBackThroughTheTextForm) {
    auto rec = kind.New();
    auto ed = MakeMemo();
    ed->SetNewRecord();
    ASSERT_TRUE(ed->PasteImage(TwoColours(30, 12)));
    SetText(*ed, "title", U("地図"));
    Child<QCheckBox>(*ed, "secret")->setChecked(true);
    ASSERT_TRUE(PressOk(*ed, *rec));
    const std::string text = KindRecords::Text(*rec, "IMG1");
    ASSERT_FALSE(text.empty());
    auto copy = kind.With({{"IMG1", text}});
    const auto* field =
        static_cast<const CImageField*>(copy->FieldAt(copy->FindField(MakeTag("IMG1"))));
    ASSERT_NE(field->Bitmap(), nullptr);
    EXPECT_TRUE(field->Bitmap()->SamePicture(ed->Bitmap()));
    EXPECT_EQ(Utf8(KindRecords::Text(*rec, "CLAS")), "地図");
    EXPECT_EQ(KindRecords::Text(*rec, "SCRT"), "*");

    const std::string before = KindRecords::All(*copy);
    auto ed2 = MakeMemo();
    ASSERT_TRUE(ed2->LoadFromRecord(*copy));
    ASSERT_TRUE(PressOk(*ed2, *copy));
    EXPECT_EQ(KindRecords::All(*copy), before);
}

TEST_F(ImageEditorTest, CopyPutsThePictureOnTheClipboard) {
    QClipboard* cb = QGuiApplication::clipboard();
    auto ed = MakeMemo();
    ed->SetNewRecord();
    ASSERT_TRUE(ed->PasteImage(TwoColours(16, 16)));
    ed->Copy();
    const QImage img = cb->image();
    if (img.isNull())
        GTEST_SKIP() << "no clipboard on this platform";
    auto other = MakeMemo();
    other->SetNewRecord();
    other->RefreshPasteButton();
    EXPECT_TRUE(Child<QPushButton>(*other, "paste")->isEnabled());
    ASSERT_TRUE(other->Paste());
    EXPECT_TRUE(other->Bitmap().SamePicture(ed->Bitmap()));
}

} // namespace
} // namespace tessera::test
