#include "shell/CCompareDlg.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CCompareDlg::CCompareDlg(QWidget* parent, const QString& fileName,
                         const std::vector<fx::ParamDifference>& differences)
    : QDialog(parent) {
    setWindowTitle(Tr("与文件比较", "Compare with file"));
    ApplyPaleBackground(this);

    const int count = static_cast<int>(differences.size());
    m_summary = new QLabel(this);
    if (count == 0) {
        m_summary->setText(
            Tr("当前参数与 %1 相同。", "The parameters now are those of %1.").arg(fileName));
    } else {
        m_summary->setText(
            Tr("%1 个参数与 %2 不同：", "%1 parameters differ from %2:").arg(count).arg(fileName));
    }
    m_summary->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels(
        {Tr("参数", "Parameter"), Tr("文件中", "In the file"), Tr("当前", "Now")});
    for (const fx::ParamDifference& difference : differences) {
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, QString::fromStdString(fx::DifferenceName(difference, g_Language)));
        row->setText(1, QString::fromStdString(difference.a.text));
        row->setText(2, QString::fromStdString(difference.b.text));
    }
    // Room between the columns: the values run up to the next one otherwise.
    constexpr int kColumnGap = 24;
    for (int column = 0; column < 3; ++column) {
        m_list->resizeColumnToContents(column);
        m_list->setColumnWidth(column, m_list->columnWidth(column) + kColumnGap);
    }
    m_list->setVisible(count > 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(Tr("关闭", "Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    buttons->button(QDialogButtonBox::Close)->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(count > 0 ? 760 : 420, count > 0 ? 460 : 120);
}
