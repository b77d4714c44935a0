#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The three-choice box (resource 513): the text, two given buttons and a
// cancel button whose text comes from the language file.
class CDlgMsgBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 513;
    static constexpr int kTextId = 1186;
    static constexpr int kFirstId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kSecondId = 3;

    CDlgMsgBox(const QString& text, const QString& first, const QString& second, QWidget* parent);

    // 1 for the first button, 2 for the second, 0 for cancel or closing.
    static int AskThreeWay(const QString& text, const QString& first, const QString& second,
                           QWidget* parent);
};
