#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QWidget;

// The editor speaks Chinese (index 0) or English (index 1). Dialog texts come
// from the language file of the current language (INI form, section
// "String", keys "IDD%d_title" and "IDD%d_%d"); texts made in code are
// (Chinese, English) pairs picked when they are shown.

extern int g_Language;

// Picks the text of a pair by the current language.
QString Tr(const char* chinese, const char* english);

// Identifier of a dialog control, kept as a property so that dialog texts
// can be looked up by it.
void SetCtrlId(QWidget* widget, int id);
int CtrlId(const QWidget* widget);

// The parsed language file of one language.
class CLanguageFile {
public:
    // Parses INI text: "[String]" section, "//" comments, key=value rows.
    static CLanguageFile FromText(const QString& text);
    // Reads the built-in file of a language (any index other than 1 is Chinese).
    static CLanguageFile ForLanguage(int language);

    // The value of a key, empty when missing. Values are cut at 1000 characters.
    QString Value(const QString& key) const;
    int Size() const { return m_values.size(); }
    QStringList Keys() const { return m_values.keys(); }

private:
    QHash<QString, QString> m_values;
};

// Makes the file of the current language the one dialog texts come from,
// and gives Qt's own dialogs (buttons of message boxes, file dialogs) the
// current language.
void LoadCurrentLanguageFile();
// True when Qt's own texts are translated into Chinese (the language
// Chinese and Qt's translations installed).
bool QtTextsInChinese();
const CLanguageFile& CurrentLanguageFile();

// Relabels a dialog: its title from "IDD<n>_title" and each direct child that
// carries a control identifier from "IDD<n>_<id>". Missing or empty values
// leave the current text.
void LoadDialogTexts(QWidget* dialog, int resource);
