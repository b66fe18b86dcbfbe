#include "app/filters/FilterProgDlg.h"

#include "app/Help.h"
#include "base/Cp932.h"
#include "base/FilterRunner.h"
#include "model/Prompter.h"
#include "text/StringTable.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessera {

namespace {

QString Text(int id, const char* fallback) {
    return HasString(id) ? Cp932ToQString(LoadString(id)) : QString::fromUtf8(fallback);
}

// "desc|pattern|desc|pattern||" -> Qt's "desc;;desc" (the patterns are in the descriptions).
QString QtFilter(const QString& list) {
    const QStringList parts = list.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts.at(i);
    return out.join(QStringLiteral(";;"));
}

QString ChooseProgram(QWidget* parent, const QString& current) {
    return QFileDialog::getOpenFileName(parent, Text(kFixedTextBase + 81, "Filter Program"),
                                        current,
                                        QtFilter(Text(kFixedTextBase + 84, "All Files (*)|*||")));
}

CFilterProgDlg::ProgramChooser& Chooser() {
    static CFilterProgDlg::ProgramChooser chooser = ChooseProgram;
    return chooser;
}

bool Refuse(int id) {
    ShowMessage(id, PromptIcon::Warning, PromptButtons::Ok);
    return false;
}

} // namespace

void CFilterProgDlg::SetProgramChooser(ProgramChooser chooser) {
    Chooser() = chooser ? std::move(chooser) : ProgramChooser(ChooseProgram);
}

CFilterProgDlg::CFilterProgDlg(const FilterProgram& filter, bool editing, QWidget* parent)
    : QDialog(parent), m_editing(editing) {
    setWindowTitle(Text(kDialogTitleBase + kDialogId, "フィルタプログラムの設定"));
    auto* grid = new QGridLayout;
    m_extension = new QLineEdit(filter.extension.left(kExtensionLimit), this);
    m_extension->setMaxLength(kExtensionLimit);
    m_name = new QLineEdit(filter.name.left(kNameLimit), this);
    m_name->setMaxLength(kNameLimit);
    m_name->setReadOnly(editing);
    m_program = new QLineEdit(filter.program.left(kProgramLimit), this);
    m_program->setMaxLength(kProgramLimit);
    m_program->setMinimumWidth(320);
    m_browse = new QPushButton(Text(kControlTextBase + 1210, "参照(&B)..."), this);

    auto label = [this](int control, const char* fallback, QWidget* buddy) {
        auto* l = new QLabel(Text(kControlTextBase + control, fallback), this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(1208, "フィルタ名(&N) :", m_name), 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 2);
    grid->addWidget(label(1214, "処理する拡張子(&X) :", m_extension), 1, 0);
    grid->addWidget(m_extension, 1, 1, 1, 2);
    grid->addWidget(label(1209, "フィルタプログラム(&P) :", m_program), 2, 0);
    grid->addWidget(m_program, 2, 1);
    grid->addWidget(m_browse, 2, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(kFixedTextBase + 26, "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(kFixedTextBase + 27, "キャンセル"));
    QPushButton* help =
        buttons->addButton(Text(kControlTextBase + 1217, "ヘルプ"), QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpTopicBase + kDialogId); });
    connect(m_browse, &QPushButton::clicked, this, &CFilterProgDlg::Browse);
    grid->addWidget(buttons, 3, 0, 1, 3);
    setLayout(grid);
    (editing ? m_extension : m_name)->setFocus();
}

FilterProgram CFilterProgDlg::Filter() const {
    FilterProgram f;
    f.name = m_name->text();
    f.extension = FilterProgram::BareExtension(m_extension->text());
    f.program = m_program->text();
    f.perlScript = IsPerlScriptPath(f.program);
    return f;
}

bool CFilterProgDlg::Validate() {
    const QString name = m_name->text();
    if (!m_editing) {
        if (name.isEmpty())
            return Refuse(kMsgNoFilterName);
        // A slash would make a nested group of the settings store, not a filter.
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
            return Refuse(kMsgFilterBadName);
        // Names differing only in case would be one filter on a case-blind store.
        for (const FilterProgram& f : CAppSettings::ReadFilters())
            if (f.name.compare(name, Qt::CaseInsensitive) == 0)
                return Refuse(kMsgFilterExists);
    }
    if (FilterProgram::BareExtension(m_extension->text()).isEmpty())
        return Refuse(kMsgNoExtension);
    if (m_program->text().isEmpty())
        return Refuse(kMsgNoProgram);
    return true;
}

void CFilterProgDlg::accept() {
    if (Validate())
        QDialog::accept();
}

void CFilterProgDlg::Browse() {
    const QString chosen = Chooser()(this, m_program->text());
    if (!chosen.isEmpty())
        m_program->setText(chosen.left(kProgramLimit));
}

} // namespace tessera
