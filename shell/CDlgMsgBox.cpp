#include "shell/CDlgMsgBox.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CDlgMsgBox::CDlgMsgBox(const QString& text, const QString& first, const QString& second,
                       QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(Tr("信息", "Information"));
    ApplyPaleBackground(this);
    setMinimumWidth(360);

    auto* label = new QLabel(text, this);
    SetCtrlId(label, kTextId);
    label->setWordWrap(true);
    auto* firstButton = new QPushButton(first, this);
    SetCtrlId(firstButton, kFirstId);
    auto* secondButton = new QPushButton(second, this);
    SetCtrlId(secondButton, kSecondId);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    SetCtrlId(cancelButton, kCancelId);

    connect(firstButton, &QPushButton::clicked, this, [this] { done(1); });
    connect(secondButton, &QPushButton::clicked, this, [this] { done(2); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { done(0); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(firstButton);
    buttons->addWidget(secondButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label, 1);
    layout->addLayout(buttons);

    LoadDialogTexts(this, kResource);
}

int CDlgMsgBox::AskThreeWay(const QString& text, const QString& first, const QString& second,
                            QWidget* parent) {
    CDlgMsgBox box(text, first, second, parent);
    // The close box rejects, which is 0 like the cancel button.
    const int result = box.exec();
    return result == 1 || result == 2 ? result : 0;
}
