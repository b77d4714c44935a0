#pragma once

#include "remote/CIrWaitDlg.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace fx {
class ParamStore;
}

class CGdipButton;
class CInstructionPicture;

class CRemotePicture;

namespace fx {
class SendWorker;
}

// The infrared learning dialog (dialog 373): modeless, at most one, opened
// while a link is open. A click on a key of the remote picture teaches the
// processor that key (the wait dialog shows the code it caught); Apply sends
// the learned block, Load and Save keep it in remote files. The status poll
// stays off while the dialog is open.
class CRemoteDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 373;
    static constexpr int kPictureId = 1279;
    static constexpr int kInstructionId = 1216;
    static constexpr int kFirstKeyId = 1587; // key 1; keys 2..17 are 1600..1615
    static constexpr int kApplyId = 1;
    static constexpr int kLoadId = 3;
    static constexpr int kSaveId = 4;
    static constexpr int kCloseId = 2;
    static constexpr int kNoticeMs = 1100;

    CRemoteDlg(fx::SendWorker& sender, fx::ParamStore& store, QWidget* parent);
    ~CRemoteDlg() override;

    // Relabels the dialog and exchanges the instruction picture.
    void Relabel();
    // Message 1001: passed to the wait dialog when one is open.
    void OnRemoteKeyData(int code);

    // Replaces the file dialogs (tests): called with true for a save dialog;
    // an empty result is a cancelled dialog.
    void SetFileChooser(std::function<QString(bool save)> chooser);

    static int KeyControlId(int key);
    // The clickable area of key 1..17.
    QWidget* KeyArea(int key) const;
    CIrWaitDlg* WaitDialog() const { return m_wait.data(); }
    CInstructionPicture* Instruction() const { return m_instruction; }
    // The learning text of key 1..17 in the current language.
    static QString LearningText(int key);
    // Keys (0: the code set) with what they do, in the current language:
    // "16 (Music vol increase) and 17 (Music vol decrease)".
    static QString KeyListText(const std::vector<int>& keys);

    void LearnKey(int key);
    void OnApply();
    void OnLoadFile();
    void OnSaveFile();

signals:
    // A send of the block was answered (or not), after its notice was shown.
    void blockSent(bool confirmed);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOutKeyAreas();
    QString ChooseFile(bool save);
    void SendBlock(const QString& confirmedText);
    bool RequireLink();
    // A write of the whole block clears the codes not known: asks first
    // (Yes/No) when the known bytes leave any; true to go on.
    bool AgreeToClear(uint32_t knownBytes);

    fx::SendWorker& m_sender;
    fx::ParamStore& m_store;
    bool m_pollWasOn;
    CRemotePicture* m_picture = nullptr;
    CInstructionPicture* m_instruction = nullptr;
    std::array<QWidget*, 17> m_keyAreas{};
    CGdipButton* m_apply = nullptr;
    CGdipButton* m_load = nullptr;
    CGdipButton* m_save = nullptr;
    CGdipButton* m_close = nullptr;
    QPointer<CIrWaitDlg> m_wait;
    std::function<QString(bool)> m_chooser;
};
