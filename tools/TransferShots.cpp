// Takes the pictures of the transfer windows for the manual: the receive and send progress
// windows in mid-transfer and the add-in overview. Run on the offscreen platform:
//     QT_QPA_PLATFORM=offscreen tessera-transfer-screenshots docs/screenshots

#include "ShotLanguage.h"
#include "app/transfer/AddInCommand.h"
#include "app/transfer/RecvDlg.h"
#include "app/transfer/ShowDocDlg.h"
#include "app/transfer/TransDlg.h"
#include "link/AddInTransfer.h"
#include "link/Job.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimerEvent>
#include <cstdio>
#include <memory>

using namespace tessera;

namespace {

bool Save(QWidget* w, const QDir& dir, const char* name) {
    w->show();
    w->adjustSize();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tessera::shots::UseShotLanguage();
    QApplication::setFont(QFont(QStringLiteral("IPAPGothic"), 10));
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!QDir().mkpath(dir.path()))
        return 1;
    bool ok = true;

    auto receive = std::make_shared<ReceiveJob>();
    auto* recv = new CRecvDlg(receive, 1);
    recv->OnProgress(3584);
    ok &= Save(recv, dir, "recv-progress.png");
    recv->OnCloseRequest();

    auto send = std::make_shared<SendJob>();
    auto* trans = new CTransDlg(send, 10240, 0, false);
    trans->OnProgress(6656);
    ok &= Save(trans, dir, "send-progress.png");
    trans->OnCloseRequest();

    auto addInJob = std::make_shared<AddInJob>(std::make_unique<CAddInTransfer>());
    auto* addIn = new CTransDlg(addInJob, 48000, 1, true);
    addIn->OnStep(2);
    addIn->OnProgress(20480);
    addIn->OnStep(6);
    ok &= Save(addIn, dir, "addin-progress.png");
    addIn->OnCloseRequest();

    const std::string text =
        "\x83\x5E\x83\x43\x83\x7D\x81\x5B\x20\x56\x65\x72\x31\x2E\x32\r\n" // タイマー Ver1.2
        "\r\n"
        "\x83\x55\x83\x45\x83\x8B\x83\x58\x82\xC9\x83\x4C\x83\x62\x83\x60\x83\x93\x83\x5E\x83\x43"
        "\x83\x7D\x81\x5B"
        "\x82\xF0\x92\xC7\x89\xC1\x82\xB5\x82\xDC\x82\xB7\x81\x42\r\n" // ザウルスにキッチンタイマーを追加します。
        "\r\n"
        "\x81\x45\x91\xCE\x89\x9E\x8B\x40\x8E\xED: PI-4500 / PI-6000 / PI-7000\r\n" // ・対応機種:
        "\x81\x45\x83\x74\x83\x40\x83\x43\x83\x8B: TIMER.EXE, TIMER.DAT\r\n"; // ・ファイル:
    CShowDocDlg overview(AddInOverviewText(text));
    ok &= Save(&overview, dir, "addin-overview.png");

    QApplication::processEvents();
    return ok ? 0 : 1;
}
