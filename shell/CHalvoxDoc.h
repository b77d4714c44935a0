#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

// The document: mode files opened and saved from the user interface, the
// recent-file list, and a mode file given to the program.
class CHalvoxDoc : public QObject {
    Q_OBJECT
public:
    explicit CHalvoxDoc(QObject* parent = nullptr);

    void SetDialogParent(QWidget* parent) { m_dialogParent = parent; }
    // Replaces the file dialogs (tests): called with true for a save dialog;
    // an empty result is a cancelled dialog.
    void SetFileChooser(std::function<QString(bool save)> chooser);

    void OnFileOpen();
    void OnFileSave();
    // Compares the parameters as they are now with a mode file, in words.
    void OnFileCompare();
    void OpenRecentFile(const QString& path);
    // A document path given to the program (command line, second start).
    void OpenDocumentFile(const QString& path);
    // Yes to the closing question: the file save dialog (default name
    // "preset"); a chosen file gets the store and the file.
    void SaveOnClose();

signals:
    void recentFilesChanged();
    // The parameters now are those of a mode file: it was loaded and written
    // to the processor, or saved.
    void fileInUse(const QString& path);

private:
    QString ChooseFile(bool save, const QString& defaultName);
    void WriteToProcessor(const QString& path);
    void SaveTo(const QString& path);

    QWidget* m_dialogParent = nullptr;
    std::function<QString(bool)> m_chooser;
};
