#pragma once

#include <QDialog>

class QLabel;

// Stands in for a tool dialog that is not built yet (machine settings,
// features, music input, IR learning): modeless, titled from the language
// file of its resource.
class CPlaceholderDialog : public QDialog {
    Q_OBJECT
public:
    CPlaceholderDialog(int resource, const char* chineseName, const char* englishName,
                       QWidget* parent);

    int Resource() const { return m_resource; }
    void Relabel();

private:
    int m_resource;
    const char* m_chineseName;
    const char* m_englishName;
    QLabel* m_text = nullptr;
};
