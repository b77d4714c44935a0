#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The wait dialog of one key being learned (dialog 372), shown modal in
// front of the learning dialog: the key's learning text, the prompt, and,
// once the processor caught the key, its code; then it closes itself.
// Abandoning (its button, Esc or the close box) calls the abandon action.
class CIrWaitDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 372;
    static constexpr int kTextId = 1167;
    static constexpr int kPromptId = 1007;
    static constexpr int kCodeId = 1038;
    static constexpr int kStatusId = 1006;
    static constexpr int kCloseId = 1;
    static constexpr int kAbandonId = 3;
    static constexpr int kAutoCloseMs = 1000;

    CIrWaitDlg(const QString& learningText, std::function<void()> abandon, QWidget* parent);

    // Message 1001: the processor caught the key.
    void OnKeyLearned(int code);
    bool Learned() const { return m_learned; }
    QString CodeText() const;
    QString StatusText() const;
    QPushButton* AbandonButton() const { return m_abandon; }
    QPushButton* CloseButton() const { return m_close; }

    void reject() override;

private:
    std::function<void()> m_onAbandon;
    QLabel* m_text = nullptr;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_code = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_abandon = nullptr;
    QPushButton* m_close = nullptr;
    QTimer m_closeTimer;
    bool m_learned = false;
};
